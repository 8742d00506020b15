// The main window, the notice editor and the group choosers: each command and
// button reaches the store and shows what it returns. What the stores write is
// test_noticestore's.
#include "app/spreadgrid.h"
#include "mainwindow/mainwindow.h"
#include "notices/groupchooser.h"
#include "notices/groupnames.h"
#include "notices/noticeeditor.h"
#include "notices/sendlist.h"
#include "support/testapp.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

#include <stdexcept>

using namespace lumivox;
using namespace lumivox::test;

namespace {

SpreadGrid *grid(QWidget *w, const char *name = "fpSpread1")
{
    return child<SpreadGrid>(w, name);
}

// A grid column's texts, "a,b".
QString column(SpreadGrid *g, int col = 1)
{
    QStringList texts;
    for (int r = 1; r <= g->maxRows(); ++r)
        texts << g->text(col, r);
    return texts.join(u',');
}

void click(QWidget *w, const char *button)
{
    child<QPushButton>(w, button)->click();
}

QString body(QWidget *w)
{
    return child<QPlainTextEdit>(w, "RichTextBox1")->toPlainText();
}

// Stands in for the desktop's opener of files and web pages while it lives, so
// that no browser starts, and keeps what it was asked to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher()
    {
        for (const char *scheme : {"file", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char *scheme : {"file", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};

} // namespace

class TestNoticeWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The window without notices: the notice commands do nothing; the window's
    // own tools work.
    void emptyListAndTheOtherTools()
    {
        TestApp app;
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        Answers answers;
        for (const char *id : {"ID_EditEdit", "ID_EditDel", "ID_EditCopy", "ID_EditPaste", "ID_EditSubmit"})
            clickTool(window, id);
        QCOMPARE(answers.dialogsRun + answers.messages.size(), 0);
        QCOMPARE(body(&window) + column(grid(&window, "fpSpread2")), QString());
        QVERIFY(app.exec(QStringLiteral("drop table T_お知らせ"))); // a window without its list is no use
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, MainWindow broken(app.context()));

        // The destination column stays 50 twips short of its grid's width.
        SpreadGrid *g = grid(&window, "fpSpread2");
        auto fits = [g] { return qAbs(g->colWidthTwips(1) - (g->widthTwips() - g->rowHeaderWidthTwips() - 50)) <= 15; };
        window.resize(window.width() + 150, window.height());
        QTRY_VERIFY(fits());
        auto *splitter = child<QSplitter>(&window, "SSSplitter1");
        splitter->setSizes({splitter->sizes()[0] + 120, splitter->sizes()[1] - 120});
        QTRY_VERIFY(fits());

        UrlCatcher catcher;
        clickTool(window, "ID_mnuHelpHelp"); // no help page in this folder: told so
        QVERIFY(answers.lastText().contains(QStringLiteral("index.htm")));
        QVERIFY(QDir(app.dir()).mkpath(QStringLiteral("Help")));
        QFile page(app.dir() + QStringLiteral("/Help/index.htm"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        clickTool(window, "ID_mnuHelpHelp");
        clickTool(window, "ID_mnuHelpWeb");
        QCOMPARE(catcher.opened, (QList<QUrl>{QUrl::fromLocalFile(page.fileName()), QUrl(QLatin1String(kVendorWebPage))}));
        QString about, dataFolder;
        answers.nextDialog([&](QDialog &d) {
            about = d.objectName();
            dataFolder = d.findChild<QLabel *>(QStringLiteral("lblDataFolder"))->text();
        });
        clickTool(window, "ID_mnuHelpAbout");
        QCOMPARE(about, QStringLiteral("frmAbout"));
        QCOMPARE(dataFolder, QStringLiteral("データの保存場所：") + QDir::toNativeSeparators(app.dir()));

        // 登録 opens each register over the main window.
        QStringList registers;
        for (const char *id : {"ID_mnuDBMember", "ID_mnuDBGroup"}) {
            answers.nextDialog([&](QDialog &d) { registers << d.objectName() + (d.isModal() ? "" : " modeless"); });
            clickTool(window, id);
        }
        QCOMPARE(registers, (QStringList{"frmInpDBMember", "frmInpDBGroup"}));
    }

    void listShowsTheActiveNoticeAndItsCommandsWork()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        app.addNotice(2, QStringLiteral("総会"), QStringLiteral("一行目\r\n二行目"));
        app.addNotice(4, QStringLiteral("清掃"));
        app.addNotice(5, QStringLiteral("運動会"), QStringLiteral("本文五"));
        app.link(noticeDestinations(), 2, {2, 1});
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        SpreadGrid *list = grid(&window);
        QVERIFY(list->isColumnHidden(0));
        QVERIFY(child<QPlainTextEdit>(&window, "RichTextBox1")->isReadOnly()); // nothing typed there is kept
        QCOMPARE(window.activeNewsId(), 2);
        QCOMPARE(body(&window), QStringLiteral("一行目\n二行目"));
        QCOMPARE(column(grid(&window, "fpSpread2")), QStringLiteral("子ども会,役員会"));
        list->setActiveCell(3, 2);
        QCOMPARE(grid(&window, "fpSpread2")->maxRows(), 0); // nothing stale
        {
            Answers answers; // Send tells why it stops, titled with the window's caption
            clickTool(window, "ID_EditSubmit");
            QCOMPARE(answers.messages.value(0).title + answers.lastText(),
                     QStringLiteral("Lumivox") + QString::fromUtf8(kNoDestinationMessage));
        }
        {
            // Delete asks first; いいえ (the default) keeps the notice.
            Answers answers;
            clickTool(window, "ID_mnuEditDel");
            QCOMPARE(window.rowCount(), 3);
            answers.nextButton(QMessageBox::Yes);
            clickTool(window, "ID_mnuEditDel");
            QCOMPARE(answers.lastText(), QStringLiteral("お知らせ「清掃」を削除しますか？"));
        }
        QCOMPARE(column(list, 2), QStringLiteral("総会,運動会"));
        QCOMPARE(body(&window), QStringLiteral("本文五")); // the row below moved up
        clickTool(window, "ID_mnuEditCopy");
        list->setActiveCell(2, 1);
        clickTool(window, "ID_EditPaste");
        QCOMPARE(column(list, 2), QStringLiteral("運動会,運動会"));
        QCOMPARE(body(&window), QStringLiteral("本文五"));
        // A refused delete is told and changes nothing.
        QVERIFY(app.refuse(QStringLiteral("delete"), QStringLiteral("T_お知らせ")));
        Answers answers;
        answers.nextButton(QMessageBox::Yes);
        clickTool(window, "ID_EditDel");
        QCOMPARE(answers.messages.value(0).text,
                 QStringLiteral("お知らせ「運動会」を削除しますか？\n\n宛先グループの指定2件も削除されます。"));
        QVERIFY(answers.lastText().contains(QStringLiteral("database is locked")));
        QCOMPARE(window.rowCount(), 2);
    }

    // New is offered only below the cap of 999, from the start; the notice is
    // stored before the editor opens on it.
    void newOpensTheEditorOnTheStoredNoticeBelowTheCap()
    {
        TestApp app;
        QVERIFY(app.exec(QStringLiteral("with recursive k(i) as (select 1 union all select i + 1 from k where i < 999) "
                                        "insert into T_お知らせ select i, 'x', '', '', '(未送信)' from k")));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QVERIFY(!toolEnabled(&window, "ID_mnuEditNew") && !toolEnabled(&window, "ID_EditNew"));
        Answers answers;
        answers.nextButton(QMessageBox::Yes);
        clickTool(window, "ID_EditDel");
        QVERIFY(toolEnabled(&window, "ID_mnuEditNew") && toolEnabled(&window, "ID_EditNew"));
        QString title;
        answers.nextDialog([&](QDialog &editor) { title = child<QLineEdit>(&editor, "txtTitle")->text(); }); // left through the close box
        clickTool(window, "ID_mnuEditNew");
        QCOMPARE(title, QStringLiteral("(無題)"));
        QCOMPARE(window.activeNewsId(), 1);
        QVERIFY(!toolEnabled(&window, "ID_mnuEditNew") && !toolEnabled(&window, "ID_EditNew"));
    }

    // The editor gets the active notice and what it returns is stored: the
    // headline cut at 80 characters, the creation time of the OK.
    void editSavesWhatTheEditorReturns()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"));
        app.addNotice(2, QStringLiteral("二"), {}, QStringLiteral("2020/01/01 00:00:00"), QStringLiteral("2020/02/02 00:00:00"));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        SpreadGrid *list = grid(&window);
        Answers answers;
        QString caption, sent;
        answers.nextDialog([&](QDialog &editor) {
            caption = editor.windowTitle();
            sent = child<QLineEdit>(&editor, "txtDateSubmit")->text();
            QVERIFY(child<QLineEdit>(&editor, "txtDateCreate")->isReadOnly());
            child<QLineEdit>(&editor, "txtTitle")->clear();
            child<QLineEdit>(&editor, "txtTitle")->insert(QString(90, QChar(u'あ'))); // as a paste does
            child<QPlainTextEdit>(&editor, "RichTextBox1")->setPlainText(QStringLiteral("新しい本文\n次の行"));
            QTest::keyClick(&editor, Qt::Key_Escape); // throws nothing away
            QVERIFY(editor.isVisible());
            click(&editor, "cmdOk");
        });
        const QPoint cell = list->visualRect(list->model()->index(1, 2)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(caption, QStringLiteral("お知らせ編集"));
        QCOMPARE(sent, QStringLiteral("2020/02/02 00:00:00"));
        QCOMPARE(list->text(2, 2), QString(80, QChar(u'あ')));
        QVERIFY(list->text(4, 2) > QStringLiteral("2020/01/01 00:00:00"));
        QCOMPARE(list->text(5, 2), QStringLiteral("2020/02/02 00:00:00"));
        QCOMPARE(body(&window), QStringLiteral("新しい本文\n次の行"));
        // The heading row and Enter edit the active row too.
        list->horizontalHeader()->sectionDoubleClicked(1);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(answers.dialogsRun, 3);
    }

    // The chooser names the notice by the headline being typed and writes at
    // once: the editor left through its close box (here after a refused save)
    // keeps the new destinations, not the headline.
    void theEditorAndItsChooser()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        app.addNotice(1, QStringLiteral("元の見出し"));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        Answers answers;
        QString chooserName, groupsInEditor;
        answers.nextDialog([&](QDialog &editor) {
            child<QLineEdit>(&editor, "txtTitle")->setText(QStringLiteral("書きかけ"));
            click(&editor, "cmdGroup");
            groupsInEditor = column(grid(&editor));
            QVERIFY(app.refuse(QStringLiteral("update"), QStringLiteral("T_お知らせ")));
            click(&editor, "cmdOk");
            QVERIFY(editor.isVisible());
        });
        answers.nextDialog([&](QDialog &chooser) {
            chooserName = child<QLabel>(&chooser, "lblName")->text();
            clickCell(grid(&chooser), 2, 2);
            click(&chooser, "cmdOk");
        });
        clickTool(window, "ID_EditEdit");
        QCOMPARE(chooserName, QStringLiteral("お知らせ「書きかけ」を連絡する"));
        QCOMPARE(groupsInEditor, QStringLiteral("子ども会"));
        QCOMPARE(answers.messages.size(), 1);
        QVERIFY(answers.lastText().contains(QStringLiteral("database is locked")));
        QCOMPARE(grid(&window)->text(2, 1), QStringLiteral("元の見出し"));
        QCOMPARE(column(grid(&window, "fpSpread2")), QStringLiteral("子ども会"));
    }

    void closeBoxAsksBeforeDroppingTheText_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer"); // はい, いいえ, ｷｬﾝｾﾙ
        QTest::addColumn<QString>("stored");
        QTest::newRow("unchanged: nothing asked") << false << -1 << "元";
        QTest::newRow("はい saves") << true << 0 << "新";
        QTest::newRow("いいえ drops") << true << 1 << "元";
        QTest::newRow("ｷｬﾝｾﾙ stays") << true << 2 << "元";
    }
    void closeBoxAsksBeforeDroppingTheText()
    {
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(QString, stored);
        TestApp app;
        app.addNotice(1, QStringLiteral("元"));
        NoticeStore store(app.db());
        QVERIFY(store.open());
        Answers answers;
        if (answer >= 0)
            answers.nextCustom(answer);
        NoticeEditor editor(app.context(), store.notice(0), [&](const Notice &n) { return store.update(n); });
        QVERIFY(showAndWait(&editor));
        if (changed)
            child<QLineEdit>(&editor, "txtTitle")->setText(QStringLiteral("新"));
        editor.close();
        QCOMPARE(editor.isVisible(), answer == 2);
        QCOMPARE(answers.messages.size(), changed ? 1 : 0);
        QCOMPARE(store.notice(0).title, stored);
    }

    // A destination list that cannot be read says so in its heading and is told
    // once, in the main window and in the editor; it never passes for "no groups".
    void unreadableDestinationsAreTold()
    {
        TestApp app;
        app.addGroups({"役員会"});
        for (int id : {1, 2, 3}) {
            app.addNotice(id, QStringLiteral("お知らせ%1").arg(id));
            app.link(noticeDestinations(), id, 1);
        }
        const QString trigger = QStringLiteral("create trigger refuse before insert on T_temp_グループ名称 "
                                               "begin select raise(abort, 'disk I/O error'); end");
        QVERIFY(app.exec(trigger));
        Answers answers;
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        const auto heading = [](QWidget *w) { return grid(w, "fpSpread2")->model()->headerData(0, Qt::Horizontal).toString(); };
        QTRY_COMPARE(answers.messages.size(), 1);
        QVERIFY(answers.lastText().startsWith(QStringLiteral("宛先グループの一覧を読み込めませんでした。")));
        QVERIFY(answers.lastText().contains(QStringLiteral("disk I/O error")));
        QCOMPARE(heading(&window), QString::fromUtf8(kUnreadableDestinations));
        grid(&window)->setActiveCell(2, 2); // still failing: not told again
        QTest::qWait(20);
        QCOMPARE(answers.messages.size(), 1);
        QVERIFY(app.exec(QStringLiteral("drop trigger refuse")));
        grid(&window)->setActiveCell(2, 3);
        QCOMPARE(heading(&window), QStringLiteral("宛先グループ一覧"));
        QVERIFY(app.exec(trigger));
        QString inEditor;
        answers.nextDialog([&](QDialog &editor) {
            QTRY_COMPARE(answers.messages.size(), 2);
            inEditor = grid(&editor)->model()->headerData(0, Qt::Horizontal).toString();
        });
        clickTool(window, "ID_EditEdit");
        QCOMPARE(inEditor, QString::fromUtf8(kUnreadableDestinations));
        QTRY_COMPARE(answers.messages.size(), 3); // the main window's list failing again, after a success
    }

    void chooserLeftWithoutOkWritesNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("ｷｬﾝｾﾙ") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
        QTest::newRow("refused write") << 3;
    }

    // Only OK writes, and a refused write keeps the chooser open to try again.
    void chooserLeftWithoutOkWritesNothing()
    {
        QFETCH(int, how);
        TestApp app;
        app.addGroups({"一", "二"});
        app.link(noticeDestinations(), 4, {1, 9});
        QVERIFY(app.refuse(QStringLiteral("insert"), noticeDestinations().table));
        Answers answers;
        NoticeGroupChooser chooser(app.context(), 4, QStringLiteral("x"));
        QVERIFY(showAndWait(&chooser));
        QCOMPARE(column(grid(&chooser), 2), QStringLiteral("1,0")); // the linked groups are ticked
        clickCell(grid(&chooser), 2, 2);
        if (how == 0)
            click(&chooser, "cmdCancel");
        else if (how == 1)
            QTest::keyClick(&chooser, Qt::Key_Escape);
        else if (how == 2)
            chooser.close();
        else
            click(&chooser, "cmdOk");
        QCOMPARE(chooser.isVisible(), how == 3);
        QCOMPARE(answers.messages.size(), how == 3 ? 1 : 0);
        QCOMPARE(app.count(noticeDestinations().table), 2);
    }
};

QTEST_MAIN(TestNoticeWindows)
#include "test_noticewindows.moc"
