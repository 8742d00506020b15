#include "mail/foldtext.h"

#include "mail/jistext.h"

namespace lumivox {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// FoldLine on a view, appending to out: the piece's byte count is kept as it
// grows instead of being measured again at every character.
void foldInto(QString &out, QStringView line, int width)
{
    if (line.isEmpty()) {
        out += kCrLf;
        return;
    }
    const qint64 limit = static_cast<qint64>(width) - 1;
    qsizetype start = 0;
    qint64 bytes = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t unit = line[i].unicode();
        // A surrogate pair is one character of the code page (one substitute
        // byte): its second half adds nothing when the first is in the piece.
        const bool secondHalf = QChar::isLowSurrogate(unit) && i > start
                                && QChar::isHighSurrogate(line[i - 1].unicode());
        if (!secondHalf)
            bytes += cp932Width(unit);
        if (bytes >= limit) {
            out += line.mid(start, i - start + 1);
            out += kCrLf;
            start = i + 1;
            bytes = 0;
        }
    }
    if (start < line.size()) {
        out += line.mid(start);
        out += kCrLf;
    }
}

} // namespace

QString FoldLine(const QString &line, int width)
{
    QString out;
    out.reserve(line.size() + line.size() / 8 + 2);
    foldInto(out, line, width);
    return out;
}

QString FoldText(const QString &text, int width)
{
    QString result;
    result.reserve(text.size() + text.size() / 8 + 2);
    const QStringView all(text);
    qsizetype pos = 0;
    while (true) {
        const qsizetype p = all.indexOf(kCrLf, pos);
        if (p < 0) {
            foldInto(result, all.mid(pos), width);
            return result;
        }
        if (p > pos)
            foldInto(result, all.mid(pos, p - pos), width);
        else
            result += kCrLf;
        pos = p + 2;
        if (pos >= all.size())
            return result;
    }
}

} // namespace lumivox
