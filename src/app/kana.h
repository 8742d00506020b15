#pragma once

#include <QString>

namespace lumivox {

// Half-width forms to full width: ASCII letters, digits and symbols to their
// full-width forms (a blank to the ideographic blank), half-width katakana to
// katakana, a half-width voiced or semi-voiced mark joining the kana before it
// (ｶﾞ → ガ, ﾊﾟ → パ, ｳﾞ → ヴ). Everything else is kept.
QString toFullWidth(const QString &text);

// A reading as the furigana boxes keep it: full width (above) and hiragana turned
// into katakana (やまだ → ヤマダ).
QString toReadingKatakana(const QString &text);

// Hiragana, katakana (ー included) or half-width katakana.
bool isKana(char16_t c);

} // namespace lumivox
