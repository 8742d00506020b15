#pragma once

#include <QLineEdit>

class QInputMethodEvent;

namespace lumivox {

class CompositionGuard;

// A text box that reports, for each conversion the user commits through the
// input method, the reading of that conversion: the kana the user typed before
// converting, as the composition showed them. With fcitx5 or IBus (Mozc, Anthy …)
// the composition first shows the typed kana, is then replaced by the converted
// text and finally committed; the reading is the last composition that still
// held kana rather than the conversion result.
//
// A conversion still open when the user turns elsewhere is confirmed first, as
// if Enter had been pressed: before any mouse press in the program (another
// box, a button, the toolbar, the menu bar), before the window closes, and when
// Alt is pressed, so that Alt+N and the other Alt keys reach the window instead
// of the input method. IBus sends such a confirmed text once more, to whatever
// has the focus by then; that second copy is dropped.
class ReadingEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit ReadingEdit(QWidget *parent = nullptr);
    ~ReadingEdit() override;

    // Whether the input method shows a conversion not yet confirmed.
    bool isComposing() const { return !m_preedit.isEmpty(); }
    // Confirms an open conversion: its text joins the box and its reading is reported.
    void finishComposition();

Q_SIGNALS:
    // The reading of one committed conversion, as typed (hiragana, katakana, half-width).
    void readingCommitted(const QString &reading);

protected:
    void inputMethodEvent(QInputMethodEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void notePreedit(const QString &preedit);
    void resetComposition();

    bool m_composing = false;
    QString m_kanaReading; // last composition holding kana
    QString m_plainReading; // last composition of kana or letters only
    QString m_preedit;      // the composition as the box shows it
    QString m_lastCommit;
    CompositionGuard *m_guard;
};

} // namespace lumivox
