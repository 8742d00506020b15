#pragma once

#include "app/appcontext.h"
#include "db/sendresults.h"
#include "reports/reportlayout.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace lumivox {

// 送信履歴 of one notice: every run with its time and counts (the first run
// first), and under it the recipient rows of the chosen run with their state,
// time and the server's reply. 印刷 shows the whole history as a report, to be
// printed or saved as PDF.
class SendHistoryWindow : public QDialog
{
    Q_OBJECT
public:
    SendHistoryWindow(AppContext &context, int newsId, const QString &subject, QWidget *parent = nullptr);

    // False when the history could not be read (the window then shows none).
    bool loaded() const { return m_loaded; }

private:
    void showRun(int index);
    void cmdPrint_Click();

    AppContext &m_context;
    QString m_subject;
    QList<RunRecord> m_runs;
    QHash<qint64, QList<ResultRow>> m_rows;
    bool m_loaded = false;

    QTableWidget *grdRuns = nullptr;
    QTableWidget *grdResults = nullptr;
    QPushButton *cmdPrint = nullptr;
    QPushButton *cmdClose = nullptr;
};

// One line per run for its heading: "第2回 2026/12/06 13:00:00 未送信の宛先に送信
// 送信済 5／拒否 0／未送信 0／不明 0".
QString runHeading(int number, const RunRecord &run);

// The history as report rows: each run a group, its recipients the rows
// (名前, E-Mail, 状態, 応答).
QList<ReportRow> sendHistoryRows(const QList<RunRecord> &runs, const QHash<qint64, QList<ResultRow>> &rows);

} // namespace lumivox
