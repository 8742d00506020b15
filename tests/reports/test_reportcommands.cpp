// The four 印刷 entries of the main window: each opens its report's modal
// preview; the check list only once the send list of the selected notice is made.
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "mainwindow/mainwindow.h"
#include "reports/reportpreview.h"
#include "support/testapp.h"

#include <QAction>
#include <QApplication>
#include <QPrintPreviewWidget>
#include <QTest>
#include <QTimer>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

// What a click on a print entry showed: the preview's caption and page count, or
// the text of a message box.
struct Shown {
    QString caption;
    QString subject; // the line under the title
    int pages = -1;
    QString message;
    int modals = 0;
};

Shown clickPrint(MainWindow &window, const char *id)
{
    Shown shown;
    // Answers every modal window the click opens: a message box, then possibly a
    // preview. The timer lives only while the click runs.
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&shown] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        ++shown.modals;
        if (auto *preview = qobject_cast<ReportPreview *>(modal)) {
            shown.caption = preview->windowTitle();
            shown.subject = preview->document().subject();
            if (auto *pages = preview->findChild<QPrintPreviewWidget *>())
                shown.pages = pages->pageCount();
            preview->close();
        } else {
            shown.message = test::messageText(modal);
            test::acceptMessage(modal);
        }
    });
    poll.start();
    test::clickTool(window, id);
    poll.stop();
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
        QCOMPARE(byGroup.modals, 1);
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
        QCOMPARE(shown.message,
                 QStringLiteral("お知らせの宛先が選択されていません。宛先ｸﾞﾙｰﾌﾟを必ず選択してください。"));
        QVERIFY(shown.caption.isEmpty());
        QCOMPARE(shown.modals, 1);

        // Destination groups without members: the (empty) check list opens.
        select(2);
        shown = clickPrint(window, "ID_mnuPrintCheckList");
        QVERIFY(shown.message.isEmpty());
        QCOMPARE(shown.caption, QStringLiteral("送信チェックリスト"));
        QCOMPARE(shown.pages, 1);
        QCOMPARE(app.count(QStringLiteral("T_temp_送信リスト")), 0);

        // The selected notice's recipients.
        select(3);
        shown = clickPrint(window, "ID_mnuPrintCheckList");
        QCOMPARE(shown.caption, QStringLiteral("送信チェックリスト"));
        QCOMPARE(shown.subject, QStringLiteral("お知らせ：「役員会あて」　作成日時：2026/12/01 09:00:00"));
        QCOMPARE(app.count(QStringLiteral("T_temp_送信リスト"), QStringLiteral("名前 = '山田 太郎'")), 1);
    }
};

QTEST_MAIN(TestReportCommands)
#include "test_reportcommands.moc"
