#include "mail/mailreader.h"

#include "mail/jistext.h"

#include <QHash>
#include <QRegularExpression>

namespace lumivox {

namespace {

QString decodeText(const QByteArray &bytes, const QString &charset)
{
    if (charset.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0)
        return QString::fromUtf8(bytes);
    if (charset.compare(QLatin1String("ISO-2022-JP"), Qt::CaseInsensitive) == 0)
        return fromIso2022jp(bytes);
    return QString::fromLatin1(bytes);
}

// RFC 2047 B words decoded; blanks between two words are not text.
QString decodeWords(const QString &value)
{
    static const QRegularExpression word(QStringLiteral("=\\?([^?\\s]+)\\?[Bb]\\?([^?\\s]*)\\?="));
    QString out;
    qsizetype pos = 0;
    bool afterWord = false;
    for (auto it = word.globalMatch(value); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString between = value.mid(pos, m.capturedStart() - pos);
        if (!afterWord || !between.trimmed().isEmpty())
            out += between;
        out += decodeText(QByteArray::fromBase64(m.captured(2).toLatin1()), m.captured(1));
        pos = m.capturedEnd();
        afterWord = true;
    }
    return out + value.mid(pos);
}

QString decodeMailbox(const QString &value)
{
    const qsizetype open = value.lastIndexOf(u'<');
    if (open < 0)
        return value.trimmed();
    QString name = value.left(open).trimmed();
    const QString address = value.mid(open).trimmed();
    if (name.startsWith(u'"') && name.endsWith(u'"') && name.size() >= 2) {
        name = name.mid(1, name.size() - 2);
        name.replace(QRegularExpression(QStringLiteral("\\\\(.)")), QStringLiteral("\\1"));
    } else {
        name = decodeWords(name);
    }
    return name.isEmpty() ? address : name + u' ' + address;
}

} // namespace

MailView readMail(const QByteArray &raw)
{
    const qsizetype end = raw.indexOf("\r\n\r\n");
    QByteArray head = end < 0 ? raw : raw.left(end);
    head.replace("\r\n ", " ").replace("\r\n\t", "\t");
    QHash<QString, QString> fields;
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            fields.insert(QString::fromLatin1(line.left(colon)).toLower(), QString::fromLatin1(line.mid(colon + 1)).trimmed());
    }
    MailView mail;
    mail.from = decodeMailbox(fields.value(QStringLiteral("from")));
    mail.to = decodeMailbox(fields.value(QStringLiteral("to")));
    mail.subject = decodeWords(fields.value(QStringLiteral("subject")));
    static const QRegularExpression charset(QStringLiteral("charset=\"?([^\";\\s]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    mail.charset = charset.match(fields.value(QStringLiteral("content-type"))).captured(1).toUpper();
    mail.transferEncoding = fields.value(QStringLiteral("content-transfer-encoding")).toLower();
    QByteArray body = end < 0 ? QByteArray() : raw.mid(end + 4);
    if (mail.transferEncoding == QLatin1String("base64"))
        body = QByteArray::fromBase64(body.replace("\r\n", ""));
    mail.body = decodeText(body, mail.charset);
    return mail;
}

} // namespace lumivox
