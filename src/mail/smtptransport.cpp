#include "mail/smtptransport.h"

#include "mail/socketcalls.h"

#include <QList>
#include <QSysInfo>
#include <QRegularExpression>
#include <QStringList>

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>

namespace lumivox {

namespace {

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QByteArray ehloName()
{
    static const QRegularExpression hostPattern(QStringLiteral("^[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    const QString host = QSysInfo::machineHostName();
    return hostPattern.match(host).hasMatch() ? host.toLatin1() : QByteArray("localhost");
}

} // namespace

struct SmtpTransport::Session {
    CURL *curl = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    // The server's replies while libcurl connects, greets and logs in: the
    // reply being read, and the latest refusal (4xx or 5xx), the one shown to
    // the user when that fails.
    QByteArray pending;
    QByteArray lastRefusal;
    bool newReply = true;
    // What the latest EHLO reply announced.
    bool inEhlo = false;
    bool eightBitMime = false;
    bool pipelining = false;
    // libcurl has connected, greeted and logged in; the mails go over the
    // connection as this transport writes them, and what the server said and
    // this transport has not read yet waits in `inbox`.
    bool connected = false;
    QByteArray inbox;
    bool dataEnded = false; // the end of the current mail's data is written
    const SendCanceller *canceller = nullptr;
    // The sockets libcurl has open, so that a cancel can end them from
    // another thread; the lock keeps a socket from being closed (and its
    // number reused) while that happens.
    std::mutex socketMutex;
    QList<qintptr> sockets;

    ~Session()
    {
        if (curl)
            curl_easy_cleanup(curl);
    }
};

namespace {

int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *userdata)
{
    auto *s = static_cast<SmtpTransport::Session *>(userdata);
    if (type == CURLINFO_HEADER_OUT) {
        s->newReply = true;
        s->inEhlo = size >= 4 && std::memcmp(data, "EHLO", 4) == 0;
        if (s->inEhlo) // a new greeting (after STARTTLS too) says it all again
            s->eightBitMime = s->pipelining = false;
        return 0;
    }
    if (type != CURLINFO_HEADER_IN)
        return 0;
    // One call per reply line: "250-…" continues a reply, "250 …" ends it.
    QByteArray line(data, static_cast<qsizetype>(size));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (s->newReply) {
        s->pending.clear();
        s->newReply = false;
    }
    if (!s->pending.isEmpty())
        s->pending += '\n';
    s->pending += line;
    if (s->inEhlo && line.size() > 4 && line.startsWith("250")) {
        const QByteArray keyword = line.mid(4).split(' ').first().toUpper();
        s->eightBitMime = s->eightBitMime || keyword == "8BITMIME";
        s->pipelining = s->pipelining || keyword == "PIPELINING";
    }
    if (line.size() < 4 || line.at(3) != '-') {
        if (!line.isEmpty() && (line.at(0) == '4' || line.at(0) == '5'))
            s->lastRefusal = s->pending;
        s->newReply = true;
    }
    return 0;
}

// Called by libcurl while a send runs (at least once a second); the canceller
// has closed the connection under it already, this ends the connecting too.
int onProgress(void *userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *s = static_cast<const SmtpTransport::Session *>(userdata);
    return s->canceller && s->canceller->isCancelled() ? 1 : 0;
}

int onSocketOpened(void *userdata, curl_socket_t socket, curlsocktype)
{
    auto *s = static_cast<SmtpTransport::Session *>(userdata);
    std::lock_guard lock(s->socketMutex);
    if (s->canceller && s->canceller->isCancelled())
        return CURL_SOCKOPT_ERROR;
    s->sockets.append(qintptr(socket));
    return CURL_SOCKOPT_OK;
}

int onSocketClosing(void *userdata, curl_socket_t socket)
{
    auto *s = static_cast<SmtpTransport::Session *>(userdata);
    std::lock_guard lock(s->socketMutex);
    s->sockets.removeOne(qintptr(socket));
    return closeSocket(qintptr(socket));
}

QString reasonFor(CURLcode code, const SmtpSettings &settings, bool refused)
{
    switch (code) {
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return QStringLiteral("SMTPサーバー名またはポート番号が正しくありません。");
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("SMTPサーバー「%1」が見つかりません。").arg(settings.server);
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("SMTPサーバー「%1」のポート %2 に接続できません。")
            .arg(settings.server)
            .arg(settings.port);
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("SMTPサーバーから時間内に応答がありませんでした。");
    case CURLE_LOGIN_DENIED:
        return QStringLiteral("SMTP認証に失敗しました。ユーザー名とパスワードをご確認下さい。");
    case CURLE_USE_SSL_FAILED:
        return QStringLiteral("SMTPサーバーがSTARTTLSに対応していません。");
    case CURLE_PEER_FAILED_VERIFICATION:
        return QStringLiteral("SMTPサーバーの証明書を確認できませんでした。");
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("SMTPサーバーとの暗号化(TLS)接続を確立できませんでした。"
                              "接続の保護の設定とポート番号をご確認下さい。");
    default:
        break;
    }
    if (refused)
        return QStringLiteral("SMTPサーバーがメールを受け付けませんでした。");
    if (code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING
        || code == CURLE_WEIRD_SERVER_REPLY)
        return QStringLiteral("SMTPサーバーとの通信が途中で切れました。");
    return QStringLiteral("メールを送信できませんでした。");
}

} // namespace

bool isEnvelopeSafe(const QString &address)
{
    for (QChar c : address) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u >= 0x7F || u == '<' || u == '>')
            return false;
    }
    return address.size() <= kMaxAddressLength;
}

SmtpTransport::SmtpTransport(const SmtpSettings &settings, const TransportOptions &options)
    : m_settings(settings), m_options(options), m_session(std::make_unique<Session>())
{
    globalInit();
}

SmtpTransport::~SmtpTransport()
{
    close();
    setCanceller(nullptr);
}

void SendCanceller::cancel()
{
    {
        std::lock_guard wake(m_waitMutex);
        m_cancelled = true;
    }
    m_wake.notify_all();
    std::lock_guard lock(m_mutex);
    if (m_transport)
        m_transport->shutDownConnection();
}

bool SendCanceller::waitFor(int ms)
{
    std::unique_lock lock(m_waitMutex);
    return m_wake.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), [this] { return m_cancelled.load(); });
}

void SmtpTransport::setCanceller(SendCanceller *canceller)
{
    if (m_canceller) {
        std::lock_guard lock(m_canceller->m_mutex);
        m_canceller->m_transport = nullptr;
    }
    m_canceller = canceller;
    m_session->canceller = canceller;
    if (canceller) {
        std::lock_guard lock(canceller->m_mutex);
        canceller->m_transport = this;
    }
}

void SmtpTransport::shutDownConnection()
{
    std::lock_guard lock(m_session->socketMutex);
    for (const qintptr socket : std::as_const(m_session->sockets))
        shutDownSocket(socket);
}

// QUIT, answered within quitSeconds or not at all, then the connection goes.
void SmtpTransport::close()
{
    Session &s = *m_session;
    if (s.connected && !(m_canceller && m_canceller->isCancelled())) {
        QByteArray answer;
        if (write("QUIT\r\n", m_options.quitSeconds) == Wire::Ok)
            readReply(&answer, m_options.quitSeconds);
    }
    drop();
}

// The connection goes without a word (libcurl's own farewell, if it says one,
// is given quitSeconds): after a failure, or once QUIT is answered.
void SmtpTransport::drop()
{
    Session &s = *m_session;
    s.connected = false;
    s.inbox.clear();
    if (!s.curl)
        return;
    std::mutex mutex;
    std::condition_variable closed;
    bool done = false;
    std::thread watch([&] {
        std::unique_lock lock(mutex);
        if (!closed.wait_for(lock, std::chrono::seconds(m_options.quitSeconds), [&] { return done; }))
            shutDownConnection();
    });
    curl_easy_cleanup(s.curl);
    s.curl = nullptr;
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    closed.notify_one();
    watch.join();
}

bool SmtpTransport::dataEnded() const
{
    return m_session->dataEnded;
}

// smtp://host:port/ehlo-name (smtps:// for SSL/TLS), built and checked by
// libcurl's URL parser so that nothing in the server name can change its
// meaning; empty when the name or the port is not acceptable.
QByteArray SmtpTransport::serverUrl() const
{
    QString host = m_settings.server.trimmed();
    if (host.contains(u':') && !host.startsWith(u'['))
        host = u'[' + host + u']';
    if (m_settings.port <= 0 || m_settings.port > 65535)
        return {};
    const bool secure = m_settings.security == ConnectionSecurity::SslTls;
    const QByteArray path = '/' + ehloName();
    CURLU *url = curl_url();
    if (!url)
        return {};
    QByteArray result;
    char *text = nullptr;
    if (curl_url_set(url, CURLUPART_SCHEME, secure ? "smtps" : "smtp", 0) == CURLUE_OK
        && curl_url_set(url, CURLUPART_HOST, host.toUtf8().constData(), 0) == CURLUE_OK
        && curl_url_set(url, CURLUPART_PORT, QByteArray::number(m_settings.port).constData(), 0) == CURLUE_OK
        && curl_url_set(url, CURLUPART_PATH, path.constData(), 0) == CURLUE_OK
        && curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
        result = text;
    }
    curl_free(text);
    curl_url_cleanup(url);
    return result;
}

bool SmtpTransport::fail(const QString &why)
{
    m_errorText = why;
    return false;
}

bool SmtpTransport::announces8BitMime() const
{
    return m_session->eightBitMime;
}

// The libcurl handle, made and configured once for the run.
bool SmtpTransport::prepare()
{
    Session &s = *m_session;
    if (s.curl)
        return true;
    if (m_settings.server.trimmed().isEmpty())
        return fail(QStringLiteral("SMTPサーバー名が設定されていません。"));
    s.curl = curl_easy_init();
    if (!s.curl)
        return fail(QStringLiteral("メール送信の準備ができませんでした。"));
    const QByteArray url = serverUrl();
    if (url.isEmpty()) {
        curl_easy_cleanup(s.curl);
        s.curl = nullptr;
        return fail(QStringLiteral("SMTPサーバー名またはポート番号が正しくありません。"));
    }
    CURL *c = s.curl;
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, s.errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(m_options.connectTimeoutSeconds));
    // A server that stops answering in the middle of a mail ends the send
    // instead of holding the run for ever.
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(m_options.serverResponseTimeoutSeconds));
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &s);
    // libcurl connects, greets (EHLO, STARTTLS) and logs in; the mails are
    // written by this transport, so that a server that takes pipelined commands
    // gets MAIL, RCPT and DATA in one go.
    curl_easy_setopt(c, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, onSocketOpened);
    curl_easy_setopt(c, CURLOPT_SOCKOPTDATA, &s);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, onSocketClosing);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &s);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &s);
    if (m_settings.security == ConnectionSecurity::StartTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    if (m_settings.security != ConnectionSecurity::None) {
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!m_options.extraCaFile.isEmpty())
            curl_easy_setopt(c, CURLOPT_CAINFO, m_options.extraCaFile.toLocal8Bit().constData());
    }
    if (m_settings.authenticate) {
        curl_easy_setopt(c, CURLOPT_USERNAME, m_settings.user.toUtf8().constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, m_settings.password.toUtf8().constData());
    }
    return true;
}

namespace {

using Clock = std::chrono::steady_clock;

// "250 …" ends a reply, "250-…" continues it.
bool endsReply(const QByteArray &line)
{
    return line.size() < 4 || line.at(3) != '-';
}

// The message as DATA carries it: a line that starts with a dot gets a second
// one, and a line of one dot ends the data.
QByteArray dataOf(const QByteArray &message)
{
    QByteArray data;
    data.reserve(message.size() + message.size() / 32 + 8);
    qsizetype start = 0;
    while (start < message.size()) {
        const qsizetype newline = message.indexOf('\n', start);
        const qsizetype end = newline < 0 ? message.size() : newline + 1;
        if (message.at(start) == '.')
            data += '.';
        data += QByteArrayView(message).sliced(start, end - start);
        start = end;
    }
    if (!data.isEmpty() && !data.endsWith("\r\n"))
        data += "\r\n";
    return data + ".\r\n";
}

constexpr qsizetype kMaxReplyBytes = 64 * 1024;

} // namespace

bool SmtpTransport::connectToServer()
{
    Session &s = *m_session;
    if (s.connected)
        return true;
    if (!prepare())
        return false;
    s.lastRefusal.clear();
    s.pending.clear();
    s.newReply = true;
    s.errorBuffer[0] = '\0';
    const CURLcode code = curl_easy_perform(s.curl);
    if (code == CURLE_OK) {
        s.connected = true;
        s.inbox.clear();
        return true;
    }
    const bool cancelled = m_canceller && m_canceller->isCancelled();
    m_serverReply = QString::fromUtf8(s.lastRefusal);
    m_detail = QString::fromUtf8(s.errorBuffer[0] ? s.errorBuffer : curl_easy_strerror(code));
    drop();
    m_cancelled = cancelled;
    return fail(cancelled ? QStringLiteral("送信を中止しました。")
                          : reasonFor(code, m_settings, !s.lastRefusal.isEmpty()));
}

SmtpTransport::Wire SmtpTransport::waitUntilReady(bool forWriting, Clock::time_point deadline)
{
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(m_session->curl, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK || socket == CURL_SOCKET_BAD)
        return Wire::Closed;
    for (;;) {
        if (m_canceller && m_canceller->isCancelled())
            return Wire::Cancelled;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Wire::TimedOut;
        // A second at most, so that a cancel is seen even if its shut-down
        // came before the wait began.
        const int ready = waitForSocket(qintptr(socket), forWriting, int(std::min<long long>(left, 1000)));
        if (ready > 0)
            return Wire::Ok; // readable, writable or closed: the next call says which
        if (ready < 0)
            return Wire::Closed;
    }
}

SmtpTransport::Wire SmtpTransport::write(QByteArrayView bytes, int seconds)
{
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!bytes.isEmpty()) {
        size_t sent = 0;
        const CURLcode code = curl_easy_send(m_session->curl, bytes.data(), size_t(bytes.size()), &sent);
        if (code == CURLE_AGAIN) {
            if (const Wire wire = waitUntilReady(true, deadline); wire != Wire::Ok)
                return wire;
            continue;
        }
        if (code != CURLE_OK)
            return Wire::Closed;
        bytes = bytes.sliced(qsizetype(sent));
    }
    return Wire::Ok;
}

SmtpTransport::Wire SmtpTransport::readReply(QByteArray *reply, int seconds)
{
    Session &s = *m_session;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    reply->clear();
    for (;;) {
        for (qsizetype newline; (newline = s.inbox.indexOf('\n')) >= 0;) {
            QByteArray line = s.inbox.left(newline);
            s.inbox.remove(0, newline + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (!reply->isEmpty())
                *reply += '\n';
            *reply += line;
            if (endsReply(line))
                return Wire::Ok;
        }
        if (s.inbox.size() + reply->size() > kMaxReplyBytes)
            return Wire::Closed; // not a server that speaks SMTP
        char buffer[4096];
        size_t got = 0;
        const CURLcode code = curl_easy_recv(s.curl, buffer, sizeof buffer, &got);
        if (code == CURLE_AGAIN) {
            if (const Wire wire = waitUntilReady(false, deadline); wire != Wire::Ok)
                return wire;
            continue;
        }
        if (code != CURLE_OK || got == 0)
            return Wire::Closed;
        s.inbox.append(buffer, qsizetype(got));
    }
}

// The connection failed in the middle of a mail (or was cancelled): it is
// dropped, and the next send would start a new one.
SmtpTransport::Result SmtpTransport::lost(Wire wire)
{
    const bool cancelled = wire == Wire::Cancelled || (m_canceller && m_canceller->isCancelled());
    drop();
    if (cancelled) {
        m_cancelled = true;
        fail(QStringLiteral("送信を中止しました。"));
        return Result::Cancelled;
    }
    if (wire == Wire::TimedOut) {
        m_detail = QStringLiteral("no reply within %1 seconds").arg(m_options.serverResponseTimeoutSeconds);
        fail(QStringLiteral("SMTPサーバーから時間内に応答がありませんでした。"));
    } else {
        m_detail = QStringLiteral("connection closed");
        fail(QStringLiteral("SMTPサーバーとの通信が途中で切れました。"));
    }
    return Result::Failed;
}

// The server's no to this mail. A permanent one (5xx) concerns this mail
// alone, unless it says that the login is missing (530), which no mail gets
// past; the transaction is reset for the next mail. A temporary one (4xx)
// stops the run.
SmtpTransport::Result SmtpTransport::refusedBy(const QByteArray &reply)
{
    m_serverReply = QString::fromUtf8(reply);
    m_detail = QString::fromUtf8(reply.left(reply.indexOf('\n')));
    fail(QStringLiteral("SMTPサーバーがメールを受け付けませんでした。"));
    if (!reply.startsWith('5') || reply.startsWith("530"))
        return Result::Failed;
    QByteArray answer;
    const int seconds = m_options.serverResponseTimeoutSeconds;
    if (write("RSET\r\n", seconds) != Wire::Ok || readReply(&answer, seconds) != Wire::Ok || !answer.startsWith('2'))
        drop();
    return Result::Refused;
}

// MAIL FROM, RCPT TO and DATA (in one go when the server takes pipelined
// commands), then the message; the first answer that is not a go-ahead ends it.
SmtpTransport::Result SmtpTransport::transaction(const QByteArray &from, const QByteArray &to,
                                                 const QByteArray &message, const Meanwhile &meanwhile)
{
    Session &s = *m_session;
    const int seconds = m_options.serverResponseTimeoutSeconds;
    const QByteArray commands[] = {"MAIL FROM:" + from + "\r\n", "RCPT TO:" + to + "\r\n", "DATA\r\n"};
    const char goAhead[] = {'2', '2', '3'};
    QByteArray replies[3];
    const auto mayGoOn = [&] {
        if (!meanwhile.beforeData || meanwhile.beforeData())
            return true;
        drop(); // before the data: nothing is delivered
        fail(QStringLiteral("送信結果を記録できないため，メールを送りませんでした。"));
        return false;
    };
    int asked = 0;
    if (s.pipelining) {
        if (const Wire wire = write(commands[0] + commands[1] + commands[2], seconds); wire != Wire::Ok)
            return lost(wire);
        if (!mayGoOn())
            return Result::Failed;
        for (asked = 0; asked < 3; ++asked) {
            if (const Wire wire = readReply(&replies[asked], seconds); wire != Wire::Ok)
                return lost(wire);
        }
    } else {
        for (asked = 0; asked < 3 && (asked == 0 || replies[asked - 1].startsWith(goAhead[asked - 1])); ++asked) {
            Wire wire = write(commands[asked], seconds);
            if (wire == Wire::Ok && asked == 0 && !mayGoOn())
                return Result::Failed;
            if (wire == Wire::Ok)
                wire = readReply(&replies[asked], seconds);
            if (wire != Wire::Ok)
                return lost(wire);
        }
    }
    for (int i = 0; i < asked; ++i) {
        if (replies[i].startsWith(goAhead[i]))
            continue;
        // DATA taken after all (a server that took it for a refused
        // recipient): the data is ended at once, empty.
        if (asked == 3 && replies[2].startsWith('3')) {
            QByteArray ignored;
            Wire wire = write(".\r\n", seconds);
            if (wire == Wire::Ok)
                wire = readReply(&ignored, seconds);
            if (wire != Wire::Ok)
                return lost(wire);
        }
        return refusedBy(replies[i]);
    }
    if (const Wire wire = write(dataOf(message), seconds); wire != Wire::Ok)
        return lost(wire);
    s.dataEnded = true;
    if (meanwhile.afterData)
        meanwhile.afterData();
    QByteArray answer;
    if (const Wire wire = readReply(&answer, seconds); wire != Wire::Ok)
        return lost(wire);
    if (!answer.startsWith('2'))
        return refusedBy(answer);
    m_serverReply = QString::fromUtf8(answer);
    return Result::Accepted;
}

bool SmtpTransport::open()
{
    m_errorText.clear();
    m_serverReply.clear();
    m_detail.clear();
    m_cancelled = false;
    return connectToServer();
}

SmtpTransport::Result SmtpTransport::send(const QString &sender, const QString &recipient, const QByteArray &message,
                                          const Meanwhile &meanwhile)
{
    m_errorText.clear();
    m_serverReply.clear();
    m_detail.clear();
    m_cancelled = false;
    m_session->dataEnded = false;

    // An empty envelope sender ("MAIL FROM:<>") is a bounce; the mail would go
    // out with an empty From. Refused before anything is sent, as is an
    // address that could change the conversation: the sender's stops the run,
    // a recipient's only this mail.
    if (sender.isEmpty()) {
        fail(QStringLiteral("送信元のE-Mailが設定されていません。"
                            "「SMTPｻｰﾊﾞｰ設定」で送信元のE-Mailを入力してください。"));
        return Result::Failed;
    }
    for (const auto &[who, address] : {std::pair{QStringLiteral("送信元"), sender}, {QStringLiteral("宛先"), recipient}}) {
        const bool ours = who == QStringLiteral("送信元");
        if (address.size() > kMaxAddressLength) {
            fail(QStringLiteral("%1のE-Mailが長すぎます(%2文字。%3文字までです)。")
                     .arg(who).arg(address.size()).arg(kMaxAddressLength));
            return ours ? Result::Failed : Result::Refused;
        }
        if (!isEnvelopeSafe(address)) {
            fail(QStringLiteral("%1のE-Mail「%2」に使えない文字(全角文字や空白など)が含まれています。").arg(who, address));
            return ours ? Result::Failed : Result::Refused;
        }
    }
    if (recipient.isEmpty()) {
        fail(QStringLiteral("宛先のE-Mailが空です。メンバーの登録内容をご確認下さい。"));
        return Result::Refused;
    }
    if (m_canceller && m_canceller->isCancelled()) {
        m_cancelled = true;
        fail(QStringLiteral("送信を中止しました。"));
        return Result::Cancelled;
    }
    if (!connectToServer())
        return m_cancelled ? Result::Cancelled : Result::Failed;
    const Result result =
        transaction('<' + sender.toLatin1() + '>', '<' + recipient.toLatin1() + '>', message, meanwhile);
    if (!m_options.reuseConnection)
        close();
    return result;
}

} // namespace lumivox
