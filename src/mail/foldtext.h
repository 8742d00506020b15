#pragma once

#include <QString>

namespace lumivox {

// Folds every line of a text (lines end with CR LF) to a width in bytes of code
// page 932. Every line of the result ends with CR LF, including the last; empty
// lines stay; a text that ends with CR LF gains no extra line; empty text gives
// one CR LF.
QString FoldText(const QString &text, int width);

// Folds one line (no CR LF in it) into pieces, each ended by CR LF. A piece closes
// as soon as its byte count reaches width − 1, so all-ASCII text folds into
// pieces of width − 1 characters and no piece exceeds width bytes. An empty line
// gives CR LF. Runs in time linear in the length of the line.
QString FoldLine(const QString &line, int width);

} // namespace lumivox
