#include "app/messages.h"

#include <QMessageBox>
#include <QWidget>

namespace lumivox {

namespace {

QString captionOf(QWidget *window)
{
    QWidget *top = window ? window->window() : nullptr;
    return top ? top->windowTitle() : QString();
}

} // namespace

void informUser(QWidget *window, const QString &text)
{
    QMessageBox box(QMessageBox::Information, captionOf(window), text, QMessageBox::Ok, window);
    box.exec();
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

} // namespace lumivox
