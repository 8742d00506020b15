#include "mail/foldtext.h"

#include "mail/jistext.h"

#include <QRegularExpression>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>
#include <vector>

namespace lumivox {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// ICU's line breaking for Japanese, strict: small kana and ー do not begin a
// line either. One per thread (the sending run folds on its worker).
icu::BreakIterator *lineBreaker()
{
    thread_local const std::unique_ptr<icu::BreakIterator> breaker = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> it(
            icu::BreakIterator::createLineInstance(icu::Locale("ja@lb=strict"), status));
        if (U_FAILURE(status)) {
            qWarning("ICU line breaking for Japanese: %s", u_errorName(status));
            it.reset();
        }
        return it;
    }();
    return breaker.get();
}

int lineBreakClass(char32_t c)
{
    return u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_LINE_BREAK);
}

char32_t codePointAt(QStringView s, qsizetype i)
{
    const char16_t unit = s[i].unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode()))
        return QChar::surrogateToUcs4(unit, s[i + 1].unicode());
    return unit;
}

// One character as folding sees it: a code point with the marks that belong to
// it (combining marks, joiners, variation selectors, the half-width voiced marks).
qsizetype characterEnd(QStringView s, qsizetype i)
{
    i += codePointAt(s, i) > 0xFFFF ? 2 : 1;
    while (i < s.size()) {
        const char32_t c = codePointAt(s, i);
        const int lb = lineBreakClass(c);
        if (lb != U_LB_COMBINING_MARK && lb != U_LB_ZWJ && c != 0xFF9E && c != 0xFF9F)
            break;
        i += c > 0xFFFF ? 2 : 1;
    }
    return i;
}

// Bytes in code page 932; a surrogate pair is one character (one substitute byte).
qint64 bytesOf(QStringView s, qsizetype from, qsizetype to)
{
    qint64 bytes = 0;
    for (qsizetype i = from; i < to; ++i) {
        const char16_t unit = s[i].unicode();
        if (!(QChar::isLowSurrogate(unit) && i > from && QChar::isHighSurrogate(s[i - 1].unicode())))
            bytes += cp932Width(unit);
    }
    return bytes;
}

// A URL (http, https, mailto) or a mail address, as [start, end) in code units.
struct TextSpan {
    qsizetype start = 0;
    qsizetype end = 0;
};

// Where the URLs and mail addresses of a line are, in order.
QList<TextSpan> unbreakableSpans(QStringView line)
{
    QList<TextSpan> spans;
    if (!line.contains(u'@') && !line.contains(u':'))
        return spans;
    static const QRegularExpression pattern(
        QStringLiteral(R"((?:https?://|mailto:)[A-Za-z0-9\-._~:/?#\[\]@!$&'()*+,;=%]+)"
                       R"(|[A-Za-z0-9._%+\-]+@[A-Za-z0-9\-]+(?:\.[A-Za-z0-9\-]+)+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = line.toString();
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        qsizetype end = m.capturedEnd();
        // Sentence punctuation after a URL is not part of it, nor a closing
        // parenthesis the URL did not open.
        while (end > m.capturedStart()) {
            const QChar last = text.at(end - 1);
            const QStringView inside = QStringView(text).mid(m.capturedStart(), end - m.capturedStart());
            if (QStringLiteral(".,;:!?'").contains(last)
                || (last == u')' && inside.count(u'(') < inside.count(u')')))
                --end;
            else
                break;
        }
        spans.append({m.capturedStart(), end});
    }
    return spans;
}

// mayBreak[p]: a piece may begin at p. ICU's opportunities, none inside a URL or
// an address, and one before each unless what precedes it opens a bracket or a
// quotation.
std::vector<char> breakOpportunities(QStringView line, const QList<TextSpan> &spans)
{
    std::vector<char> mayBreak(static_cast<std::size_t>(line.size()) + 1, 0);
    if (icu::BreakIterator *it = lineBreaker()) {
        const icu::UnicodeString text(false, reinterpret_cast<const UChar *>(line.utf16()),
                                      static_cast<int32_t>(line.size()));
        it->setText(text);
        for (int32_t p = it->next(); p != icu::BreakIterator::DONE; p = it->next())
            mayBreak[static_cast<std::size_t>(p)] = 1;
    }
    for (const TextSpan &span : spans) {
        for (qsizetype p = span.start + 1; p < span.end; ++p)
            mayBreak[static_cast<std::size_t>(p)] = 0;
        if (span.start > 0) {
            const int before = lineBreakClass(line[span.start - 1].unicode());
            if (before != U_LB_OPEN_PUNCTUATION && before != U_LB_QUOTATION)
                mayBreak[static_cast<std::size_t>(span.start)] = 1;
        }
    }
    return mayBreak;
}

void foldInto(QString &out, QStringView line, int width)
{
    if (line.isEmpty()) {
        out += kCrLf;
        return;
    }
    const qint64 limit = static_cast<qint64>(width) - 1;
    const QList<TextSpan> spans = unbreakableSpans(line);
    const std::vector<char> mayBreak = breakOpportunities(line, spans);
    qsizetype start = 0;      // of the current piece
    qint64 bytes = 0;         // of the current piece
    qsizetype lastBreak = -1; // the latest place after start where a piece may begin
    bool holdsSpan = false;   // the piece holds a URL or an address
    qsizetype nextSpan = 0;
    qsizetype i = start;
    while (i < line.size()) {
        while (nextSpan < spans.size() && spans[nextSpan].end <= i)
            ++nextSpan;
        const bool isSpan = nextSpan < spans.size() && spans[nextSpan].start == i;
        const qsizetype end = isSpan ? spans[nextSpan].end : characterEnd(line, i);
        const qint64 size = bytesOf(line, i, end);
        // A character joins while the piece is below the limit; a URL or an
        // address joins only when all of it does (its last character included).
        const bool fits = i == start || bytes + (isSpan ? size - 1 : 0) < limit;
        // With nowhere to go back to, a URL or an address stays on this line
        // (longer than the width), and so does what may not begin a line after
        // it; a blank hangs at the end of a piece that stays within the width.
        const bool hangs = lastBreak <= start && (isSpan || holdsSpan || (line[i] == u' ' && bytes <= limit));
        if (!fits && !hangs) {
            // Back to the last place a line may break; with none, cut here.
            const qsizetype cut = lastBreak > start ? lastBreak : i;
            out += line.mid(start, cut - start);
            out += kCrLf;
            start = i = cut;
            bytes = 0;
            lastBreak = -1;
            holdsSpan = false;
            nextSpan = 0;
            continue;
        }
        holdsSpan = holdsSpan || isSpan;
        bytes += size;
        i = end;
        if (mayBreak[static_cast<std::size_t>(i)])
            lastBreak = i;
    }
    out += line.mid(start);
    out += kCrLf;
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
