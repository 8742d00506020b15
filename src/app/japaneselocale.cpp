#include "app/japaneselocale.h"

#include <QLocale>

#include <clocale>

namespace lumivox {

namespace {

constexpr const char *kJapanese = "ja_JP.UTF-8";

// What Qt reads to find the system locale, besides LC_ALL, which overrides them all.
constexpr const char *kLocaleVariables[] = {"LANG", "LANGUAGE", "LC_NUMERIC", "LC_TIME", "LC_MONETARY",
                                            "LC_MESSAGES", "LC_MEASUREMENT", "LC_COLLATE"};

// Qt 6 names (context) and the names the Japanese catalogue keeps them under.
struct RenamedContext {
    const char *asked;
    const char *catalogued;
};
constexpr RenamedContext kRenamedContexts[] = {
    {"QAbstractFileIconProvider", "QFileDialog"},
};

// Texts Qt 6 added to its print dialog.
struct AddedText {
    const char *context;
    const char *source;
    const char *japanese;
};
constexpr AddedText kAddedTexts[] = {
    {"QPrintSettingsOutput", "Pages", "ページ指定"},
    {"QPrintSettingsOutput",
     "Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a "
     "hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
     "ページ番号または範囲をコンマで区切って指定します。範囲は二つの番号をハイフンでつなぎます。"
     "例：3,5-7,9 は 3，5，6，7，9 ページを印刷します。"},
    {"QPrintSettingsOutput", "Double Sided Printing", "両面印刷"},
    {"QPrintSettingsOutput", "Off", "しない"},
    {"QPrintSettingsOutput", "Long side binding", "長辺とじ"},
    {"QPrintSettingsOutput", "Short side binding", "短辺とじ"},
};

} // namespace

JapaneseSystemLocale::JapaneseSystemLocale()
{
    const auto save = [this](const char *name) {
        if (qEnvironmentVariableIsSet(name))
            m_saved.append({name, qgetenv(name)});
        else
            m_unset.append(name);
    };
    save("LC_ALL");
    save("LC_CTYPE");
    for (const char *name : kLocaleVariables)
        save(name);

    // The character set the environment gives stays; only what Qt reads for
    // the language, dates and numbers becomes Japanese.
    QByteArray ctype = qgetenv("LC_ALL");
    if (ctype.isEmpty())
        ctype = qgetenv("LC_CTYPE");
    if (ctype.isEmpty())
        ctype = qgetenv("LANG");
    qunsetenv("LC_ALL");
    if (!ctype.isEmpty())
        qputenv("LC_CTYPE", ctype);
    for (const char *name : kLocaleVariables)
        qputenv(name, kJapanese);
    qputenv("LANGUAGE", "ja");
}

JapaneseSystemLocale::~JapaneseSystemLocale()
{
    (void)QLocale::system(); // read now, while the variables name Japanese
    for (const auto &[name, value] : m_saved)
        qputenv(name.constData(), value);
    for (const QByteArray &name : m_unset)
        qunsetenv(name.constData());
    // The C library's locale as the user's environment sets it (a Japanese one
    // may not be installed, in which case the whole setting was refused).
    std::setlocale(LC_ALL, "");
}

QtCatalogueSupplement::QtCatalogueSupplement(const QTranslator &catalogue, QObject *parent)
    : QTranslator(parent), m_catalogue(catalogue)
{
}

QString QtCatalogueSupplement::translate(const char *context, const char *sourceText,
                                         const char *disambiguation, int n) const
{
    for (const RenamedContext &renamed : kRenamedContexts) {
        if (qstrcmp(context, renamed.asked) != 0)
            continue;
        QString text = m_catalogue.translate(renamed.catalogued, sourceText, disambiguation, n);
        if (text.isEmpty() && disambiguation)
            text = m_catalogue.translate(renamed.catalogued, sourceText, nullptr, n);
        return text;
    }
    for (const AddedText &added : kAddedTexts) {
        if (qstrcmp(context, added.context) == 0 && qstrcmp(sourceText, added.source) == 0)
            return QString::fromUtf8(added.japanese);
    }
    return {};
}

} // namespace lumivox
