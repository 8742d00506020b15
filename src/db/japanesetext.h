#pragma once

#include <QSqlDatabase>
#include <QString>

namespace lumivox {

// Japanese order and matching for names, as a Japanese user expects them.
//
// Order: ICU's Japanese collation — kana in 五十音 order whatever their script
// (hiragana, katakana) or width, kanji in JIS order, Latin letters without regard
// to case. SQL uses it as `order by 名前 collate JAPANESE`.
//
// Matching: matchKey() folds what a Japanese user does not tell apart when
// searching — hiragana and katakana, full and half width, letter case — so that
// 「スズキ」 finds 「ｽｽﾞｷ ﾀﾛｳ」 and 「いと」 finds 「イトウ」. SQL uses it as
// `JMATCH(名前) like JMATCH(?)`; the wildcards % and _ pass through unchanged.

// Negative, zero or positive as a sorts before, with or after b.
int compareJapanese(const QString &a, const QString &b);
QString matchKey(const QString &text);

// Registers the collation JAPANESE and the function JMATCH on an open SQLite
// connection. False (with the reason) when the driver gives no SQLite handle.
bool registerJapaneseText(const QSqlDatabase &db, QString *error = nullptr);

} // namespace lumivox
