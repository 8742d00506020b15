// The upgrade at start-up: a database of the first release gains the later
// tables with its data intact and a copy beside it; a newer one is refused; a
// failed upgrade changes nothing.
#include "app/startup.h"
#include "db/database.h"
#include "db/schemaupgrade.h"
#include "support/testapp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace lumivox;

namespace {

// A database of the first release, made by sqlite3 from the frozen schema.
bool makeFirstRelease(const QString &path)
{
    const QString script = QStringLiteral(LUMIVOX_TEST_DB_DIR "/first-release.sql");
    return QProcess::execute(QStringLiteral("sqlite3"), {path, QStringLiteral(".read ") + script}) == 0;
}

// Every table and index with its columns as SQLite describes them; the same
// list means the same tables, columns (in order), types, defaults and keys.
QStringList shapeOf(const QSqlDatabase &db)
{
    QStringList shape;
    QSqlQuery q(db);
    q.exec(QStringLiteral("select type, name, tbl_name from sqlite_master where name not like 'sqlite_%' "
                          "order by type, name"));
    QList<QStringList> objects;
    while (q.next())
        objects << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    for (const QStringList &object : objects) {
        const bool table = object[0] == QStringLiteral("table");
        QSqlQuery info(db);
        info.exec(QStringLiteral("pragma %1(%2)").arg(table ? "table_info" : "index_info", quoted(object[1])));
        QStringList columns;
        while (info.next()) {
            columns << (table ? QStringList{info.value(1).toString(), info.value(2).toString(),
                                            info.value(3).toString(), info.value(4).toString(),
                                            info.value(5).toString()}
                              : QStringList{info.value(2).toString()})
                           .join(u' ');
        }
        shape << object.join(u' ') + QStringLiteral(": ") + columns.join(QStringLiteral(", "));
    }
    return shape;
}

int userVersion(const QSqlDatabase &db)
{
    return scalar(db, {QStringLiteral("pragma user_version")}).toInt();
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The shared connection on one file for the length of a test.
struct Opened {
    explicit Opened(const QString &path) : name(QStringLiteral("upgrade-") + QFileInfo(path).fileName())
    {
        ok = openSharedConnection(name, path);
    }
    ~Opened() { closeSharedConnection(name); }
    QSqlDatabase db() const { return QSqlDatabase::database(name, false); }
    QString name;
    bool ok = false;
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
        QVERIFY(makeFirstRelease(path));
        QVERIFY(test::makeTestDatabase(fresh));
        QByteArray before;
        {
            Opened old(path);
            QVERIFY(old.ok);
            QCOMPARE(userVersion(old.db()), 0);
            QVERIFY(executeAll(old.db(),
                               {{QStringLiteral("insert into T_お知らせ values (7, '遠足', '持ち物', "
                                                "'2026/05/01 09:00:00', '2026/05/02 10:00:00')")},
                                {QStringLiteral("insert into T_メンバー values (3, '井上', 'イノウエ', '様', 'a@example.jp')")},
                                {QStringLiteral("insert into T_SMTPサーバー values ('smtp.example.jp', 587, 'u', ?, 1, "
                                                "'係', 's@example.jp', 1)"),
                                 {QByteArray("\x00\xff\x10", 3)}}}));
        }
        before = bytesOf(path);

        Opened db(path);
        const SchemaUpgrade upgrade = upgradeDatabase(db.db(), path);
        QCOMPARE(upgrade.result, SchemaUpgrade::Upgraded);
        QCOMPARE(upgrade.fromVersion, 0);
        QCOMPARE(bytesOf(backupPathOf(path)), before);
        QCOMPARE(scalar(db.db(), {QStringLiteral("select 見出し || 本文 || 送信日時 from T_お知らせ where NewsID = 7")}),
                 QVariant(QStringLiteral("遠足持ち物2026/05/02 10:00:00")));
        QCOMPARE(scalar(db.db(), {QStringLiteral("select \"E-Mail\" from T_メンバー where MemberID = 3")}),
                 QVariant(QStringLiteral("a@example.jp")));
        QCOMPARE(scalar(db.db(), {QStringLiteral("select パスワード from T_SMTPサーバー")}).toByteArray(),
                 QByteArray("\x00\xff\x10", 3));
        QCOMPARE(scalar(db.db(), {QStringLiteral("pragma journal_mode")}).toString(), QStringLiteral("wal"));

        // The upgraded file and one made by schema.sql are alike in every table.
        Opened made(fresh);
        QCOMPARE(userVersion(db.db()), userVersion(made.db()));
        QCOMPARE(userVersion(made.db()), currentSchemaVersion());
        QCOMPARE(shapeOf(db.db()), shapeOf(made.db()));
        QVERIFY(shapeOf(made.db()).join(u'\n').contains(QStringLiteral("T_送信結果")));

        // Started again: nothing to do, the copy stays the first-release one.
        QCOMPARE(upgradeDatabase(db.db(), path).result, SchemaUpgrade::UpToDate);
        QCOMPARE(bytesOf(backupPathOf(path)), before);
    }

    void aNewerDatabaseIsRefusedAndLeftAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Pennora.db"));
        QVERIFY(test::makeTestDatabase(path));
        {
            Opened db(path);
            QVERIFY(execute(db.db(), {QStringLiteral("pragma user_version = %1").arg(currentSchemaVersion() + 1)}));
        }
        const QByteArray before = bytesOf(path);

        // Through the start routine: the message, no main window, the start fails.
        test::Answers answers;
        bool created = false;
        const int exitCode = runLumivox(dir.path(), [&](AppContext &) -> QWidget * {
            created = true;
            return nullptr;
        });
        QCOMPARE(exitCode, kExitStartFailed);
        QVERIFY(!created);
        QCOMPARE(answers.messages.size(), 1);
        QCOMPARE(answers.messages[0].icon, QMessageBox::Critical);
        QVERIFY2(answers.lastText().contains(QStringLiteral("より新しい版")), qPrintable(answers.lastText()));
        QCOMPARE(bytesOf(path), before);
        QVERIFY(!QFile::exists(backupPathOf(path)));
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
        // The second step collides with a base table.
        const QList<SchemaStep> steps = {{1, {QStringLiteral("CREATE TABLE T_追加 (a INTEGER)")}},
                                         {2, {copyFails ? QStringLiteral("CREATE TABLE T_追加2 (a INTEGER)")
                                                        : QStringLiteral("CREATE TABLE T_グループ (a INTEGER)")}}};
        const SchemaUpgrade upgrade = upgradeSchema(db.db(), path, steps);
        QCOMPARE(upgrade.result, SchemaUpgrade::Failed);
        QVERIFY(upgrade.message.contains(QStringLiteral("データは変更されていません")));
        QCOMPARE(upgrade.message.contains(QStringLiteral("Pennora.db.bak")), copyFails);
        QCOMPARE(userVersion(db.db()), 0);
        QCOMPARE(scalar(db.db(), {QStringLiteral("select count(*) from sqlite_master where name like 'T_追加%'")}).toInt(), 0);
        // Still a working database.
        QVERIFY(execute(db.db(), {QStringLiteral("insert into T_グループ values (1, 'A', 'A')")}));
    }
};

QTEST_GUILESS_MAIN(TestSchemaUpgrade)
#include "test_schemaupgrade.moc"
