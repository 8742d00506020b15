#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "mail/sendrun.h"

#include <QDialog>

#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QThread;

namespace lumivox {

// The sending run's window: sends the notice numNewsID as planned, one mail a
// row (rows left out are only recorded), showing
// "送信中です。しばらくお待ちください。n/N..." and a bar set before the n-th mail
// (and, while the sending pace holds the next mail back, how long is left).
// The SMTP conversation and the recording of each result run on threads of
// their own, so the window stays responsive. ｷｬﾝｾﾙ (or the close box, or Esc)
// ends the connection at once, whatever the server is doing; the mail then on
// the wire is recorded as 不明. The window closes itself at the end, with the
// result Rejected once the user has stopped the run and Accepted otherwise (a
// failure included); outcome() and runId() say what happened.
class SendingWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SendingWindow(AppContext &context, QWidget *parent = nullptr);
    ~SendingWindow() override;

    // What to send: the plan (its rows as recorded, left-out ones with their
    // reason) and the run's record.
    void setRun(const SendPlan &plan, const RunStart &start);
    // How the transport talks to the server beyond the settings (a test
    // server's certificate, shorter time-outs).
    void setTransportOptions(const TransportOptions &options) { m_transportOptions = options; }

    const RunOutcome &outcome() const { return m_outcome; }
    // The run's record; 0 when it could not be written (nothing was sent).
    qint64 runId() const { return m_runId; }

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Activate();
    void cmdCancel_Click();
    void showProgress();
    void onRunFinished();

    AppContext &m_context;
    SendPlan m_plan;
    RunStart m_start;
    TransportOptions m_transportOptions;
    SendCanceller m_canceller;
    // The latest progress, shown by the window when it gets to it: a fast
    // server does not flood it with a repaint per mail.
    std::atomic<int> m_progress{0};
    std::atomic<bool> m_progressPosted{false};
    std::atomic<int> m_total{0};
    std::atomic<int> m_waitLeft{0}; // ms until the pace lets the next mail go
    bool m_running = false;
    QThread *m_worker = nullptr;
    RunOutcome m_outcome;
    qint64 m_runId = 0;

    QSpinBox *numNewsID = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *lblMessage = nullptr;
    QLabel *lblPause = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *cmdCancel = nullptr;
    DialogLifecycle m_lifecycle{this};
};

} // namespace lumivox
