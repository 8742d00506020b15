#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace lumivox {

// Text files as spreadsheets write them: the three encodings a Japanese user
// meets, and comma- or tab-separated fields as RFC 4180 quotes them.

enum class TextEncoding {
    Utf8,    // UTF-8 without a byte order mark
    Utf8Bom, // UTF-8 with one (what Excel writes as "CSV UTF-8", and reads correctly)
    Cp932,   // Shift_JIS as Japanese Windows has it (Windows-31J: ①, 髙 included)
};

// The name the windows show for an encoding ("UTF-8（BOM付き）", "Shift_JIS（CP932）").
QString encodingName(TextEncoding encoding);

// A byte order mark gives UTF-8 with BOM; bytes that are valid UTF-8 (ASCII
// included) give UTF-8; anything else is taken for CP932.
TextEncoding detectEncoding(const QByteArray &bytes);

// The text of the bytes in the encoding, without a byte order mark. Bytes that
// do not belong to the encoding become U+FFFD and are counted in *undecodable.
QString decodeText(const QByteArray &bytes, TextEncoding encoding, int *undecodable = nullptr);

// The bytes of a text in the encoding (UTF-8 with BOM starts with EF BB BF). For
// CP932 the Unicode forms of the characters Windows maps to their twins go out
// as those (〜 as ～, − as －); a character CP932 still cannot carry is listed in
// *unencodable, each once, and the result is then empty: nothing is replaced
// behind the user's back.
QByteArray encodeText(const QString &text, TextEncoding encoding,
                      QList<char32_t> *unencodable = nullptr);

// One record of a separated text, with the line of the text on which it starts
// (from 1), so that a problem can be reported by the line the user sees.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};

struct CsvTable {
    QList<CsvRecord> records;
    // A quoted field that never closes: the line it starts on and the reason.
    // The records before it are kept.
    int errorLine = 0;
    QString error;
};

// Tab when the first line holds a tab outside quotes, otherwise comma.
QChar detectSeparator(const QString &text);

// RFC 4180: fields between the separator, a field in double quotes may hold the
// separator, line breaks and doubled quotes. Lines end in CR LF, LF or CR; empty
// lines (the trailing one included) give no record.
CsvTable parseCsv(const QString &text, QChar separator = u',');

// One field as the separated text writes it: quoted when it holds the separator,
// a quote, a line break or blanks at its ends; a value a spreadsheet would run as
// a formula (beginning with = + - @, a tab or CR) is first guarded with '.
QString csvField(const QString &value, QChar separator = u',');
// A record: the fields, separated, ending in CR LF.
QString csvRecord(const QStringList &fields, QChar separator = u',');

// The formula guard of csvField and its removal on reading: a value beginning
// with apostrophes followed by a formula character carries one more apostrophe
// than it means, so that writing and reading give back any value.
bool startsLikeFormula(const QString &value);
QString withoutFormulaGuard(const QString &value);

} // namespace lumivox
