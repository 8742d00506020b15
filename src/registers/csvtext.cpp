#include "registers/csvtext.h"

#include <QStringDecoder>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <memory>

namespace lumivox {

namespace {

constexpr char kCp932[] = "windows-31j"; // ICU: ibm-943_P15A-2003, NEC and IBM rows included
const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);

// The Unicode forms that CP932 lacks beside the twins it has, as Japanese Windows
// programs write them.
struct Twin {
    char16_t from;
    char16_t to;
};
constexpr Twin kWindowsTwins[] = {
    {0x301C, 0xFF5E}, // 〜 → ～
    {0x2016, 0x2225}, // ‖ → ∥
    {0x2212, 0xFF0D}, // − → －
    {0x2014, 0x2015}, // — → ―
    {0x00A2, 0xFFE0}, // ¢ → ￠
    {0x00A3, 0xFFE1}, // £ → ￡
    {0x00AC, 0xFFE2}, // ¬ → ￢
    {0x00A5, 0xFFE5}, // ¥ → ￥
    {0x203E, 0xFFE3}, // ‾ → ￣
};

struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openCp932()
{
    UErrorCode status = U_ZERO_ERROR;
    Converter c(ucnv_open(kCp932, &status));
    if (U_FAILURE(status))
        return {};
    ucnv_setFallback(c.get(), false);
    return c;
}

// Bytes outside CP932 become U+FFFD, counted.
void countUndecodable(const void *context, UConverterToUnicodeArgs *args, const char *,
                      int32_t, UConverterCallbackReason reason, UErrorCode *err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    ++*static_cast<int *>(const_cast<void *>(context));
    *err = U_ZERO_ERROR;
    const UChar replacement = 0xFFFD;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

// Characters CP932 cannot carry are noted and left out.
void noteUnencodable(const void *context, UConverterFromUnicodeArgs *, const UChar *, int32_t,
                     UChar32 codePoint, UConverterCallbackReason reason, UErrorCode *err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    auto *list = static_cast<QList<char32_t> *>(const_cast<void *>(context));
    if (!list->contains(static_cast<char32_t>(codePoint)))
        list->append(static_cast<char32_t>(codePoint));
    *err = U_ZERO_ERROR;
}

bool isLineEnd(QChar c)
{
    return c == u'\n' || c == u'\r';
}

} // namespace

QString encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf8Bom:
        return QStringLiteral("UTF-8（BOM付き）");
    case TextEncoding::Cp932:
        break;
    }
    return QStringLiteral("Shift_JIS（CP932）");
}

TextEncoding detectEncoding(const QByteArray &bytes)
{
    if (bytes.startsWith(kUtf8Bom))
        return TextEncoding::Utf8Bom;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? TextEncoding::Cp932 : TextEncoding::Utf8;
}

QString decodeText(const QByteArray &bytes, TextEncoding encoding, int *undecodable)
{
    int bad = 0;
    QString text;
    if (encoding == TextEncoding::Cp932) {
        Converter c = openCp932();
        UErrorCode status = U_ZERO_ERROR;
        if (c)
            ucnv_setToUCallBack(c.get(), countUndecodable, &bad, nullptr, nullptr, &status);
        if (c && U_SUCCESS(status)) {
            text.resize(bytes.size() + 1);
            const int32_t n = ucnv_toUChars(c.get(), reinterpret_cast<UChar *>(text.data()),
                                            static_cast<int32_t>(text.size()), bytes.constData(),
                                            static_cast<int32_t>(bytes.size()), &status);
            text.resize(U_SUCCESS(status) ? n : 0);
        }
    } else {
        const QByteArray body = bytes.startsWith(kUtf8Bom) ? bytes.mid(kUtf8Bom.size()) : bytes;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(body);
        if (utf8.hasError())
            bad = static_cast<int>(text.count(QChar(0xFFFD)));
    }
    if (undecodable)
        *undecodable = bad;
    return text;
}

QByteArray encodeText(const QString &text, TextEncoding encoding, QList<char32_t> *unencodable)
{
    if (encoding != TextEncoding::Cp932) {
        const QByteArray body = text.toUtf8();
        return encoding == TextEncoding::Utf8Bom ? kUtf8Bom + body : body;
    }
    QString windows = text;
    for (QChar &c : windows) {
        for (const Twin &twin : kWindowsTwins) {
            if (c.unicode() == twin.from)
                c = QChar(twin.to);
        }
    }
    QList<char32_t> missing;
    QByteArray out;
    Converter c = openCp932();
    UErrorCode status = U_ZERO_ERROR;
    if (c)
        ucnv_setFromUCallBack(c.get(), noteUnencodable, &missing, nullptr, nullptr, &status);
    if (c && U_SUCCESS(status)) {
        out.resize(windows.size() * 2 + 1);
        const int32_t n = ucnv_fromUChars(c.get(), out.data(), static_cast<int32_t>(out.size()),
                                          reinterpret_cast<const UChar *>(windows.constData()),
                                          static_cast<int32_t>(windows.size()), &status);
        out.resize(U_SUCCESS(status) ? n : 0);
    }
    if (unencodable)
        *unencodable = missing;
    return missing.isEmpty() ? out : QByteArray();
}

QChar detectSeparator(const QString &text)
{
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && isLineEnd(c))
            break;
        else if (!quoted && c == u'\t')
            return u'\t';
    }
    return u',';
}

CsvTable parseCsv(const QString &text, QChar separator)
{
    CsvTable table;
    const qsizetype n = text.size();
    qsizetype i = text.startsWith(QChar(0xFEFF)) ? 1 : 0;
    int line = 1;
    // Steps over one line end (CR LF counts once) and counts it.
    auto skipLineEnd = [&] {
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        ++i;
        ++line;
    };
    while (i < n) {
        if (isLineEnd(text[i])) { // an empty line gives no record
            skipLineEnd();
            continue;
        }
        CsvRecord record;
        record.line = line;
        for (;;) {
            QString field;
            if (i < n && text[i] == u'"') {
                const int opened = line;
                ++i;
                bool closed = false;
                while (i < n) {
                    const QChar c = text[i];
                    if (c == u'"') {
                        if (i + 1 < n && text[i + 1] == u'"') {
                            field += u'"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (isLineEnd(c)) {
                        // Kept as LF, whatever the file's line ends are.
                        skipLineEnd();
                        field += u'\n';
                        continue;
                    }
                    field += c;
                    ++i;
                }
                if (!closed) {
                    table.errorLine = opened;
                    table.error = QStringLiteral("引用符（\"）で始まる項目が閉じられていません");
                    return table;
                }
            }
            // Unquoted text, or stray text after a closing quote, is taken as it is.
            while (i < n && text[i] != separator && !isLineEnd(text[i]))
                field += text[i++];
            record.fields << field;
            if (i < n && text[i] == separator) {
                ++i;
                continue;
            }
            break;
        }
        table.records << record;
        if (i < n)
            skipLineEnd();
    }
    return table;
}

bool startsLikeFormula(const QString &value)
{
    qsizetype i = 0;
    while (i < value.size() && value[i] == u'\'')
        ++i;
    return i < value.size() && QStringView(u"=+-@\t\r").contains(value[i]);
}

QString withoutFormulaGuard(const QString &value)
{
    if (value.startsWith(u'\'') && startsLikeFormula(value.mid(1)))
        return value.mid(1);
    return value;
}

QString csvField(const QString &value, QChar separator)
{
    QString v = startsLikeFormula(value) ? u'\'' + value : value;
    const bool quote = v.contains(separator) || v.contains(u'"') || v.contains(u'\n')
                       || v.contains(u'\r') || (!v.isEmpty() && (v.front().isSpace() || v.back().isSpace()));
    if (!quote)
        return v;
    v.replace(u'"', QStringLiteral("\"\""));
    return u'"' + v + u'"';
}

QString csvRecord(const QStringList &fields, QChar separator)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += separator;
        line += csvField(fields[i], separator);
    }
    return line + QStringLiteral("\r\n");
}

} // namespace lumivox
