#include "app/kana.h"

namespace lumivox {

namespace {

// Katakana for the half-width katakana U+FF61 … U+FF9D (punctuation included).
constexpr char16_t kHalfKana[] = {
    u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ', u'ョ', u'ッ',
    u'ー', u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ', u'サ', u'シ', u'ス', u'セ',
    u'ソ', u'タ', u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ', u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ',
    u'ホ', u'マ', u'ミ', u'ム', u'メ', u'モ', u'ヤ', u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ',
    u'ン'};
constexpr char16_t kHalfVoiced = 0xFF9E;     // ﾞ
constexpr char16_t kHalfSemiVoiced = 0xFF9F; // ﾟ

// The kana that take a voiced mark: カ … ト, ハ … ホ (voiced = next code point).
bool takesVoicedMark(char16_t c)
{
    if (c >= u'カ' && c <= u'ヂ')
        return (c - u'カ') % 2 == 0;
    if (c >= u'ツ' && c <= u'ド')
        return (c - u'ツ') % 2 == 0;
    if (c >= u'ハ' && c <= u'ポ')
        return (c - u'ハ') % 3 == 0;
    return false;
}

bool takesSemiVoicedMark(char16_t c)
{
    return c >= u'ハ' && c <= u'ポ' && (c - u'ハ') % 3 == 0;
}

} // namespace

bool isKana(char16_t c)
{
    return (c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E // hiragana
           || (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x30FC && c <= 0x30FE) // katakana, ー
           || (c >= 0xFF66 && c <= 0xFF9F); // half-width katakana
}

QString toFullWidth(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == u' ') {
            out += QChar(0x3000);
        } else if (c >= 0x21 && c <= 0x7E) {
            out += QChar(static_cast<char16_t>(c + 0xFEE0));
        } else if (c >= 0xFF61 && c <= 0xFF9D) {
            out += QChar(kHalfKana[c - 0xFF61]);
        } else if (c == kHalfVoiced || c == kHalfSemiVoiced) {
            const char16_t before = out.isEmpty() ? 0 : out.back().unicode();
            if (c == kHalfVoiced && before == u'ウ')
                out.back() = QChar(u'ヴ');
            else if (c == kHalfVoiced && takesVoicedMark(before))
                out.back() = QChar(static_cast<char16_t>(before + 1));
            else if (c == kHalfSemiVoiced && takesSemiVoicedMark(before))
                out.back() = QChar(static_cast<char16_t>(before + 2));
            else
                out += QChar(c == kHalfVoiced ? u'゛' : u'゜');
        } else {
            out += qc;
        }
    }
    return out;
}

QString toReadingKatakana(const QString &text)
{
    QString out = toFullWidth(text);
    for (QChar &qc : out) {
        const char16_t c = qc.unicode();
        if ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E)
            qc = QChar(static_cast<char16_t>(c + 0x60));
    }
    return out;
}

} // namespace lumivox
