// The two group choosers: ticking groups for a notice or a member and rewriting
// the record's link rows.
#include "app/spreadgrid.h"
#include "notices/groupchooser.h"
#include "support/testapp.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QWindow>

using namespace lumivox;
using lumivox::test::TestApp;

namespace {

// The record's linked groups, ascending, as "1,3,4".
QString linksOf(TestApp &app, const LinkTable &links, int key)
{
    return app
        .scalar(QStringLiteral("select group_concat(GroupID) from (select GroupID from %1 "
                               "where %2 = ? order by GroupID)")
                    .arg(quoted(links.table), links.keyColumn),
                {key})
        .toString();
}

SpreadGrid *gridOf(QWidget *w)
{
    return w->findChild<SpreadGrid *>(QStringLiteral("fpSpread1"));
}

QPushButton *button(QWidget *w, const char *name)
{
    return w->findChild<QPushButton *>(QLatin1String(name));
}

// Clicks the check box of a grid row, as the user does.
void clickTick(SpreadGrid *grid, int row)
{
    test::clickCell(grid, 2, row);
}

// Which rows are ticked, as "1,0,1".
QString ticks(SpreadGrid *grid)
{
    QStringList out;
    for (int r = 1; r <= grid->maxRows(); ++r)
        out << QString::number(grid->text(2, r).toInt());
    return out.join(u',');
}

// Opens a chooser for `key` the way its openers do: LoadData fills the key.
void openFor(GroupChooser &dlg, int key, const QString &name = {})
{
    QObject::connect(&dlg, &GroupChooser::LoadData, &dlg, [&dlg, key, name] {
        dlg.setRecordKey(key);
        if (!name.isEmpty())
            dlg.lblName()->setText(name);
    });
    QVERIFY(test::showAndWait(&dlg));
}

void addGroups(TestApp &app, int n)
{
    for (int g = 1; g <= n; ++g)
        app.addGroup(g, QStringLiteral("グループ%1").arg(g));
}

} // namespace

class TestSelGroup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noLinksShowsAllUntickedAndOkWritesNone()
    {
        TestApp app;
        addGroups(app, 3);
        app.addNotice(5, QStringLiteral("総会"));
        app.link(noticeDestinations(), 6, 2); // another notice's link stays
        NoticeGroupChooser dlg(app.context());
        openFor(dlg, 5);
        SpreadGrid *grid = gridOf(&dlg);
        QCOMPARE(grid->maxRows(), 3);
        QCOMPARE(ticks(grid), QStringLiteral("0,0,0"));
        QCOMPARE(grid->text(3, 2), QStringLiteral("グループ2"));
        button(&dlg, "cmdOk")->click();
        QCOMPARE(dlg.UsrTag(), QStringLiteral("OK"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(app.count(noticeDestinations().table, QStringLiteral("NewsID = 5")), 0);
        QCOMPARE(linksOf(app, noticeDestinations(), 6), QStringLiteral("2"));
    }

    void currentLinksAreTickedAndReplacedOnOk()
    {
        TestApp app;
        addGroups(app, 4);
        app.link(noticeDestinations(), 7, {1, 3});
        NoticeGroupChooser dlg(app.context());
        openFor(dlg, 7);
        SpreadGrid *grid = gridOf(&dlg);
        QCOMPARE(ticks(grid), QStringLiteral("1,0,1,0"));
        clickTick(grid, 1); // untick 1
        clickTick(grid, 4); // tick 4
        QCOMPARE(ticks(grid), QStringLiteral("0,0,1,1"));
        button(&dlg, "cmdOk")->click();
        QCOMPARE(linksOf(app, noticeDestinations(), 7), QStringLiteral("3,4"));
        QCOMPARE(app.count(noticeDestinations().table), 2);
    }

    void everyGroupTickedGivesOneRowPerGroup()
    {
        TestApp app;
        addGroups(app, 5);
        NoticeGroupChooser dlg(app.context());
        openFor(dlg, 1);
        SpreadGrid *grid = gridOf(&dlg);
        for (int r = 1; r <= 5; ++r)
            clickTick(grid, r);
        grid->setFocus();
        grid->setActiveCell(2, 2);
        QTest::keyClick(grid, Qt::Key_Space); // Space toggles as well: 2 off
        QTest::keyClick(grid, Qt::Key_Space); // and on again
        button(&dlg, "cmdOk")->click();
        QCOMPARE(linksOf(app, noticeDestinations(), 1), QStringLiteral("1,2,3,4,5"));
        QCOMPARE(app.count(noticeDestinations().table), 5);
    }

    void linkToDeletedGroupGoesOnOkAndStaysOnCancel()
    {
        TestApp app;
        addGroups(app, 2);
        app.link(noticeDestinations(), 3, 2);
        app.link(noticeDestinations(), 3, 9); // group 9 no longer exists
        {
            NoticeGroupChooser dlg(app.context());
            openFor(dlg, 3);
            QCOMPARE(ticks(gridOf(&dlg)), QStringLiteral("0,1"));
            clickTick(gridOf(&dlg), 1);
            button(&dlg, "cmdCancel")->click();
            QCOMPARE(dlg.UsrTag(), QStringLiteral("ｷｬﾝｾﾙ"));
        }
        QCOMPARE(linksOf(app, noticeDestinations(), 3), QStringLiteral("2,9"));
        {
            NoticeGroupChooser dlg(app.context());
            openFor(dlg, 3);
            QCOMPARE(ticks(gridOf(&dlg)), QStringLiteral("0,1")); // the cancelled tick is gone
            button(&dlg, "cmdOk")->click();
        }
        QCOMPARE(linksOf(app, noticeDestinations(), 3), QStringLiteral("2"));
    }

    void closeBoxAndEscapeWriteNothing()
    {
        TestApp app;
        addGroups(app, 2);
        app.link(noticeDestinations(), 4, 1);
        {
            NoticeGroupChooser dlg(app.context());
            openFor(dlg, 4);
            clickTick(gridOf(&dlg), 2);
            dlg.close(); // the close box
            QCOMPARE(dlg.UsrTag(), QString());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
        {
            NoticeGroupChooser dlg(app.context());
            openFor(dlg, 4);
            clickTick(gridOf(&dlg), 1);
            QTest::keyClick(&dlg, Qt::Key_Escape);
            QCOMPARE(dlg.UsrTag(), QStringLiteral("ｷｬﾝｾﾙ"));
        }
        QCOMPARE(linksOf(app, noticeDestinations(), 4), QStringLiteral("1"));
    }

    void noGroupsAtAllRemovesEveryLinkOnOk()
    {
        TestApp app;
        app.link(noticeDestinations(), 2, {4, 8});
        NoticeGroupChooser dlg(app.context());
        openFor(dlg, 2);
        QCOMPARE(gridOf(&dlg)->maxRows(), 0);
        button(&dlg, "cmdOk")->click();
        QCOMPARE(app.count(noticeDestinations().table, QStringLiteral("NewsID = 2")), 0);
    }

    void columnWidthsPersistAndGroupIdStaysHidden()
    {
        TestApp app;
        addGroups(app, 2);
        app.setSetting("SelGroupforNews", "C1", "1200");
        int nameWidth = 0;
        {
            NoticeGroupChooser dlg(app.context());
            openFor(dlg, 1);
            SpreadGrid *grid = gridOf(&dlg);
            QVERIFY(grid->isColumnHidden(0));
            grid->setColumnWidth(2, 150); // as a drag on the header does
            nameWidth = grid->colWidthTwips(3);
            button(&dlg, "cmdCancel")->click();
        }
        QCOMPARE(app.settingLong("SelGroupforNews", "C1"), 0);
        QCOMPARE(app.settingLong("SelGroupforNews", "C3"), nameWidth);
        {
            NoticeGroupChooser dlg(app.context());
            openFor(dlg, 1);
            SpreadGrid *grid = gridOf(&dlg);
            QVERIFY(grid->isColumnHidden(0));
            QCOMPARE(grid->colWidthTwips(3), nameWidth);
            dlg.close();
        }
        // The member chooser keeps its own section.
        QCOMPARE(app.settingLong("SelGroupforMember", "C3"), 0);
    }

    void positionPersistsAndZeroTopCentres()
    {
        TestApp app;
        app.setSetting("SelGroupforNews", "Top", "0");
        app.setSetting("SelGroupforNews", "Left", "1500");
        NoticeGroupChooser dlg(app.context());
        openFor(dlg, 1);
        const QRect screen = dlg.screen()->geometry();
        QCOMPARE(dlg.frameGeometry().left() - screen.left(), 100); // 1500 twips at 96 DPI
        QVERIFY(qAbs(dlg.frameGeometry().top() - (screen.height() - dlg.frameGeometry().height()) / 2) <= 1);
        dlg.close();
        QCOMPARE(app.settingLong("SelGroupforNews", "Left"), 1500);
        QVERIFY(app.settingLong("SelGroupforNews", "Top") > 0);
    }

    void loadDataRunsOnceBeforeShowingUnderExec()
    {
        TestApp app;
        addGroups(app, 3);
        app.addMember(12, QStringLiteral("山田 花子"));
        app.link(memberGroups(), 12, 2);
        app.link(noticeDestinations(), 12, 1); // a notice with the same key is not the member
        MemberGroupChooser dlg(app.context());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("所属グループの登録"));
        QCOMPARE(dlg.lblName()->text(), QStringLiteral("●●　●●　さん が"));
        QVERIFY(dlg.findChild<QSpinBox *>(QStringLiteral("numMemberID")));
        int loads = 0;
        bool visibleAtLoad = true;
        connect(&dlg, &GroupChooser::LoadData, &dlg, [&] {
            ++loads;
            visibleAtLoad = dlg.windowHandle() && dlg.windowHandle()->isVisible(); // on the screen yet?
            dlg.setRecordKey(12);
            dlg.lblName()->setText(QStringLiteral("山田 花子 様 が"));
        });
        QString seenTicks;
        test::answerNextModal([&](QWidget *w) {
            seenTicks = ticks(gridOf(w));
            clickTick(gridOf(w), 3);
            button(w, "cmdOk")->click();
        });
        dlg.exec();
        QCOMPARE(loads, 1);
        QVERIFY(!visibleAtLoad);
        QCOMPARE(seenTicks, QStringLiteral("0,1,0"));
        QCOMPARE(dlg.UsrTag(), QStringLiteral("OK"));
        QCOMPARE(linksOf(app, memberGroups(), 12), QStringLiteral("2,3"));
        QCOMPARE(linksOf(app, noticeDestinations(), 12), QStringLiteral("1"));
    }

    void failedRewriteKeepsTheOldLinksAndTellsTheUser()
    {
        TestApp app;
        addGroups(app, 3);
        app.link(noticeDestinations(), 1, {1, 2});
        // The database refuses every new link, as a full disk or a locked file would.
        QVERIFY(app.exec(QStringLiteral(
            "create trigger refuse before insert on T_お知らせに対する宛先情報 "
            "begin select raise(abort, 'database or disk is full'); end")));
        NoticeGroupChooser dlg(app.context());
        openFor(dlg, 1);
        clickTick(gridOf(&dlg), 3);
        QString message;
        test::acceptNextMessage(&message);
        button(&dlg, "cmdOk")->click();
        QVERIFY(message.contains(QStringLiteral("保存できませんでした")));
        QVERIFY(message.contains(QStringLiteral("disk is full")));
        QVERIFY(dlg.isVisible()); // still open, so the user can try again or cancel
        QCOMPARE(dlg.UsrTag(), QString());
        QCOMPARE(linksOf(app, noticeDestinations(), 1), QStringLiteral("1,2"));
        dlg.close();
    }
};

QTEST_MAIN(TestSelGroup)
#include "test_selgroup.moc"
