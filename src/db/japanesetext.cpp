#include "db/japanesetext.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>
#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <memory>

namespace lumivox {

namespace {

std::unique_ptr<icu::Collator> makeCollator()
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale::getJapanese(), status));
    if (U_FAILURE(status))
        return nullptr;
    return collator;
}

icu::UnicodeString toUnicode(const void *utf16, int bytes)
{
    return icu::UnicodeString(static_cast<const UChar *>(utf16), bytes / 2);
}

icu::UnicodeString toUnicode(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int(text.size()));
}

int compareWith(const icu::Collator *collator, const icu::UnicodeString &a, const icu::UnicodeString &b)
{
    if (!collator)
        return a.compare(b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r = collator->compare(a, b, status);
    if (U_FAILURE(status))
        return a.compare(b);
    return r;
}

// The collation callback: SQLite hands over UTF-16 text (it converts as needed).
int collate(void *collator, int lengthA, const void *a, int lengthB, const void *b)
{
    return compareWith(static_cast<const icu::Collator *>(collator), toUnicode(a, lengthA),
                       toUnicode(b, lengthB));
}

void destroyCollator(void *collator)
{
    delete static_cast<icu::Collator *>(collator);
}

void jmatch(sqlite3_context *context, int, sqlite3_value **values)
{
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = static_cast<const char16_t *>(sqlite3_value_text16(values[0]));
    const int bytes = sqlite3_value_bytes16(values[0]);
    const QString key = matchKey(QString::fromUtf16(text, bytes / 2));
    sqlite3_result_text16(context, key.utf16(), int(key.size() * 2), SQLITE_TRANSIENT);
}

} // namespace

int compareJapanese(const QString &a, const QString &b)
{
    static const std::unique_ptr<icu::Collator> collator = makeCollator();
    return compareWith(collator.get(), toUnicode(a), toUnicode(b));
}

QString matchKey(const QString &text)
{
    // NFKC makes half-width katakana full width (ｽﾞ → ズ) and full-width Latin
    // and digits plain (Ａ → A). ％ and ＿ are kept as typed (parked on private-use
    // code points meanwhile), so that only the ASCII ones act as wildcards.
    constexpr char16_t kPercent = 0xE000, kUnderscore = 0xE001;
    QString parked = text;
    parked.replace(u'％', QChar(kPercent)).replace(u'＿', QChar(kUnderscore));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfkc = icu::Normalizer2::getNFKCInstance(status);
    QString folded = parked;
    if (U_SUCCESS(status)) {
        const icu::UnicodeString normal = nfkc->normalize(toUnicode(parked), status);
        if (U_SUCCESS(status))
            folded = QString::fromUtf16(reinterpret_cast<const char16_t *>(normal.getBuffer()),
                                        normal.length());
    }
    QString key;
    key.reserve(folded.size());
    for (const QChar c : folded) {
        char16_t u = c.unicode();
        if (u == kPercent)
            u = u'％';
        else if (u == kUnderscore)
            u = u'＿';
        else if ((u >= 0x30A1 && u <= 0x30F6) || u == 0x30FD || u == 0x30FE)
            u = static_cast<char16_t>(u - 0x60); // katakana → hiragana
        else
            u = static_cast<char16_t>(u_tolower(u));
        key += QChar(u);
    }
    return key;
}

bool registerJapaneseText(const QSqlDatabase &db, QString *error)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    sqlite3 *connection = nullptr;
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        connection = *static_cast<sqlite3 *const *>(handle.constData());
    if (!connection) {
        if (error)
            *error = QStringLiteral("SQLite の接続ではありません。");
        return false;
    }
    std::unique_ptr<icu::Collator> collator = makeCollator();
    if (!collator) {
        if (error)
            *error = QStringLiteral("日本語の照合順序を用意できません。");
        return false;
    }
    int rc = sqlite3_create_collation_v2(connection, "JAPANESE", SQLITE_UTF16,
                                         collator.get(), collate, destroyCollator);
    if (rc == SQLITE_OK)
        collator.release(); // now SQLite's: destroyCollator frees it
    else
        rc = SQLITE_ERROR;
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(connection, "JMATCH", 1,
                                        SQLITE_UTF16 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                        nullptr, jmatch, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(connection));
        return false;
    }
    return true;
}

} // namespace lumivox
