#include "mail/mailcomposer.h"

#include "mail/jistext.h"

#include <QSysInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>

namespace lumivox {

namespace {

constexpr int kFoldColumns = 76;
// Raw ISO-2022-JP bytes per encoded-word: 36 bytes make 48 base64 characters,
// a 66-character word, so "Subject: " and one word stay below 78 columns.
constexpr int kWordBytes = 36;
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
// angle brackets. Anything else is dropped here; the transport refuses such an
// address before a mail goes out.
QByteArray headerAddress(const QString &address)
{
    QByteArray out;
    for (QChar c : address) {
        const char16_t u = c.unicode();
        if (u > 0x20 && u < 0x7F && u != '<' && u != '>')
            out += static_cast<char>(u);
    }
    return out;
}

bool isPrintableAscii(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

QList<QByteArray> encodedWords(QStringView text)
{
    QList<QByteArray> words;
    for (QStringView piece : splitForIso2022jp(text, kWordBytes))
        words << "=?ISO-2022-JP?B?" + toIso2022jp(piece).toBase64() + "?=";
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
    static const QRegularExpression domainPattern(QStringLiteral("^[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?$"));
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

QList<QByteArray> mailboxTokens(const Mailbox &mailbox)
{
    const QByteArray address = headerAddress(mailbox.address);
    const QString name = headerSafe(mailbox.name).trimmed();
    if (name.isEmpty())
        return {address};
    QList<QByteArray> tokens = isPrintableAscii(name) && !name.contains(QStringLiteral("=?"))
                                   ? QList<QByteArray>{quotedString(name)}
                                   : encodedWords(name);
    tokens << '<' + address + '>';
    return tokens;
}

QList<QByteArray> textTokens(const QString &text)
{
    const QString safe = headerSafe(text);
    if (safe.isEmpty())
        return {};
    const bool plain = isPrintableAscii(safe) && !safe.contains(QStringLiteral("=?"))
                       && safe.size() <= 60 && safe.trimmed() == safe && !safe.contains(QStringLiteral("  "));
    if (plain)
        return {safe.toLatin1()};
    return encodedWords(safe);
}

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

QByteArray rfc5322Date(const QDateTime &when)
{
    const QLocale c = QLocale::c();
    const int offset = when.offsetFromUtc() / 60;
    const int absolute = offset < 0 ? -offset : offset;
    return c.toString(when, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1()
           + (offset < 0 ? '-' : '+')
           + QByteArray::number(absolute / 60).rightJustified(2, '0')
           + QByteArray::number(absolute % 60).rightJustified(2, '0');
}

MessageComposer::MessageComposer(const QString &from, const QString &subject, const QString &body)
    : m_from(parseMailbox(from))
{
    m_fromHeader = foldedHeader("From", mailboxTokens(m_from));
    m_subjectHeader = foldedHeader("Subject", textTokens(subject));
    m_body = toIso2022jp(withCrLf(body));
    // SMTP data ends with CR LF "." CR LF, the CR LF ending the last line: a 7bit
    // body cannot end without a line break, so every body ends with one (base64
    // too, so that both read the same).
    if (!m_body.isEmpty() && !m_body.endsWith("\r\n"))
        m_body += "\r\n";
    m_bodyLongestLine = longestLine(m_body);
    m_idDomain = idDomainFor(m_from.address);
}

QByteArray MessageComposer::messageId(const QDateTime &now) const
{
    static std::atomic<quint64> counter{0};
    return '<' + QByteArray::number(now.toMSecsSinceEpoch()) + '.'
           + QByteArray::number(++counter) + '.'
           + QByteArray::number(QRandomGenerator::global()->generate(), 16) + '@' + m_idDomain + '>';
}

QByteArray MessageComposer::compose(const QString &to, const QString &bodyPrefix,
                                    const QDateTime &now) const
{
    const QByteArray prefix = toIso2022jp(withCrLf(bodyPrefix));
    const bool base64 = std::max(longestLine(prefix), m_bodyLongestLine) > kMaxLineBytes;

    QByteArray mail;
    mail.reserve((m_body.size() + prefix.size()) * 4 / 3 + 1024);
    mail += m_fromHeader;
    mail += foldedHeader("To", mailboxTokens(parseMailbox(to)));
    mail += m_subjectHeader;
    mail += "Date: " + rfc5322Date(now) + "\r\n";
    mail += "Message-ID: " + messageId(now) + "\r\n";
    mail += "MIME-Version: 1.0\r\n";
    mail += "Content-Type: text/plain; charset=ISO-2022-JP\r\n";
    mail += base64 ? "Content-Transfer-Encoding: base64\r\n" : "Content-Transfer-Encoding: 7bit\r\n";
    mail += "X-Mailer: Lumivox\r\n";
    mail += "\r\n";
    if (base64) {
        mail += base64Lines(prefix + m_body);
    } else {
        mail += prefix;
        mail += m_body;
    }
    return mail;
}

} // namespace lumivox
