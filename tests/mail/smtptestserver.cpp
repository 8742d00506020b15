#include "smtptestserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTest>

namespace lumivox::test {

QString SmtpTestServer::scriptDir()
{
    return QStringLiteral(LUMIVOX_MAIL_TEST_DIR);
}

SmtpTestServer::~SmtpTestServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
}

bool SmtpTestServer::start(const Options &options)
{
    QStringList args{scriptDir() + QStringLiteral("/smtp_server.py"), QStringLiteral("--dir"), m_dir.path(),
                     QStringLiteral("--tls"), options.tls};
    if (!options.user.isEmpty())
        args << QStringLiteral("--auth") << options.user + u':' + options.password;
    for (const QString &address : options.refuse)
        args << QStringLiteral("--refuse") << address;
    if (!options.slowRecipient.isEmpty())
        args << QStringLiteral("--slow") << options.slowRecipient + u':' + QString::number(options.slowSeconds);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(python(), args);
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(20000);
    QByteArray line;
    while (!line.contains('\n') && !deadline.hasExpired()) {
        m_process.waitForReadyRead(200);
        line += m_process.readAll();
    }
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() != 3 || words[0] != "READY") {
        qWarning("SMTP test server did not start: %s", line.constData());
        return false;
    }
    m_port = words[1].toInt();
    m_certificate = words[2] == "-" ? QString() : QString::fromLocal8Bit(words[2]);
    return m_port > 0;
}

QList<QJsonObject> SmtpTestServer::mails() const
{
    QList<QJsonObject> result;
    const QDir dir(m_dir.path());
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            result << QJsonDocument::fromJson(f.readAll()).object();
    }
    return result;
}

bool SmtpTestServer::waitForMails(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return mails().size() >= count; }, timeoutMs);
}

QStringList SmtpTestServer::recipientsTried() const
{
    QFile f(m_dir.filePath(QStringLiteral("rcpt.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool SmtpTestServer::slowStarted() const
{
    return QFile::exists(m_dir.filePath(QStringLiteral("slow-started")));
}

QJsonObject SmtpTestServer::check(const QByteArray &message)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mail.eml"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(message) != message.size())
        return {};
    f.close();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(python(), {scriptDir() + QStringLiteral("/mailcheck.py"), path});
    if (!p.waitForFinished(20000))
        return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace lumivox::test
