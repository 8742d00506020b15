#pragma once

#include <QString>

class QFrame;
class QHBoxLayout;
class QPushButton;
class QWidget;

namespace lumivox {

// The explanation box of a dialog: a framed, read-only text (fraCaption holding
// the label txtCaption). The text wraps at the frame's width, or, with wrap
// false, keeps exactly the line breaks it has.
QFrame *explanationFrame(QWidget *dialog, const QString &text, bool wrap = true);

// The OK(&O) and ｷｬﾝｾﾙ(&C) buttons (cmdOk, cmdCancel) at the right of a row; OK is
// the default button. The dialog connects them to its own OK and cancel steps.
struct DialogButtons {
    QPushButton *ok;
    QPushButton *cancel;
    QHBoxLayout *row;
};
DialogButtons okCancelButtons(QWidget *dialog);

} // namespace lumivox
