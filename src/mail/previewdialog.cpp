#include "mail/previewdialog.h"

#include "app/messages.h"
#include "app/startup.h"
#include "app/windowlayout.h"
#include "mail/mailreader.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace lumivox {

namespace {

QLineEdit *shownField(const char *name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    return box;
}

} // namespace

PreviewDialog::PreviewDialog(const SendPlan &plan, QWidget *parent) : QDialog(parent), m_plan(plan)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("プレビュー"));

    cboRecipient = new QComboBox(this);
    cboRecipient->setObjectName(QStringLiteral("cboRecipient"));
    for (const Recipient &row : std::as_const(m_plan.rows))
        cboRecipient->addItem(QStringLiteral("%1 <%2>（%3）").arg(row.name, row.address, row.groupName));
    txtFrom = shownField("txtFrom", this);
    txtTo = shownField("txtTo", this);
    txtSubject = shownField("txtSubject", this);
    txtCharset = shownField("txtCharset", this);
    txtBody = new QPlainTextEdit(this);
    txtBody->setObjectName(QStringLiteral("txtBody"));
    txtBody->setReadOnly(true);
    txtBody->setLineWrapMode(QPlainTextEdit::NoWrap); // the lines as the mail folds them
    txtBody->setFont(minchoFont(10));
    cmdTestSend = new QPushButton(QStringLiteral("テスト送信(&T)"), this);
    cmdTestSend->setObjectName(QStringLiteral("cmdTestSend"));
    cmdTestSend->setAutoDefault(false);
    cmdTestSend->setToolTip(QStringLiteral("このメールを送信元（%1）あてに送信します").arg(m_plan.smtp.senderAddress));
    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("プレビューする宛先(&R)"), cboRecipient);
    form->addRow(QStringLiteral("差出人"), txtFrom);
    form->addRow(QStringLiteral("宛先"), txtTo);
    form->addRow(QStringLiteral("件名"), txtSubject);
    form->addRow(QStringLiteral("文字コード"), txtCharset);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdTestSend);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(txtBody, 1);
    layout->addLayout(buttons);

    connect(cboRecipient, &QComboBox::currentIndexChanged, this, &PreviewDialog::showRecipient);
    connect(cmdTestSend, &QPushButton::clicked, this, &PreviewDialog::cmdTestSend_Click);
    connect(cmdClose, &QPushButton::clicked, this, &PreviewDialog::reject);

    resize(640, 560);
    m_lifecycle.onFirstShow([this] { WindowLayout::centre(this); });
    showRecipient(0);
}

void PreviewDialog::showRecipient(int row)
{
    if (row < 0 || row >= m_plan.rows.size())
        return;
    const MailView mail = readMail(mailFor(m_plan, composerFor(m_plan), row));
    txtFrom->setText(mail.from);
    txtTo->setText(mail.to);
    txtSubject->setText(mail.subject);
    txtCharset->setText(mail.charset);
    txtBody->setPlainText(mail.body);
    txtFrom->setCursorPosition(0);
    txtTo->setCursorPosition(0);
    txtSubject->setCursorPosition(0);
}

// The conversation runs beside the window, which stays responsive (but does not
// close) until the server has answered.
void PreviewDialog::cmdTestSend_Click()
{
    const int row = cboRecipient->currentIndex();
    if (row < 0 || m_sending)
        return;
    m_sending = true;
    cmdTestSend->setEnabled(false);
    setCursor(Qt::BusyCursor);
    SmtpTransport::Result result = SmtpTransport::Result::Failed;
    QString why;
    QThread *worker = QThread::create([&] {
        SmtpTransport transport(m_plan.smtp);
        result = sendTestMail(m_plan, row, transport);
        why = transport.errorText();
        if (!transport.serverReply().isEmpty() && result != SmtpTransport::Result::Accepted)
            why += QStringLiteral("\n（サーバーの応答: ") + transport.serverReply() + QStringLiteral("）");
    });
    QEventLoop loop;
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    unsetCursor();
    cmdTestSend->setEnabled(true);
    m_sending = false;
    if (result == SmtpTransport::Result::Accepted)
        informUser(this, QStringLiteral("テスト送信しました。送信元のアドレス（%1）に届いたメールをご確認ください。")
                             .arg(m_plan.smtp.senderAddress));
    else
        informUser(this, QStringLiteral("テスト送信できませんでした。SMTPサーバーの設定をご確認ください。\n\n") + why);
}

void PreviewDialog::reject()
{
    if (!m_sending)
        QDialog::reject();
}

} // namespace lumivox
