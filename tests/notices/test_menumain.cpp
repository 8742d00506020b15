// The main window: the notice list with its details, its commands and its
// settings.
#include "app/placement.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "notices/noticeeditor.h"
#include "mainwindow/mainwindow.h"
#include "support/testapp.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QUrl>

#include <stdexcept>

using namespace lumivox;
using namespace lumivox::test;

namespace {

const QString kSection = QStringLiteral("MenuMain");

SpreadGrid *noticeGrid(QWidget *w)
{
    return w->findChild<SpreadGrid *>(QStringLiteral("fpSpread1"));
}

SpreadGrid *destinationGrid(QWidget *w)
{
    return w->findChild<SpreadGrid *>(QStringLiteral("fpSpread2"));
}

QString bodyView(QWidget *w)
{
    return w->findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"))->toPlainText();
}

// The destination grid's names, as "a,b".
QString destinations(QWidget *w)
{
    SpreadGrid *grid = destinationGrid(w);
    QStringList names;
    for (int r = 1; r <= grid->maxRows(); ++r)
        names << grid->text(1, r);
    return names.join(u',');
}

bool newToolsEnabled(MainWindow &window)
{
    return toolEnabled(&window, "ID_mnuEditNew") && toolEnabled(&window, "ID_EditNew");
}

bool newToolsDisabled(MainWindow &window)
{
    return !toolEnabled(&window, "ID_mnuEditNew") && !toolEnabled(&window, "ID_EditNew");
}

// Notices 1 … n in one statement.
void addManyNotices(TestApp &app, int n)
{
    QVERIFY(app.exec(QStringLiteral("with recursive k(i) as (select 1 union all select i + 1 from k where i < ?) "
                                    "insert into T_お知らせ select i, 'お知らせ' || i, '', "
                                    "'2026/01/01 00:00:00', '(未送信)' from k"),
                     {n}));
}

// Closes the next editor through its close box, noting its title.
void closeNextEditor(QString *caption = nullptr)
{
    test::answerNextModal([caption](QWidget *w) {
        if (caption)
            *caption = w->windowTitle();
        w->close();
    });
}

QString stored(TestApp &app, const QString &column, int newsId)
{
    return app.scalar(QStringLiteral("select %1 from T_お知らせ where NewsID = ?").arg(column), {newsId})
        .toString();
}

} // namespace

class TestMenuMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyTableShowsEmptyListBodyAndDestinations()
    {
        TestApp app;
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QCOMPARE(window.rowCount(), 0);
        QCOMPARE(window.activeNewsId(), 0);
        QCOMPARE(bodyView(&window), QString());
        QCOMPARE(destinationGrid(&window)->maxRows(), 0);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("StatusBar1Panel2"))->text(),
                 QStringLiteral("MAX:999"));
        // Commands on an empty list do nothing and open nothing.
        for (const char *id : {"ID_EditEdit", "ID_EditDel", "ID_EditCopy", "ID_EditPaste"})
            clickTool(window, id);
        QVERIFY(!window.setActiveSendTime(QStringLiteral("2026/01/01 00:00:00")));
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")), 0);
        QVERIFY(newToolsEnabled(window));
    }

    void aMissingNoticeTableStopsTheStart()
    {
        TestApp app;
        QVERIFY(app.exec(QStringLiteral("drop table T_お知らせ")));
        // The start routine reports this and ends; a window without its list is no use.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, MainWindow window(app.context()));
    }

    void listShowsTheSelectedNoticesBodyAndDestinations()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        app.addNotice(2, QStringLiteral("総会"), QStringLiteral("一行目\r\n二行目"));
        app.addNotice(4, QStringLiteral("清掃"), QStringLiteral("日曜日です"));
        app.link(noticeDestinations(), 2, {2, 1});
        app.link(noticeDestinations(), 2, 7); // a deleted group shows no name
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        SpreadGrid *grid = noticeGrid(&window);
        QCOMPARE(window.rowCount(), 2);
        QVERIFY(grid->isColumnHidden(0));
        QCOMPARE(grid->activeRow(), 1);
        QCOMPARE(grid->activeCol(), 2);
        QCOMPARE(window.activeNewsId(), 2);
        QCOMPARE(bodyView(&window), QStringLiteral("一行目\n二行目"));
        QCOMPARE(destinationGrid(&window)->maxRows(), 2);
        QCOMPARE(destinationGrid(&window)->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("宛先グループ一覧"));
        QVERIFY(destinations(&window).split(u',').contains(QStringLiteral("役員会")));
        // Moving to a notice without destinations empties the list: nothing stale.
        grid->setActiveCell(3, 2);
        QCOMPARE(window.activeNewsId(), 4);
        QCOMPARE(bodyView(&window), QStringLiteral("日曜日です"));
        QCOMPARE(destinationGrid(&window)->maxRows(), 0);
        // The body view saves nothing, so it takes no typing.
        QVERIFY(window.findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"))->isReadOnly());
    }

    void newsIdAllocation()
    {
        TestApp app;
        for (int id : {1, 2, 4})
            app.addNotice(id, QStringLiteral("x"));
        MainWindow window(app.context());
        QCOMPARE(window.GetNewNewsID(), 5);
        app.exec(QStringLiteral("delete from T_お知らせ where NewsID = 4"));
        app.addNotice(3, QStringLiteral("x"));
        QCOMPARE(window.GetNewNewsID(), 4);
        // Past 999 the search goes on at 1.
        app.exec(QStringLiteral("delete from T_お知らせ"));
        QVERIFY(app.exec(QStringLiteral("with recursive k(i) as (select 500 union all select i + 1 from k where i < 999) "
                                        "insert into T_お知らせ (NewsID) select i from k")));
        QCOMPARE(window.GetNewNewsID(), 1);
    }

    void newStoresTheDefaultsBeforeTheEditorOpens()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("既存"));
        app.addNotice(2, QStringLiteral("既存2"));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QString caption;
        int rowsWhileEditing = 0;
        QString titleInEditor;
        test::answerNextModal([&](QWidget *w) {
            caption = w->windowTitle();
            rowsWhileEditing = app.count(QStringLiteral("T_お知らせ"));
            titleInEditor = w->findChild<QLineEdit *>(QStringLiteral("txtTitle"))->text();
            w->close();
        });
        const QString before = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        clickTool(window, "ID_EditNew");
        const QString after = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        QCOMPARE(caption, QStringLiteral("お知らせの新規作成"));
        QCOMPARE(rowsWhileEditing, 3);
        QCOMPARE(titleInEditor, QStringLiteral("(無題)"));
        QCOMPARE(window.rowCount(), 3);
        QCOMPARE(noticeGrid(&window)->activeRow(), 3);
        QCOMPARE(window.activeNewsId(), 3);
        QCOMPARE(stored(app, QStringLiteral("見出し"), 3), QStringLiteral("(無題)"));
        QCOMPARE(stored(app, QStringLiteral("本文"), 3), QStringLiteral("(未入力)"));
        QCOMPARE(stored(app, QStringLiteral("送信日時"), 3), QStringLiteral("(未送信)"));
        const QString created = stored(app, QStringLiteral("作成日時"), 3);
        QVERIFY2(created >= before && created <= after, qPrintable(created));
        QCOMPARE(bodyView(&window), QStringLiteral("(未入力)"));
    }

    // The chooser writes the destinations at once; the editor left through its
    // close box saves nothing else, but the main window shows what was chosen.
    void destinationsChosenInANewNoticeShowAfterTheCloseBox()
    {
        TestApp app;
        app.addGroups({"役員", "一年"});
        app.addNotice(1, QStringLiteral("既存"));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QCOMPARE(destinations(&window), QString());
        bool chooserTicked = false;
        test::answerNextModal([&](QWidget *editor) {
            test::answerNextModal([&](QWidget *chooser) {
                auto *grid = child<SpreadGrid>(chooser, "fpSpread1");
                clickCell(grid, 2, 2); // 一年
                chooserTicked = grid->text(2, 2).toInt() == 1;
                chooser->findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
            });
            editor->findChild<QPushButton *>(QStringLiteral("cmdGroup"))->click();
            editor->close();
        });
        clickTool(window, "ID_EditNew");
        QVERIFY(chooserTicked);
        QCOMPARE(window.activeNewsId(), 2);
        QCOMPARE(app.count(noticeDestinations().table, QStringLiteral("NewsID = 2 and GroupID = 2")), 1);
        QCOMPARE(destinations(&window), QStringLiteral("一年"));
    }

    void theNoticeCapDisablesNewAndDeleteEnablesIt()
    {
        TestApp app;
        addManyNotices(app, 998);
        app.link(noticeDestinations(), 500, 1);
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QVERIFY(newToolsEnabled(window));
        closeNextEditor();
        clickTool(window, "ID_mnuEditNew");
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")), 999);
        QCOMPARE(window.activeNewsId(), 999);
        QVERIFY(newToolsDisabled(window));
        clickTool(window, "ID_EditNew"); // refused: no editor, no row
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")), 999);
        clickTool(window, "ID_EditDel");
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")), 998);
        QVERIFY(newToolsEnabled(window));
    }

    void withTheCapReachedAtStartNewIsDisabledFromTheStart()
    {
        TestApp app;
        addManyNotices(app, 999);
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QVERIFY(newToolsDisabled(window));
        QCOMPARE(window.rowCount(), 999);
    }

    void deleteRemovesTheNoticeAndItsDestinationsOnly()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("A"));
        app.addNotice(1, QStringLiteral("一"));
        app.addNotice(2, QStringLiteral("二"));
        app.addNotice(3, QStringLiteral("三"));
        app.link(noticeDestinations(), 2, {1, 5});
        app.link(noticeDestinations(), 1, 1);
        app.link(noticeDestinations(), 3, 1);
        app.link(memberGroups(), 2, 1); // member 2, not notice 2
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        noticeGrid(&window)->setActiveCell(2, 2);
        clickTool(window, "ID_EditDel");
        QCOMPARE(app.count(QStringLiteral("T_お知らせ"), QStringLiteral("NewsID = 2")), 0);
        QCOMPARE(app.count(noticeDestinations().table, QStringLiteral("NewsID = 2")), 0);
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")), 2);
        QCOMPARE(app.count(noticeDestinations().table), 2);
        QCOMPARE(app.count(memberGroups().table), 1);
        QCOMPARE(window.rowCount(), 2);
        // The row below moved up and is shown.
        QCOMPARE(window.activeNewsId(), 3);
        QCOMPARE(destinations(&window), QStringLiteral("A"));
        // Deleting the rest leaves nothing of the last notice on the screen.
        clickTool(window, "ID_EditDel");
        clickTool(window, "ID_EditDel");
        QCOMPARE(window.rowCount(), 0);
        QCOMPARE(bodyView(&window), QString());
        QCOMPARE(destinationGrid(&window)->maxRows(), 0);
    }

    void deleteThatFailsKeepsEverything()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"));
        app.link(noticeDestinations(), 1, 3);
        QVERIFY(app.exec(QStringLiteral("create trigger refuse before delete on T_お知らせに対する宛先情報 "
                                        "begin select raise(abort, 'database is locked'); end")));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QString message;
        test::acceptNextMessage(&message);
        clickTool(window, "ID_EditDel");
        QVERIFY(message.contains(QStringLiteral("database is locked")));
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")), 1);
        QCOMPARE(app.count(noticeDestinations().table), 1);
        QCOMPARE(window.rowCount(), 1);
    }

    void copyAndPasteGoThroughTheFourTextBuffer()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("A"));
        app.addNotice(1, QStringLiteral("一"), QStringLiteral("本文一"), QStringLiteral("2026/01/01 10:00:00"),
                      QStringLiteral("2026/01/02 10:00:00"));
        app.addNotice(2, QStringLiteral("二"), QStringLiteral("本文二"));
        app.addNotice(3, QStringLiteral("三"), QStringLiteral("本文三"));
        app.link(noticeDestinations(), 1, 1);
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        // Paste before any Copy writes four empty texts.
        noticeGrid(&window)->setActiveCell(2, 3);
        clickTool(window, "ID_EditPaste");
        QCOMPARE(stored(app, QStringLiteral("見出し"), 3), QString());
        QCOMPARE(stored(app, QStringLiteral("本文"), 3), QString());
        QCOMPARE(stored(app, QStringLiteral("作成日時"), 3), QString());
        QCOMPARE(stored(app, QStringLiteral("送信日時"), 3), QString());
        QCOMPARE(noticeGrid(&window)->text(2, 3), QString());
        // Copy, delete the copied notice, paste into another.
        noticeGrid(&window)->setActiveCell(2, 1);
        clickTool(window, "ID_mnuEditCopy");
        clickTool(window, "ID_mnuEditDel");
        QCOMPARE(window.activeNewsId(), 2);
        clickTool(window, "ID_mnuEditPaste");
        QCOMPARE(stored(app, QStringLiteral("見出し"), 2), QStringLiteral("一"));
        QCOMPARE(stored(app, QStringLiteral("本文"), 2), QStringLiteral("本文一"));
        QCOMPARE(stored(app, QStringLiteral("作成日時"), 2), QStringLiteral("2026/01/01 10:00:00"));
        QCOMPARE(stored(app, QStringLiteral("送信日時"), 2), QStringLiteral("2026/01/02 10:00:00"));
        QCOMPARE(noticeGrid(&window)->text(2, 1), QStringLiteral("一"));
        QCOMPARE(bodyView(&window), QStringLiteral("本文一"));
        // Destinations are not part of the copy, and no notice was created.
        QCOMPARE(destinationGrid(&window)->maxRows(), 0);
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")), 2);
    }

    void editSavesThroughTheEditorAndDoubleClickOpensIt()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"), QStringLiteral("本文\r\n二行目"));
        app.addNotice(2, QStringLiteral("二"), QStringLiteral("本文二"), QStringLiteral("2020/01/01 00:00:00"),
                      QStringLiteral("2020/02/02 00:00:00"));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        SpreadGrid *grid = noticeGrid(&window);
        grid->setActiveCell(3, 2);
        QString caption;
        QString submitInEditor;
        test::answerNextModal([&](QWidget *w) {
            caption = w->windowTitle();
            submitInEditor = w->findChild<QLineEdit *>(QStringLiteral("txtDateSubmit"))->text();
            w->findChild<QLineEdit *>(QStringLiteral("txtTitle"))->setText(QStringLiteral("二（改）"));
            w->findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"))
                ->setPlainText(QStringLiteral("新しい本文\n次の行"));
            w->findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
        });
        const QModelIndex cell = grid->model()->index(1, 2);
        // A double-click arrives as press, release, double-click.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
        QCOMPARE(caption, QStringLiteral("お知らせ編集"));
        QCOMPARE(submitInEditor, QStringLiteral("2020/02/02 00:00:00"));
        QCOMPARE(stored(app, QStringLiteral("見出し"), 2), QStringLiteral("二（改）"));
        QCOMPARE(stored(app, QStringLiteral("本文"), 2), QStringLiteral("新しい本文\r\n次の行"));
        QVERIFY(stored(app, QStringLiteral("作成日時"), 2) > QStringLiteral("2020/01/01 00:00:00"));
        QCOMPARE(stored(app, QStringLiteral("送信日時"), 2), QStringLiteral("2020/02/02 00:00:00"));
        QCOMPARE(grid->text(2, 2), QStringLiteral("二（改）"));
        QCOMPARE(bodyView(&window), QStringLiteral("新しい本文\n次の行"));
        QCOMPARE(stored(app, QStringLiteral("見出し"), 1), QStringLiteral("一"));

        // Double-clicking the heading row edits the active row too.
        closeNextEditor(&caption);
        caption.clear();
        grid->horizontalHeader()->sectionDoubleClicked(1);
        QCOMPARE(caption, QStringLiteral("お知らせ編集"));
        // So does Enter on the list.
        closeNextEditor(&caption);
        caption.clear();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(caption, QStringLiteral("お知らせ編集"));
    }

    void aRefusedSaveKeepsTheEditorOpenWithTheText()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"));
        QVERIFY(app.exec(QStringLiteral("create trigger refuse before update on T_お知らせ "
                                        "begin select raise(abort, 'database or disk is full'); end")));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QString message;
        bool stillOpen = false;
        QString titleAfter;
        test::answerNextModal([&](QWidget *editor) {
            editor->findChild<QLineEdit *>(QStringLiteral("txtTitle"))->setText(QStringLiteral("大事な見出し"));
            test::acceptNextMessage(&message);
            editor->findChild<QPushButton *>(QStringLiteral("cmdOk"))->click();
            stillOpen = editor->isVisible();
            titleAfter = editor->findChild<QLineEdit *>(QStringLiteral("txtTitle"))->text();
            editor->close();
        });
        clickTool(window, "ID_EditEdit");
        QVERIFY(message.contains(QStringLiteral("disk is full")));
        QVERIFY(stillOpen);
        QCOMPARE(titleAfter, QStringLiteral("大事な見出し"));
        QCOMPARE(stored(app, QStringLiteral("見出し"), 1), QStringLiteral("一"));
    }

    void sendTimeGoesIntoTheRowAndTheTable()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"));
        app.addNotice(2, QStringLiteral("二"));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        noticeGrid(&window)->setActiveCell(2, 2);
        QVERIFY(window.setActiveSendTime(QStringLiteral("2026/12/06 10:11:12")));
        QCOMPARE(stored(app, QStringLiteral("送信日時"), 2), QStringLiteral("2026/12/06 10:11:12"));
        QCOMPARE(noticeGrid(&window)->text(5, 2), QStringLiteral("2026/12/06 10:11:12"));
        QCOMPARE(stored(app, QStringLiteral("送信日時"), 1), QStringLiteral("(未送信)"));

        QVERIFY(app.exec(QStringLiteral("create trigger refuse before update on T_お知らせ "
                                        "begin select raise(abort, 'database is locked'); end")));
        QString message;
        test::acceptNextMessage(&message);
        QVERIFY(!window.setActiveSendTime(QStringLiteral("2026/12/07 00:00:00")));
        QVERIFY(message.contains(QStringLiteral("保存できませんでした")));
        QCOMPARE(noticeGrid(&window)->text(5, 2), QStringLiteral("2026/12/06 10:11:12"));
    }

    void fontSizeSettings_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("checked");
        QTest::newRow("missing") << QString() << 9 << "ID_mnuFontSize3";
        QTest::newRow("0") << "0" << 9 << "ID_mnuFontSize3";
        QTest::newRow("3") << "3" << 9 << "ID_mnuFontSize3";
        QTest::newRow("6") << "6" << 9 << "ID_mnuFontSize3";
        QTest::newRow("letters") << "abc" << 9 << "ID_mnuFontSize3";
        QTest::newRow("1") << "1" << 14 << "ID_mnuFontSize1";
        QTest::newRow("5") << "5" << 6 << "ID_mnuFontSize5";
    }

    void fontSizeSettings()
    {
        QFETCH(QString, stored);
        QFETCH(int, points);
        QFETCH(QString, checked);
        TestApp app;
        app.addNotice(1, QStringLiteral("一"));
        if (!stored.isNull())
            app.setSetting(kSection, "SpreadFontSize", stored);
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QCOMPARE(noticeGrid(&window)->font().pointSize(), points);
        QVERIFY(window.tools()->tool(checked)->isChecked());
    }

    void fontSizeCommandAppliesAndPersists()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"));
        {
            MainWindow window(app.context());
            QVERIFY(showAndWait(&window));
            clickTool(window, "ID_mnuFontSize2");
            QCOMPARE(noticeGrid(&window)->font().pointSize(), 12);
            QVERIFY(!window.tools()->tool(QStringLiteral("ID_mnuFontSize3"))->isChecked());
            window.close();
        }
        QCOMPARE(app.settingLong(kSection, "SpreadFontSize"), 2);
        MainWindow again(app.context());
        QVERIFY(showAndWait(&again));
        QCOMPARE(noticeGrid(&again)->font().pointSize(), 12);
    }

    void geometryIsRestoredOnlyWhenTopIsAboveZero()
    {
        TestApp app;
        int designWidth = 0;
        {
            MainWindow window(app.context());
            QVERIFY(showAndWait(&window));
            designWidth = window.frameGeometry().width();
        }
        // Top 0 (a window closed while minimised): the design place and size stay.
        app.setSetting(kSection, "Top", "0");
        app.setSetting(kSection, "Left", "3000");
        app.setSetting(kSection, "Width", "9000");
        app.setSetting(kSection, "Height", "6000");
        {
            MainWindow window(app.context());
            QVERIFY(showAndWait(&window));
            QCOMPARE(window.frameGeometry().width(), designWidth);
            QVERIFY(window.frameGeometry().left() != 200);
        }
        app.setSetting(kSection, "Top", "1500");
        app.setSetting(kSection, "Left", "3000");
        app.setSetting(kSection, "Width", "12000");
        app.setSetting(kSection, "Height", "7500");
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QCOMPARE(window.frameGeometry().topLeft() - window.screen()->geometry().topLeft(), QPoint(200, 100));
        QCOMPARE(window.size(), QSize(800, 500)); // the window's own size, without the frame
    }

    void columnAndPaneSettingsRoundTripAndNewsIdStaysHidden()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"));
        app.setSetting(kSection, "C1", "900");
        app.setSetting(kSection, "C3", "3000");
        app.setSetting(kSection, "SpreadW", "4500");
        {
            MainWindow window(app.context());
            QVERIFY(showAndWait(&window));
            SpreadGrid *grid = noticeGrid(&window);
            QVERIFY(grid->isColumnHidden(0));
            QCOMPARE(grid->colWidthTwips(3), 3000);
            QCOMPARE(window.findChild<QSplitter *>(QStringLiteral("SSSplitter1"))->sizes().value(0),
                     twipsToPxX(4500, &window));
            grid->setColumnWidth(1, 200); // the user widens 見出し
            window.close();
        }
        QCOMPARE(app.settingLong(kSection, "C1"), 0);
        QCOMPARE(app.settingLong(kSection, "C2"), 3000);
        QCOMPARE(app.settingLong(kSection, "C3"), 3000);
        QCOMPARE(app.settingLong(kSection, "C5") > 0, true);
        QCOMPARE(app.settingLong(kSection, "SpreadW"), 4500);
        QVERIFY(app.settingLong(kSection, "Width") > 0);
    }

    void destinationColumnFollowsResizeAndSplitter()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("役員会"));
        app.addNotice(1, QStringLiteral("一"));
        app.link(noticeDestinations(), 1, 1);
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        SpreadGrid *grid = destinationGrid(&window);
        auto fits = [grid] {
            const int expected = grid->widthTwips() - grid->rowHeaderWidthTwips() - 50;
            return qAbs(grid->colWidthTwips(1) - expected) <= 15; // one pixel
        };
        QVERIFY(fits());
        window.resize(window.width() + 150, window.height());
        QTRY_VERIFY(fits());
        auto *splitter = window.findChild<QSplitter *>(QStringLiteral("SSSplitter1"));
        const QList<int> sizes = splitter->sizes();
        splitter->setSizes({sizes[0] + 120, sizes[1] - 120});
        QTRY_VERIFY(fits());
        window.resize(window.width() - 300, window.height());
        QTRY_VERIFY(fits());
    }

    void helpContentsAndWebPageOpenThroughTheDesktop()
    {
        TestApp app;
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        UrlCatcher catcher({QStringLiteral("file"), QStringLiteral("https")});
        // No help page in this folder: the user is told so.
        QString message;
        test::acceptNextMessage(&message);
        clickTool(window, "ID_mnuHelpHelp");
        QVERIFY(message.contains(QStringLiteral("index.htm")));
        QVERIFY(catcher.opened.isEmpty());
        // With the page in place it is handed to the desktop.
        QDir(app.dir()).mkpath(QStringLiteral("Help"));
        QFile page(app.dir() + QStringLiteral("/Help/index.htm"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        clickTool(window, "ID_mnuHelpHelp");
        QCOMPARE(catcher.opened.value(0), QUrl::fromLocalFile(QFileInfo(page).absoluteFilePath()));
        clickTool(window, "ID_mnuHelpWeb");
        QCOMPARE(catcher.opened.value(1), QUrl(QLatin1String(kVendorWebPage)));
    }

    void aboutOpensFromTheHelpMenu()
    {
        TestApp app;
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        QString caption;
        test::answerNextModal([&](QWidget *w) {
            caption = w->windowTitle();
            w->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        });
        clickTool(window, "ID_mnuHelpAbout");
        QCOMPARE(caption, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    }

    void closeWritesTheSettings()
    {
        TestApp app;
        app.addNotice(1, QStringLiteral("一"));
        MainWindow window(app.context());
        QVERIFY(showAndWait(&window));
        clickTool(window, "ID_Close");
        QVERIFY(!window.isVisible());
        QVERIFY(app.settingLong(kSection, "Height") > 0);
        QCOMPARE(app.setting(kSection, "SpreadFontSize"), QStringLiteral("3"));
    }
};

QTEST_MAIN(TestMenuMain)
#include "test_menumain.moc"
