#pragma once

#include <QLineEdit>

class QInputMethodEvent;

namespace lumivox {

// A text box that reports, for each conversion the user commits through the
// input method, the reading of that conversion: the kana the user typed before
// converting, as the composition showed them. With fcitx5 or IBus (Mozc, Anthy …)
// the composition first shows the typed kana, is then replaced by the converted
// text and finally committed; the reading is the last composition that still
// held kana rather than the conversion result.
class ReadingEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit ReadingEdit(QWidget *parent = nullptr);

Q_SIGNALS:
    // The reading of one committed conversion, as typed (hiragana, katakana, half-width).
    void readingCommitted(const QString &reading);

protected:
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    void notePreedit(const QString &preedit);
    void resetComposition();

    bool m_composing = false;
    QString m_kanaReading; // last composition holding kana
    QString m_plainReading; // last composition of kana or letters only
};

} // namespace lumivox
