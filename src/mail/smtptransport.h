#pragma once

#include "mail/mailsettings.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

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
    // How long the reply to QUIT is waited for when the transport goes; then
    // the connection is simply closed (every mail has been answered by then).
    int quitSeconds = 5;
};

class SmtpTransport;

// Stops a run at once, from any thread (the sending window's ｷｬﾝｾﾙ): the flag
// every send looks at, and the connection of the transport it is given to is
// closed under it, so that nothing waits for the server any more.
class SendCanceller
{
public:
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    // Waits `ms` milliseconds, or less when cancel() comes first; true when
    // cancelled.
    bool waitFor(int ms);

private:
    friend class SmtpTransport;
    std::atomic<bool> m_cancelled{false};
    std::mutex m_waitMutex;
    std::condition_variable m_wake;
    std::mutex m_mutex;
    SmtpTransport *m_transport = nullptr;
};

// The SMTP conversation: libcurl connects, greets (EHLO, STARTTLS), verifies the
// server's certificate and logs in; the transport then writes each mail over
// that connection itself, MAIL, RCPT and DATA in one go where the server
// announces PIPELINING (one wait for the three answers instead of three). One
// connection is kept open for all the mails of a run (closed with QUIT when the
// transport goes), a 30-second connect time-out, a 60-second wait at most for
// any reply. One thread uses it; only its SendCanceller is called from another.
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

    // How a send ended:
    // Accepted  the server took the mail (serverReply() is its answer);
    // Refused   the server refused this one mail with a 5xx reply to MAIL, RCPT
    //           or the data, or the recipient's address cannot go into the
    //           envelope: the next mail may still go;
    // Failed    the connection failed (connect, TLS, login, a dropped
    //           connection, a 4xx reply, a time-out) or the settings cannot
    //           work: the run cannot go on;
    // Cancelled the canceller ended it.
    enum class Result { Accepted, Refused, Failed, Cancelled };

    // Hands one message to the server: MAIL FROM sender, RCPT TO recipient,
    // DATA (the three in one go when the server takes pipelined commands).
    // Returns only once the server has answered (or the connection is gone).
    // Unless Accepted, errorText() says why, in Japanese, and serverReply()
    // holds the server's own words when it refused.
    // What the caller does while the server is busy with the mail, when given:
    // `beforeData` once the commands are on their way and before any of the
    // data goes (unless it returns true, the connection is dropped before the
    // data, and the send fails with nothing delivered); `afterData` once the
    // data has ended, while the server takes the mail.
    struct Meanwhile {
        std::function<bool()> beforeData;
        std::function<void()> afterData;
    };
    Result send(const QString &sender, const QString &recipient, const QByteArray &message,
                const Meanwhile &meanwhile = {});

    // Whether the last send got as far as handing over the end of its data
    // (after which the server may take the mail): if it then failed, the mail
    // may or may not have been delivered.
    bool dataEnded() const;

    // Ends sends at once when cancelled (see SendCanceller).
    void setCanceller(SendCanceller *canceller);
    SendCanceller *canceller() const { return m_canceller; }
    // Whether the last failure was the canceller's doing.
    bool wasCancelled() const { return m_cancelled; }

    QString errorText() const { return m_errorText; }
    // The server's latest reply of the last send: its acceptance ("250 …") or
    // its refusal.
    QString serverReply() const { return m_serverReply; }
    // libcurl's own description of the last failure (English).
    QString technicalDetail() const { return m_detail; }

    struct Session; // libcurl state, internal

private:
    friend class SendCanceller;
    // How a wait on the connection ended.
    enum class Wire { Ok, Closed, TimedOut, Cancelled };

    bool fail(const QString &why);
    bool prepare();
    // Connects, greets and logs in, unless connected already; unless it could,
    // errorText() and technicalDetail() say why.
    bool connectToServer();
    Result transaction(const QByteArray &from, const QByteArray &to, const QByteArray &message,
                       const Meanwhile &meanwhile);
    Result refusedBy(const QByteArray &reply);
    Result lost(Wire wire);
    Wire waitUntilReady(bool forWriting, std::chrono::steady_clock::time_point deadline);
    // All of `bytes`, or why not, within `seconds`.
    Wire write(QByteArrayView bytes, int seconds);
    // One whole reply of the server (its lines joined by line feeds), within
    // `seconds`.
    Wire readReply(QByteArray *reply, int seconds);
    void close();
    void drop();
    void shutDownConnection();
    QByteArray serverUrl() const;

    SmtpSettings m_settings;
    TransportOptions m_options;
    std::unique_ptr<Session> m_session;
    SendCanceller *m_canceller = nullptr;
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
