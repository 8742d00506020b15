#include "smtptestserver.h"
#include "support/testapp.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QTcpServer>

namespace lumivox::test {

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QString script(const char *name) { return QStringLiteral(LUMIVOX_MAIL_TEST_DIR "/") + QLatin1String(name); }

} // namespace

SmtpTestServer::~SmtpTestServer()
{
    m_process.closeWriteChannel(); // the server stops when its input closes
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

bool SmtpTestServer::start(const Options &options)
{
    QStringList args{script("smtp_server.py"), QStringLiteral("--dir"), m_dir.path(), QStringLiteral("--tls"), options.tls};
    if (!options.user.isEmpty())
        args << QStringLiteral("--auth") << options.user + u':' + options.password;
    for (const QString &address : options.refuse)
        args << QStringLiteral("--refuse") << address;
    if (!options.slowRecipient.isEmpty())
        args << QStringLiteral("--slow") << options.slowRecipient + u':' + QString::number(options.slowSeconds);
    if (!options.eightBitMime)
        args << QStringLiteral("--no-8bitmime");
    if (options.dropAt > 0)
        args << QStringLiteral("--drop-at") << QString::number(options.dropAt);
    if (options.pipelining)
        args << QStringLiteral("--pipelining");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(kPython, args);
    QByteArray line;
    for (QDeadlineTimer deadline(20000); !line.contains('\n') && !deadline.hasExpired() && m_process.waitForStarted();)
        line += m_process.waitForReadyRead(200) ? m_process.readAll() : QByteArray();
    const QList<QByteArray> words = line.trimmed().split(' '); // READY port certificate
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
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        result << QJsonDocument::fromJson(fileContents(dir.filePath(name))).object();
    return result;
}

QStringList SmtpTestServer::recipientsTried() const
{
    return QString::fromUtf8(fileContents(m_dir.filePath(QStringLiteral("rcpt.log")))).split(u'\n', Qt::SkipEmptyParts);
}

bool SmtpTestServer::slowStarted() const
{
    return QFile::exists(m_dir.filePath(QStringLiteral("slow-started")));
}

QList<QJsonObject> SmtpTestServer::check(const QList<QByteArray> &messages)
{
    QTemporaryDir dir;
    QStringList args{script("mailcheck.py")};
    for (const QByteArray &message : messages) {
        QFile f(dir.filePath(QString::number(args.size())));
        if (!f.open(QIODevice::WriteOnly) || f.write(message) != message.size())
            return {};
        args << f.fileName();
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(kPython, args);
    p.waitForFinished(30000);
    QList<QJsonObject> result;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            result << QJsonDocument::fromJson(line).object();
    return result;
}

int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes
}

} // namespace lumivox::test
