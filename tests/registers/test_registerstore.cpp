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
    for (const QString &part : keys.split(u',', Qt::SkipEmptyParts))
        app.exec(QStringLiteral("with recursive n(i) as (select cast(? as integer) union all select i + 1 from n where i < ?) "
                                "insert into %1 (%2) select i from n").arg(quoted(table.table), table.keyColumn),
                 {part.section(u'-', 0, 0).toInt(), part.section(u'-', -1).toInt()});
}

// A listed row as "value|value|…", or one column of every row.
QString rowText(const TableModel &list, int row)
{
    QStringList values;
    for (int c = 0; c < list.columnCount(); ++c)
        values << list.value(row, c).toString();
    return values.join(u'|');
}
QString columnText(const TableModel &list, int column)
{
    QStringList values;
    for (int r = 0; r < list.rowCount(); ++r)
        values << list.value(r, column).toString();
    return values.join(u',');
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
        QTest::addColumn<QString>("listedWhere");
        QTest::addColumn<QString>("added"); // empty: refused at the capacity
        QTest::newRow("first member") << "member" << "" << "" << "1|||様|";
        QTest::newRow("4 is taken") << "member" << "1,2,4" << "" << "5|||様|";
        QTest::newRow("2 deleted, not reused") << "member" << "1,4,5" << "" << "6|||様|";
        QTest::newRow("hidden by a filter") << "member" << "1-3" << "MemberID < 3" << "4|||様|";
        QTest::newRow("998 members 2-999 wrap") << "member" << "2-999" << "MemberID = 5" << "1|||様|";
        QTest::newRow("first group") << "group" << "" << "" << "1|グループ１|グループ１";
        QTest::newRow("98 taken, 99 free") << "group" << "1,2,4-98" << "" << "99|グループ９９|グループ９９";
        QTest::newRow("99 taken, wrap to 3") << "group" << "1,2,4-99" << "" << "3|グループ３|グループ３";
        QTest::newRow("50 freed") << "group" << "1-49,51-99" << "" << "50|グループ５０|グループ５０";
        QTest::newRow("99 groups: full") << "group" << "1-99" << "" << "";
        QTest::newRow("999 members: full, one listed") << "member" << "1-999" << "MemberID = 7" << "";
    }
    void appendTakesTheFirstFreeKeyOfTheWholeTable()
    {
        QFETCH(QString, table);
        QFETCH(QString, keys);
        QFETCH(QString, listedWhere);
        QFETCH(QString, added);
        TestApp app;
        addKeys(app, tableNamed(table), keys);
        RegisterStore store(app.db(), tableNamed(table));
        QVERIFY(store.open(listedWhere));
        const int listed = store.list().rowCount();
        const int count = store.tableCount();
        QCOMPARE(store.isFull(), added.isEmpty()); // the capacity counts the table, not the list
        const StoreResult r = store.append();
        if (added.isEmpty()) {
            QVERIFY(!r.ok);
            QCOMPARE(app.count(tableNamed(table).table), count);
            return;
        }
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(QString::number(r.key), added.section(u'|', 0, 0));
        QCOMPARE(r.row, listed); // the list's last row, even when it does not match
        QCOMPARE(rowText(store.list(), r.row), added);
        QCOMPARE(store.tableCount(), count + 1);
        QCOMPARE(app.count(tableNamed(table).table), count + 1);
    }

    void removeTakesItsLinksAndNothingElse_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("linksLeft"); // memberships / destinations after removing key 1
        QTest::newRow("member") << "member" << "2:1/1:1,1:2";
        QTest::newRow("group") << "group" << "1:2/1:2";
    }
    void removeTakesItsLinksAndNothingElse()
    {
        QFETCH(QString, table);
        QFETCH(QString, linksLeft);
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
        QStringList links;
        for (const LinkTable &l : {memberGroups(), noticeDestinations()})
            links << app.scalar(QStringLiteral("select group_concat(%1 || ':' || GroupID) from %2")
                                    .arg(l.keyColumn, l.table)).toString();
        QCOMPARE(links.join(u'/'), linksLeft);
        QCOMPARE(app.count(QStringLiteral("T_お知らせ")) + app.count(QStringLiteral("T_メンバー"))
                     + app.count(QStringLiteral("T_グループ")), 4);
    }

    // A write the database refuses changes nothing, neither in the table nor in
    // the list, and comes back as the result, not as a failed list edit.
    void refusedWritesChangeNothing_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("table");
        QTest::newRow("remove") << "delete" << "T_メンバーの登録グループ情報";
        QTest::newRow("update") << "update" << "T_メンバー";
        QTest::newRow("append") << "insert" << "T_メンバー";
    }
    void refusedWritesChangeNothing()
    {
        QFETCH(QString, operation);
        QFETCH(QString, table);
        TestApp app;
        app.addMember(1, QStringLiteral("山田"));
        app.link(memberGroups(), 1, 1);
        QVERIFY(app.refuse(operation, table));
        RegisterStore store(app.db(), memberTable());
        QSignalSpy editFailed(&store, &RegisterStore::listEditFailed);
        QVERIFY(store.open());
        const QString op = QTest::currentDataTag();
        const StoreResult r = op == QLatin1String("remove") ? store.remove(0)
                              : op == QLatin1String("update") ? store.update(0, {{QStringLiteral("名前"), QStringLiteral("変")}})
                                                              : store.append();
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(QStringLiteral("locked")), qPrintable(r.error));
        QCOMPARE(editFailed.count(), 0);
        QCOMPARE(store.tableCount() + store.list().rowCount() + app.count(QStringLiteral("T_メンバーの登録グループ情報")), 3);
        QCOMPARE(rowText(store.list(), 0), QStringLiteral("1|山田||様|"));
        QCOMPARE(app.scalar(QStringLiteral("select 名前 from T_メンバー")).toString(), QStringLiteral("山田"));
        // A cell typed straight into the list is reported as a failed list edit,
        // with the reason, and shows what is stored.
        const bool update = op == QLatin1String("update");
        QCOMPARE(store.list().setData(store.list().index(0, 1), QStringLiteral("変")), !update);
        QCOMPARE(editFailed.count(), update ? 1 : 0);
        QVERIFY(!update || editFailed[0][0].toString().contains(QStringLiteral("locked")));
        QCOMPARE(store.list().value(0, 1).toString(), update ? QStringLiteral("山田") : QStringLiteral("変"));
    }

    void filters_data()
    {
        QTest::addColumn<QString>("column"); // the keyword filter's column, or empty for groups
        QTest::addColumn<QString>("value");  // the keyword, or the groups "(…)"
        QTest::addColumn<QString>("listed");
        QTest::newRow("two kana in a row") << "[フリガナ]" << "ヤマ" << "山田,田山";
        QTest::newRow("a quote is a character") << "[名前]" << "O'B" << "O'Brien";
        QTest::newRow("_ is one character") << "[フリガナ]" << "ヤ_ダ" << "山田";
        QTest::newRow("% is any") << "[フリガナ]" << "ヤ%マ" << "山田,田山,矢中";
        QTest::newRow("mail") << "[E-Mail]" << "@ex" << "山田,ｽｽﾞｷ ﾀﾛｳ";
        QTest::newRow("empty: any not Null") << "[E-Mail]" << "" << "山田,田山,O'Brien,ｽｽﾞｷ ﾀﾛｳ";
        // Compared as a Japanese reader does: kana of either script and width,
        // Latin letters of either case and width; ％ typed full width is a character.
        QTest::newRow("katakana finds half width") << "[名前]" << "スズキ" << "ｽｽﾞｷ ﾀﾛｳ";
        QTest::newRow("hiragana finds katakana") << "[フリガナ]" << "やま" << "山田,田山";
        QTest::newRow("half width finds hiragana") << "[フリガナ]" << "ﾀﾛｳ" << "ｽｽﾞｷ ﾀﾛｳ";
        QTest::newRow("case and width of Latin") << "[E-Mail]" << "ＳＵＺＵＫＩ＠" << "ｽｽﾞｷ ﾀﾛｳ";
        QTest::newRow("full-width ％ is no wildcard") << "[フリガナ]" << "ヤ％マ" << "";
        QTest::newRow("unknown column") << "[MemberID]" << "" << "";
        QTest::newRow("no SQL from the column") << "[名前] or 1=1 --" << "" << "";
        QTest::newRow("group without members") << "" << "(3)" << "";
        QTest::newRow("one group") << "" << "(2)" << "山田,O'Brien";
        QTest::newRow("a member of two, once") << "" << "(1, 2)" << "山田,O'Brien";
        QTest::newRow("no group readable") << "" << "(x)" << "";
    }
    void filters()
    {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(QString, listed);
        TestApp app;
        app.addMember(1, QStringLiteral("山田"), QStringLiteral("ヤマダ"), QStringLiteral("様"), QStringLiteral("y@ex.jp"));
        app.addMember(2, QStringLiteral("田山"), QStringLiteral("タヤマ"), QStringLiteral("様"), QStringLiteral("t.jp"));
        app.exec(QStringLiteral("insert into T_メンバー (MemberID, 名前, フリガナ) values (3, '矢中', 'ヤナマ')"));
        app.addMember(4, QStringLiteral("O'Brien"), QStringLiteral("オブライエン"), QStringLiteral("様"), QStringLiteral("o.jp"));
        app.addMember(5, QStringLiteral("ｽｽﾞｷ ﾀﾛｳ"), QStringLiteral("すずき たろう"), QStringLiteral("様"), QStringLiteral("Suzuki@EX.jp"));
        app.link(memberGroups(), 4, 2);
        app.link(memberGroups(), 1, {1, 2});
        MemberCondition c;
        if (column.isEmpty()) {
            const QString ids = buildMemberIdList(app.db(), value);
            // The list names a member of two groups twice; none gives a key no member has.
            QCOMPARE(parseIdList(ids).size(), value == QLatin1String("(1, 2)") ? 3 : value == QLatin1String("(2)") ? 2 : 1);
            QCOMPARE(ids == QLatin1String("(999999)"), listed.isEmpty());
            c = memberIdCondition(ids);
        } else {
            c = keywordCondition(column, value);
            QVERIFY(value.isEmpty() || !c.where.contains(value)); // bound, never in the statement
        }
        RegisterStore store(app.db(), memberTable());
        QVERIFY(store.open(c.where, c.binds));
        QCOMPARE(columnText(store.list(), 1), listed);
    }
};

QTEST_GUILESS_MAIN(TestRegisterStore)
#include "test_registerstore.moc"
