// The database layer: opening, key allocation, the table model that every list
// is bound to, the shared work-table refills, and the password BLOB.
#include "db/database.h"
#include "db/keys.h"
#include "db/tablemodel.h"
#include "db/worktables.h"
#include "support/testapp.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivox;
using lumivox::test::TestApp;

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openingRefusesWhatIsNotADatabase()
    {
        QTemporaryDir dir;
        QString error;
        const QString path = dir.filePath(QStringLiteral("Pennora.db"));
        QVERIFY(!openSharedConnection(QStringLiteral("t1"), path, &error));
        QVERIFY(!QFile::exists(path)); // never created by opening
        QVERIFY(!error.isEmpty());

        QFile junk(path);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'J'));
        junk.close();
        QVERIFY(!openSharedConnection(QStringLiteral("t2"), path, &error));
        QVERIFY(!QSqlDatabase::contains(QStringLiteral("t2")));
    }

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

    void passwordBlobKeepsEveryCodeUnit()
    {
        TestApp app;
        QVERIFY(app.isValid());
        QByteArray bytes;
        for (int u = 0; u <= 0xFFFF; ++u) { // every 16-bit value, NUL and lone surrogates
            bytes.append(char(u & 0xFF));
            bytes.append(char(u >> 8));
        }
        QVERIFY(app.exec(QStringLiteral("insert into T_SMTPサーバー (パスワード) values (?)"), {bytes}));
        const QVariant back = app.scalar(QStringLiteral("select パスワード from T_SMTPサーバー"));
        QCOMPARE(back.toByteArray(), bytes);
        QCOMPARE(app.scalar(QStringLiteral("select 接続の保護 from T_SMTPサーバー")).toInt(), 0);
    }

    void schemaHasTheHonorificsWithSamaFirst()
    {
        TestApp app;
        QCOMPARE(app.scalar(QStringLiteral("select 敬称 from T_敬称 order by rowid limit 1")).toString(),
                 QStringLiteral("様"));
        QVERIFY(app.count(QStringLiteral("T_敬称")) >= 3);
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
        TableModel model(app.db());
        QVERIFY(model.open(QStringLiteral("T_メンバー")));
        QSignalSpy failed(&model, &TableModel::writeFailed);
        // Another connection holds a write lock: the update cannot happen.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        other.setDatabaseName(app.context().databasePath());
        other.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1"));
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec(QStringLiteral("begin exclusive")));
        app.exec(QStringLiteral("pragma busy_timeout = 1"));
        QVERIFY(!model.setData(model.index(0, 1), QStringLiteral("田中")));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(model.value(0, 1).toString(), QStringLiteral("山田"));
        lock.exec(QStringLiteral("rollback"));
        lock = QSqlQuery();
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
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

    void sendListJoinsMembersOfTheGroups()
    {
        TestApp app;
        app.addGroups({"A組", "B組"});
        app.addMember(1, QStringLiteral("山田"), {}, QStringLiteral("様"), QStringLiteral("y@example.jp"));
        app.addMember(2, QStringLiteral("伊藤"), {}, QStringLiteral("さん"), QStringLiteral("i@example.jp"));
        app.link(memberGroups(), 1, 2);
        app.link(memberGroups(), 2, 2);
        app.link(memberGroups(), 1, 1);
        app.link(memberGroups(), 99, 1); // a member that is gone
        QVERIFY(fillSendList(app.db(), {2, 1}));
        QSqlQuery q(app.db());
        QVERIFY(q.exec(QStringLiteral("select GroupID, グループ名称, MemberID, 名前 from T_temp_送信リスト")));
        QStringList rows;
        while (q.next())
            rows << QStringLiteral("%1/%2/%3/%4").arg(q.value(0).toString(), q.value(1).toString(),
                                                    q.value(2).toString(), q.value(3).toString());
        // By GroupID, then 名前 (a missing member's Null name sorts first).
        QCOMPARE(rows, (QStringList{"1/A組//", "1/A組/1/山田", "2/B組/2/伊藤", "2/B組/1/山田"}));
    }

    void membersByGroupListsUngroupedMembersFirst()
    {
        TestApp app;
        app.addGroup(1, QStringLiteral("A組"));
        app.addMembers({"山田", "伊藤", "上田"});
        app.link(memberGroups(), 1, 1);
        app.link(memberGroups(), 2, 1);
        app.link(memberGroups(), 2, 5); // group 5 no longer exists
        QVERIFY(fillMembersByGroup(app.db()));
        QSqlQuery q(app.db());
        QVERIFY(q.exec(QStringLiteral("select ifnull(GroupID,'-'), ifnull(グループ名称,'-'), 名前 from T_temp_送信リスト")));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + u'/' + q.value(1).toString() + u'/' + q.value(2).toString();
        QCOMPARE(rows, (QStringList{"-/-/上田", "1/A組/伊藤", "1/A組/山田", "5/-/伊藤"}));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
