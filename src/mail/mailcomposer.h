#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace lumivox {

// A mail address with its display name.
struct Mailbox {
    QString name;
    QString address;
};

// "name<address>" as the sending run writes it: the text before the last "<" is
// the name (surrounding blanks dropped), the text after it up to a closing ">" is
// the address. Text without "<" is an address alone.
Mailbox parseMailbox(const QString &text);

// The header form of a mailbox: the display name as RFC 2047 encoded-words (or a
// quoted string when it is plain ASCII), then "<address>"; an empty name gives
// the address alone. No CR, LF or other control character passes into it.
QList<QByteArray> mailboxTokens(const Mailbox &mailbox);

// Header text as tokens: a short printable-ASCII text as it is, anything else as
// ISO-2022-JP encoded-words, each self-contained and short enough that a folded
// header line stays below 78 columns.
QList<QByteArray> textTokens(const QString &text);

// "Name: " and the tokens, folded with CR LF + space so that no line exceeds 76
// columns (a single longer token stands on its own line); ends with CR LF.
QByteArray foldedHeader(const QByteArray &name, const QList<QByteArray> &tokens);

// RFC 5322 date, for example "Tue, 01 Dec 2026 09:00:00 +0900".
QByteArray rfc5322Date(const QDateTime &when);

// Builds the mails of one sending run: the sender, subject and prepared body are
// encoded once; each mail adds its To header and its leading body lines. The
// body is text/plain in ISO-2022-JP, 7bit, or base64 when one of its lines would
// exceed 998 bytes. Line breaks in the body go out as CR LF.
class MessageComposer
{
public:
    MessageComposer(const QString &from, const QString &subject, const QString &body);

    // The sender's address for the SMTP envelope.
    QString senderAddress() const { return m_from.address; }

    // One whole message: headers, blank line, body. `to` is "name<address>";
    // `bodyPrefix` goes before the prepared body.
    QByteArray compose(const QString &to, const QString &bodyPrefix,
                       const QDateTime &now = QDateTime::currentDateTime()) const;

private:
    QByteArray messageId(const QDateTime &now) const;

    Mailbox m_from;
    QByteArray m_fromHeader;
    QByteArray m_subjectHeader;
    QByteArray m_body;      // ISO-2022-JP, CR LF line breaks
    qsizetype m_bodyLongestLine = 0;
    QByteArray m_idDomain;
};

// Line breaks as CR LF: a lone CR or LF becomes CR LF, existing CR LF stays.
QString withCrLf(const QString &text);

} // namespace lumivox
