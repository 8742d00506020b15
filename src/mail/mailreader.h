#pragma once

#include <QByteArray>
#include <QString>

namespace lumivox {

// A mail as a mail reader shows it, read from the bytes on the wire: the
// encoded-words of the headers decoded, the body's transfer encoding undone and
// its character set read.
struct MailView {
    QString from;    // "name <address>", or "<address>" without a name
    QString to;
    QString subject;
    QString charset; // as the mail names it: ISO-2022-JP, UTF-8
    QString transferEncoding;
    QString body;    // CR LF line breaks, as in the mail
};

MailView readMail(const QByteArray &raw);

} // namespace lumivox
