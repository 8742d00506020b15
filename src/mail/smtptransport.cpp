#include "mail/smtptransport.h"

#include "mail/socketcalls.h"

#include <QList>
#include <QSysInfo>
#include <QRegularExpression>
#include <QStringList>

#include <curl/curl.h>

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

// The message being handed over. libcurl knows its size and ends the data (the
// closing dot) as soon as it has the last bytes.
struct Upload {
    const QByteArray *data = nullptr;
    qsizetype offset = 0;
    bool ended = false; // the last bytes are handed over
};

size_t readBody(char *buffer, size_t size, size_t count, void *userdata)
{
    auto *upload = static_cast<Upload *>(userdata);
    const auto room = static_cast<qsizetype>(size * count);
    const qsizetype left = upload->data->size() - upload->offset;
    const qsizetype n = std::min(room, left);
    if (n == left)
        upload->ended = true;
    if (n > 0) {
        std::memcpy(buffer, upload->data->constData() + upload->offset, static_cast<size_t>(n));
        upload->offset += n;
    }
    return static_cast<size_t>(n);
}

} // namespace

struct SmtpTransport::Session {
    CURL *curl = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    // The server's replies of the current mail: the reply being read, and the
    // latest refusal (4xx or 5xx), which stays even when a QUIT follows. Only a
    // refusal is shown to the user: a success such as "354" says nothing about
    // why a send failed.
    QByteArray pending;
    QByteArray lastRefusal;
    QByteArray lastReply; // the latest whole reply, whatever it said
    bool newReply = true;
    // Whether this mail's MAIL FROM has gone out: a 5xx reply from then on
    // refuses this mail, one before it (to EHLO, AUTH) the connection.
    bool mailStarted = false;
    // What the latest EHLO reply announced.
    bool inEhlo = false;
    bool eightBitMime = false;
    Upload upload;
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
        if (size >= 9 && std::memcmp(data, "MAIL FROM", 9) == 0)
            s->mailStarted = true;
        s->inEhlo = size >= 4 && std::memcmp(data, "EHLO", 4) == 0;
        if (s->inEhlo)
            s->eightBitMime = false; // a new greeting (after STARTTLS too) says it again
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
    if (s->inEhlo && line.size() >= 12 && line.startsWith("250")
        && line.mid(4).split(' ').first().toUpper() == "8BITMIME")
        s->eightBitMime = true;
    if (line.size() < 4 || line.at(3) != '-') {
        if (!line.isEmpty() && (line.at(0) == '4' || line.at(0) == '5'))
            s->lastRefusal = s->pending;
        s->lastReply = s->pending;
        s->newReply = true;
    }
    return 0;
}

// The reply to NOOP is not wanted.
size_t discard(char *, size_t size, size_t count, void *)
{
    return size * count;
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

// QUIT, answered within quitSeconds or not at all: libcurl would wait as long
// as for any reply, so a watch closes the connection under it after that.
void SmtpTransport::close()
{
    Session &s = *m_session;
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
    return m_session->upload.ended;
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
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(c, CURLOPT_READDATA, &s.upload);
    curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, onSocketOpened);
    curl_easy_setopt(c, CURLOPT_SOCKOPTDATA, &s);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, onSocketClosing);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &s);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, discard);
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
    if (!m_options.reuseConnection) {
        curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    }
    return true;
}

// One exchange with the server as configured on the handle; unless the server
// accepted, errorText(), serverReply() and technicalDetail() explain.
SmtpTransport::Result SmtpTransport::perform()
{
    Session &s = *m_session;
    s.lastRefusal.clear();
    s.lastReply.clear();
    s.pending.clear();
    s.newReply = true;
    s.mailStarted = false;
    s.upload.ended = false;
    s.errorBuffer[0] = '\0';
    const CURLcode code = curl_easy_perform(s.curl);
    if (code == CURLE_OK) {
        m_serverReply = QString::fromUtf8(s.lastReply);
        return Result::Accepted;
    }
    if (m_canceller && m_canceller->isCancelled()) {
        // The connection is gone or in an unknown state: a next send (there
        // is none in a cancelled run) would start a new one.
        close();
        m_cancelled = true;
        fail(QStringLiteral("送信を中止しました。"));
        return Result::Cancelled;
    }
    m_serverReply = QString::fromUtf8(s.lastRefusal);
    m_detail = QString::fromUtf8(s.errorBuffer[0] ? s.errorBuffer : curl_easy_strerror(code));
    fail(reasonFor(code, m_settings, !s.lastRefusal.isEmpty()));
    // A permanent refusal once the mail has begun concerns this mail alone,
    // unless it says that the login is missing (530), which no mail gets past.
    const bool refused = s.mailStarted && s.lastRefusal.startsWith('5') && !s.lastRefusal.startsWith("530");
    return refused ? Result::Refused : Result::Failed;
}

bool SmtpTransport::open()
{
    m_errorText.clear();
    m_serverReply.clear();
    m_detail.clear();
    m_cancelled = false;
    if (!prepare())
        return false;
    CURL *c = m_session->curl;
    curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, nullptr);
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "NOOP");
    const bool ok = perform() == Result::Accepted;
    if (m_session->curl)
        curl_easy_setopt(m_session->curl, CURLOPT_CUSTOMREQUEST, nullptr);
    return ok;
}

SmtpTransport::Result SmtpTransport::send(const QString &sender, const QString &recipient, const QByteArray &message)
{
    m_errorText.clear();
    m_serverReply.clear();
    m_detail.clear();
    m_cancelled = false;
    m_session->upload.ended = false;

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
    if (!prepare())
        return Result::Failed;

    CURL *c = m_session->curl;
    const QByteArray from = '<' + sender.toLatin1() + '>';
    const QByteArray to = '<' + recipient.toLatin1() + '>';
    curl_slist *recipients = curl_slist_append(nullptr, to.constData());
    m_session->upload.data = &message;
    m_session->upload.offset = 0;
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    const Result result = perform();
    if (m_session->curl)
        curl_easy_setopt(m_session->curl, CURLOPT_MAIL_RCPT, nullptr);
    curl_slist_free_all(recipients);
    m_session->upload.data = nullptr;
    return result;
}

} // namespace lumivox
