#include "mail/jistext.h"

#include <QSet>
#include <unicode/ucnv.h>

#include <array>
#include <memory>

namespace lumivox {

namespace {

// Per BMP code point: its CP932 width and its JIS code, built once from ICU's
// Windows-31J table (round-trip mappings only).
struct Tables {
    std::array<quint8, 0x10000> width{};
    std::array<quint16, 0x10000> jis{};
};

// The Unicode JIS forms whose Windows twins CP932 maps: both go out as the same
// JIS code. ¥ and ‾ (JIS-Roman) go out as their full-width forms.
struct Twin {
    char16_t unicode;
    quint16 jis;
};
constexpr Twin kTwins[] = {
    {0x2014, 0x213D}, // — EM DASH (Windows: U+2015)
    {0x301C, 0x2141}, // 〜 WAVE DASH (Windows: U+FF5E)
    {0x2016, 0x2142}, // ‖ DOUBLE VERTICAL LINE (Windows: U+2225)
    {0x2212, 0x215D}, // − MINUS SIGN (Windows: U+FF0D)
    {0x00A2, 0x2171}, // ¢ (Windows: U+FFE0)
    {0x00A3, 0x2172}, // £ (Windows: U+FFE1)
    {0x00AC, 0x224C}, // ¬ (Windows: U+FFE2)
};
constexpr Twin kFullWidthForms[] = {
    {0x00A5, 0x216F}, // ¥ → ￥
    {0x203E, 0x2131}, // ‾ → ￣
};

// Shift_JIS double-byte code → JIS row/cell code.
quint16 sjisToJis(quint8 s1, quint8 s2)
{
    int j1 = ((s1 - (s1 >= 0xE0 ? 0xC1 : 0x81)) << 1) + 0x21;
    int j2;
    if (s2 >= 0x9F) {
        ++j1;
        j2 = s2 - 0x7E;
    } else {
        j2 = s2 - (s2 >= 0x80 ? 0x20 : 0x1F);
    }
    return static_cast<quint16>((j1 << 8) | j2);
}

std::unique_ptr<Tables> buildTables()
{
    auto t = std::make_unique<Tables>();
    t->width.fill(1);
    UErrorCode status = U_ZERO_ERROR;
    UConverter *cnv = ucnv_open("windows-31j", &status);
    if (U_SUCCESS(status)) {
        ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        ucnv_setFallback(cnv, false);
    }
    if (U_FAILURE(status)) {
        qWarning("ICU windows-31j converter: %s", u_errorName(status));
        if (cnv)
            ucnv_close(cnv);
        return t;
    }
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        const UChar unit = static_cast<UChar>(c);
        char out[4];
        status = U_ZERO_ERROR;
        ucnv_resetFromUnicode(cnv);
        const int32_t n = ucnv_fromUChars(cnv, out, sizeof out, &unit, 1, &status);
        if (U_FAILURE(status) || n <= 0)
            continue;
        t->width[c] = static_cast<quint8>(n);
        if (n == 2) {
            const quint16 code = sjisToJis(static_cast<quint8>(out[0]), static_cast<quint8>(out[1]));
            // Rows 1 to 84: JIS X 0208 and NEC row 13. The IBM extensions (rows
            // 89 to 92 and beyond) and the user-defined area have no JIS code.
            if ((code >> 8) >= 0x21 && (code >> 8) <= 0x74)
                t->jis[c] = code;
        }
    }
    ucnv_close(cnv);
    for (const Twin &twin : kTwins) {
        t->jis[twin.unicode] = twin.jis;
        t->width[twin.unicode] = 2;
    }
    for (const Twin &form : kFullWidthForms)
        t->jis[form.unicode] = form.jis;
    return t;
}

const Tables &tables()
{
    static const std::unique_ptr<Tables> t = buildTables();
    return *t;
}

// Half-width katakana U+FF61…U+FF9F as full width.
constexpr char16_t kHalfToFull[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,
};
static_assert(sizeof kHalfToFull / sizeof kHalfToFull[0] == 0xFF9F - 0xFF61 + 1);

bool isHalfWidthKana(char32_t c) { return c >= 0xFF61 && c <= 0xFF9F; }

// カ…ト that take a voiced mark (+1), and ハ…ホ that also take the semi-voiced one (+2).
bool takesVoicedMark(char16_t full)
{
    switch (full) {
    case 0x30AB: case 0x30AD: case 0x30AF: case 0x30B1: case 0x30B3:
    case 0x30B5: case 0x30B7: case 0x30B9: case 0x30BB: case 0x30BD:
    case 0x30BF: case 0x30C1: case 0x30C4: case 0x30C6: case 0x30C8:
        return true;
    default:
        return full == 0x30CF || full == 0x30D2 || full == 0x30D5 || full == 0x30D8 || full == 0x30DB;
    }
}
bool isHaRow(char16_t full)
{
    return full == 0x30CF || full == 0x30D2 || full == 0x30D5 || full == 0x30D8 || full == 0x30DB;
}

// Kana with a combining (semi-)voiced mark, as text from some systems stores
// them, composes to the precomposed kana JIS has.
char32_t composeKana(char32_t base, char32_t mark)
{
    if (mark != 0x3099 && mark != 0x309A)
        return 0;
    const QString pair = QString(QChar(static_cast<char16_t>(base))) + QChar(static_cast<char16_t>(mark));
    const QString composed = pair.normalized(QString::NormalizationForm_C);
    return composed.size() == 1 ? composed.at(0).unicode() : 0;
}

// One unit of output: either an ASCII byte or a JIS code, or a character that
// cannot be carried. `original` is what the text holds there.
struct Unit {
    char32_t original = 0;
    int ascii = -1;   // 0…127 when the unit goes out in ASCII mode
    quint16 jis = 0;  // the JIS code otherwise; 0 when it cannot be carried
    qsizetype length = 1; // code units consumed
};

Unit nextUnit(QStringView text, qsizetype i)
{
    Unit u;
    const char16_t c = text[i].unicode();
    u.original = c;
    if (c < 0x80) {
        if (c != 0x00 && c != 0x1B && c != 0x0E && c != 0x0F)
            u.ascii = c;
        return u;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
        u.original = QChar::surrogateToUcs4(c, text[i + 1].unicode());
        u.length = 2;
        return u; // nothing outside the BMP is in JIS X 0208
    }
    if (QChar::isSurrogate(c))
        return u;
    if (isHalfWidthKana(c)) {
        char16_t full = kHalfToFull[c - 0xFF61];
        if (i + 1 < text.size()) {
            const char16_t next = text[i + 1].unicode();
            if (next == 0xFF9E && (takesVoicedMark(full) || full == 0x30A6)) {
                full = full == 0x30A6 ? char16_t(0x30F4) : char16_t(full + 1);
                u.length = 2;
            } else if (next == 0xFF9F && isHaRow(full)) {
                full = static_cast<char16_t>(full + 2);
                u.length = 2;
            }
        }
        u.jis = tables().jis[full];
        return u;
    }
    if (i + 1 < text.size()) {
        if (const char32_t composed = composeKana(c, text[i + 1].unicode())) {
            u.original = composed;
            u.jis = tables().jis[composed];
            u.length = 2;
            return u;
        }
    }
    u.jis = tables().jis[c];
    return u;
}

} // namespace

int cp932Width(char16_t unit)
{
    if (unit < 0x80)
        return 1;
    return tables().width[unit];
}

quint16 jisCode(char32_t c)
{
    return c < 0x10000 ? tables().jis[c] : 0;
}

QList<char32_t> uncarriableCharacters(QStringView text)
{
    QList<char32_t> found;
    QSet<char32_t> seen;
    for (qsizetype i = 0; i < text.size();) {
        const Unit u = nextUnit(text, i);
        if (u.ascii < 0 && u.jis == 0 && !seen.contains(u.original)) {
            seen.insert(u.original);
            found.append(u.original);
        }
        i += u.length;
    }
    return found;
}

QByteArray toIso2022jp(QStringView text)
{
    static const QByteArray toJis("\x1B$B");
    static const QByteArray toAscii("\x1B(B");
    QByteArray out;
    out.reserve(text.size() * 2 + 16);
    bool jisMode = false;
    for (qsizetype i = 0; i < text.size();) {
        const Unit u = nextUnit(text, i);
        i += u.length;
        if (u.ascii >= 0) {
            if (jisMode) {
                out += toAscii;
                jisMode = false;
            }
            out += static_cast<char>(u.ascii);
            continue;
        }
        const quint16 code = u.jis ? u.jis : kGetaMark;
        if (!jisMode) {
            out += toJis;
            jisMode = true;
        }
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    }
    if (jisMode)
        out += toAscii;
    return out;
}

QString fromIso2022jp(QByteArrayView data)
{
    QByteArray sjis;
    sjis.reserve(data.size());
    bool jis = false;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto c = static_cast<quint8>(data[i]);
        if (c == 0x1B && i + 2 < data.size()) {
            jis = data[i + 1] == '$';
            i += 2;
        } else if (jis && c >= 0x21 && c <= 0x7E && i + 1 < data.size()) {
            const int j2 = static_cast<quint8>(data[++i]);
            const int s1 = ((c - 0x21) >> 1) + 0x81;
            sjis += static_cast<char>(s1 + (s1 > 0x9F ? 0x40 : 0));
            sjis += static_cast<char>((c & 1) ? j2 + 0x1F + (j2 >= 0x60 ? 1 : 0) : j2 + 0x7E);
        } else {
            sjis += static_cast<char>(c);
        }
    }
    UErrorCode status = U_ZERO_ERROR;
    UConverter *cnv = ucnv_open("windows-31j", &status);
    QString out(sjis.size(), Qt::Uninitialized);
    const int32_t n = ucnv_toUChars(cnv, reinterpret_cast<UChar *>(out.data()), int32_t(out.size()),
                                    sjis.constData(), int32_t(sjis.size()), &status);
    ucnv_close(cnv);
    out.truncate(U_SUCCESS(status) ? n : 0);
    return out;
}

QList<QStringView> splitForIso2022jp(QStringView text, int maxBytes)
{
    QList<QStringView> pieces;
    qsizetype start = 0;
    int bytes = 0;       // of the current piece, without the closing ESC ( B
    bool jisMode = false;
    for (qsizetype i = 0; i < text.size();) {
        const Unit u = nextUnit(text, i);
        const bool ascii = u.ascii >= 0;
        // What this unit adds, and what the piece then needs to close.
        const int add = ascii ? (jisMode ? 4 : 1) : (jisMode ? 2 : 5);
        const int close = ascii ? 0 : 3;
        if (i > start && bytes + add + close > maxBytes) {
            pieces.append(text.mid(start, i - start));
            start = i;
            bytes = 0;
            jisMode = false;
            continue; // measure this unit again at the start of a new piece
        }
        bytes += add;
        jisMode = !ascii;
        i += u.length;
    }
    if (start < text.size())
        pieces.append(text.mid(start));
    return pieces;
}

QString codePointName(char32_t c)
{
    return QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace lumivox
