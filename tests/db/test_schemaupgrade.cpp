// The upgrade at start-up: a database of the first release gains the later
// tables with its data intact and a copy beside it; a failed upgrade changes
// nothing. (A newer database refused at start-up is test_startup's.)
#include "db/database.h"
#include "db/makedatabase.h"
#include "db/schemaupgrade.h"
#include "support/testapp.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace lumivox;

namespace {

// A database of the first release, made by sqlite3 from the frozen schema.
bool makeFirstRelease(const QString &path)
{
    const QString script = QStringLiteral(LUMIVOX_TEST_DB_DIR "/first-release.sql");
    return QProcess::execute(QStringLiteral("sqlite3"), {path, QStringLiteral(".read ") + script}) == 0;
}

// Every table and index with its columns as SQLite describes them (names,
// order, types, Null, defaults, keys), and the form's number.
QString shapeOf(const QSqlDatabase &db)
{
    return scalar(db, {QStringLiteral(
                          "select (pragma_user_version.user_version) || char(10) || group_concat(line, char(10)) from "
                          "(select m.name || ': ' || (select group_concat(p.name || ' ' || p.type || ' ' || p.\"notnull\" "
                          "|| ' ' || ifnull(p.dflt_value, '-') || ' ' || p.pk, ', ') from pragma_table_info(m.name) p) "
                          "|| ' / ' || ifnull((select group_concat(i.name || ' ' || i.\"unique\", ', ') "
                          "from pragma_index_list(m.name) i), '') as line "
                          "from sqlite_master m where m.type = 'table' order by m.name), pragma_user_version")})
        .toString();
}

// The shared connection on a file for the length of a test.
struct Opened {
    explicit Opened(const QString &path) : ok(openSharedConnection(path, path)), name(path) {}
    ~Opened() { closeSharedConnection(name); }
    QSqlDatabase db() const { return QSqlDatabase::database(name, false); }
    bool ok;
    QString name;
};

} // namespace

class TestSchemaUpgrade : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aFirstReleaseDatabaseGainsTheNewTablesWithItsDataAndACopy()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Pennora.db"));
        const QString fresh = dir.filePath(QStringLiteral("fresh.db"));
        QVERIFY(makeFirstRelease(path) && makeDatabase(fresh));
        const QByteArray password("\x00\xff\x10", 3);
        {
            Opened old(path);
            QVERIFY(executeAll(old.db(), {{QStringLiteral("insert into T_お知らせ values (7, '遠足', '持ち物', '', '2026/05/02')")},
                                          {QStringLiteral("insert into T_SMTPサーバー values ('s', 587, 'u', ?, 1, '', '', 1)"),
                                           {password}}}));
        }
        const QByteArray before = test::fileContents(path);

        Opened db(path);
        const SchemaUpgrade upgrade = upgradeDatabase(db.db(), path);
        QCOMPARE(upgrade.result, SchemaUpgrade::Upgraded);
        QCOMPARE(upgrade.fromVersion, 0);
        QCOMPARE(test::fileContents(backupPathOf(path)), before);
        QCOMPARE(scalar(db.db(), {QStringLiteral("select 見出し || 本文 || 送信日時 from T_お知らせ")}).toString(),
                 QStringLiteral("遠足持ち物2026/05/02"));
        QCOMPARE(scalar(db.db(), {QStringLiteral("select パスワード from T_SMTPサーバー")}).toByteArray(), password);
        QCOMPARE(scalar(db.db(), {QStringLiteral("pragma journal_mode")}).toString(), QStringLiteral("wal"));

        // The upgraded file and one made by schema.sql are alike in every table.
        Opened made(fresh);
        QCOMPARE(shapeOf(db.db()), shapeOf(made.db()));
        QVERIFY(shapeOf(made.db()).startsWith(QString::number(currentSchemaVersion()) + u'\n'));
        QVERIFY(shapeOf(made.db()).contains(QStringLiteral("T_送信結果: 送信ID INTEGER 1 - 1")));

        // Started again: nothing to do, the copy stays the first-release one.
        QCOMPARE(upgradeDatabase(db.db(), path).result, SchemaUpgrade::UpToDate);
        QCOMPARE(test::fileContents(backupPathOf(path)), before);
    }

    void aFailedUpgradeChangesNothing_data()
    {
        QTest::addColumn<bool>("copyFails");
        QTest::newRow("a step fails") << false;
        QTest::newRow("the copy cannot be written") << true;
    }

    void aFailedUpgradeChangesNothing()
    {
        QFETCH(bool, copyFails);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Pennora.db"));
        QVERIFY(makeFirstRelease(path));
        if (copyFails)
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Pennora.db.bak")));
        Opened db(path);
        // Unless the copy fails first, the second step collides with a base table.
        const QList<SchemaStep> steps = {{1, {QStringLiteral("CREATE TABLE T_追加 (a INTEGER)")}},
                                         {2, {QStringLiteral("CREATE TABLE T_グループ (a INTEGER)")}}};
        const SchemaUpgrade upgrade = upgradeSchema(db.db(), path, steps);
        QCOMPARE(upgrade.result, SchemaUpgrade::Failed);
        QVERIFY(upgrade.message.contains(QStringLiteral("データは変更されていません")));
        QCOMPARE(upgrade.message.contains(QStringLiteral("Pennora.db.bak")), copyFails);
        QCOMPARE(scalar(db.db(), {QStringLiteral("pragma user_version")}).toInt(), 0);
        QCOMPARE(scalar(db.db(), {QStringLiteral("select count(*) from sqlite_master where name = 'T_追加'")}).toInt(), 0);
        QVERIFY(execute(db.db(), {QStringLiteral("insert into T_グループ values (1, 'A', 'A')")})); // still works
    }
};

QTEST_GUILESS_MAIN(TestSchemaUpgrade)
#include "test_schemaupgrade.moc"
