// The register store (keys, capacity, deleting with the links, refused writes)
// and the member list's filters, without a window.
#include "db/registerstore.h"
#include "db/tablemodel.h"
#include "support/testapp.h"

#include <QSignalSpy>
#include <QTest>

using namespace lumivox;
using namespace lumivox::test;

namespace {

const RegisterTable &tableNamed(const QString &name)
{
    return name == QLatin1String("member") ? memberTable() : groupTable();
}

// Records with the keys of a list such as "1,2,4-99".
void addKeys(TestApp &app, const RegisterTable &table, const QString &keys)
{
    for (const QString &part : keys.split(u',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.split(u'-');
        app.exec(QStringLiteral("with recursive n(i) as (select ? union all select i + 1 from n where i < ?) "
                                "insert into %1 (%2) select i from n").arg(quoted(table.table), table.keyColumn),
                 {ends.first().toInt(), ends.last().toInt()});
    }
}

QString rowText(const TableModel &list, int row)
{
    QStringList values;
    for (int c = 0; c < list.columnCount(); ++c)
        values << list.value(row, c).toString();
    return values.join(u'|');
}

QStringList names(const TableModel &list)
{
    QStringList out;
    for (int r = 0; r < list.rowCount(); ++r)
        out << list.value(r, QStringLiteral("名前")).toString();
    return out;
}

} // namespace

class TestRegisterStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void appendTakesTheFirstFreeKeyOfTheWholeTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("where"); // the list shown
        QTest::addColumn<QString>("added");
        QTest::newRow("first member") << "member" << "" << "" << "1|||様|";
        QTest::newRow("4 is taken") << "member" << "1,2,4" << "" << "5|||様|";
        QTest::newRow("2 deleted, not reused") << "member" << "1,4,5" << "" << "6|||様|";
        QTest::newRow("hidden by a filter") << "member" << "1-3" << "MemberID < 3" << "4|||様|";
        QTest::newRow("998 members 2-999 wrap") << "member" << "2-999" << "MemberID = 5" << "1|||様|";
        QTest::newRow("first group") << "group" << "" << "" << "1|グループ１|グループ１";
        QTest::newRow("98 taken, 99 free") << "group" << "1,2,4-98" << "" << "99|グループ９９|グループ９９";
        QTest::newRow("99 taken, wrap to 3") << "group" << "1,2,4-99" << "" << "3|グループ３|グループ３";
    }
    void appendTakesTheFirstFreeKeyOfTheWholeTable()
    {
        QFETCH(QString, table);
        QFETCH(QString, keys);
        QFETCH(QString, where);
        QFETCH(QString, added);
        TestApp app;
        addKeys(app, tableNamed(table), keys);
        RegisterStore store(app.db(), tableNamed(table));
        QVERIFY(store.open(where));
        const int listed = store.list().rowCount();
        const int count = store.tableCount();
        const StoreResult r = store.append();
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(QString::number(r.key), added.section(u'|', 0, 0));
        QCOMPARE(r.row, listed); // the last row of the list, even when it does not match
        QCOMPARE(rowText(store.list(), r.row), added);
        QCOMPARE(store.tableCount(), count + 1);
        QCOMPARE(app.count(tableNamed(table).table), count + 1);
    }

    void capacityCountsTheTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("freed");
        QTest::newRow("999 members") << "member" << 500;
        QTest::newRow("99 groups") << "group" << 50;
    }
    void capacityCountsTheTable()
    {
        QFETCH(QString, table);
        QFETCH(int, freed);
        TestApp app;
        const RegisterTable &t = tableNamed(table);
        addKeys(app, t, QStringLiteral("1-%1").arg(t.capacity));
        RegisterStore store(app.db(), t);
        QVERIFY(store.open(QStringLiteral("%1 = ?").arg(t.keyColumn), {freed})); // one listed
        QVERIFY(store.isFull());
        QVERIFY(!store.append());
        QCOMPARE(app.count(t.table), t.capacity);
        QVERIFY(store.remove(0));
        QVERIFY(!store.isFull());
        // The candidate (the count + 1) is taken; the search wraps and stops at the freed key.
        QCOMPARE(store.append().key, freed);
        QVERIFY(store.isFull());
    }

    void removeTakesItsLinksAndNothingElse_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("memberships"); // left after removing key 1
        QTest::addColumn<QString>("destinations");
        QTest::newRow("member") << "member" << "2:1" << "1:1,1:2";
        QTest::newRow("group") << "group" << "1:2" << "1:2";
    }
    void removeTakesItsLinksAndNothingElse()
    {
        QFETCH(QString, table);
        QFETCH(QString, memberships);
        QFETCH(QString, destinations);
        TestApp app;
        app.addGroups({"役員", "会計"});
        app.addMembers({"山田", "伊藤"});
        app.addNotice(1, QStringLiteral("総会"));
        app.link(memberGroups(), 1, {1, 2});
        app.link(memberGroups(), 2, 1);
        app.link(noticeDestinations(), 1, {1, 2});
        RegisterStore store(app.db(), tableNamed(table));
        QVERIFY(store.open());
        QVERIFY(store.remove(0));
        QCOMPARE(store.list().rowCount(), 1);
        QCOMPARE(app.count(tableNamed(table).table), 1);
        const auto links = [&](const LinkTable &l) {
            return app.scalar(QStringLiteral("select group_concat(%1 || ':' || GroupID) from %2")
                                  .arg(l.keyColumn, l.table)).toString();
        };
        QCOMPARE(links(memberGroups()), memberships);
        QCOMPARE(links(noticeDestinations()), destinations);
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")) + app.count(QStringLiteral("T_メンバー"))
                     + app.count(QStringLiteral("T_グループ")), 4);
    }

    // A write the database refuses changes nothing, neither in the table nor in
    // the list, and comes back as the result, not as a list edit that failed.
    void refusedWritesChangeNothing_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("op");
        QTest::newRow("link delete") << "before delete on T_メンバーの登録グループ情報" << "remove";
        QTest::newRow("update") << "before update on T_メンバー" << "update";
        QTest::newRow("insert") << "before insert on T_メンバー" << "append";
    }
    void refusedWritesChangeNothing()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, op);
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        app.link(memberGroups(), 1, 1);
        QVERIFY(app.exec(QStringLiteral("create trigger refuse %1 begin select raise(abort, 'locked'); end")
                             .arg(trigger)));
        RegisterStore store(app.db(), memberTable());
        QSignalSpy editFailed(&store, &RegisterStore::listEditFailed);
        QVERIFY(store.open());
        const StoreResult r = op == QLatin1String("remove") ? store.remove(0)
                              : op == QLatin1String("update")
                                  ? store.update(0, {{QStringLiteral("名前"), QStringLiteral("変更")}})
                                  : store.append();
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(QStringLiteral("locked")), qPrintable(r.error));
        QCOMPARE(editFailed.count(), 0);
        QCOMPARE(store.tableCount(), 1);
        QCOMPARE(store.list().rowCount(), 1);
        QCOMPARE(rowText(store.list(), 0), QStringLiteral("1|山田||様|"));
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー")).toString(), QStringLiteral("山田"));
        QCOMPARE(app.count(QStringLiteral("T_メンバーの登録グループ情報")), 1);
        // A cell typed straight into the list is reported as a failed list edit.
        if (op == QLatin1String("update")) {
            QVERIFY(!store.list().setData(store.list().index(0, 1), QStringLiteral("変更")));
            QCOMPARE(editFailed.count(), 1);
        }
    }

    void honorificsInTableOrder()
    {
        TestApp app;
        app.exec(QStringLiteral("insert into T_敬称 values ('各位')"));
        const QStringList h = RegisterStore::honorifics(app.db());
        QCOMPARE(h.size(), app.count(QStringLiteral("T_敬称")));
        QCOMPARE(h.first(), QStringLiteral("様"));
        QCOMPARE(h.last(), QStringLiteral("各位"));
    }

    void keywordFilter_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("two kana in a row") << "[フリガナ]" << "ヤマ" << QStringList{"山田", "田山"};
        QTest::newRow("a quote is a character") << "[名前]" << "O'B" << QStringList{"O'Brien"};
        QTest::newRow("_ is one character") << "[フリガナ]" << "ヤ_ダ" << QStringList{"山田"};
        QTest::newRow("% is any") << "[フリガナ]" << "ヤ%マ" << QStringList{"山田", "田山", "矢中"};
        QTest::newRow("mail") << "[E-Mail]" << "@ex" << QStringList{"山田"};
        QTest::newRow("empty: any not Null") << "[E-Mail]" << "" << QStringList{"山田", "田山", "O'Brien"};
        QTest::newRow("unknown column") << "[MemberID]" << "" << QStringList{};
        QTest::newRow("no SQL from the column") << "[名前] or 1=1 --" << "" << QStringList{};
    }
    void keywordFilter()
    {
        QFETCH(QString, column);
        QFETCH(QString, keyword);
        QFETCH(QStringList, listed);
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"), QStringLiteral("y@ex.jp"));
        app.addMember(2, QStringLiteral("田山"), QStringLiteral("タヤマ"), QStringLiteral("様"), QStringLiteral("t.jp"));
        app.exec(QStringLiteral("insert into T_メンバー (MemberID, 名前, フリガナ) values (3, '矢中', 'ヤナマ')"));
        app.addMember(4, QStringLiteral("O'Brien"), QStringLiteral("オブライエン"), QStringLiteral("様"), QStringLiteral("o.jp"));
        RegisterStore store(app.db(), memberTable());
        const MemberCondition c = keywordCondition(column, keyword);
        QVERIFY(!c.where.contains(keyword) || keyword.isEmpty());
        QVERIFY(store.open(c.where, c.binds));
        QCOMPARE(names(store.list()), listed);
    }

    void groupFilter_data()
    {
        QTest::addColumn<QString>("groups");
        QTest::addColumn<QString>("idList");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("no members") << "(3)" << "(999999)" << QStringList{};
        QTest::newRow("one group") << "(2)" << "(4,1)" << QStringList{"一", "四"};
        QTest::newRow("a member of both, once") << "(1, 2)" << "(1,4,1)" << QStringList{"一", "四"};
        QTest::newRow("nothing readable") << "(x)" << "(999999)" << QStringList{};
    }
    void groupFilter()
    {
        QFETCH(QString, groups);
        QFETCH(QString, idList);
        QFETCH(QStringList, listed);
        TestApp app;
        app.addMembers({"一", "二", "三", "四"});
        app.link(memberGroups(), 4, 2);
        app.link(memberGroups(), 1, {1, 2});
        const QString ids = buildMemberIdList(app.db(), groups);
        const auto sorted = [](QList<qint64> list) {
            std::sort(list.begin(), list.end());
            return list;
        };
        QCOMPARE(sorted(parseIdList(ids)), sorted(parseIdList(idList)));
        RegisterStore store(app.db(), memberTable());
        const MemberCondition c = memberIdCondition(ids);
        QVERIFY(store.open(c.where, c.binds));
        QCOMPARE(names(store.list()), listed);

        QString error;
        app.exec(QStringLiteral("drop table T_temp_グループ一覧"));
        QVERIFY(buildMemberIdList(app.db(), groups, &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRegisterStore)
#include "test_registerstore.moc"
