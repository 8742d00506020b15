#include "mail/mailaddress.h"

#include <algorithm>

namespace lumivox {

namespace {

// Characters that may not stand in an address even though they are printable:
// they delimit addresses and comments in a mail header.
bool isHeaderSpecial(QChar c)
{
    return QStringView(u"()<>,;:\\\"[]").contains(c);
}

bool isDomainChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
           || c == u'-' || c == u'.';
}

} // namespace

QString mailAddressProblem(const QString &address)
{
    // QChar::isSpace counts the ideographic blank too.
    if (address.trimmed().isEmpty())
        return QStringLiteral("空です");
    for (const QChar c : address) {
        if (c.isSpace())
            return QStringLiteral("空白が含まれています");
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            return QStringLiteral("制御文字が含まれています");
        if (c.unicode() > 0x7E)
            return QStringLiteral("全角文字など、半角英数字・記号以外の文字が含まれています");
    }
    const qsizetype at = address.indexOf(u'@');
    if (at < 0)
        return QStringLiteral("@がありません");
    if (address.indexOf(u'@', at + 1) >= 0)
        return QStringLiteral("@が二つ以上あります");
    const QString local = address.left(at);
    const QString domain = address.mid(at + 1);
    if (local.isEmpty())
        return QStringLiteral("@の前がありません");
    if (domain.isEmpty())
        return QStringLiteral("@の後がありません");
    if (!domain.contains(u'.'))
        return QStringLiteral("@の後（ドメイン）に「.」がありません");
    if (std::any_of(address.begin(), address.end(), isHeaderSpecial)
        || !std::all_of(domain.begin(), domain.end(), isDomainChar)
        || domain.startsWith(u'.') || domain.endsWith(u'.') || domain.contains(QStringLiteral("..")))
        return QStringLiteral("形式が正しくありません");
    return {};
}

bool isPlainMailAddress(const QString &address)
{
    return mailAddressProblem(address).isEmpty();
}

QString normaliseTypedAddress(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (isPlainMailAddress(trimmed))
        return trimmed;
    QString half = trimmed;
    for (QChar &c : half) {
        if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E)
            c = QChar(c.unicode() - 0xFF01 + 0x21);
    }
    return isPlainMailAddress(half) ? half : trimmed;
}

} // namespace lumivox
