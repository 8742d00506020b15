// The database layer: key allocation, the table model that every list is bound
// to, and the group-list refills the windows share. (Opening is tested by the
// start routine's tests; the send-list refills through the reports.)
#include "db/database.h"
#include "db/keys.h"
#include "db/tablemodel.h"
#include "db/worktables.h"
#include "support/testapp.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyAllocation_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QList<int>>("free"); // the free keys (all others are taken)
        QTest::addColumn<int>("key");
        QTest::newRow("1 2 4 in use") << 3 << 999 << QList<int>{3, 5, 6} << 5;
        QTest::newRow("2 3 in use") << 2 << 999 << QList<int>{1, 4, 5} << 4;
        QTest::newRow("empty") << 0 << 99 << QList<int>{1, 2} << 1;
        QTest::newRow("wraps past 999") << 998 << 999 << QList<int>{1} << 1;
        QTest::newRow("group 50 deleted") << 98 << 99 << QList<int>{50} << 50;
        QTest::newRow("99 taken, 3 free") << 98 << 99 << QList<int>{3} << 3;
        QTest::newRow("98 taken, 99 free") << 97 << 99 << QList<int>{3, 99} << 99;
        QTest::newRow("full") << 99 << 99 << QList<int>{} << 0;
    }

    void keyAllocation()
    {
        QFETCH(int, rows);
        QFETCH(int, capacity);
        QFETCH(QList<int>, free);
        QFETCH(int, key);
        QCOMPARE(nextFreeKey(rows, capacity, [&free](int k) { return !free.contains(k); }), key);
    }

    void keyAllocationLooksAtTheWholeTable()
    {
        TestApp app;
        QVERIFY(app.isValid());
        app.addMembers({"一", "二"});
        app.addMember(4, QStringLiteral("四"));
        QCOMPARE(allocateKey(app.db(), QStringLiteral("T_メンバー"), QStringLiteral("MemberID"), 999), 5);
        app.exec(QStringLiteral("delete from T_メンバー where MemberID = 2"));
        // Rows 1 and 4 (2 rows): candidate 3 is free.
        QCOMPARE(allocateKey(app.db(), QStringLiteral("T_メンバー"), QStringLiteral("MemberID"), 999), 3);
        for (int g = 1; g <= 99; ++g)
            app.addGroup(g, QStringLiteral("G%1").arg(g));
        QCOMPARE(allocateKey(app.db(), QStringLiteral("T_グループ"), QStringLiteral("GroupID"), 99), 0);
    }

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
        QCOMPARE(model.maxTextLength(1), 10);
        QCOMPARE(model.maxTextLength(4), 64);
        QVERIFY(model.isKeyColumn(0));
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

        const int row = model.findRow(QStringLiteral("MemberID"), 3);
        QVERIFY(row >= 0);
        QVERIFY(model.setData(model.index(row, 1), QStringLiteral("O'Brien")));
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー where MemberID = 3")).toString(),
                 QStringLiteral("O'Brien"));

        const int added = model.appendRecord({{"MemberID", 7}, {"敬称", QStringLiteral("様")}});
        QCOMPARE(added, 2);
        QCOMPARE(model.value(added, "敬称").toString(), QStringLiteral("様"));
        QVERIFY(model.value(added, "名前").isNull());

        app.link(memberGroups(), 7, 1);
        app.link(memberGroups(), 3, 1);
        QVERIFY(model.removeRecord(added, {{QStringLiteral("delete from T_メンバーの登録グループ情報 where MemberID = ?"), {7}}}));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(app.count(QStringLiteral("T_メンバー")), 2);
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報")), 1);
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

    void tableModelConditionBindsValues()
    {
        TestApp app;
        app.addMembers({"O'Brien", "Brien"});
        TableModel model(app.db());
        QVERIFY(model.open(QStringLiteral("T_メンバー"), QStringLiteral("\"名前\" like ?"), {QStringLiteral("%O'B%")}));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.value(0, "MemberID").toInt(), 1);
        QVERIFY(!model.open(QStringLiteral("T_メンバー"), QStringLiteral("no_such_column = 1")));
        QVERIFY(!model.lastError().isEmpty());
        QCOMPARE(model.rowCount(), 0);
    }

    void aFailedWriteIsReportedAndLeavesTheRowAsStored()
    {
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        QVERIFY(app.exec(QStringLiteral("create trigger refuse before update on T_メンバー "
                                        "begin select raise(abort, 'disk full'); end")));
        TableModel model(app.db());
        QVERIFY(model.open(QStringLiteral("T_メンバー")));
        QSignalSpy failed(&model, &TableModel::writeFailed);
        QVERIFY(!model.setData(model.index(0, 1), QStringLiteral("田中")));
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed[0][0].toString().contains(QStringLiteral("disk full")));
        QCOMPARE(model.value(0, 1).toString(), QStringLiteral("山田"));
    }

    void groupNamesOfARecordSkipMissingGroups()
    {
        TestApp app;
        app.addGroups({"一組", "二組"});
        app.link(noticeDestinations(), 5, 2);
        app.link(noticeDestinations(), 5, 9); // group 9 was deleted
        app.link(noticeDestinations(), 6, 1);
        QVERIFY(fillGroupNames(app.db(), noticeDestinations(), 5));
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ名称")), 1);
        QCOMPARE(app.scalar(QStringLiteral("select グループ名称 from T_temp_グループ名称")).toString(),
                 QStringLiteral("二組"));
        QVERIFY(fillGroupNames(app.db(), noticeDestinations(), 7));
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ名称")), 0);
    }

    void groupSelectionTicksTheLinkedGroups()
    {
        TestApp app;
        for (int g = 1; g <= 4; ++g)
            app.addGroup(g, QStringLiteral("G%1").arg(g));
        app.link(memberGroups(), 3, {2, 4});
        app.link(memberGroups(), 8, 1);
        QVERIFY(fillGroupSelection(app.db(), memberGroups(), 3));
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ選択")), 4);
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ選択"), QStringLiteral("選択 = 1")), 2);
        QCOMPARE(app.scalar(QStringLiteral("select group_concat(GroupID) from T_temp_グループ選択 where 選択 = 1")).toString(),
                 QStringLiteral("2,4"));
        QVERIFY(fillGroupSelection(app.db()));
        QCOMPARE(app.count(QStringLiteral("T_temp_グループ選択"), QStringLiteral("選択 = 1")), 0);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
