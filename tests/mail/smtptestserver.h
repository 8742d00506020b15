#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace lumivox::test {

// A real SMTP server on a loopback port for one test: aiosmtpd, run by Debian's
// /usr/bin/python3 (the one that has it). Mails it accepts are read back as
// JSON objects, decoded by Python's email package (see mailcheck.py).
class SmtpTestServer
{
public:
    struct Options {
        QString tls = QStringLiteral("none"); // none, starttls, ssl
        QString user = {};                       // with a password: AUTH required
        QString password = {};
        QStringList refuse = {};                  // recipients answered with 550
        QString slowRecipient = {};               // its DATA reply waits slowSeconds
        double slowSeconds = 0;
    };

    SmtpTestServer() = default;
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer &) = delete;
    SmtpTestServer &operator=(const SmtpTestServer &) = delete;

    bool start(const Options &options);
    bool start() { return start(Options{}); }
    int port() const { return m_port; }
    // The server's self-signed certificate, for the transport to trust.
    QString certificate() const { return m_certificate; }

    // The accepted mails so far, in the order they arrived.
    QList<QJsonObject> mails() const;
    // Waits until at least `count` mails have arrived.
    bool waitForMails(int count, int timeoutMs = 10000) const;
    // Every RCPT address the client tried, in order (accepted or refused).
    QStringList recipientsTried() const;
    // Whether the slow recipient's DATA has arrived.
    bool slowStarted() const;

    // Runs mailcheck.py on a message that did not go through the server.
    static QJsonObject check(const QByteArray &message);
    static QString python() { return QStringLiteral("/usr/bin/python3"); }
    static QString scriptDir();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QString m_certificate;
};

// A port on 127.0.0.1 where nothing listens.
int closedPort();

} // namespace lumivox::test
