// The database layer: the table model that every list is bound to, the
// group-list refills the windows share, and Japanese order and matching in SQL.
// (Opening is tested by the start routine's tests, keys and refused writes by
// the stores', the send-list refills through the reports.)
#include "db/database.h"
#include "db/japanesetext.h"
#include "db/tablemodel.h"
#include "db/worktables.h"
#include "support/testapp.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every list: the table's columns and rows, the key column
    // read-only, a cell written through at once. (Adding and removing rows with
    // their links are the stores' tests.)
    void tableModelReadsInTableOrderAndWritesThrough()
    {
        TestApp app;
        app.addMember(3, QStringLiteral("佐藤"), QStringLiteral("サトウ"), QStringLiteral("様"), QStringLiteral("sato@example.jp"));
        app.addMember(1, QStringLiteral("鈴木"), QStringLiteral("スズキ"));
        TableModel model(app.db());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.open(QStringLiteral("T_メンバー")));
        QStringList headings;
        for (int c = 0; c < model.columnCount(); ++c)
            headings << model.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headings, (QStringList{"MemberID", "名前", "フリガナ", "敬称", "E-Mail"}));
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(model.isKeyColumn(0) && !(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(model.setData(model.index(model.findRow(QStringLiteral("MemberID"), 3), 1), QStringLiteral("O'Brien")));
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー where MemberID = 3")).toString(),
                 QStringLiteral("O'Brien"));
    }

    void longTextsReadBackWholeInEveryRow()
    {
        TestApp app;
        const QString longBody = QString(3000, u'あ') + QStringLiteral("\r\n終わり");
        app.addNotice(1, QStringLiteral("一"), longBody);
        app.addNotice(2, QStringLiteral("二"), QStringLiteral("短い本文"));
        app.exec(QStringLiteral("insert into T_お知らせ (NewsID, 見出し) values (3, '本文なし')"));
        TableModel model(app.db());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(model.open(QStringLiteral("T_お知らせ")));
        QCOMPARE(model.value(0, "本文").toString(), longBody);
        QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("短い本文"));
        QVERIFY(model.value(2, "本文").isNull());
        QCOMPARE(model.findRow(QStringLiteral("本文"), QStringLiteral("短い本文")), 1);
        // Writing another field, or adding a row, keeps every body as stored.
        QVERIFY(model.setValues(1, {{"見出し", QStringLiteral("二の二")}}));
        QCOMPARE(model.value(1, "本文").toString(), QStringLiteral("短い本文"));
        const int added = model.appendRecord({{"NewsID", 4}, {"本文", QStringLiteral("新しい本文")}});
        QCOMPARE(model.value(added, "本文").toString(), QStringLiteral("新しい本文"));
        QVERIFY(model.removeRecord(0));
        QCOMPARE(model.value(0, "本文").toString(), QStringLiteral("短い本文"));
    }

    // The groups of a record for its list (a deleted group left out), and every
    // group for a chooser with the record's own ticked.
    void groupListsOfARecord()
    {
        TestApp app;
        app.addGroups({"一組", "二組", "三組", "四組"});
        app.link(noticeDestinations(), 5, {2, 9}); // group 9 was deleted
        app.link(noticeDestinations(), 6, 1);
        QVERIFY(fillGroupNames(app.db(), noticeDestinations(), 5));
        QCOMPARE(app.scalar(QStringLiteral("select group_concat(グループ名称) from T_temp_グループ名称")).toString(),
                 QStringLiteral("二組"));
        QVERIFY(fillGroupNames(app.db(), noticeDestinations(), 7));
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ名称")), 0);
        app.link(memberGroups(), 3, {2, 4});
        app.link(memberGroups(), 8, 1);
        QVERIFY(fillGroupSelection(app.db(), memberGroups(), 3));
        QCOMPARE(app.scalar(QStringLiteral("select count(*) || ':' || group_concat(case when 選択 = 1 then GroupID end) "
                                           "from T_temp_グループ選択")).toString(), QStringLiteral("4:2,4"));
        QVERIFY(fillGroupSelection(app.db()));
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ選択"), QStringLiteral("選択 = 1")), 0);
    }

    // Code-point order would give いとう, サトウ, 佐藤, 鈴木, 阿部, ｶﾄｳ.
    void namesInJapaneseOrder()
    {
        TestApp app;
        app.addMembers({"鈴木", "ｶﾄｳ", "阿部", "サトウ", "佐藤", "いとう", "Brown", "adams"});
        QCOMPARE(app.scalar(QStringLiteral("select group_concat(名前) from (select 名前 from T_メンバー "
                                           "order by 名前 collate JAPANESE)")).toString(),
                 QStringLiteral("adams,Brown,いとう,ｶﾄｳ,サトウ,阿部,佐藤,鈴木"));
        QVERIFY(compareJapanese(QStringLiteral("かとう"), QStringLiteral("さとう")) < 0);
    }

    void matching_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("found");
        QTest::newRow("voiced mark matters") << "スズキ" << "%ススキ%" << false;
        QTest::newRow("full-width ％ found as itself") << "100％" << "%％" << true;
        QTest::newRow("Null never matches") << QString() << "%" << false;
    }

    void matching()
    {
        QFETCH(QString, stored);
        QFETCH(QString, pattern);
        QFETCH(bool, found);
        TestApp app;
        app.addMember(1, QStringLiteral("名前"), stored.isNull() ? QString() : stored);
        if (stored.isNull())
            QVERIFY(app.exec(QStringLiteral("update T_メンバー set フリガナ = null")));
        QCOMPARE(app.count(QStringLiteral("T_メンバー"),
                           QStringLiteral("JMATCH(フリガナ) like JMATCH('%1')").arg(pattern)),
                 found ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
