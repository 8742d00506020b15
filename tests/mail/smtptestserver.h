#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace lumivox::test {

// A real SMTP server on a loopback port for one test: aiosmtpd, run by Debian's
// /usr/bin/python3 (the one that has it). Mails it accepts are read back as JSON
// objects, decoded by Python's email package (see mailcheck.py).
class SmtpTestServer
{
public:
    struct Options {
        QString tls = QStringLiteral("none"); // none, starttls, ssl
        QString user = {};                     // with a password: AUTH required
        QString password = {};
        QStringList refuse = {};               // recipients answered with 550
        QString slowRecipient = {};            // its DATA reply waits slowSeconds
        double slowSeconds = 0;
        bool eightBitMime = true;              // 8BITMIME in the EHLO reply
        int dropAt = 0;                        // the connection dropped when this mail's data is in
        bool pipelining = false;               // PIPELINING in the EHLO reply
    };

    SmtpTestServer() = default;
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer &) = delete;
    SmtpTestServer &operator=(const SmtpTestServer &) = delete;

    bool start(const Options &options);
    bool start() { return start(Options{}); }
    int port() const { return m_port; }
    QString certificate() const { return m_certificate; } // self-signed, for the transport to trust

    QList<QJsonObject> mails() const;     // accepted so far, in order
    QStringList recipientsTried() const;  // every RCPT address, accepted or refused
    bool slowStarted() const;             // the slow recipient's DATA has arrived

    // Runs mailcheck.py on messages that did not go through the server.
    static QList<QJsonObject> check(const QList<QByteArray> &messages);
    static QJsonObject check(const QByteArray &message) { return check(QList<QByteArray>{message}).value(0); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QString m_certificate;
};

// A port on 127.0.0.1 where nothing listens.
int closedPort();

// A text field of a checked mail, and what mailcheck.py found wrong in it.
inline QString field(const QJsonObject &mail, const char *key) { return mail.value(QLatin1String(key)).toString(); }
inline QJsonArray problemsOf(const QJsonObject &mail) { return mail.value(QLatin1String("problems")).toArray(); }

} // namespace lumivox::test
