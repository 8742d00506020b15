#pragma once

#include <QLineEdit>

class QInputMethodEvent;

namespace lumivox {

// Half-width forms to full width: ASCII letters, digits and symbols to their
// full-width forms (a blank to the ideographic blank), half-width katakana to
// katakana, a half-width voiced or semi-voiced mark joining the kana before it
// (ｶﾞ → ガ, ﾊﾟ → パ, ｳﾞ → ヴ). Everything else is kept.
QString toFullWidth(const QString &text);

// A reading as the furigana boxes keep it: full width (above) and hiragana turned
// into katakana (やまだ → ヤマダ).
QString toReadingKatakana(const QString &text);

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
