// One register shared by several officers, on SQLite and on a real PostgreSQL
// server: private work tables, records added and edited by two programs at once,
// the start-up on a server, the copy of a Pennora.db onto it and the dialog.
#include "app/databasesettingsdialog.h"
#include "app/startup.h"
#include "db/keys.h"
#include "db/makedatabase.h"
#include "db/noticestore.h"
#include "db/registercopy.h"
#include "db/registerstore.h"
#include "db/tablemodel.h"
#include "mainwindow/mainwindow.h"
#include "support/testapp.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLockFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUuid>

using namespace lumivox;
using namespace Qt::StringLiterals;
using lumivox::test::newServerDatabase;

namespace {

// A fresh register: a file in `dir`, or a new database of the test server.
DatabaseSettings freshRegister(Engine engine, const QTemporaryDir &dir)
{
    DatabaseSettings settings;
    if (engine == Engine::PostgreSQL)
        return newServerDatabase();
    settings.file = dir.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".db"));
    makeDatabase(settings.file);
    return settings;
}

// An open connection of its own, closed with it.
struct Connection {
    explicit Connection(const DatabaseSettings &settings)
        : name(QUuid::createUuid().toString()), ok(openSharedConnection(name, settings, &error))
    {
    }
    ~Connection() { closeSharedConnection(name); }
    QSqlDatabase db() const { return QSqlDatabase::database(name, false); }
    bool run(const QString &sql, const QVariantList &binds = {}) { return execute(db(), {sql, binds}, &error); }
    QStringList rows(const QString &sql) const { return test::queryRows(db(), sql); }
    QString name;
    QString error;
    bool ok;
};

void addEngines()
{
    QTest::addColumn<Engine>("engine");
    QTest::newRow("SQLite") << Engine::SQLite;
    QTest::newRow("PostgreSQL") << Engine::PostgreSQL;
}

// Three groups; six members, member m in group m % 3 + 1.
void fillRegister(Connection &c)
{
    const QStringList names{QStringLiteral("ほし"), QStringLiteral("アオキ"), QStringLiteral("ｲﾄｳ ｹﾝ"),
                            QStringLiteral("佐藤"), QStringLiteral("abe"), QStringLiteral("Ueda")};
    for (int g = 1; g <= 3; ++g)
        QVERIFY2(c.run(QStringLiteral("insert into T_グループ values (?, ?, 'ハン')"), {g, QStringLiteral("%1班").arg(g)}),
                 qPrintable(c.error));
    for (int m = 1; m <= names.size(); ++m) {
        QVERIFY(c.run(QStringLiteral("insert into T_メンバー values (?, ?, '', '様', ?)"),
                      {m, names[m - 1], QStringLiteral("m%1@example.jp").arg(m)}));
        QVERIFY(c.run(QStringLiteral("insert into T_メンバーの登録グループ情報 values (?, ?)"), {m, m % 3 + 1}));
    }
}

// Runs `officer` in two threads at once, as two programs; their problems.
QString together(const std::function<void(int, QString *)> &officer)
{
    QString problems[2];
    QThread *threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = QThread::create(officer, i, &problems[i]);
        threads[i]->start();
    }
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
    return problems[0] + problems[1];
}

} // namespace

class TestSharedRegister : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two programs compute the send lists of different groups at the same
    // moment, again and again: each sees its own rows, in Japanese order.
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
        const QStringList expected[] = {{QStringLiteral("Ueda"), QStringLiteral("ｲﾄｳ ｹﾝ")},
                                        {QStringLiteral("abe"), QStringLiteral("アオキ")}};
        const QString problems = together([&](int officer, QString *problem) {
            Connection c(settings);
            for (int round = 0; round < 40 && problem->isEmpty(); ++round) {
                if (!fillSendList(c.db(), {officer == 0 ? 1 : 3}, problem))
                    return;
                const QStringList names = c.rows(QStringLiteral("select 名前 from T_temp_送信リスト order by rowid"));
                if (names != expected[officer])
                    *problem = names.join(u',');
            }
        });
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
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
        QAtomicInt added;
        const QString problems = together([&](int, QString *problem) {
            Connection c(settings);
            NoticeStore notices(c.db());
            std::unique_ptr<RegisterStore> store(records ? new RegisterStore(c.db(), *records) : nullptr);
            if (!(store ? store->open().ok : notices.open().ok))
                *problem = c.error;
            for (int i = 0; i < 10 && problem->isEmpty(); ++i) {
                const StoreResult r = store ? store->append() : notices.create();
                if (r)
                    added.ref();
                else if (!r.error.contains(QStringLiteral("まで"))) // anything but the cap
                    *problem = r.error;
            }
        });
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
        QCOMPARE(added.loadRelaxed(), 12);
        QCOMPARE(Connection(settings).rows(QStringLiteral("select count(*), count(distinct %1), max(%1) from %2").arg(key, table)),
                 QStringList{QStringLiteral("%1|%1|%1").arg(cap)});
    }

    // An officer saves a record another officer changed since it was shown: the
    // save is refused, says so and shows what is stored; another field, and a
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
        QCOMPARE(a.rows(QStringLiteral("select 名前, \"E-Mail\" from T_メンバー where MemberID = 1")),
                 QStringList{QStringLiteral("ほしの|h@example.jp")});

        QVERIFY(myNotices.update({1, QStringLiteral("総会のご案内"), {}, {}, QStringLiteral("(未送信)")}));
        const StoreResult notice = theirNotices.update({1, QStringLiteral("総会（改）"), {}, {}, QStringLiteral("(未送信)")});
        QVERIFY(notice.refused);
        QVERIFY2(notice.error.endsWith(QStringLiteral("見出し：総会のご案内")), qPrintable(notice.error));

        QVERIFY(mine.remove(1));
        QCOMPARE(theirs.update(1, {{name, QStringLiteral("消えた人")}}).error, TableModel::kDeletedElsewhere);
    }

    // The settings file names a server: the program runs on it, and the one
    // running program is counted per user, not per data folder.
    void startUpOpensTheServerTheSettingsName()
    {
        QTemporaryDir dir, runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())); // this test's user folder
        const DatabaseSettings settings = newServerDatabase();
        QVERIFY(!settings.databaseName.isEmpty());
        saveDatabaseSettings(dir.filePath(QStringLiteral("lumivox.INI")), settings);
        AppContext context;
        context.appDir = dir.path();
        const QString lockPath = instanceLockPath(context, settings);
        QVERIFY(lockPath.startsWith(runtime.path()));
        QCOMPARE(instanceLockPath(context, DatabaseSettings()), dir.filePath(QStringLiteral("lumivox.lock")));
        Engine engine = Engine::SQLite;
        bool locked = false;
        QCOMPARE(runLumivox(dir.path(), [&](AppContext &opened) -> QWidget * {
                     engine = engineOf(opened.db());
                     locked = !QLockFile(lockPath).tryLock(0);
                     auto *window = new QWidget;
                     QTimer::singleShot(0, window, &QWidget::close);
                     return window;
                 }),
                 0);
        QCOMPARE(engine, Engine::PostgreSQL);
        QVERIFY(locked);
    }

    // Every row, key and link of a Pennora.db reaches an empty server database,
    // in one transaction: a row the server refuses leaves it as it was, and a
    // database that holds data is refused.
    void copyOntoTheServerKeepsEveryRow()
    {
        QTemporaryDir dir;
        const DatabaseSettings file = freshRegister(Engine::SQLite, dir);
        Connection from(file);
        fillRegister(from);
        QByteArray password;
        for (int b = 0; b < 256; ++b)
            password += char(b);
        QVERIFY(from.run(QStringLiteral("insert into T_お知らせ values (7, '遠足', ?, '2026/05/01 09:00:00', '(未送信)')"),
                         {QStringLiteral("持ち物：\r\n弁当")}));
        QVERIFY(from.run(QStringLiteral("insert into T_お知らせに対する宛先情報 values (7, 2), (7, 3)")));
        QVERIFY(from.run(QStringLiteral("delete from T_敬称 where 敬称 <> '様'")));
        QVERIFY(from.run(QStringLiteral("insert into T_敬称 values ('御中'), (null)")));
        QVERIFY(from.run(QStringLiteral("insert into T_送信設定 (グループ名称付加, 名前付加, 文字数制限, 文字数) values (1, 0, 1, 72)")));
        QVERIFY(from.run(QStringLiteral("insert into T_SMTPサーバー values ('smtp.example.jp', 587, 'u', ?, 1, '会', 'a@b.jp', 1)"),
                         {password}));
        // SQLite keeps a name longer than its field; the server does not.
        QVERIFY(from.run(QStringLiteral("update T_メンバー set 名前 = 'とても長い名前の会員さんです' where MemberID = 5")));
        Connection to(newServerDatabase());
        QVERIFY2(to.ok, qPrintable(to.error));
        const QStringList honorifics = to.rows(QStringLiteral("select 敬称 from T_敬称 order by rowid"));
        CopySummary summary;
        QString error;
        QVERIFY(!copyRegister(file.file, to.db(), &summary, &error));
        QVERIFY2(error.contains(QStringLiteral("T_メンバー の行（MemberID = 5）")), qPrintable(error));
        QCOMPARE(to.rows(QStringLiteral("select count(*) from T_グループ")) + to.rows(QStringLiteral("select 敬称 from T_敬称 order by rowid")),
                 QStringList{QStringLiteral("0")} + honorifics);

        QVERIFY(from.run(QStringLiteral("update T_メンバー set 名前 = 'abe' where MemberID = 5")));
        QVERIFY2(copyRegister(file.file, to.db(), &summary, &error), qPrintable(error));
        QCOMPARE(summary.rows, 1 + 3 + 6 + 6 + 2 + 3 + 1 + 1);
        for (const QString &table : {u"T_お知らせ"_s, u"T_グループ"_s, u"T_メンバー"_s, u"T_メンバーの登録グループ情報"_s,
                                     u"T_お知らせに対する宛先情報"_s, u"T_敬称"_s, u"T_送信設定"_s, u"T_SMTPサーバー"_s}) {
            QStringList columns;
            for (const ColumnInfo &column : tableColumns(from.db(), table))
                columns << quoted(column.name);
            const QString sql = QStringLiteral("select %1 from %2 order by rowid").arg(columns.join(u','), table);
            QCOMPARE(to.rows(sql), from.rows(sql));
        }
        QCOMPARE(scalar(to.db(), {QStringLiteral("select パスワード from T_SMTPサーバー")}).toByteArray(), password);
        QVERIFY(to.run(QStringLiteral("insert into T_敬称 values ('殿')"))); // after the copied rows
        QCOMPARE(to.rows(QStringLiteral("select 敬称 from T_敬称 order by rowid")).last(), QStringLiteral("殿"));

        QVERIFY(!copyRegister(file.file, to.db(), &summary, &error));
        QVERIFY2(error.contains(QStringLiteral("空ではありません")), qPrintable(error));
        QCOMPARE(to.rows(QStringLiteral("select count(*) from T_メンバー")), QStringList{QStringLiteral("6")});
    }

    // 設定 → ﾃﾞｰﾀﾍﾞｰｽ設定: the dialog tries the server with the server's reason,
    // copies this computer's register onto it and keeps the choice.
    void databaseDialogTestsCopiesAndKeepsTheServer()
    {
        test::TestApp app;
        app.addGroups({QStringLiteral("役員"), QStringLiteral("会計")});
        const DatabaseSettings target = newServerDatabase();
        QVERIFY(!target.databaseName.isEmpty());
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
            QVERIFY2(answers.lastText().contains(QString::number(target.port + 1)), qPrintable(answers.lastText()));
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
        QCOMPARE(QStringList({QString::number(int(kept.engine)), kept.host, QString::number(kept.port),
                              kept.databaseName, kept.user, kept.sslMode}),
                 QStringList({QString::number(int(Engine::PostgreSQL)), target.host, QString::number(target.port),
                              target.databaseName, target.user, QStringLiteral("disable")}));
        QCOMPARE(Connection(kept).rows(QStringLiteral("select グループ名称 from T_グループ order by GroupID")),
                 QStringList({QStringLiteral("役員"), QStringLiteral("会計")}));
    }
};

QTEST_MAIN(TestSharedRegister)
#include "test_sharedregister.moc"
