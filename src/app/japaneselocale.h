#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QTranslator>

namespace lumivox {

// Makes Qt's system locale Japanese whatever the environment says, so that Qt's
// own dialogs show dates and sizes the Japanese way (the file dialog formats its
// dates with QLocale::system(), which QLocale::setDefault does not reach).
//
// Qt reads the system locale from the environment once, while the QApplication
// is made: make this guard before it and release it right after. Meanwhile the
// locale variables name Japanese (LC_CTYPE, the character set, stays as it was);
// on release the environment is the user's again, for the programs this one
// starts, and so is the C library's locale.
class JapaneseSystemLocale
{
public:
    JapaneseSystemLocale();
    ~JapaneseSystemLocale();
    JapaneseSystemLocale(const JapaneseSystemLocale &) = delete;
    JapaneseSystemLocale &operator=(const JapaneseSystemLocale &) = delete;

private:
    QList<QPair<QByteArray, QByteArray>> m_saved; // name, value ("" for unset)
    QList<QByteArray> m_unset;
};

// What Qt 6 asks for that Debian's Japanese catalogue of Qt (qtbase_ja, still
// of Qt 5) does not hold: texts asked for under a context Qt 6 renamed (the
// file dialog's "Folder" is asked for as QAbstractFileIconProvider and kept as
// QFileDialog), answered from the catalogue given, and the few texts of the
// print dialog that Qt 6 added, answered here. Install it after the catalogue.
class QtCatalogueSupplement : public QTranslator
{
public:
    explicit QtCatalogueSupplement(const QTranslator &catalogue, QObject *parent = nullptr);

    QString translate(const char *context, const char *sourceText, const char *disambiguation,
                      int n) const override;
    bool isEmpty() const override { return false; }

private:
    const QTranslator &m_catalogue;
};

} // namespace lumivox
