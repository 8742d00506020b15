#include "support/pgserver.h"

#include <QProcess>

#include <cstdlib>

namespace lumivox::test {

PgServer::PgServer(bool tcp)
    : m_tcp(tcp)
{
    QString output;
    if (m_dir.isValid()
        && script({QStringLiteral("start"), m_dir.path(), QStringLiteral(LUMIVOX_PG_SCHEMA),
                   tcp ? QStringLiteral("tcp") : QString()},
                  &output))
        m_port = output.trimmed().section(u'\n', -1).toInt();
    if (!isRunning())
        qWarning("PgServer: %s", qPrintable(output));
}

PgServer::~PgServer()
{
    // Also at the very end of the program, when there may be no application
    // object left to run a QProcess.
    if (isRunning())
        std::system(QStringLiteral("'%1' stop '%2'").arg(QStringLiteral(LUMIVOX_PG_SCRIPT), m_dir.path()).toLocal8Bit());
}

bool PgServer::script(const QStringList &args, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(LUMIVOX_PG_SCRIPT), args);
    const bool ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
                    && process.exitCode() == 0;
    *output = QString::fromLocal8Bit(process.readAll()) + (ok ? QString() : process.errorString());
    return ok;
}

DatabaseSettings PgServer::newDatabase(QString *error)
{
    DatabaseSettings settings;
    settings.engine = Engine::PostgreSQL;
    settings.host = m_tcp ? QStringLiteral("127.0.0.1") : m_dir.path();
    settings.port = m_port;
    settings.user = QStringLiteral("lumivox");
    settings.databaseName = QStringLiteral("lumivox_%1").arg(++m_databases);
    QString output = QStringLiteral("no server");
    if (!isRunning() || !script({QStringLiteral("createdb"), m_dir.path(), settings.databaseName}, &output)) {
        if (error)
            *error = output;
        settings.databaseName.clear();
    }
    return settings;
}

PgServer *PgServer::shared()
{
    static PgServer server;
    return server.isRunning() ? &server : nullptr;
}

} // namespace lumivox::test
