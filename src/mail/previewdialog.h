#pragma once

#include "app/dialoglifecycle.h"
#include "mail/sendrun.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace lumivox {

// プレビュー: the mail one recipient of a plan will receive, made exactly as the
// run makes it and shown as a mail reader shows it (From, To and Subject
// decoded, the body as folded, the character set used); the recipient is
// chosen from the send list. テスト送信 sends that mail to the sender's own
// address through the configured server, without recording anything, and
// tells how it went.
class PreviewDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PreviewDialog(const SendPlan &plan, QWidget *parent = nullptr);

public Q_SLOTS:
    void reject() override;

private:
    void showRecipient(int row);
    void cmdTestSend_Click();

    SendPlan m_plan;
    bool m_sending = false;
    QComboBox *cboRecipient = nullptr;
    QLineEdit *txtFrom = nullptr;
    QLineEdit *txtTo = nullptr;
    QLineEdit *txtSubject = nullptr;
    QLineEdit *txtCharset = nullptr;
    QPlainTextEdit *txtBody = nullptr;
    QPushButton *cmdTestSend = nullptr;
    QPushButton *cmdClose = nullptr;
    DialogLifecycle m_lifecycle{this};
};

} // namespace lumivox
