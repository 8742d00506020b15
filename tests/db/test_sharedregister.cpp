// One register shared by several officers: the same SQL on SQLite and on a real
// PostgreSQL server, work tables private to each program, the start-up refusals
// of a server, the copy of a Pennora.db onto the server, and the dialog that
// chooses the database.
#include "app/databasesettingsdialog.h"
#include "app/startup.h"
#include "mainwindow/mainwindow.h"
#include "db/database.h"
#include "db/keys.h"
#include "db/makedatabase.h"
#include "db/noticestore.h"
#include "db/registercopy.h"
#include "db/registerstore.h"
#include "db/tablemodel.h"
#include "db/worktables.h"
#include "support/pgserver.h"
#include "support/testapp.h"

#include <QComboBox>
#include <QLockFile>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUuid>

using namespace lumivox;
using lumivox::test::PgServer;

namespace {

// A fresh, empty register on the engine: a file in `dir`, or a new database of
// the test server.
DatabaseSettings freshRegister(Engine engine, const QTemporaryDir &dir)
{
    DatabaseSettings settings;
    if (engine == Engine::PostgreSQL) {
        if (PgServer *server = PgServer::shared())
            settings = server->newDatabase();
        return settings;
    }
    settings.file = dir.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".db"));
    makeDatabase(settings.file);
    return settings;
}

// An open connection that closes itself.
struct Connection {
    explicit Connection(const DatabaseSettings &settings)
        : name(QUuid::createUuid().toString())
    {
        ok = openSharedConnection(name, settings, &error);
    }
    ~Connection() { closeSharedConnection(name); }
    QSqlDatabase db() const { return QSqlDatabase::database(name, false); }
    bool run(const QString &sql, const QVariantList &binds = {})
    {
        return execute(db(), {sql, binds}, &error);
    }
    QStringList column(const QString &sql, const QVariantList &binds = {}) const
    {
        QSqlQuery q(db());
        q.prepare(sql);
        for (const QVariant &v : binds)
            q.addBindValue(v);
        QStringList out;
        if (!q.exec())
            return {QStringLiteral("failed: ") + q.lastError().text()};
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
            out << fields.join(u'|');
        }
        return out;
    }
    QString name;
    QString error;
    bool ok = false;
};

void addEngines()
{
    QTest::addColumn<Engine>("engine");
    QTest::newRow("SQLite") << Engine::SQLite;
    QTest::newRow("PostgreSQL") << Engine::PostgreSQL;
}

// The register of a small association: three groups, six members, links.
void fillRegister(Connection &c)
{
    const QStringList names{QStringLiteral("ほし"), QStringLiteral("アオキ"), QStringLiteral("ｲﾄｳ ｹﾝ"),
                            QStringLiteral("佐藤"), QStringLiteral("abe"), QStringLiteral("Ueda")};
    for (int g = 1; g <= 3; ++g)
        QVERIFY2(c.run(QStringLiteral("insert into T_グループ values (?, ?, ?)"),
                       {g, QStringLiteral("%1班").arg(g), QStringLiteral("ハン")}), qPrintable(c.error));
    for (int m = 1; m <= names.size(); ++m) {
        QVERIFY2(c.run(QStringLiteral("insert into T_メンバー values (?, ?, ?, ?, ?)"),
                       {m, names[m - 1], QString(), QStringLiteral("様"), QStringLiteral("m%1@example.jp").arg(m)}),
                 qPrintable(c.error));
        QVERIFY(c.run(QStringLiteral("insert into T_メンバーの登録グループ情報 values (?, ?)"), {m, m % 3 + 1}));
    }
}

} // namespace

class TestSharedRegister : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void japaneseOrderAndMatchingAreTheSameOnBothEngines_data() { addEngines(); }
    void japaneseOrderAndMatchingAreTheSameOnBothEngines()
    {
        QFETCH(Engine, engine);
        QTemporaryDir dir;
        Connection c(freshRegister(engine, dir));
        QVERIFY2(c.ok, qPrintable(c.error));
        fillRegister(c);
        QCOMPARE(c.column(QStringLiteral("select 名前 from T_メンバー order by 名前 collate JAPANESE")),
                 QStringList({QStringLiteral("abe"), QStringLiteral("Ueda"), QStringLiteral("アオキ"),
                              QStringLiteral("ｲﾄｳ ｹﾝ"), QStringLiteral("ほし"), QStringLiteral("佐藤")}));
        const QString match = QStringLiteral("select MemberID from T_メンバー where JMATCH(名前) like JMATCH(?) "
                                             "order by MemberID");
        QCOMPARE(c.column(match, {QStringLiteral("%いとう%")}), QStringList{QStringLiteral("3")});
        QCOMPARE(c.column(match, {QStringLiteral("%ＵＥ%")}), QStringList{QStringLiteral("6")});
        QCOMPARE(c.column(match, {QStringLiteral("_シ")}), QStringList{QStringLiteral("1")});
        QCOMPARE(c.column(match, {QStringLiteral("％")}), QStringList());
    }

    // Two programs compute send lists of different groups at the same moment,
    // again and again: each sees its own rows only.
    void workTablesArePrivateToEachProgram_data() { addEngines(); }
    void workTablesArePrivateToEachProgram()
    {
        QFETCH(Engine, engine);
        QTemporaryDir dir;
        const DatabaseSettings settings = freshRegister(engine, dir);
        {
            Connection c(settings);
            QVERIFY2(c.ok, qPrintable(c.error));
            fillRegister(c);
        }
        const auto officer = [&settings](int group, QString *problem) {
            Connection c(settings);
            if (!c.ok) {
                *problem = c.error;
                return;
            }
            for (int round = 0; round < 40 && problem->isEmpty(); ++round) {
                if (!fillSendList(c.db(), {group}, problem))
                    return;
                const QStringList rows = c.column(QStringLiteral("select GroupID from T_temp_送信リスト"));
                if (rows != QStringList(2, QString::number(group)))
                    *problem = QStringLiteral("group %1 sees %2").arg(group).arg(rows.join(u','));
            }
        };
        QString problem1, problem2;
        QThread *first = QThread::create(officer, 1, &problem1);
        QThread *second = QThread::create(officer, 2, &problem2);
        first->start();
        second->start();
        QVERIFY(first->wait(60000) && second->wait(60000));
        delete first;
        delete second;
        QVERIFY2(problem1.isEmpty(), qPrintable(problem1));
        QVERIFY2(problem2.isEmpty(), qPrintable(problem2));
    }

    // Two officers add records at the same moment, a few short of the cap: no
    // key is given twice, and the table stops exactly at its cap.
    void twoProgramsAddAtTheSameMoment_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("table");
        for (Engine engine : {Engine::SQLite, Engine::PostgreSQL}) {
            for (const char *table : {"T_メンバー", "T_グループ", "T_お知らせ"})
                QTest::addRow("%s %s", engine == Engine::SQLite ? "SQLite" : "PostgreSQL", table)
                    << engine << QString::fromUtf8(table);
        }
    }
    void twoProgramsAddAtTheSameMoment()
    {
        QFETCH(Engine, engine);
        QFETCH(QString, table);
        const RegisterTable *records = table == u"T_メンバー" ? &memberTable()
                                       : table == u"T_グループ" ? &groupTable() : nullptr;
        const QString key = records ? records->keyColumn : QStringLiteral("NewsID");
        const int cap = records ? records->capacity : kMaxNotices;
        QTemporaryDir dir;
        const DatabaseSettings settings = freshRegister(engine, dir);
        {
            Connection c(settings);
            QVERIFY2(c.run(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                                          "insert into %1 (%2) select i from n").arg(table, key), {cap - 12}),
                     qPrintable(c.error));
        }
        const auto officer = [&](int *added, QString *problem) {
            Connection c(settings);
            NoticeStore notices(c.db());
            std::unique_ptr<RegisterStore> store(records ? new RegisterStore(c.db(), *records) : nullptr);
            if (!c.ok || !(store ? store->open().ok : notices.open().ok)) {
                *problem = c.error;
                return;
            }
            for (int i = 0; i < 10; ++i) {
                const StoreResult r = store ? store->append() : notices.create();
                if (r)
                    ++*added;
                else if (!r.error.contains(QStringLiteral("まで"))) // anything but the cap
                    *problem = r.error;
            }
        };
        int added1 = 0, added2 = 0;
        QString problem1, problem2;
        QThread *first = QThread::create(officer, &added1, &problem1);
        QThread *second = QThread::create(officer, &added2, &problem2);
        first->start();
        second->start();
        QVERIFY(first->wait(60000) && second->wait(60000));
        delete first;
        delete second;
        QVERIFY2(problem1.isEmpty() && problem2.isEmpty(), qPrintable(problem1 + problem2));
        QCOMPARE(added1 + added2, 12);
        Connection c(settings);
        QCOMPARE(c.column(QStringLiteral("select count(*), count(distinct %1), max(%1) from %2").arg(key, table)),
                 QStringList{QStringLiteral("%1|%1|%1").arg(cap)});
    }

    // An officer saves a record another officer changed since it was shown: the
    // save is refused, says so and shows what is stored; other fields, and a
    // second save made knowingly, are written.
    void aStaleEditIsRefusedWithTheNewerValueShown_data() { addEngines(); }
    void aStaleEditIsRefusedWithTheNewerValueShown()
    {
        QFETCH(Engine, engine);
        QTemporaryDir dir;
        const DatabaseSettings settings = freshRegister(engine, dir);
        Connection a(settings), b(settings);
        fillRegister(a);
        QVERIFY(a.run(QStringLiteral("insert into T_お知らせ values (1, '総会', '', '', '(未送信)')")));
        RegisterStore mine(a.db(), memberTable()), theirs(b.db(), memberTable());
        NoticeStore myNotices(a.db()), theirNotices(b.db());
        QVERIFY(mine.open() && theirs.open() && myNotices.open() && theirNotices.open());
        const QString name = QStringLiteral("名前");
        QVERIFY(mine.update(0, {{name, QStringLiteral("星")}}));
        const StoreResult stale = theirs.update(0, {{name, QStringLiteral("ほしの")}});
        QVERIFY(stale.refused);
        QCOMPARE(stale.error, TableModel::kChangedElsewhere);
        QCOMPARE(theirs.list().value(0, name).toString(), QStringLiteral("星"));
        QVERIFY(theirs.update(0, {{QStringLiteral("E-Mail"), QStringLiteral("h@example.jp")}}));
        QVERIFY(theirs.update(0, {{name, QStringLiteral("ほしの")}}));
        QCOMPARE(a.column(QStringLiteral("select 名前, \"E-Mail\" from T_メンバー where MemberID = 1")),
                 QStringList{QStringLiteral("ほしの|h@example.jp")});

        QVERIFY(myNotices.update({1, QStringLiteral("総会のご案内"), {}, {}, QStringLiteral("(未送信)")}));
        const StoreResult notice = theirNotices.update({1, QStringLiteral("総会（改）"), {}, {}, QStringLiteral("(未送信)")});
        QVERIFY(notice.refused);
        QVERIFY2(notice.error.endsWith(QStringLiteral("見出し：総会のご案内")), qPrintable(notice.error));

        QVERIFY(mine.remove(1));
        QCOMPARE(theirs.update(1, {{name, QStringLiteral("消えた人")}}).error, TableModel::kDeletedElsewhere);
    }

    void aServerThatCannotServeIsRefusedWithItsReason_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nobody listening") << "port" << "";
        QTest::newRow("no tables") << "no tables" << "lumivox_schema";
        QTest::newRow("newer tables") << "newer" << "新しい版";
    }
    void aServerThatCannotServeIsRefusedWithItsReason()
    {
        QFETCH(QString, problem);
        QFETCH(QString, reason);
        PgServer *server = PgServer::shared();
        QVERIFY(server);
        DatabaseSettings settings = server->newDatabase();
        if (problem == QLatin1String("port")) {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            settings.host = QStringLiteral("127.0.0.1");
            settings.port = probe.serverPort();
            probe.close();
            reason = QString::number(settings.port); // libpq names the address it tried
        } else {
            Connection owner(settings);
            QSqlQuery q(owner.db());
            QVERIFY(q.exec(problem == QLatin1String("newer") ? QStringLiteral("update lumivox_schema set version = 99")
                                                             : QStringLiteral("drop table lumivox_schema")));
        }
        const QString name = QStringLiteral("refused");
        QString error;
        QVERIFY(!openSharedConnection(name, settings, &error));
        QVERIFY(!QSqlDatabase::contains(name));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    // The settings file names a server: the program runs on it, and the one
    // running program is counted per user, not per data folder.
    void startUpOpensTheServerTheSettingsName()
    {
        PgServer *server = PgServer::shared();
        QVERIFY(server);
        QTemporaryDir dir, runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())); // this test's user folder
        DatabaseSettings settings = server->newDatabase();
        saveDatabaseSettings(dir.filePath(QStringLiteral("lumivox.INI")), settings);
        settings.file = dir.filePath(QStringLiteral("Pennora.db")); // not there, not needed
        AppContext context;
        context.appDir = dir.path();
        const QString lockPath = instanceLockPath(context, settings);
        QVERIFY(lockPath.startsWith(runtime.path()));
        QCOMPARE(instanceLockPath(context, DatabaseSettings()), dir.filePath(QStringLiteral("lumivox.lock")));
        Engine engine = Engine::SQLite;
        bool locked = false;
        const int exitCode = runLumivox(dir.path(), [&](AppContext &context) -> QWidget * {
            engine = engineOf(context.db());
            locked = !QLockFile(lockPath).tryLock(0);
            auto *window = new QWidget;
            QTimer::singleShot(0, window, &QWidget::close);
            return window;
        });
        QCOMPARE(exitCode, 0);
        QCOMPARE(engine, Engine::PostgreSQL);
        QVERIFY(locked);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumivox.lock"))));
    }

    void copyOntoTheServerKeepsEveryRow()
    {
        PgServer *server = PgServer::shared();
        QVERIFY(server);
        QTemporaryDir dir;
        const DatabaseSettings file = freshRegister(Engine::SQLite, dir);
        QByteArray password;
        for (int b = 0; b < 256; ++b)
            password += char(b);
        {
            Connection c(file);
            fillRegister(c);
            QVERIFY(c.run(QStringLiteral("insert into T_お知らせ values (?, ?, ?, ?, ?)"),
                          {7, QStringLiteral("遠足"), QStringLiteral("持ち物：\n弁当"), QStringLiteral("2026/05/01 09:00:00"),
                           QStringLiteral("(未送信)")}));
            QVERIFY(c.run(QStringLiteral("insert into T_お知らせに対する宛先情報 values (7, 2), (7, 3)")));
            QVERIFY(c.run(QStringLiteral("delete from T_敬称 where 敬称 <> '様'")));
            QVERIFY(c.run(QStringLiteral("insert into T_敬称 values ('御中'), (null)")));
            QVERIFY(c.run(QStringLiteral("insert into T_送信設定 values (1, 0, 1, 72)")));
            QVERIFY(c.run(QStringLiteral("insert into T_SMTPサーバー values (?, 587, 'u', ?, 1, '会', 'a@b.jp', 1)"),
                          {QStringLiteral("smtp.example.jp"), password}));
        }
        const DatabaseSettings target = server->newDatabase();
        Connection to(target);
        QVERIFY2(to.ok, qPrintable(to.error));
        CopySummary summary;
        QString error;
        QVERIFY2(copyRegister(file.file, to.db(), &summary, &error), qPrintable(error));
        QCOMPARE(summary.tables, 8);
        QCOMPARE(summary.rows, 1 + 3 + 6 + 6 + 2 + 3 + 1 + 1);

        Connection from(file);
        const QStringList tables{QStringLiteral("T_お知らせ"), QStringLiteral("T_グループ"), QStringLiteral("T_メンバー"),
                                 QStringLiteral("T_メンバーの登録グループ情報"), QStringLiteral("T_お知らせに対する宛先情報"),
                                 QStringLiteral("T_敬称"), QStringLiteral("T_送信設定"), QStringLiteral("T_SMTPサーバー")};
        for (const QString &table : tables) {
            QStringList columns;
            const QSqlRecord record = from.db().record(table);
            for (int i = 0; i < record.count(); ++i)
                columns << quoted(record.fieldName(i));
            const QString sql = QStringLiteral("select %1 from %2 order by rowid").arg(columns.join(u','), table);
            QCOMPARE(to.column(sql), from.column(sql));
        }
        QCOMPARE(scalar(to.db(), {QStringLiteral("select パスワード from T_SMTPサーバー")}).toByteArray(), password);
        // A row added later on the server comes after the copied ones.
        QVERIFY(to.run(QStringLiteral("insert into T_敬称 values ('殿')")));
        QCOMPARE(to.column(QStringLiteral("select 敬称 from T_敬称 order by rowid")).last(), QStringLiteral("殿"));

        // A second copy onto the same database is refused and changes nothing.
        QVERIFY(!copyRegister(file.file, to.db(), &summary, &error));
        QVERIFY2(error.contains(QStringLiteral("空ではありません")), qPrintable(error));
        QCOMPARE(to.column(QStringLiteral("select count(*) from T_メンバー")), QStringList{QStringLiteral("6")});
    }

    // SQLite keeps a name longer than its field; the server does not. The copy
    // stops at that row, says which, and leaves the server as it was.
    void aCopyThatFailsLeavesTheServerAsItWas()
    {
        PgServer *server = PgServer::shared();
        QVERIFY(server);
        QTemporaryDir dir;
        const DatabaseSettings file = freshRegister(Engine::SQLite, dir);
        {
            Connection c(file);
            fillRegister(c);
            QVERIFY(c.run(QStringLiteral("update T_メンバー set 名前 = ? where MemberID = 5"),
                          {QStringLiteral("とても長い名前の会員さんです")}));
        }
        Connection to(server->newDatabase());
        QVERIFY(to.ok);
        const QStringList honorifics = to.column(QStringLiteral("select 敬称 from T_敬称 order by rowid"));
        QString error;
        QVERIFY(!copyRegister(file.file, to.db(), nullptr, &error));
        QVERIFY2(error.contains(QStringLiteral("T_メンバー")) && error.contains(QStringLiteral("MemberID = 5")),
                 qPrintable(error));
        QCOMPARE(to.column(QStringLiteral("select count(*) from T_グループ")), QStringList{QStringLiteral("0")});
        QCOMPARE(to.column(QStringLiteral("select 敬称 from T_敬称 order by rowid")), honorifics);
    }

    // The dialog tries the server, copies this computer's register onto it and
    // keeps the choice in the settings file; the next start reads it back.
    void databaseDialogTestsCopiesAndKeepsTheServer()
    {
        PgServer *server = PgServer::shared();
        QVERIFY(server);
        test::TestApp app;
        app.addGroups({QStringLiteral("役員"), QStringLiteral("会計")});
        const DatabaseSettings target = server->newDatabase();
        test::Answers answers;
        answers.nextDialog([&](QDialog &opened) {
            auto &dialog = dynamic_cast<DatabaseSettingsDialog &>(opened);
            QVERIFY(dialog.optFile->isChecked() && !dialog.cmdCopy->isEnabled());
            dialog.optServer->setChecked(true);
            dialog.txtHost->setText(target.host);
            dialog.numPort->setValue(target.port + 1);
            dialog.txtDatabase->setText(target.databaseName);
            dialog.txtUser->setText(target.user);
            dialog.cboSslMode->setCurrentIndex(dialog.cboSslMode->findData(QStringLiteral("disable")));
            dialog.cmdTest->click();
            QVERIFY2(answers.lastText().contains(QStringLiteral("接続できませんでした")), qPrintable(answers.lastText()));
            dialog.numPort->setValue(target.port);
            dialog.cmdTest->click();
            QCOMPARE(answers.lastText(), QStringLiteral("サーバーに接続できました。"));
            answers.nextButton(QMessageBox::Yes);
            dialog.cmdCopy->click();
            QVERIFY2(answers.lastText().startsWith(QStringLiteral("コピーしました")), qPrintable(answers.lastText()));
            dialog.cmdOk->click();
        });
        MainWindow window(app.context());
        test::clickTool(window, "ID_mnuSetupDatabase");
        QCOMPARE(answers.dialogsRun - answers.unplannedDialogs, 1);
        QVERIFY(answers.lastText().contains(QStringLiteral("次に Lumivox を起動したとき")));

        const DatabaseSettings kept = app.context().databaseSettings();
        QCOMPARE(kept.engine, Engine::PostgreSQL);
        QCOMPARE(QStringList({kept.host, QString::number(kept.port), kept.databaseName, kept.user, kept.sslMode}),
                 QStringList({target.host, QString::number(target.port), target.databaseName, target.user,
                              QStringLiteral("disable")}));
        Connection next(kept);
        QVERIFY2(next.ok, qPrintable(next.error));
        QCOMPARE(next.column(QStringLiteral("select グループ名称 from T_グループ order by GroupID")),
                 QStringList({QStringLiteral("役員"), QStringLiteral("会計")}));
    }
};

QTEST_MAIN(TestSharedRegister)
#include "test_sharedregister.moc"
