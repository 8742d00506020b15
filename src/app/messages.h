#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace lumivox {

// A message or question, shown by showMessage. Every message box of the program
// goes through it, so that one hook (below) can answer them all in tests.
struct Message {
    QMessageBox::Icon icon = QMessageBox::Information;
    QString title;
    QString text;
    QString informativeText;
    QString detailedText; // behind Qt's 詳細 button
    QString objectName;   // the box's objectName (msgSendError, …)
    // Standard buttons, answered as QMessageBox::StandardButton …
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
    // … or buttons of the program's own captions (when not empty; buttons is then
    // ignored), answered by their index. The first is the default unless
    // defaultCustom says otherwise; Esc and the close box give escapeCustom.
    struct Custom {
        QString caption;
        QString objectName;
    };
    QList<Custom> custom;
    int defaultCustom = 0;
    int escapeCustom = -1; // -1: the last
};

// The button a message was closed with: a standard button, or the index of a
// custom one (button is then NoButton).
struct MessageAnswer {
    QMessageBox::StandardButton button = QMessageBox::NoButton;
    int custom = -1;
};

// Shows the message modally over `window` (the caption of window's top-level
// window is the title when message.title is empty) and returns how it was closed.
MessageAnswer showMessage(QWidget *window, const Message &message);

// A condition the user must know about: information icon, OK, titled with the
// window's caption.
void informUser(QWidget *window, const QString &text);

// A database write that did not happen (disk full, file locked, …). Nothing the
// user typed is dropped silently: the message says what was not stored and why.
void reportWriteFailure(QWidget *window, const QString &what, const QString &reason);

// A question with はい and いいえ (はい is the default); true for はい.
bool askYesNo(QWidget *window, const QString &text,
              QMessageBox::Icon icon = QMessageBox::Question);

// Asks before something is deleted: はい and いいえ, いいえ being the default (and
// Esc), so that a hurried Enter deletes nothing. True for はい.
bool confirmDeletion(QWidget *window, const QString &text);
// A count as such a question gives it: "3件", or nothing when it is not known (-1).
QString itemCount(int count);

// Runs a dialog modally and returns its result (QDialog::Accepted or Rejected).
// Every modal dialog of the program is opened through it.
int runModal(QDialog &dialog);

// Hooks for tests: while set, a message is answered by the hook without being
// shown, and a modal dialog is shown without a nested event loop and handed to
// the hook, which works it (fills it, clicks OK or ｷｬﾝｾﾙ) and returns; runModal
// then returns the dialog's result. Null hooks restore the normal behaviour.
using MessageHook = std::function<MessageAnswer(QWidget *window, const Message &message)>;
using ModalHook = std::function<void(QDialog &dialog)>;
void setMessageHook(MessageHook hook);
void setModalHook(ModalHook hook);

} // namespace lumivox
