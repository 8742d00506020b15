#include "mail/mailcomposer.h"

#include "mail/jistext.h"

#include <QList>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTextBoundaryFinder>

#include <atomic>

namespace lumivox {

namespace {

constexpr int kFoldColumns = 76;
// Raw bytes per encoded-word. ISO-2022-JP: 36 bytes make 48 base64 characters,
// a 66-character word; UTF-8: 42 bytes make 56, a 68-character word. Either way
// "Subject: " and one word stay below 78 columns.
constexpr int kJisWordBytes = 36;
constexpr int kUtf8WordBytes = 42;
constexpr qsizetype kMaxLineBytes = 998;

// Header text never carries a line break or another control character.
QString headerSafe(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    }
    return out;
}

// An address as it may stand in a header: printable ASCII without blanks or
// angle brackets, at most as long as SMTP carries. Anything else is dropped
// here; the transport refuses such an address before a mail goes out.
QByteArray headerAddress(const QString &address)
{
    QByteArray out;
    for (QChar c : address) {
        const char16_t u = c.unicode();
        if (u > 0x20 && u < 0x7F && u != '<' && u != '>')
            out += static_cast<char>(u);
    }
    return out.left(kMaxAddressLength);
}

bool isPrintableAscii(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

bool carriable(const QString &text)
{
    return uncarriableCharacters(text).isEmpty();
}

// Pieces of at most maxBytes in UTF-8, ending between user-perceived characters
// (an emoji with its modifiers, a letter with its marks), or between code points
// when one such character alone is longer.
QList<QString> splitForUtf8(const QString &text, int maxBytes)
{
    QList<QString> pieces;
    QString piece;
    qsizetype bytes = 0;
    const auto add = [&](const QString &part) {
        const qsizetype size = part.toUtf8().size();
        if (bytes + size > maxBytes && !piece.isEmpty()) {
            pieces << piece;
            piece.clear();
            bytes = 0;
        }
        piece += part;
        bytes += size;
    };
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype from = 0, to = finder.toNextBoundary(); to > 0; from = to, to = finder.toNextBoundary()) {
        const QString character = text.mid(from, to - from);
        if (character.toUtf8().size() <= maxBytes) {
            add(character);
            continue;
        }
        for (qsizetype i = 0; i < character.size();) {
            const qsizetype n = character.at(i).isHighSurrogate() && i + 1 < character.size() ? 2 : 1;
            add(character.mid(i, n));
            i += n;
        }
    }
    if (!piece.isEmpty())
        pieces << piece;
    return pieces;
}

QList<QByteArray> encodedWords(const QString &text, MailCharset charset)
{
    QList<QByteArray> words;
    if (charset == MailCharset::Utf8) {
        for (const QString &piece : splitForUtf8(text, kUtf8WordBytes))
            words << "=?UTF-8?B?" + piece.toUtf8().toBase64() + "?=";
    } else {
        for (QStringView piece : splitForIso2022jp(text, kJisWordBytes))
            words << "=?ISO-2022-JP?B?" + toIso2022jp(piece).toBase64() + "?=";
    }
    return words;
}

QByteArray quotedString(const QString &ascii)
{
    QByteArray out("\"");
    for (QChar c : ascii) {
        if (c == u'"' || c == u'\\')
            out += '\\';
        out += static_cast<char>(c.unicode());
    }
    return out + '"';
}

// Plain ASCII that no reader takes for an encoded-word may stay readable as it
// is (while it fits on the first line of its header); anything else is encoded.
bool mayStayPlain(const QString &text)
{
    return isPrintableAscii(text) && !text.contains(QStringLiteral("=?"));
}

// The header form of a mailbox: the display name as a quoted string or as
// encoded-words, then "<address>"; an empty name gives "<address>" alone.
QList<QByteArray> mailboxTokens(const Mailbox &mailbox, MailCharset charset)
{
    const QByteArray address = headerAddress(mailbox.address);
    const QString name = headerSafe(mailbox.name).trimmed();
    if (name.isEmpty())
        return {'<' + address + '>'};
    const QByteArray quoted = quotedString(name);
    QList<QByteArray> tokens = mayStayPlain(name) && quoted.size() <= 62 ? QList<QByteArray>{quoted}
                                                                        : encodedWords(name, charset);
    tokens << '<' + address + '>';
    return tokens;
}

QList<QByteArray> textTokens(const QString &text, MailCharset charset)
{
    const QString safe = headerSafe(text);
    if (safe.isEmpty())
        return {};
    if (mayStayPlain(safe) && safe.size() <= 60 && safe.trimmed() == safe && !safe.contains(QStringLiteral("  ")))
        return {safe.toLatin1()};
    return encodedWords(safe, charset);
}

// "Name: " and the tokens, folded with CR LF + space so that no line exceeds 76
// columns (a single longer token stands on its own line); ends with CR LF.
QByteArray foldedHeader(const QByteArray &name, const QList<QByteArray> &tokens)
{
    QByteArray out = name + ':';
    qsizetype column = out.size();
    for (const QByteArray &token : tokens) {
        if (column + 1 + token.size() > kFoldColumns && column > name.size() + 1) {
            out += "\r\n";
            column = 0;
        }
        out += ' ';
        out += token;
        column += 1 + token.size();
    }
    if (tokens.isEmpty())
        out += ' ';
    return out + "\r\n";
}

// RFC 5322 date, for example "Tue, 01 Dec 2026 09:00:00 +0900".
QByteArray rfc5322Date(const QDateTime &when)
{
    const int offset = when.offsetFromUtc() / 60;
    const int absolute = offset < 0 ? -offset : offset;
    return QLocale::c().toString(when, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1()
           + (offset < 0 ? '-' : '+') + QByteArray::number(absolute / 60).rightJustified(2, '0')
           + QByteArray::number(absolute % 60).rightJustified(2, '0');
}

qsizetype longestLine(const QByteArray &bytes)
{
    qsizetype longest = 0;
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf("\r\n", start);
        if (end < 0)
            end = bytes.size();
        longest = std::max(longest, end - start);
        start = end + 2;
    }
    return longest;
}

QByteArray base64Lines(const QByteArray &bytes)
{
    const QByteArray b64 = bytes.toBase64();
    QByteArray out;
    out.reserve(b64.size() + b64.size() / 38 + 2);
    for (qsizetype i = 0; i < b64.size(); i += 76) {
        out += b64.mid(i, 76);
        out += "\r\n";
    }
    return out;
}

QByteArray idDomainFor(const QString &address)
{
    static const QRegularExpression domainPattern(QStringLiteral("^[A-Za-z0-9](?:[A-Za-z0-9.-]{0,200}[A-Za-z0-9])?$"));
    const QString domain = address.section(u'@', -1);
    if (address.contains(u'@') && domainPattern.match(domain).hasMatch())
        return domain.toLatin1();
    const QString host = QSysInfo::machineHostName();
    if (domainPattern.match(host).hasMatch())
        return host.toLatin1() + ".invalid";
    return "lumivox.invalid";
}

} // namespace

QString withCrLf(const QString &text)
{
    if (!text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += QStringLiteral("\r\n");
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n') {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

Mailbox parseMailbox(const QString &text)
{
    const qsizetype open = text.lastIndexOf(u'<');
    if (open < 0)
        return {QString(), text.trimmed()};
    QString address = text.mid(open + 1);
    const qsizetype close = address.indexOf(u'>');
    if (close >= 0)
        address.truncate(close);
    return {text.left(open).trimmed(), address.trimmed()};
}

MessageComposer::MessageComposer(const QString &from, const QString &subject, const QString &body,
                                 MailCharset charset)
    : m_from(parseMailbox(from)), m_charset(charset)
{
    m_sharedCarriable = carriable(headerSafe(m_from.name)) && carriable(headerSafe(subject)) && carriable(body);
    if (charset != MailCharset::Utf8)
        m_jis = encodeShared(subject, body, MailCharset::Iso2022jp);
    if (charset != MailCharset::Iso2022jp)
        m_utf8 = encodeShared(subject, body, MailCharset::Utf8);
    m_idDomain = idDomainFor(m_from.address);
}

MessageComposer::Shared MessageComposer::encodeShared(const QString &subject, const QString &body,
                                                      MailCharset charset) const
{
    Shared shared;
    shared.fromHeader = foldedHeader("From", mailboxTokens(m_from, charset));
    shared.subjectHeader = foldedHeader("Subject", textTokens(subject, charset));
    const QString text = withCrLf(body);
    shared.body = charset == MailCharset::Utf8 ? text.toUtf8() : toIso2022jp(text);
    // SMTP data ends with CR LF "." CR LF, the CR LF ending the last line: a 7bit
    // body cannot end without a line break, so every body ends with one (base64
    // too, so that both read the same).
    if (!shared.body.isEmpty() && !shared.body.endsWith("\r\n"))
        shared.body += "\r\n";
    shared.longestLine = longestLine(shared.body);
    return shared;
}

MailCharset MessageComposer::charsetFor(const QString &to, const QString &bodyPrefix) const
{
    if (m_charset != MailCharset::Automatic)
        return m_charset;
    const bool jis = m_sharedCarriable && carriable(headerSafe(parseMailbox(to).name)) && carriable(bodyPrefix);
    return jis ? MailCharset::Iso2022jp : MailCharset::Utf8;
}

QByteArray MessageComposer::messageId(const QDateTime &now) const
{
    static std::atomic<quint64> counter{0};
    return '<' + QByteArray::number(now.toMSecsSinceEpoch()) + '.' + QByteArray::number(++counter) + '.'
           + QByteArray::number(QRandomGenerator::global()->generate(), 16) + '@' + m_idDomain + '>';
}

QByteArray MessageComposer::compose(const QString &to, const QString &bodyPrefix, const QDateTime &now) const
{
    const MailCharset charset = charsetFor(to, bodyPrefix);
    const bool utf8 = charset == MailCharset::Utf8;
    const Shared &shared = utf8 ? m_utf8 : m_jis;
    const QString prefixText = withCrLf(bodyPrefix);
    const QByteArray prefix = utf8 ? prefixText.toUtf8() : toIso2022jp(prefixText);
    const qsizetype longest = prefix.isEmpty() || prefix.endsWith("\r\n")
                                  ? std::max(longestLine(prefix), shared.longestLine)
                                  : longestLine(prefix + shared.body);
    QByteArray encoding = longest > kMaxLineBytes ? "base64" : "7bit";
    if (utf8) {
        const bool eightBit = m_eightBit && longest <= kMaxLineBytes && !prefix.contains('\0')
                              && !shared.body.contains('\0');
        encoding = eightBit ? "8bit" : "base64";
    }

    QByteArray mail;
    mail.reserve((shared.body.size() + prefix.size()) * 4 / 3 + 1024);
    mail += shared.fromHeader;
    mail += foldedHeader("To", mailboxTokens(parseMailbox(to), charset));
    mail += shared.subjectHeader;
    mail += "Date: " + rfc5322Date(now) + "\r\n";
    mail += "Message-ID: " + messageId(now) + "\r\n";
    mail += "MIME-Version: 1.0\r\n";
    mail += utf8 ? "Content-Type: text/plain; charset=UTF-8\r\n" : "Content-Type: text/plain; charset=ISO-2022-JP\r\n";
    mail += "Content-Transfer-Encoding: " + encoding + "\r\n";
    mail += "X-Mailer: Lumivox\r\n";
    mail += "\r\n";
    if (encoding == "base64") {
        mail += base64Lines(prefix + shared.body);
    } else {
        mail += prefix;
        mail += shared.body;
    }
    return mail;
}

} // namespace lumivox
