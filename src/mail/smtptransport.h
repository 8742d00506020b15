#pragma once

#include "mail/mailsettings.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>

namespace lumivox {

// How the transport works beyond the stored settings.
struct TransportOptions {
    // A CA certificate trusted besides the system's store (a test's own
    // certificate); empty for the system's store alone.
    QString extraCaFile;
    int connectTimeoutSeconds = 30;
    // How long a server may stay silent after a command before the send fails.
    int serverResponseTimeoutSeconds = 60;
    // One connection for the whole run; off opens a new one for every mail.
    bool reuseConnection = true;
};

// The SMTP conversation through libcurl: one connection kept open for all the
// mails of a run (closed with QUIT when the transport goes), a 30-second connect
// time-out, server certificates verified. Not thread-safe: one thread uses it.
class SmtpTransport
{
public:
    // The server, port, login and protection of `settings`; the sender
    // address is given to each send().
    explicit SmtpTransport(const SmtpSettings &settings, const TransportOptions &options = {});
    ~SmtpTransport();
    SmtpTransport(const SmtpTransport &) = delete;
    SmtpTransport &operator=(const SmtpTransport &) = delete;

    // Connects and greets the server (EHLO, STARTTLS, AUTH as configured)
    // without sending a mail, so that what it announces is known before the
    // first mail is built. A connection already open is kept. On failure
    // errorText() says why, as for send().
    bool open();
    // Whether the server announced 8BITMIME in its latest EHLO reply (it takes
    // 8-bit message data); false before the first connection.
    bool announces8BitMime() const;

    // Hands one message to the server: MAIL FROM sender, RCPT TO recipient,
    // DATA. Returns only once the server has accepted or refused it. On failure
    // errorText() says why, in Japanese, and serverReply() holds the server's
    // own words when it refused (a 4xx or 5xx reply).
    bool send(const QString &sender, const QString &recipient, const QByteArray &message);

    // A flag that, once set, ends a send still connecting or waiting for the
    // server's greeting (a server that does not answer). A send whose mail has
    // begun (MAIL FROM said) always runs to the server's answer.
    void setCancelFlag(const std::atomic<bool> *flag) { m_cancel = flag; }
    // Whether the last failed send was ended by that flag (nothing was sent).
    bool wasCancelled() const { return m_cancelled; }

    QString errorText() const { return m_errorText; }
    QString serverReply() const { return m_serverReply; }
    // libcurl's own description of the last failure (English).
    QString technicalDetail() const { return m_detail; }

    struct Session; // libcurl state, internal

private:
    bool fail(const QString &why);
    bool prepare();
    bool perform();
    QByteArray serverUrl() const;

    SmtpSettings m_settings;
    TransportOptions m_options;
    std::unique_ptr<Session> m_session;
    const std::atomic<bool> *m_cancel = nullptr;
    bool m_cancelled = false;
    QString m_errorText;
    QString m_serverReply;
    QString m_detail;
};

// Whether an address may go into the SMTP envelope: printable ASCII without
// blanks or angle brackets, so no CR or LF can reach the conversation, and at
// most 254 characters (the longest address SMTP carries). (send() also refuses
// an empty sender, which would make the mail a bounce with an empty From, and an
// empty recipient: some servers would take "RCPT TO:<>" and lose the mail.)
bool isEnvelopeSafe(const QString &address);

} // namespace lumivox
