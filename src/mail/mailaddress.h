#pragma once

#include <QString>

namespace lumivox {

// The one rule for a member's mail address, shared by every place that takes or
// sends one: a plain ASCII address "local@domain.tld". Exactly one @, a local
// part and a domain on either side, a dot in the domain between two labels, and
// only printable ASCII: no blank, no full-width or control character, none of
// the characters that would break a mail header ( ) < > , ; : \ " [ ].
bool isPlainMailAddress(const QString &address);

// What is wrong with an address, in Japanese ("空です", "全角文字が含まれています",
// "形式が正しくありません" …), or an empty text when it is a plain address.
QString mailAddressProblem(const QString &address);

// An address as typed through a Japanese input method: blanks around it removed
// and, when that makes it a plain address, full-width letters, digits and
// symbols (ｔａｒｏ＠ｅｘａｍｐｌｅ．ｊｐ) turned into their ASCII forms. Anything
// still not plain comes back only trimmed, for the caller to report.
QString normaliseTypedAddress(const QString &address);

} // namespace lumivox
