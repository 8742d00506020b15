#pragma once

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>

namespace lumivox {

// Qt writes each font's ToUnicode map (what a PDF viewer copies or searches) by
// taking, for every glyph, the lowest code point the font maps to it. Japanese
// fonts share one glyph between an ideograph and its Kangxi radical (日 and ⽇,
// 山 and ⼭), between "／" and "∕", between the full-width space and the em
// space, so the text of a saved list would read back wrong. This puts back the
// characters that were drawn: a mapped code point that was not drawn but shares
// its glyph, in one of `fonts`, with one that was, is replaced by it. Only the
// maps change, byte for byte in place, so the file's structure stays as written.
QByteArray repairTextMaps(const QByteArray &pdf, const QString &drawnText, const QList<QFont> &fonts);

} // namespace lumivox
