#include "mail/smtptransport.h"

#include <QSysInfo>
#include <QRegularExpression>
#include <QStringList>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

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

struct Upload {
    const QByteArray *data = nullptr;
    qsizetype offset = 0;
};

size_t readBody(char *buffer, size_t size, size_t count, void *userdata)
{
    auto *upload = static_cast<Upload *>(userdata);
    const auto room = static_cast<qsizetype>(size * count);
    const qsizetype left = upload->data->size() - upload->offset;
    const qsizetype n = std::min(room, left);
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
    bool newReply = true;
    // Whether this mail's MAIL FROM has gone out; until then a cancel may end
    // the send (nothing of the mail has been handed over).
    bool mailStarted = false;
    // What the latest EHLO reply announced.
    bool inEhlo = false;
    bool eightBitMime = false;
    const std::atomic<bool> *cancel = nullptr;

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
        s->newReply = true;
    }
    return 0;
}

// Called by libcurl while a send runs (at least once a second): a cancel ends
// the send only while nothing of the mail has gone out.
// The reply to NOOP is not wanted.
size_t discard(char *, size_t size, size_t count, void *)
{
    return size * count;
}

int onProgress(void *userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *s = static_cast<const SmtpTransport::Session *>(userdata);
    return s->cancel && s->cancel->load() && !s->mailStarted ? 1 : 0;
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

SmtpTransport::~SmtpTransport() = default;

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

// One exchange with the server as configured on the handle; a failure is
// explained in errorText(), serverReply() and technicalDetail().
bool SmtpTransport::perform()
{
    Session &s = *m_session;
    s.lastRefusal.clear();
    s.pending.clear();
    s.newReply = true;
    s.mailStarted = false;
    s.cancel = m_cancel;
    s.errorBuffer[0] = '\0';
    const CURLcode code = curl_easy_perform(s.curl);
    if (code == CURLE_OK)
        return true;
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        // Cancelled before the mail began: the connection is in an unknown
        // state, so the next send starts a new one.
        curl_easy_cleanup(s.curl);
        s.curl = nullptr;
        m_cancelled = true;
        return fail(QStringLiteral("送信を中止しました。"));
    }
    m_serverReply = QString::fromUtf8(s.lastRefusal);
    m_detail = QString::fromUtf8(s.errorBuffer[0] ? s.errorBuffer : curl_easy_strerror(code));
    return fail(reasonFor(code, m_settings, !s.lastRefusal.isEmpty()));
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
    const bool ok = perform();
    if (m_session->curl)
        curl_easy_setopt(m_session->curl, CURLOPT_CUSTOMREQUEST, nullptr);
    return ok;
}

bool SmtpTransport::send(const QString &sender, const QString &recipient, const QByteArray &message)
{
    m_errorText.clear();
    m_serverReply.clear();
    m_detail.clear();
    m_cancelled = false;

    // An empty envelope sender ("MAIL FROM:<>") is a bounce; the mail would go
    // out with an empty From. Refused before anything is sent.
    if (sender.isEmpty())
        return fail(QStringLiteral("送信元のE-Mailが設定されていません。"
                                   "「SMTPｻｰﾊﾞｰ設定」で送信元のE-Mailを入力してください。"));
    for (const auto &[who, address] : {std::pair{QStringLiteral("送信元"), sender}, {QStringLiteral("宛先"), recipient}}) {
        if (address.size() > kMaxAddressLength)
            return fail(QStringLiteral("%1のE-Mailが長すぎます(%2文字。%3文字までです)。")
                            .arg(who).arg(address.size()).arg(kMaxAddressLength));
        if (!isEnvelopeSafe(address))
            return fail(QStringLiteral("%1のE-Mail「%2」に使えない文字(全角文字や空白など)が含まれています。")
                            .arg(who, address));
    }
    if (recipient.isEmpty())
        return fail(QStringLiteral("宛先のE-Mailが空です。メンバーの登録内容をご確認下さい。"));
    if (!prepare())
        return false;

    CURL *c = m_session->curl;
    const QByteArray from = '<' + sender.toLatin1() + '>';
    const QByteArray to = '<' + recipient.toLatin1() + '>';
    curl_slist *recipients = curl_slist_append(nullptr, to.constData());
    Upload upload{&message, 0};
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    const bool ok = perform();
    if (m_session->curl)
        curl_easy_setopt(m_session->curl, CURLOPT_MAIL_RCPT, nullptr);
    curl_slist_free_all(recipients);
    return ok;
}

} // namespace lumivox
