// The notice editor: its fields, its events, its group list and the chooser it
// opens.
#include "app/placement.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "notices/noticeeditor.h"
#include "mainwindow/mainwindow.h"
#include "notices/groupchooser.h"
#include "support/testapp.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

QPushButton *button(QWidget *w, const char *name)
{
    return w->findChild<QPushButton *>(QLatin1String(name));
}

SpreadGrid *groupGrid(QWidget *w)
{
    return w->findChild<SpreadGrid *>(QStringLiteral("fpSpread1"));
}

QString groupNames(QWidget *w)
{
    SpreadGrid *grid = groupGrid(w);
    QStringList names;
    for (int r = 1; r <= grid->maxRows(); ++r)
        names << grid->text(1, r);
    names.sort();
    return names.join(u',');
}

// Fills the editor as the main window does, for notice `id`.
void fillOnLoad(NoticeEditor &editor, int id, const QString &title)
{
    QObject::connect(&editor, &NoticeEditor::LoadData, &editor, [&editor, id, title] {
        editor.setNewsId(id);
        editor.txtTitle()->setText(title);
        editor.RichTextBox1()->setPlainText(QStringLiteral("本文"));
        editor.txtDateCreate()->setText(QStringLiteral("2020/01/01 00:00:00"));
        editor.txtDateSubmit()->setText(QStringLiteral("(未送信)"));
    });
}

// Ticks a row of the chooser's grid the way the user does.
void clickTick(QWidget *chooser, int row)
{
    test::clickCell(groupGrid(chooser), 2, row);
}

} // namespace

class TestInpNews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void designTextsAndLimits()
    {
        TestApp app;
        NoticeEditor editor(app.context());
        editor.setUsrCaption(QString()); // empty: the design title stays
        QVERIFY(test::showAndWait(&editor));
        QCOMPARE(editor.windowTitle(), QStringLiteral("お知らせの新規作成"));
        QCOMPARE(editor.findChild<QLabel *>(QStringLiteral("lblMemo"))->text(),
                 QStringLiteral("連絡網で送信する「お知らせ」を編集してください。"));
        // The headline takes at most 80 characters, typed or pasted.
        editor.txtTitle()->setFocus();
        QTest::keyClicks(editor.txtTitle(), QString(90, u'a'));
        QCOMPARE(editor.txtTitle()->text().size(), 80);
        editor.txtTitle()->clear();
        editor.txtTitle()->insert(QString(90, QChar(u'あ'))); // as a paste does
        QCOMPARE(editor.txtTitle()->text(), QString(80, QChar(u'あ')));
        QVERIFY(editor.txtDateCreate()->isReadOnly());
        QVERIFY(editor.txtDateSubmit()->isReadOnly());
        QVERIFY(!button(&editor, "cmdHelp")->isVisible());
        editor.close();
    }

    void captionAndHelpButtonFollowTheProperties()
    {
        TestApp app;
        NoticeEditor editor(app.context());
        editor.setUsrCaption(QStringLiteral("お知らせ編集"));
        editor.setUsrHelpFile(app.dir() + QStringLiteral("/Help/index.htm"));
        QVERIFY(test::showAndWait(&editor));
        QCOMPARE(editor.windowTitle(), QStringLiteral("お知らせ編集"));
        QVERIFY(button(&editor, "cmdHelp")->isVisible());
        editor.close();
    }

    void okRefreshesTheCreationTimeAndRaisesSaveData()
    {
        TestApp app;
        NoticeEditor editor(app.context());
        fillOnLoad(editor, 3, QStringLiteral("見出し"));
        int saves = 0;
        QString createdAtSave;
        connect(&editor, &NoticeEditor::SaveData, &editor, [&](bool &cancel) {
            ++saves;
            QVERIFY(!cancel); // False on entry
            createdAtSave = editor.txtDateCreate()->text();
        });
        QVERIFY(test::showAndWait(&editor));
        const QString before = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        button(&editor, "cmdOk")->click(); // nothing changed
        const QString after = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        QCOMPARE(saves, 1);
        QVERIFY2(createdAtSave >= before && createdAtSave <= after, qPrintable(createdAtSave));
        QCOMPARE(editor.UsrTag(), QStringLiteral("OK"));
        QVERIFY(!editor.isVisible());
    }

    void cancelFromSaveDataKeepsTheEditorOpen()
    {
        TestApp app;
        NoticeEditor editor(app.context());
        connect(&editor, &NoticeEditor::SaveData, &editor, [](bool &cancel) { cancel = true; });
        QVERIFY(test::showAndWait(&editor));
        button(&editor, "cmdOk")->click();
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.UsrTag(), QStringLiteral("OK"));
        // Esc throws nothing away; the close box leaves.
        QTest::keyClick(&editor, Qt::Key_Escape);
        QVERIFY(editor.isVisible());
        editor.close();
        QVERIFY(!editor.isVisible());
    }

    void groupListShowsExistingDestinationsOnly()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        app.link(noticeDestinations(), 5, {1, 2});
        app.link(noticeDestinations(), 5, 30); // deleted group
        app.link(noticeDestinations(), 6, 1);
        {
            NoticeEditor editor(app.context());
            fillOnLoad(editor, 5, QStringLiteral("総会"));
            QVERIFY(test::showAndWait(&editor));
            QCOMPARE(groupNames(&editor), QStringLiteral("子ども会,役員会"));
            SpreadGrid *grid = groupGrid(&editor);
            QVERIFY(qAbs(grid->colWidthTwips(1) - (grid->widthTwips() - grid->rowHeaderWidthTwips() - 50)) <= 15);
            editor.close();
        }
        NoticeEditor editor(app.context());
        fillOnLoad(editor, 7, QStringLiteral("無し"));
        QVERIFY(test::showAndWait(&editor));
        QCOMPARE(groupGrid(&editor)->maxRows(), 0);
        editor.close();
    }

    void chooserGetsKeyAndCurrentHeadlineAndOkRefillsTheList()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        NoticeEditor editor(app.context());
        fillOnLoad(editor, 8, QStringLiteral("保存前"));
        QVERIFY(test::showAndWait(&editor));
        editor.txtTitle()->setText(QStringLiteral("入力中の見出し"));
        QString chooserName;
        QString chooserTitle;
        test::answerNextModal([&](QWidget *chooser) {
            chooserTitle = chooser->windowTitle();
            chooserName = chooser->findChild<QLabel *>(QStringLiteral("lblName"))->text();
            clickTick(chooser, 2);
            button(chooser, "cmdOk")->click();
        });
        button(&editor, "cmdGroup")->click();
        QCOMPARE(chooserTitle, QStringLiteral("宛先グループの登録"));
        QCOMPARE(chooserName, QStringLiteral("お知らせ「入力中の見出し」を連絡する"));
        QCOMPARE(app.count(noticeDestinations().table, QStringLiteral("NewsID = 8 and GroupID = 2")), 1);
        QCOMPARE(groupNames(&editor), QStringLiteral("子ども会"));
        // Cancel in the chooser changes nothing.
        test::answerNextModal([&](QWidget *chooser) {
            clickTick(chooser, 1);
            button(chooser, "cmdCancel")->click();
        });
        button(&editor, "cmdGroup")->click();
        QCOMPARE(groupNames(&editor), QStringLiteral("子ども会"));
        QCOMPARE(app.count(noticeDestinations().table), 1);
        editor.close();
    }

    // Through the main window: new groups stay, the headline edit does not.
    void closeBoxKeepsChosenGroupsButNotTheHeadline()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        app.addNotice(1, QStringLiteral("元の見出し"), QStringLiteral("元の本文"));
        MainWindow window(app.context());
        QVERIFY(test::showAndWait(&window));
        QString tag = QStringLiteral("unset");
        test::answerNextModal([&](QWidget *w) {
            auto *editor = qobject_cast<NoticeEditor *>(w);
            QVERIFY(editor);
            editor->txtTitle()->setText(QStringLiteral("書きかけ"));
            editor->RichTextBox1()->setPlainText(QStringLiteral("書きかけの本文"));
            test::answerNextModal([](QWidget *chooser) {
                clickTick(chooser, 1);
                button(chooser, "cmdOk")->click();
            });
            button(editor, "cmdGroup")->click();
            QCOMPARE(groupNames(editor), QStringLiteral("役員会"));
            editor->close();
            tag = editor->UsrTag();
        });
        test::clickTool(window, "ID_EditEdit");
        QCOMPARE(tag, QString());
        QCOMPARE(app.scalar(QStringLiteral("select 見出し from T_お知らせ where NewsID = 1")).toString(),
                 QStringLiteral("元の見出し"));
        QCOMPARE(app.scalar(QStringLiteral("select 本文 from T_お知らせ where NewsID = 1")).toString(),
                 QStringLiteral("元の本文"));
        QCOMPARE(app.count(noticeDestinations().table, QStringLiteral("NewsID = 1 and GroupID = 1")), 1);
        // The main window shows the new destination at once.
        auto *destinations = window.findChild<SpreadGrid *>(QStringLiteral("fpSpread2"));
        QCOMPARE(destinations->maxRows(), 1);
        QCOMPARE(destinations->text(1, 1), QStringLiteral("役員会"));
    }

    void positionFromTheSettings()
    {
        TestApp app;
        const QString section = QStringLiteral("InpNews");
        // Top 0 and Left 500: centred vertically, 500 twips from the left.
        app.setSetting(section, "Top", "0");
        app.setSetting(section, "Left", "500");
        {
            NoticeEditor editor(app.context());
            QVERIFY(test::showAndWait(&editor));
            const QRect screen = editor.screen()->geometry();
            const QRect frame = editor.frameGeometry();
            QCOMPARE(frame.left() - screen.left(), twipsToPxX(500, &editor));
            const int centredTwips = (pxToTwipsY(screen.height(), &editor) - pxToTwipsY(frame.height(), &editor)) / 2;
            QVERIFY(qAbs(frame.top() - screen.top() - twipsToPxY(std::max(0, centredTwips), &editor)) <= 1);
            editor.move(screen.left() + 40, screen.top() + 60);
            editor.close();
        }
        QCOMPARE(app.settingLong(section, "Left"), 600);
        QCOMPARE(app.settingLong(section, "Top"), 900);
        NoticeEditor editor(app.context());
        QVERIFY(test::showAndWait(&editor));
        QCOMPARE(editor.frameGeometry().topLeft() - editor.screen()->geometry().topLeft(), QPoint(40, 60));
        editor.close();
    }
};

QTEST_MAIN(TestInpNews)
#include "test_inpnews.moc"
