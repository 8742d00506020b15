// The four 印刷 entries of the main window: each opens its report's modal
// preview; the check list only once the send list of the selected notice is made.
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "mainwindow/mainwindow.h"
#include "reports/reportpreview.h"
#include "support/testapp.h"

#include <QAction>
#include <QPrintPreviewWidget>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

// What a click on a print entry showed: the preview's caption and page count,
// and the messages.
struct Shown {
    QString caption;
    int pages = -1;
    QList<Message> messages;
};

Shown clickPrint(MainWindow &window, const char *id)
{
    Shown shown;
    test::Answers answers;
    answers.nextDialog([&shown](QDialog &dialog) {
        if (auto *preview = qobject_cast<ReportPreview *>(&dialog)) {
            shown.caption = preview->windowTitle();
            shown.pages = preview->findChild<QPrintPreviewWidget *>()->pageCount();
        }
        dialog.close();
    });
    test::clickTool(window, id);
    shown.messages = answers.messages;
    return shown;
}

} // namespace

class TestReportCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsOpenTheirPreviews()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("役員会"));
        app.addMember(1, QStringLiteral("山田 太郎"));
        app.link(memberGroups(), 1, 1);
        MainWindow window(app.context());
        window.show();
        QCOMPARE(clickPrint(window, "ID_mnuPrintGroup").caption, QStringLiteral("グループ一覧"));
        QCOMPARE(clickPrint(window, "ID_mnuPrintMember").caption, QStringLiteral("メンバー一覧"));
        const Shown byGroup = clickPrint(window, "ID_mnuPrintMember2");
        QCOMPARE(byGroup.caption, QStringLiteral("メンバー一覧（グループ別）"));
        QVERIFY(byGroup.messages.isEmpty());
        QCOMPARE(app.count(QStringLiteral("T_temp_送信リスト")), 1);
    }

    void checkListFollowsTheSelectedNoticesDestinations()
    {
        TestApp app;
        app.addGroups({"役員会", "子ども会"});
        app.addMember(1, QStringLiteral("山田 太郎"));
        app.link(memberGroups(), 1, 1);
        app.addNotice(1, QStringLiteral("宛先なし"));
        app.addNotice(2, QStringLiteral("会員のいない宛先"));
        app.addNotice(3, QStringLiteral("役員会あて"));
        app.link(noticeDestinations(), 2, 2);
        app.link(noticeDestinations(), 3, 1);
        MainWindow window(app.context());
        window.show();
        auto *grid = window.findChild<SpreadGrid *>(QStringLiteral("fpSpread1"));
        QVERIFY(grid);
        QCOMPARE(grid->maxRows(), 3);
        auto select = [&](int row) { grid->setActiveCell(2, row); };

        // No destination group: the send sequence's message, and no preview.
        select(1);
        Shown shown = clickPrint(window, "ID_mnuPrintCheckList");
        QCOMPARE(shown.messages.size(), 1);
        QCOMPARE(shown.messages[0].text,
                 QStringLiteral("お知らせの宛先が選択されていません。宛先ｸﾞﾙｰﾌﾟを必ず選択してください。"));
        QVERIFY(shown.caption.isEmpty());

        // Destination groups without members: the (empty) check list opens.
        select(2);
        shown = clickPrint(window, "ID_mnuPrintCheckList");
        QVERIFY(shown.messages.isEmpty());
        QCOMPARE(shown.caption, QStringLiteral("送信チェックリスト"));
        QCOMPARE(shown.pages, 1);
        QCOMPARE(app.count(QStringLiteral("T_temp_送信リスト")), 0);

        // The selected notice's recipients.
        select(3);
        shown = clickPrint(window, "ID_mnuPrintCheckList");
        QCOMPARE(shown.caption, QStringLiteral("送信チェックリスト"));
        QCOMPARE(app.count(QStringLiteral("T_temp_送信リスト"), QStringLiteral("名前 = '山田 太郎'")), 1);
    }
};

QTEST_MAIN(TestReportCommands)
#include "test_reportcommands.moc"
