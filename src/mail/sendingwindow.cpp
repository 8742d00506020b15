#include "mail/sendingwindow.h"

#include "app/messages.h"
#include "app/windowlayout.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

// The program's picture lives in the core library's resources.
static void initCoreResources()
{
    Q_INIT_RESOURCE(lumivox);
}

namespace lumivox {

namespace {

const QString kWaiting = QStringLiteral("送信中です。しばらくお待ちください。");

} // namespace

SendingWindow::SendingWindow(AppContext &context, QWidget *parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmSendMail"));
    setWindowTitle(QStringLiteral("お知らせの送信"));

    numNewsID = new QSpinBox(this);
    numNewsID->setObjectName(QStringLiteral("numNewsID"));
    numNewsID->setRange(0, 99999);
    numNewsID->hide();

    initCoreResources();
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QIcon(QStringLiteral(":/lumivox/lumivox.svg")).pixmap(48, 48));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    lblMessage = new QLabel(kWaiting, this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setDefault(true);

    auto *text = new QVBoxLayout;
    text->addWidget(lblMessage);
    text->addWidget(ProgressBar1);
    auto *top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addSpacing(8);
    top->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    connect(cmdCancel, &QPushButton::clicked, this, &SendingWindow::cmdCancel_Click);

    // Loading: the settings the run uses. Centred on the screen when it first
    // shows, and the run starts once it is there.
    resize(440, sizeHint().height());
    setFixedSize(size());
    m_smtp = readRunSmtpSettings(m_context.db());
    m_options = readSendOptions(m_context.db(), kNoSendOptionsRow);
    m_lifecycle.onFirstShow([this] {
        WindowLayout::centre(this);
        QTimer::singleShot(0, this, &SendingWindow::Form_Activate);
    });
}

SendingWindow::~SendingWindow()
{
    if (m_worker) {
        m_cancelRequested = true;
        m_worker->wait();
        delete m_worker;
    }
}

void SendingWindow::setNewsId(int newsId)
{
    numNewsID->setValue(newsId);
}

void SendingWindow::Form_Activate()
{
    const NoticeText notice = readNoticeText(m_context.db(), numNewsID->value());
    SendPlan plan;
    plan.smtp = m_smtp;
    plan.options = m_options;
    plan.subject = notice.subject;
    plan.body = preparedBody(notice.body, m_options);
    plan.rows = readSendList(m_context.db());

    if (!confirmUncarriable(plan)) {
        done(QDialog::Rejected);
        return;
    }

    m_running = true;
    m_sendingStarted = true;
    TransportOptions transportOptions;
    transportOptions.extraCaFile = m_extraCaFile;
    m_worker = QThread::create([this, plan, transportOptions] {
        SmtpTransport transport(plan.smtp, transportOptions);
        transport.setCancelFlag(&m_cancelRequested);
        m_outcome = runMailing(plan, transport, [this](int n, int total) {
            QMetaObject::invokeMethod(this, [this, n, total] { showProgress(n, total); },
                                      Qt::QueuedConnection);
            return !m_cancelRequested.load();
        });
    });
    connect(m_worker, &QThread::finished, this, &SendingWindow::onRunFinished);
    m_worker->start();
}

void SendingWindow::showProgress(int n, int total)
{
    lblMessage->setText(kWaiting + QString::number(n) + u'/' + QString::number(total)
                        + QStringLiteral("..."));
    const float share = static_cast<float>(n) / static_cast<float>(total) * 100.0f;
    ProgressBar1->setValue(qRound(share));
}

void SendingWindow::onRunFinished()
{
    m_running = false;
    m_worker->wait();
    if (m_outcome.end == RunOutcome::Failed)
        showSendError();
    done(m_cancelRequested ? QDialog::Rejected : QDialog::Accepted);
}

void SendingWindow::showSendError()
{
    Message message;
    message.objectName = QStringLiteral("msgSendError");
    message.text = QStringLiteral("送信ｴﾗｰが発生しました，送信を中止します。"
                                  "SMTPサーバーの設定条件等を再度ご確認下さい。");
    QStringList why;
    why << m_outcome.reason;
    if (!m_outcome.reply.isEmpty())
        why << QStringLiteral("サーバーの応答: ") + m_outcome.reply;
    if (!m_outcome.detail.isEmpty())
        why << QStringLiteral("(") + m_outcome.detail + u')';
    why << QStringLiteral("送信済み: %1 通").arg(m_outcome.sent);
    message.informativeText = why.join(u'\n');
    showMessage(this, message);
}

// Characters ISO-2022-JP cannot carry are never replaced silently: the user sees
// which and where, and chooses between stopping (the default) and sending them
// as 〓.
bool SendingWindow::confirmUncarriable(const SendPlan &plan)
{
    const QList<UncarriableText> found = findUncarriable(plan);
    if (found.isEmpty())
        return true;
    Message message;
    message.icon = QMessageBox::Warning;
    message.objectName = QStringLiteral("msgUncarriable");
    message.text = QStringLiteral("次の文字はメール(ISO-2022-JP)で送ることができません。\n\n")
                   + describeUncarriable(found).join(u'\n');
    message.informativeText = QStringLiteral("このまま送信すると，これらの文字は「〓」に置き換わります。");
    message.custom = {{QStringLiteral("〓に置き換えて送信(&S)"), QStringLiteral("cmdSendAnyway")},
                      {QStringLiteral("送信を中止(&C)"), QStringLiteral("cmdStop")}};
    message.defaultCustom = 1;
    return showMessage(this, message).custom == 0;
}

// The mail with the server finishes first; the caption says at once that the
// click was taken.
void SendingWindow::cmdCancel_Click()
{
    if (m_cancelRequested)
        return;
    m_cancelRequested = true;
    cmdCancel->setEnabled(false);
    lblMessage->setText(QStringLiteral("送信を中止しています…"));
}

// Esc and the close box count as ｷｬﾝｾﾙ; the window closes when the run has
// stopped.
void SendingWindow::reject()
{
    if (m_running)
        cmdCancel_Click();
}

void SendingWindow::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        cmdCancel_Click();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace lumivox
