#pragma once

#include <QString>

namespace lumivox {

// Folds every line of a text (lines end with CR LF) to a width in bytes of code
// page 932. Every line of the result ends with CR LF, including the last; empty
// lines stay; a text that ends with CR LF gains no extra line; empty text gives
// one CR LF. Nothing is added or dropped: joining the pieces gives the text back.
QString FoldText(const QString &text, int width);

// Folds one line (no CR LF in it) into pieces, each ended by CR LF. A piece takes
// characters while its byte count is below width − 1, so it never exceeds width
// bytes (unless it holds a URL longer than that, below), and all-ASCII text with
// no place to break folds into pieces of width − 1 characters. Within that
// limit a piece ends only where a line may break, as
// ICU's Japanese line-break rules say (、。」ー and small kana never begin a line,
// 「（ never ends one; a Latin word stays whole): at the last such place that
// fits. A line with no such place is cut by the byte count alone, never inside a
// character (a surrogate pair, or a letter and its combining mark). A URL (http,
// https, mailto) or a mail address is never cut: it starts a piece of its own
// when it does not fit, and stays whole even when it is longer than the width.
// An empty line gives CR LF. Runs in time linear in the length of the line.
QString FoldLine(const QString &line, int width);

} // namespace lumivox
