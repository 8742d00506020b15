#include "support/pgserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace lumivox::test {

namespace {

constexpr uid_t kNobody = 65534;
const QString kUser = QStringLiteral("lumivox");
const QString kTemplate = QStringLiteral("lumivox_template");
constexpr auto kTestFunctions =
    "create function lumivox_concat(list text, item text) returns text language sql immutable "
    "return case when item is null then list when list is null then item else list || ',' || item end; "
    "create aggregate group_concat(text) (sfunc = lumivox_concat, stype = text); "
    "create function lumivox_refuse() returns trigger language plpgsql "
    "as $$ begin raise exception '%', tg_argv[0]; end $$;";

// The newest server of Debian's packages (/usr/lib/postgresql/15/bin on Debian 12).
QString serverBinaries()
{
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toDouble() > b.toDouble(); });
    for (const QString &v : versions) {
        const QString bin = root.filePath(v + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return {};
}

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

PgServer::PgServer(bool tcp)
    : m_tcp(tcp)
{
    const QString bin = serverBinaries();
    if (bin.isEmpty()) {
        m_error = QStringLiteral("PostgreSQL is not installed (apt-get install postgresql)");
        return;
    }
    m_port = freePort();
    if (!m_dir.isValid() || m_port == 0) {
        m_error = QStringLiteral("no temporary folder or free port");
        return;
    }
    if (geteuid() == 0 && ::chown(QFile::encodeName(m_dir.path()).constData(), kNobody, kNobody) != 0) {
        m_error = QStringLiteral("cannot hand the folder to nobody");
        return;
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    const QString options =
        QStringLiteral("-p %1 -c unix_socket_directories=%2 -c listen_addresses=%3 "
                       "-c fsync=off -c synchronous_commit=off -c full_page_writes=off "
                       "-c shared_buffers=16MB")
            .arg(m_port)
            .arg(m_dir.path(), m_tcp ? QStringLiteral("127.0.0.1") : QString());
    const QStringList client{QStringLiteral("-h"), m_dir.path(), QStringLiteral("-p"),
                             QString::number(m_port), QStringLiteral("-U"), kUser};
    const QString schema = QStringLiteral(LUMIVOX_PG_SCHEMA);
    m_running =
        run(bin + QStringLiteral("/initdb"),
            {QStringLiteral("-D"), data, QStringLiteral("-U"), kUser, QStringLiteral("--auth=trust"),
             QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
             QStringLiteral("--no-sync")},
            true)
        && run(bin + QStringLiteral("/pg_ctl"),
               {QStringLiteral("-D"), data, QStringLiteral("-l"), m_dir.filePath(QStringLiteral("log")),
                QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"),
                options, QStringLiteral("start")},
               true);
    if (m_running) {
        if (!run(bin + QStringLiteral("/createdb"), client + QStringList{kTemplate}, true)
            || !run(bin + QStringLiteral("/psql"),
                    client
                        + QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-1"),
                                      QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                      QStringLiteral("-d"), kTemplate, QStringLiteral("-f"), schema},
                    true))
            m_error = QStringLiteral("cannot load %1: %2").arg(schema, m_error);
        // What the tests write as on SQLite: group_concat, and a write refused by
        // a trigger.
        else if (!run(bin + QStringLiteral("/psql"),
                      client + QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                           QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), kTemplate,
                                           QStringLiteral("-c"), QLatin1String(kTestFunctions)},
                      true))
            m_error = QStringLiteral("cannot add the test functions: ") + m_error;
    }
    if (!m_error.isEmpty())
        qWarning("PgServer: %s", qPrintable(m_error));
}

PgServer::~PgServer()
{
    if (!m_running)
        return;
    // A signal instead of pg_ctl: this also runs after the application object has
    // gone. SIGINT is the fast shutdown; the server removes its pid file last.
    QFile pidFile(m_dir.filePath(QStringLiteral("data/postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return;
    const pid_t pid = static_cast<pid_t>(pidFile.readLine().trimmed().toLongLong());
    pidFile.close();
    if (pid <= 0 || ::kill(pid, SIGINT) != 0)
        return;
    for (int i = 0; i < 500 && pidFile.exists(); ++i)
        QThread::msleep(20);
    if (pidFile.exists())
        ::kill(pid, SIGQUIT);
}

bool PgServer::run(const QString &program, const QStringList &args, bool asServerUser)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (asServerUser && geteuid() == 0) {
        // PostgreSQL refuses to run as root.
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=%1").arg(kNobody),
                                  QStringLiteral("--regid=%1").arg(kNobody),
                                  QStringLiteral("--clear-groups"), program}
                          + args);
    } else {
        process.start(program, args);
    }
    const bool finished = process.waitForFinished(120000);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    m_error = QStringLiteral("%1 failed: %2 %3")
                  .arg(QFileInfo(program).fileName(), process.errorString(),
                       QString::fromLocal8Bit(process.readAll()).trimmed());
    return false;
}

DatabaseSettings PgServer::newDatabase(QString *error)
{
    DatabaseSettings settings;
    settings.engine = Engine::PostgreSQL;
    settings.host = m_tcp ? QStringLiteral("127.0.0.1") : m_dir.path();
    settings.port = m_port;
    settings.user = kUser;
    settings.databaseName = QStringLiteral("lumivox_%1").arg(++m_databases);
    const QString bin = serverBinaries();
    if (!m_running
        || !run(bin + QStringLiteral("/createdb"),
                {QStringLiteral("-h"), m_dir.path(), QStringLiteral("-p"), QString::number(m_port),
                 QStringLiteral("-U"), kUser, QStringLiteral("-T"), kTemplate, settings.databaseName},
                true)) {
        if (error)
            *error = m_running ? m_error : QStringLiteral("no server: ") + m_error;
        settings.databaseName.clear();
    }
    return settings;
}

PgServer *PgServer::shared()
{
    static PgServer server;
    return server.isRunning() && server.error().isEmpty() ? &server : nullptr;
}

} // namespace lumivox::test
