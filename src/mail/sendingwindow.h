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

// The sending run's window: sends the notice numNewsID to every row of
// T_temp_送信リスト, one mail each, showing "送信中です。しばらくお待ちください。n/N..."
// and a bar set before the n-th mail. The SMTP conversation runs on a worker
// thread, so the window stays responsive. ｷｬﾝｾﾙ (or the close box, or Esc)
// takes effect before the next mail, or at once while the server has not yet
// answered the connection; a failure stops the run with a message.
// The window closes itself at the end, with the result Rejected once the user
// has stopped the run and Accepted otherwise (a failure included). It writes
// nothing to the database.
class SendingWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SendingWindow(AppContext &context, QWidget *parent = nullptr);
    ~SendingWindow() override;

    void setNewsId(int newsId);
    // Whether the run began sending: false when the user stopped at the
    // question about characters that cannot be carried (nothing was sent, as
    // after ｷｬﾝｾﾙ in the send options).
    bool sendingStarted() const { return m_sendingStarted; }
    // A CA certificate to trust besides the system's (a test server's own).
    void setExtraCaFile(const QString &path) { m_extraCaFile = path; }

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Activate();
    void cmdCancel_Click();
    void showProgress(int n, int total);
    void onRunFinished();
    bool confirmUncarriable(const SendPlan &plan);
    void showSendError();

    AppContext &m_context;
    SmtpSettings m_smtp;
    SendOptions m_options;
    QString m_extraCaFile;
    std::atomic<bool> m_cancelRequested{false};
    bool m_running = false;
    bool m_sendingStarted = false;
    QThread *m_worker = nullptr;
    RunOutcome m_outcome;

    QSpinBox *numNewsID = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *lblMessage = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *cmdCancel = nullptr;
    DialogLifecycle m_lifecycle{this};
};

} // namespace lumivox
