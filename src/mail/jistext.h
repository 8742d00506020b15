#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

namespace lumivox {

// Japanese text as Windows code page 932 measures it and as ISO-2022-JP mail
// carries it.

// Bytes of one UTF-16 code unit in CP932: 1 for ASCII and half-width katakana,
// 2 for every other character the code page represents (the JIS twins such as
// U+301C included), 1 for anything else (its one-byte substitute). A surrogate
// counts 1; callers count a whole pair once.
int cp932Width(char16_t unit);

// The JIS X 0208 code (0x2121…0x747E) a character goes out as in ISO-2022-JP, or
// 0 when it has none. Mapped the way Japanese Windows mailers do it: NEC row 13
// (①, ㈱, Ⅰ) is kept, the Unicode JIS forms and their Windows twins share one
// code (U+301C 〜 and U+FF5E ～ are both 0x2141). Not for ASCII or half-width
// katakana, which the encoder handles itself.
quint16 jisCode(char32_t c);

// The characters of a text that ISO-2022-JP cannot carry, each once, in the order
// they first appear: characters outside JIS X 0208 and NEC row 13 (髙, 﨑,
// emoji), lone surrogates, and the controls that would break the encoding (NUL,
// ESC, SO, SI).
QList<char32_t> uncarriableCharacters(QStringView text);

// The text in ISO-2022-JP: ASCII as it is, everything else in JIS X 0208 between
// ESC $ B and ESC ( B, half-width katakana as full width (ｶﾞ → ガ). Every line
// break and the end of the text are reached in ASCII mode. A character that
// cannot be carried becomes 〓 (0x222E); callers ask the user first.
QByteArray toIso2022jp(QStringView text);

// ISO-2022-JP read back the way Japanese Windows mailers read it (JIS codes
// through CP932, so NEC row 13 reads as ①, ㈱): what a recipient's mail reader
// shows.
QString fromIso2022jp(QByteArrayView data);

// Splits a text into pieces whose ISO-2022-JP form (escape sequences included)
// is at most maxBytes long, never inside one character: a surrogate pair, or a
// half-width katakana with its voiced mark, stays in one piece. Used for the
// encoded-words of mail headers, which must each stand alone.
QList<QStringView> splitForIso2022jp(QStringView text, int maxBytes);

// The JIS code of 〓, the stand-in for a character that cannot be carried.
inline constexpr quint16 kGetaMark = 0x222E;

// "U+9AD9" style name of a character, for messages.
QString codePointName(char32_t c);

} // namespace lumivox
