#include "reports/pdftextmap.h"

#include <QHash>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>

namespace lumivox {

namespace {

class TextMapRepair
{
public:
    TextMapRepair(const QString &drawnText, const QList<QFont> &fonts)
    {
        QString characters;
        for (QChar c : drawnText) {
            if (!c.isSurrogate() && !m_drawn.contains(c.unicode())) {
                m_drawn.insert(c.unicode());
                characters += c;
            }
        }
        // For each font, which drawn character each glyph shows (0 when two
        // drawn characters share it, so that nothing is guessed).
        for (const QFont &font : fonts) {
            const QRawFont raw = QRawFont::fromFont(font);
            if (!raw.isValid())
                continue;
            QHash<quint32, char16_t> shown;
            const QList<quint32> glyphs = raw.glyphIndexesForString(characters);
            for (qsizetype i = 0; i < characters.size() && i < glyphs.size(); ++i) {
                if (glyphs[i] == 0)
                    continue;
                const char16_t c = characters[i].unicode();
                auto it = shown.find(glyphs[i]);
                if (it == shown.end())
                    shown.insert(glyphs[i], c);
                else if (*it != c)
                    *it = 0;
            }
            m_fonts.append({raw, shown});
        }
    }

    // The code point a map should give for `mapped`: itself when it was drawn or
    // nothing better is known.
    char16_t repaired(char16_t mapped) const
    {
        if (m_drawn.contains(mapped))
            return mapped;
        for (const Font &font : m_fonts) {
            const QList<quint32> glyph = font.raw.glyphIndexesForString(QString(QChar(mapped)));
            if (glyph.isEmpty() || glyph[0] == 0)
                continue;
            if (const char16_t drawn = font.shown.value(glyph[0], 0))
                return drawn;
        }
        return mapped;
    }

private:
    struct Font {
        QRawFont raw;
        QHash<quint32, char16_t> shown;
    };
    QSet<char16_t> m_drawn;
    QList<Font> m_fonts;
};

// Rewrites the 4-digit hex code at `pos` ("<XXXX>", pos at '<') in place.
void repairCode(QByteArray &pdf, qsizetype pos, const TextMapRepair &repair)
{
    bool ok = false;
    const char16_t mapped = char16_t(pdf.mid(pos + 1, 4).toUInt(&ok, 16));
    if (!ok)
        return;
    const char16_t good = repair.repaired(mapped);
    if (good != mapped)
        pdf.replace(pos + 1, 4, QByteArray::number(uint(good), 16).toUpper().rightJustified(4, '0'));
}

} // namespace

QByteArray repairTextMaps(const QByteArray &pdf, const QString &drawnText, const QList<QFont> &fonts)
{
    QByteArray out = pdf;
    const TextMapRepair repair(drawnText, fonts);
    // In a bfrange block: "<first> <last> <code>" (a run from code upwards; only a
    // run of one is safe to change) or "<first> <last> [<code> <code> …]". In a
    // bfchar block: "<cid> <code>".
    static const QRegularExpression range(
        QStringLiteral("^<([0-9A-Fa-f]{4})> <([0-9A-Fa-f]{4})> (\\[[^\\]]*\\]|<[0-9A-Fa-f]{4}>)"));
    static const QRegularExpression single(QStringLiteral("^<[0-9A-Fa-f]{4}> (<[0-9A-Fa-f]{4}>)\\s*$"));

    qsizetype from = 0;
    while ((from = out.indexOf("begincmap", from)) >= 0) {
        const qsizetype end = out.indexOf("endcmap", from);
        if (end < 0)
            break;
        enum { Outside, Ranges, Chars } block = Outside;
        qsizetype lineStart = from;
        while (lineStart < end) {
            qsizetype lineEnd = out.indexOf('\n', lineStart);
            if (lineEnd < 0 || lineEnd > end)
                lineEnd = end;
            const QByteArray line = out.mid(lineStart, lineEnd - lineStart);
            if (line.endsWith("beginbfrange"))
                block = Ranges;
            else if (line.endsWith("beginbfchar"))
                block = Chars;
            else if (line.startsWith("endbf"))
                block = Outside;
            else if (block == Ranges) {
                const auto m = range.match(QString::fromLatin1(line));
                if (m.hasMatch()) {
                    const QString codes = m.captured(3);
                    if (codes.startsWith(u'[')) {
                        for (qsizetype i = m.capturedStart(3); i < m.capturedEnd(3); ++i) {
                            if (line[i] == '<')
                                repairCode(out, lineStart + i, repair);
                        }
                    } else if (m.captured(1).compare(m.captured(2), Qt::CaseInsensitive) == 0) {
                        repairCode(out, lineStart + m.capturedStart(3), repair);
                    }
                }
            } else if (block == Chars) {
                const auto m = single.match(QString::fromLatin1(line));
                if (m.hasMatch())
                    repairCode(out, lineStart + m.capturedStart(1), repair);
            }
            lineStart = lineEnd + 1;
        }
        from = end;
    }
    return out;
}

} // namespace lumivox
