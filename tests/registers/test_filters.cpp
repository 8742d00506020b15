// Narrowing the member list by keyword or by group, the keyword history, the
// group filter dialog, and the member's groups on the card.
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "db/tablemodel.h"
#include "notices/groupchooser.h"
#include "app/keywordhistory.h"
#include "registers/memberregister.h"
#include "registers/groupfilterdialog.h"
#include "registers/keywordfilterdialog.h"
#include "registers/memberfilters.h"
#include "registertest.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

using namespace lumivox;
using namespace lumivox::test;

namespace {

QStringList listedNames(MemberRegister *w)
{
    QStringList names;
    for (int r = 1; r <= w->list()->maxRows(); ++r)
        names << w->list()->text(2, r);
    return names;
}

// Answers the keyword dialog the register is about to open.
void answerKeyword(const QString &keyword, int column, const char *button = "cmdOk")
{
    test::answerNextModal([=](QWidget *dialog) {
        child<QComboBox>(dialog, "cboKey")->setEditText(keyword);
        child<QRadioButton>(dialog, qPrintable(QStringLiteral("optItem%1").arg(column)))->click();
        child<QPushButton>(dialog, button)->click();
    });
}

// Ticks the groups of the rows given (1-based) in the group filter and presses OK.
void answerGroups(const QList<int> &rows)
{
    test::answerNextModal([=](QWidget *dialog) {
        auto *grid = child<SpreadGrid>(dialog, "fpSpread1");
        for (int r : rows)
            grid->setText(2, r, QStringLiteral("1"));
        child<QPushButton>(dialog, "cmdOk")->click();
    });
}

QStringList history(const KeywordHistory &keys)
{
    QStringList out;
    for (const KeywordEntry &k : keys)
        out << k.KeyWord;
    return out;
}

// Runs the keyword dialog on its own: types, picks the column, presses a button.
QString runKeywordDialog(TestApp &app, const QString &keyword, const char *button = "cmdOk")
{
    KeywordFilterDialog dialog(app.context());
    dialog.show();
    child<QComboBox>(&dialog, "cboKey")->setEditText(keyword);
    child<QPushButton>(&dialog, button)->click();
    return dialog.UserTag();
}

} // namespace

class TestFilters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keywordConditionIsBound()
    {
        QCOMPARE(filterColumn(QStringLiteral("[名前]")), QStringLiteral("名前"));
        QCOMPARE(filterColumn(QStringLiteral("[フリガナ]")), QStringLiteral("フリガナ"));
        QCOMPARE(filterColumn(QStringLiteral("[E-Mail]")), QStringLiteral("E-Mail"));
        QVERIFY(filterColumn(QStringLiteral("[名前] or 1=1 --")).isEmpty());
        const MemberCondition c = keywordCondition(QStringLiteral("[E-Mail]"), QStringLiteral("o'b%"));
        QVERIFY(!c.where.contains(QStringLiteral("o'b")));
        QCOMPARE(c.binds, QVariantList{QStringLiteral("%o'b%%")});
        // An unknown column matches nobody rather than running something else.
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        TableModel model(app.db());
        const MemberCondition bad = keywordCondition(QStringLiteral("[MemberID]"), QString());
        QVERIFY(model.open(QStringLiteral("T_メンバー"), bad.where, bad.binds));
        QCOMPARE(model.rowCount(), 0);
    }

    void idListsAndGroupNames()
    {
        QCOMPARE(parseIdList(QStringLiteral("(7, 3,12)")), (QList<qint64>{7, 3, 12}));
        QCOMPARE(parseIdList(QStringLiteral("(999999)")), QList<qint64>{999999});
        QCOMPARE(parseIdList(QStringLiteral("()")), QList<qint64>{});
        QCOMPARE(parseIdList(QStringLiteral("(1,x,2)")), (QList<qint64>{1, 2}));
        QCOMPARE(defaultGroupName(7), QStringLiteral("グループ７"));
        QCOMPARE(defaultGroupName(12), QStringLiteral("グループ１２"));
        QCOMPARE(defaultGroupName(99), QStringLiteral("グループ９９"));
    }

    void memberIdListFromGroups()
    {
        TestApp app;
        for (int g : {1, 2, 3})
            app.addGroup(g, QStringLiteral("班%1").arg(g));
        app.link(memberGroups(), 4, 2);
        app.link(memberGroups(), 1, {1, 2});
        QCOMPARE(BuildMemberIdList(app.db(), QStringLiteral("(3)")), QStringLiteral("(999999)"));
        QCOMPARE(BuildMemberIdList(app.db(), QStringLiteral("(2)")), QStringLiteral("(4,1)"));
        // A member of two of the groups is listed twice, which selects it once.
        QList<qint64> both = parseIdList(BuildMemberIdList(app.db(), QStringLiteral("(1,2)")));
        std::sort(both.begin(), both.end());
        QCOMPARE(both, (QList<qint64>{1, 1, 4}));
        QCOMPARE(memberIdCondition(QStringLiteral("(4,1,1)")).binds, (QVariantList{4, 1}));
        QString error;
        app.exec(QStringLiteral("drop table T_temp_グループ一覧"));
        QVERIFY(BuildMemberIdList(app.db(), QStringLiteral("(1)"), &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }

    void keywordFilterThroughTheDialog()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"));
        app.addMember(2, QStringLiteral("佐藤"), QStringLiteral("サトウ"));
        app.addMember(3, QStringLiteral("田山"), QStringLiteral("タヤマ"));
        app.addMember(4, QStringLiteral("矢中"), QStringLiteral("ヤナマ")); // ヤ and マ, not together
        app.addMember(5, QStringLiteral("O'Brien"), QStringLiteral("オブライエン"));
        auto w = openWindow<MemberRegister>(app);
        answerKeyword(QStringLiteral("ヤマ"), 1);
        clickTool(w.get(), "ID_mnuFilterKey");
        QCOMPARE(listedNames(w.get()), (QStringList{QStringLiteral("山田"), QStringLiteral("田山")}));
        QCOMPARE(counter(w.get()), QStringLiteral("(1/2)"));
        QVERIFY(w->isFiltered());

        // Each filter searches the whole table, not the list shown.
        answerKeyword(QStringLiteral("O'Brien"), 0);
        clickTool(w.get(), "ID_mnuFilterKey");
        QCOMPARE(listedNames(w.get()), QStringList{QStringLiteral("O'Brien")});
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 5);

        // % and _ are wildcards.
        answerKeyword(QStringLiteral("ヤ_ダ"), 1);
        clickTool(w.get(), "ID_mnuFilterKey");
        QCOMPARE(listedNames(w.get()), QStringList{QStringLiteral("山田")});
        answerKeyword(QStringLiteral("ヤ%マ"), 1);
        clickTool(w.get(), "ID_mnuFilterKey");
        QCOMPARE(listedNames(w.get()).size(), 3);

        // Cancel and the close box leave the list as it was.
        answerKeyword(QStringLiteral("サトウ"), 1, "cmdCancel");
        clickTool(w.get(), "ID_mnuFilterKey");
        QCOMPARE(listedNames(w.get()).size(), 3);
        test::answerNextModal([](QWidget *dialog) { dialog->close(); });
        clickTool(w.get(), "ID_mnuFilterKey");
        QCOMPARE(listedNames(w.get()).size(), 3);

        clickTool(w.get(), "ID_mnuFilterOff");
        QCOMPARE(w->list()->maxRows(), 5);
        QCOMPARE(counter(w.get()), QStringLiteral("(1/5)"));
        QVERIFY(!w->isFiltered());
    }

    void emptyKeywordListsMembersWithTheField()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), {}, QStringLiteral("様"), QStringLiteral("y@example.jp"));
        app.exec(QStringLiteral("insert into T_メンバー (MemberID, 名前) values (2, '伊藤')"));
        auto w = openWindow<MemberRegister>(app);
        QVERIFY(w->FilterByKeyword(QStringLiteral("[E-Mail]"), QString()));
        QCOMPARE(listedNames(w.get()), QStringList{QStringLiteral("山田")});
    }

    void failedFilterIsReportedAndTheListStaysUsable()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"));
        app.addMember(2, QStringLiteral("佐藤"), QStringLiteral("サトウ"));
        auto w = openWindow<MemberRegister>(app);
        QVERIFY(w->FilterByKeyword(QStringLiteral("[フリガナ]"), QStringLiteral("サト")));
        QCOMPARE(w->list()->maxRows(), 1);

        // A pattern longer than the database allows makes the statement fail.
        QString message;
        test::acceptNextMessage(&message);
        QVERIFY(!w->FilterByKeyword(QStringLiteral("[名前]"), QString(60000, u'a')));
        QVERIFY(message.startsWith(QStringLiteral("絞り込みを行えませんでした。")));
        QCOMPARE(listedNames(w.get()), QStringList{QStringLiteral("佐藤")});
        QVERIFY(w->list()->setText(2, 1, QStringLiteral("佐藤二郎")));
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー where MemberID = 2")).toString(),
                 QStringLiteral("佐藤二郎"));

        // A group filter whose work table is gone.
        app.exec(QStringLiteral("drop table T_temp_グループ一覧"));
        message.clear();
        test::acceptNextMessage(&message);
        QVERIFY(!w->FilterByGroups(QStringLiteral("(1)")));
        QVERIFY(message.startsWith(QStringLiteral("グループで絞り込めませんでした。")));
        QCOMPARE(w->list()->maxRows(), 1);
        clickTool(w.get(), "ID_EditAdd");
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 3);
    }

    void keywordHistory()
    {
        TestApp app;
        KeywordHistory &keys = *app.context().filterKeys;
        {
            KeywordFilterDialog dialog(app.context());
            dialog.show();
            auto *box = child<QComboBox>(&dialog, "cboKey");
            QCOMPARE(box->count(), 0);
            QVERIFY(box->currentText().isEmpty());
            QCOMPARE(dialog.UserColName(), QStringLiteral("[名前]"));
            QVERIFY(child<QRadioButton>(&dialog, "optItem0")->isChecked());
            box->setEditText(QStringLiteral("abc"));
            child<QRadioButton>(&dialog, "optItem2")->click();
            child<QPushButton>(&dialog, "cmdOk")->click();
            QCOMPARE(dialog.UserTag(), QStringLiteral("OK"));
            QCOMPARE(dialog.UserKeyword(), QStringLiteral("abc"));
            QCOMPARE(dialog.UserColName(), QStringLiteral("[E-Mail]"));
        }
        QCOMPARE(history(keys), QStringList{QStringLiteral("abc")});

        keys.Clear();
        for (int i = 1; i <= 21; ++i)
            QCOMPARE(runKeywordDialog(app, QStringLiteral("k%1").arg(i)), QStringLiteral("OK"));
        QCOMPARE(keys.Count(), 20);
        QCOMPARE(keys.Item(1)->KeyWord, QStringLiteral("k21"));
        QCOMPARE(keys.Item(20)->KeyWord, QStringLiteral("k2"));

        // The list shows the history newest first; the box itself starts empty.
        {
            KeywordFilterDialog dialog(app.context());
            dialog.show();
            auto *box = child<QComboBox>(&dialog, "cboKey");
            QCOMPARE(box->count(), 20);
            QCOMPARE(box->itemText(0), QStringLiteral("k21"));
            QVERIFY(box->currentText().isEmpty());
            QVERIFY(dialog.UserKeyword().isEmpty());
            box->setCurrentIndex(3); // picking k18
            QCOMPARE(dialog.UserKeyword(), QStringLiteral("k18"));
            child<QPushButton>(&dialog, "cmdOk")->click();
        }
        QCOMPARE(keys.Item(1)->KeyWord, QStringLiteral("k18"));
        QCOMPARE(history(keys).count(QStringLiteral("k18")), 2); // duplicates are kept
        QCOMPARE(keys.Count(), 20);

        // Cancel, Esc and the close box leave the history alone and answer ｷｬﾝｾﾙ.
        const QStringList before = history(keys);
        QCOMPARE(runKeywordDialog(app, QStringLiteral("zzz"), "cmdCancel"), QStringLiteral("ｷｬﾝｾﾙ"));
        {
            KeywordFilterDialog dialog(app.context());
            dialog.show();
            child<QComboBox>(&dialog, "cboKey")->setEditText(QStringLiteral("yyy"));
            dialog.close();
            QCOMPARE(dialog.UserTag(), QStringLiteral("ｷｬﾝｾﾙ"));
        }
        {
            KeywordFilterDialog dialog(app.context());
            dialog.show();
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QCOMPARE(dialog.UserTag(), QStringLiteral("ｷｬﾝｾﾙ"));
        }
        QCOMPARE(history(keys), before);

        // OK with an empty box answers OK and adds nothing.
        QCOMPARE(runKeywordDialog(app, QString()), QStringLiteral("OK"));
        QCOMPARE(history(keys), before);
    }

    void keywordDialogKeepsItsPosition()
    {
        TestApp app;
        {
            KeywordFilterDialog dialog(app.context());
            dialog.show();
            dialog.move(150, 120);
            child<QPushButton>(&dialog, "cmdCancel")->click();
        }
        const int top = app.settingLong("InpFilterKey", "Top");
        QVERIFY(top > 0);
        KeywordFilterDialog dialog(app.context());
        QCOMPARE(dialog.pos(), QPoint(150, 120));
    }

    void groupFilterDialog()
    {
        TestApp app;
        for (int g : {3, 5, 7})
            app.addGroup(g, QStringLiteral("班%1").arg(g));
        {
            GroupFilterDialog dialog(app.context());
            QCOMPARE(dialog.windowTitle(), QStringLiteral("グループで絞り込み"));
            dialog.show();
            auto *grid = child<SpreadGrid>(&dialog, "fpSpread1");
            QCOMPARE(grid->maxRows(), 3);
            QCOMPARE(grid->colWidthTwips(1), 0);

            // Nothing ticked: the message, and the dialog stays open.
            QString message;
            test::acceptNextMessage(&message);
            child<QPushButton>(&dialog, "cmdOk")->click();
            QCOMPARE(message, QStringLiteral("絞り込みを行うｸﾞﾙｰﾌﾟはひとつ以上選択してください。"));
            QVERIFY(dialog.isVisible());
            QVERIFY(dialog.UserTag().isEmpty());

            // The order of the list, not of the ticking.
            grid->setText(2, 3, QStringLiteral("1"));
            grid->setText(2, 1, QStringLiteral("1"));
            grid->horizontalHeader()->resizeSection(2, 123);
            dialog.move(140, 110);
            child<QPushButton>(&dialog, "cmdOk")->click();
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.UserTag(), QStringLiteral("OK"));
            QCOMPARE(dialog.UserGroup(), QStringLiteral("(3,7)"));
        }
        const QString s = QStringLiteral("InpFilterGrp");
        QCOMPARE(app.settingLong(s, "C1"), 0);
        QVERIFY(app.settingLong(s, "C3") > 0);
        QVERIFY(app.settingLong(s, "Top") > 0);
        {
            // Unticked again at the next opening; widths and place kept.
            GroupFilterDialog dialog(app.context());
            QCOMPARE(dialog.pos(), QPoint(140, 110));
            dialog.show();
            auto *grid = child<SpreadGrid>(&dialog, "fpSpread1");
            for (int r = 1; r <= 3; ++r)
                QCOMPARE(grid->text(2, r).toInt(), 0);
            QCOMPARE(grid->horizontalHeader()->sectionSize(2), 123);
            QCOMPARE(grid->colWidthTwips(1), 0);
            grid->setText(2, 2, QStringLiteral("1"));
            child<QPushButton>(&dialog, "cmdOk")->click();
            QCOMPARE(dialog.UserGroup(), QStringLiteral("(5)"));
        }
        {
            GroupFilterDialog dialog(app.context());
            dialog.show();
            child<QPushButton>(&dialog, "cmdCancel")->click();
            QCOMPARE(dialog.UserTag(), QStringLiteral("ｷｬﾝｾﾙ"));
        }
        {
            GroupFilterDialog dialog(app.context());
            dialog.show();
            dialog.close(); // the close box
            QVERIFY(dialog.UserTag().isEmpty());
        }
    }

    void groupFilterInTheRegister()
    {
        TestApp app;
        for (int g : {1, 2, 3})
            app.addGroup(g, QStringLiteral("班%1").arg(g));
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"));
        app.addMember(2, QStringLiteral("佐藤"), QStringLiteral("サトウ"));
        app.addMember(3, QStringLiteral("田中"), QStringLiteral("タナカ"));
        app.link(memberGroups(), 1, {1, 2});
        app.link(memberGroups(), 2, 2);
        auto w = openWindow<MemberRegister>(app);

        answerGroups({1, 2});
        clickTool(w.get(), "ID_mnuFilterGrp");
        QCOMPARE(listedNames(w.get()), (QStringList{QStringLiteral("山田"), QStringLiteral("佐藤")}));
        QCOMPARE(counter(w.get()), QStringLiteral("(1/2)"));

        // A group without members: an empty list and an empty, disabled card.
        answerGroups({3});
        clickTool(w.get(), "ID_mnuFilterGrp");
        QCOMPARE(w->list()->maxRows(), 0);
        QCOMPARE(counter(w.get()), QStringLiteral("(0/0)"));
        QVERIFY(!child(w.get(), "txtName")->isEnabled());
        QVERIFY(child<QLineEdit>(w.get(), "txtName")->text().isEmpty());
        QVERIFY(!child(w.get(), "cmdGroup")->isEnabled());
        QCOMPARE(child<SpreadGrid>(w.get(), "fpSpread2")->maxRows(), 0);

        // Cancel keeps the filter.
        test::answerNextModal([](QWidget *dialog) { child<QPushButton>(dialog, "cmdCancel")->click(); });
        clickTool(w.get(), "ID_mnuFilterGrp");
        QCOMPARE(w->list()->maxRows(), 0);

        // A group filter after a keyword filter starts from the whole table.
        QVERIFY(w->FilterByKeyword(QStringLiteral("[名前]"), QStringLiteral("佐藤")));
        answerGroups({1});
        clickTool(w.get(), "ID_mnuFilterGrp");
        QCOMPARE(listedNames(w.get()), QStringList{QStringLiteral("山田")});

        clickTool(w.get(), "ID_mnuFilterOff");
        QCOMPARE(w->list()->maxRows(), 3);
        QCOMPARE(counter(w.get()), QStringLiteral("(1/3)"));
        QCOMPARE(w->list()->activeRow(), 1);
        QVERIFY(child(w.get(), "txtName")->isEnabled());
    }

    void membershipChooserFromTheCard()
    {
        TestApp app;
        app.addGroups({"役員", "会計"});
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"));
        app.addMember(2, QStringLiteral("伊藤"), QStringLiteral("イトウ"), QStringLiteral("先生"));
        app.link(memberGroups(), 1, 1);
        app.link(memberGroups(), 1, 9); // a group that no longer exists
        auto w = openWindow<MemberRegister>(app);
        auto *groups = child<SpreadGrid>(w.get(), "fpSpread2");
        QCOMPARE(groups->maxRows(), 1);
        QCOMPARE(groups->text(1, 1), QStringLiteral("役員"));

        w->list()->setActiveCell(2, 2);
        QCOMPARE(groups->maxRows(), 0);
        QString title;
        QString name;
        test::answerNextModal([&](QWidget *chooser) {
            title = chooser->windowTitle();
            name = child<QLabel>(chooser, "lblName")->text();
            auto *grid = child<SpreadGrid>(chooser, "fpSpread1");
            grid->setText(2, 1, QStringLiteral("1"));
            grid->setText(2, 2, QStringLiteral("1"));
            child<QPushButton>(chooser, "cmdOk")->click();
        });
        child<QPushButton>(w.get(), "cmdGroup")->click();
        QCOMPARE(title, QStringLiteral("所属グループの登録"));
        QCOMPARE(name, QStringLiteral("伊藤 先生 が"));
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報"), QStringLiteral("MemberID = 2")), 2);
        QCOMPARE(groups->maxRows(), 2);
        QCOMPARE(groups->text(1, 1), QStringLiteral("役員"));
        QCOMPARE(groups->text(1, 2), QStringLiteral("会計"));
        QCOMPARE(counter(w.get()), QStringLiteral("(2/2)"));

        // Cancel changes nothing.
        test::answerNextModal([](QWidget *chooser) {
            child<SpreadGrid>(chooser, "fpSpread1")->setText(2, 1, QStringLiteral("0"));
            child<QPushButton>(chooser, "cmdCancel")->click();
        });
        child<QPushButton>(w.get(), "cmdGroup")->click();
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報"), QStringLiteral("MemberID = 2")), 2);
        QCOMPARE(groups->maxRows(), 2);
    }
};

QTEST_MAIN(TestFilters)
#include "test_filters.moc"
