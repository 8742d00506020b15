#include "support/testapp.h"

#include "app/settingsfile.h"
#include "db/makedatabase.h"

#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

#include <cstdlib>

namespace lumivox::test {

Engine testEngine()
{
    return qEnvironmentVariable("LUMIVOX_TEST_ENGINE").compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0
               ? Engine::PostgreSQL
               : Engine::SQLite;
}

namespace {

// The test program's server: its folder, its port (0: none) and what it said.
struct ServerOfTheTests {
    QTemporaryDir dir;
    int port = 0;
    int databases = 0;
    QString said;

    bool script(const QStringList &args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(LUMIVOX_PG_SCRIPT), args);
        const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        said = QString::fromLocal8Bit(p.readAll()).trimmed() + (ok ? QString() : u' ' + p.errorString());
        return ok;
    }
    ServerOfTheTests()
    {
        if (dir.isValid() && script({QStringLiteral("start"), dir.path(), QStringLiteral(LUMIVOX_PG_SCHEMA)}))
            port = said.section(u'\n', -1).toInt();
    }
    ~ServerOfTheTests()
    {
        // At the very end of the program, when no QProcess may run any more.
        if (port > 0)
            std::system(qPrintable(QStringLiteral("'%1' stop '%2'").arg(QStringLiteral(LUMIVOX_PG_SCRIPT), dir.path())));
    }
};

} // namespace

DatabaseSettings newServerDatabase(QString *error)
{
    static ServerOfTheTests server;
    DatabaseSettings settings;
    settings.engine = Engine::PostgreSQL;
    settings.host = server.dir.path();
    settings.port = server.port;
    settings.user = QStringLiteral("lumivox");
    settings.databaseName = QStringLiteral("lumivox_%1").arg(++server.databases);
    if (server.port == 0 || !server.script({QStringLiteral("createdb"), server.dir.path(), settings.databaseName})) {
        if (error)
            *error = QStringLiteral("no PostgreSQL server: ") + server.said;
        settings.databaseName.clear();
    }
    return settings;
}

TestApp::TestApp()
{
    m_context.appDir = m_dir.path();
    m_context.dataDir = m_dir.path();
    m_context.connectionName = QStringLiteral("test-") + QUuid::createUuid().toString();
    m_context.filterKeys = &m_filterKeys;
    QString error = QStringLiteral("no PostgreSQL server");
    DatabaseSettings settings;
    settings.file = m_context.databasePath();
    if (testEngine() == Engine::PostgreSQL)
        settings = newServerDatabase(&error);
    else if (!makeDatabase(settings.file, &error)) {
        settings.file.clear();
    }
    m_valid = m_dir.isValid() && !(settings.file.isEmpty() && settings.databaseName.isEmpty())
              && openSharedConnection(m_context.connectionName, settings, &error);
    if (!m_valid)
        qWarning("TestApp: %s", qPrintable(error));
}

TestApp::~TestApp()
{
    closeSharedConnection(m_context.connectionName);
}

void TestApp::setSetting(const QString &section, const QString &key, const QString &value) const
{
    SettingsFile().SetValueString(iniPath(), section, key, value);
}

QString TestApp::setting(const QString &section, const QString &key) const
{
    return SettingsFile().GetValueString(iniPath(), section, key);
}

std::int32_t TestApp::settingLong(const QString &section, const QString &key) const
{
    return SettingsFile().GetValueLong(iniPath(), section, key);
}

bool TestApp::exec(const QString &sql, const QVariantList &binds)
{
    QString error;
    QSqlQuery q(db());
    if (binds.isEmpty() ? q.exec(sql) : execute(db(), {sql, binds}, &error))
        return true;
    if (binds.isEmpty())
        error = q.lastError().text();
    qWarning("TestApp::exec failed: %s: %s", qPrintable(sql), qPrintable(error));
    return false;
}

QVariant TestApp::scalar(const QString &sql, const QVariantList &binds)
{
    return lumivox::scalar(db(), {sql, binds});
}

int TestApp::count(const QString &table, const QString &where)
{
    QString sql = QStringLiteral("select count(*) from ") + quoted(table);
    if (!where.isEmpty())
        sql += QStringLiteral(" where ") + where;
    return scalar(sql).toInt();
}

bool TestApp::dropWorkTable(const QString &table)
{
    const bool sqlite = engineOf(db()) == Engine::SQLite;
    return exec(QStringLiteral("drop table %1.%2").arg(sqlite ? "temp" : "pg_temp", quoted(table)))
           && exec(QStringLiteral("drop table %1.%2").arg(sqlite ? "main" : "public", quoted(table)));
}

bool TestApp::refuse(const QString &operation, const QString &table)
{
    if (engineOf(db()) == Engine::SQLite)
        return exec(QStringLiteral("create trigger refuse_%1 before %1 on %2 "
                                   "begin select raise(abort, 'database is locked'); end")
                        .arg(operation, quoted(table)));
    return exec(QStringLiteral("create trigger refuse_%1 before %1 on %2 for each row "
                               "execute function lumivox_refuse('database is locked')")
                    .arg(operation, quoted(table)));
}

void TestApp::addGroup(int id, const QString &name, const QString &reading)
{
    exec(QStringLiteral("insert into T_グループ values (?, ?, ?)"),
         {id, name, reading.isEmpty() ? name : reading});
}

void TestApp::addMember(int id, const QString &name, const QString &reading,
                        const QString &honorific, const QString &mail)
{
    exec(QStringLiteral("insert into T_メンバー values (?, ?, ?, ?, ?)"),
         {id, name, reading, honorific, mail});
}

void TestApp::addNotice(int id, const QString &title, const QString &body, const QString &created,
                        const QString &sent)
{
    exec(QStringLiteral("insert into T_お知らせ values (?, ?, ?, ?, ?)"),
         {id, title, body, created, sent});
}

void TestApp::link(const LinkTable &links, int key, int groupId)
{
    exec(QStringLiteral("insert into %1 values (?, ?)").arg(quoted(links.table)), {key, groupId});
}

void TestApp::addGroups(const QStringList &names)
{
    for (int i = 0; i < names.size(); ++i)
        addGroup(i + 1, names[i]);
}

void TestApp::addMembers(const QStringList &names)
{
    for (int i = 0; i < names.size(); ++i)
        addMember(i + 1, names[i]);
}

void TestApp::link(const LinkTable &links, int key, std::initializer_list<int> groupIds)
{
    for (int groupId : groupIds)
        link(links, key, groupId);
}

Answers::Answers()
{
    setMessageHook([this](QWidget *, const Message &message) {
        messages << message;
        if (!m_answers.isEmpty())
            return m_answers.dequeue();
        MessageAnswer answer;
        if (!message.custom.isEmpty())
            answer.custom = message.defaultCustom;
        else if (message.defaultButton != QMessageBox::NoButton)
            answer.button = message.defaultButton;
        else
            answer.button = QMessageBox::Ok;
        return answer;
    });
    setModalHook([this](QDialog &dialog) {
        ++dialogsRun;
        if (m_dialogs.isEmpty()) {
            ++unplannedDialogs;
            dialog.reject();
            return;
        }
        m_dialogs.dequeue()(dialog);
    });
}

Answers::~Answers()
{
    setMessageHook({});
    setModalHook({});
}

void Answers::nextButton(QMessageBox::StandardButton button)
{
    m_answers.enqueue({button, -1});
}

void Answers::nextCustom(int index)
{
    m_answers.enqueue({QMessageBox::NoButton, index});
}

void Answers::nextDialog(std::function<void(QDialog &)> work)
{
    m_dialogs.enqueue(std::move(work));
}

QStringList queryRows(const QSqlDatabase &db, const QString &sql, QChar separator, const QString &null)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return {q.lastError().text()};
    QStringList rows;
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i)
            fields << (q.isNull(i) ? null : q.value(i).toString());
        rows << fields.join(separator);
    }
    return rows;
}

QByteArray fileContents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool showAndWait(QWidget *window)
{
    window->show();
    return QTest::qWaitForWindowExposed(window);
}

void clickCell(SpreadGrid *grid, int col, int row)
{
    const QModelIndex index = grid->model()->index(row - 1, col - 1);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

} // namespace lumivox::test
