#include "mail/sendingwindow.h"

#include "app/toolset.h"
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

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(programWindowIcon().pixmap(48, 48));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    lblMessage = new QLabel(kWaiting, this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblPause = new QLabel(this);
    lblPause->setObjectName(QStringLiteral("lblPause"));
    lblPause->setMinimumHeight(lblPause->fontMetrics().height()); // room kept: the window's size is fixed
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
    text->addWidget(lblPause);
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

    // Centred on the screen when it first shows, and the run starts once it is
    // there.
    resize(440, sizeHint().height());
    setFixedSize(size());
    m_lifecycle.onFirstShow([this] {
        WindowLayout::centre(this);
        QTimer::singleShot(0, this, &SendingWindow::Form_Activate);
    });
}

SendingWindow::~SendingWindow()
{
    if (m_worker) {
        m_canceller.cancel();
        m_worker->wait();
        delete m_worker;
    }
}

void SendingWindow::setRun(const SendPlan &plan, const RunStart &start)
{
    m_plan = plan;
    m_start = start;
    numNewsID->setValue(start.newsId);
}

void SendingWindow::Form_Activate()
{
    m_running = true;
    m_worker = QThread::create([this] {
        SendRunRecorder recorder(m_context.connectionName);
        if (!recorder.begin(m_start, m_plan.rows)) {
            m_outcome.end = RunOutcome::Failed;
            m_outcome.reason = recorder.sendingElsewhere()
                                   ? QStringLiteral("ほかの担当者がこのお知らせを送信中のため，送信しませんでした。"
                                                    "送信が終わってから，送信履歴を確かめてください。")
                                   : QStringLiteral("送信結果を記録できないため，送信しませんでした。");
            m_outcome.detail = recorder.error();
            return;
        }
        m_runId = recorder.runId();
        SmtpTransport transport(m_plan.smtp, m_transportOptions);
        transport.setCanceller(&m_canceller);
        m_outcome = runMailing(
            m_plan, transport,
            [this](int n, int total) {
                m_total = total;
                m_progress = n;
                if (!m_progressPosted.exchange(true))
                    QMetaObject::invokeMethod(this, &SendingWindow::showProgress, Qt::QueuedConnection);
                return !m_canceller.isCancelled();
            },
            &recorder,
            [this](int, int msLeft) {
                m_waitLeft = msLeft;
                QMetaObject::invokeMethod(this, &SendingWindow::showProgress, Qt::QueuedConnection);
            });
    });
    connect(m_worker, &QThread::finished, this, &SendingWindow::onRunFinished);
    m_worker->start();
}

void SendingWindow::showProgress()
{
    m_progressPosted = false;
    if (m_canceller.isCancelled())
        return;
    const int n = m_progress;
    const int total = m_total;
    const int waitLeft = m_waitLeft.exchange(0);
    // While the pace holds the next mail back, how long is left.
    lblPause->setText(waitLeft > 0 ? QStringLiteral("送信の間隔の設定により，次の送信まで あと %1 秒")
                                         .arg((waitLeft + 999) / 1000)
                                   : QString());
    lblMessage->setText(kWaiting + QString::number(n) + u'/' + QString::number(total) + QStringLiteral("..."));
    const float share = static_cast<float>(n) / static_cast<float>(total) * 100.0f;
    ProgressBar1->setValue(qRound(share));
}

void SendingWindow::onRunFinished()
{
    m_running = false;
    m_worker->wait();
    done(m_canceller.isCancelled() ? QDialog::Rejected : QDialog::Accepted);
}

// The connection ends at once; the caption says that the click was taken.
void SendingWindow::cmdCancel_Click()
{
    if (m_canceller.isCancelled())
        return;
    m_canceller.cancel();
    cmdCancel->setEnabled(false);
    lblPause->clear();
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
