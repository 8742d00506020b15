#pragma once

#include "mail/mailsettings.h"

#include <QByteArray>
#include <QDateTime>
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

// Builds the mails of one sending run: the sender, subject and prepared body are
// encoded once; each mail adds its To header and its leading body lines.
//
// Headers: the subject and the display names as RFC 2047 encoded-words in the
// mail's character set (a short plain-ASCII text as it is), each word standing
// alone, folded so that every line stays within 78 columns, and never beyond 998
// bytes whatever the data (an address longer than SMTP carries is cut; the
// transport refuses to send it). CR, LF and other controls never pass from data
// into a header. Then Date, Message-ID, MIME-Version.
//
// Body, text/plain with CR LF line breaks: in ISO-2022-JP 7bit, or base64 when a
// line would exceed 998 bytes; in UTF-8 base64, or 8bit when the server takes
// 8-bit data (setEightBitAllowed) and no line exceeds 998 bytes.
class MessageComposer
{
public:
    MessageComposer(const QString &from, const QString &subject, const QString &body,
                    MailCharset charset = MailCharset::Iso2022jp);

    // The sender's address for the SMTP envelope.
    QString senderAddress() const { return m_from.address; }

    // Whether the server announced 8BITMIME.
    void setEightBitAllowed(bool allowed) { m_eightBit = allowed; }

    // The character set the mail for `to` with `bodyPrefix` goes out in:
    // ISO-2022-JP or UTF-8 as chosen, or for the automatic choice ISO-2022-JP
    // exactly when it carries every character of that mail.
    MailCharset charsetFor(const QString &to, const QString &bodyPrefix) const;

    // One whole message: headers, blank line, body. `to` is "name<address>";
    // `bodyPrefix` goes before the prepared body.
    QByteArray compose(const QString &to, const QString &bodyPrefix,
                       const QDateTime &now = QDateTime::currentDateTime()) const;

private:
    // The parts every mail shares, in one character set.
    struct Shared {
        QByteArray fromHeader;
        QByteArray subjectHeader;
        QByteArray body;
        qsizetype longestLine = 0;
    };
    Shared encodeShared(const QString &subject, const QString &body, MailCharset charset) const;
    QByteArray messageId(const QDateTime &now) const;

    Mailbox m_from;
    MailCharset m_charset;
    bool m_sharedCarriable = true; // sender name, subject and body in ISO-2022-JP
    bool m_eightBit = false;
    Shared m_jis;
    Shared m_utf8;
    QByteArray m_idDomain;
};

// Line breaks as CR LF: a lone CR or LF becomes CR LF, existing CR LF stays.
QString withCrLf(const QString &text);

} // namespace lumivox
