#include "app/messages.h"

#include <QDialog>
#include <QPushButton>
#include <QWidget>

namespace lumivox {

namespace {

MessageHook &messageHook()
{
    static MessageHook hook;
    return hook;
}

ModalHook &modalHook()
{
    static ModalHook hook;
    return hook;
}

QString captionOf(QWidget *window)
{
    QWidget *top = window ? window->window() : nullptr;
    return top ? top->windowTitle() : QString();
}

} // namespace

void setMessageHook(MessageHook hook)
{
    messageHook() = std::move(hook);
}

void setModalHook(ModalHook hook)
{
    modalHook() = std::move(hook);
}

MessageAnswer showMessage(QWidget *window, const Message &message)
{
    Message shown = message;
    if (shown.title.isEmpty())
        shown.title = captionOf(window);
    if (messageHook())
        return messageHook()(window, shown);

    QMessageBox box(shown.icon, shown.title, shown.text, QMessageBox::NoButton, window);
    box.setObjectName(shown.objectName);
    if (!shown.informativeText.isEmpty())
        box.setInformativeText(shown.informativeText);
    if (!shown.detailedText.isEmpty())
        box.setDetailedText(shown.detailedText);
    QList<QPushButton *> custom;
    if (shown.custom.isEmpty()) {
        box.setStandardButtons(shown.buttons);
        if (shown.defaultButton != QMessageBox::NoButton)
            box.setDefaultButton(shown.defaultButton);
        if (shown.escapeButton != QMessageBox::NoButton)
            box.setEscapeButton(shown.escapeButton);
    } else {
        for (const Message::Custom &c : shown.custom) {
            QPushButton *button = box.addButton(c.caption, QMessageBox::ActionRole);
            button->setObjectName(c.objectName);
            custom << button;
        }
        const int escape = shown.escapeCustom < 0 ? int(custom.size()) - 1 : shown.escapeCustom;
        box.setDefaultButton(custom.value(shown.defaultCustom));
        box.setEscapeButton(custom.value(escape));
    }
    box.exec();
    MessageAnswer answer;
    if (custom.isEmpty())
        answer.button = box.standardButton(box.clickedButton());
    else
        answer.custom = int(custom.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
    return answer;
}

void informUser(QWidget *window, const QString &text)
{
    Message message;
    message.text = text;
    showMessage(window, message);
}

void reportWriteFailure(QWidget *window, const QString &what, const QString &reason)
{
    QString text = what + QStringLiteral("をデータベースに保存できませんでした。");
    text += QStringLiteral("\n\nディスクの空き容量や、データベースファイル（Pennora.db）が"
                           "書き込み可能かどうかを確認してください。");
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n詳細：") + reason;
    informUser(window, text);
}

bool askYesNo(QWidget *window, const QString &text, QMessageBox::Icon icon)
{
    Message message;
    message.icon = icon;
    message.text = text;
    message.buttons = QMessageBox::Yes | QMessageBox::No;
    message.defaultButton = QMessageBox::Yes;
    message.escapeButton = QMessageBox::No;
    return showMessage(window, message).button == QMessageBox::Yes;
}

bool confirmDeletion(QWidget *window, const QString &text)
{
    Message message;
    message.icon = QMessageBox::Question;
    message.text = text;
    message.buttons = QMessageBox::Yes | QMessageBox::No;
    message.defaultButton = QMessageBox::No;
    message.escapeButton = QMessageBox::No;
    return showMessage(window, message).button == QMessageBox::Yes;
}

QString itemCount(int count)
{
    return count >= 0 ? QStringLiteral("%1件").arg(count) : QString();
}

int runModal(QDialog &dialog)
{
    if (!modalHook())
        return dialog.exec();
    dialog.setResult(QDialog::Rejected);
    const bool wasModal = dialog.testAttribute(Qt::WA_ShowModal);
    dialog.setAttribute(Qt::WA_ShowModal, true); // as exec() shows it
    dialog.show();
    modalHook()(dialog);
    if (dialog.isVisible())
        dialog.reject(); // the hook left it open: as the close box would
    dialog.setAttribute(Qt::WA_ShowModal, wasModal);
    return dialog.result();
}

} // namespace lumivox
