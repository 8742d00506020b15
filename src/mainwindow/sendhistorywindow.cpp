#include "mainwindow/sendhistorywindow.h"

#include "app/messages.h"
#include "mail/sendresultdialogs.h"
#include "reports/reportdocument.h"
#include "reports/reportpreview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace lumivox {

namespace {

QString countsOf(const RunRecord &run)
{
    return QStringLiteral("送信済 %1／拒否 %2／未送信 %3／不明 %4")
        .arg(run.counts.sent)
        .arg(run.counts.refused)
        .arg(run.counts.notSent)
        .arg(run.counts.unknown);
}

QString kindOf(const RunRecord &run)
{
    return run.onlyNotReached ? QStringLiteral("未送信の宛先に送信") : QStringLiteral("全員に送信");
}

} // namespace

QString runHeading(int number, const RunRecord &run)
{
    return QStringLiteral("第%1回 %2 %3 %4").arg(number).arg(run.started, kindOf(run), countsOf(run));
}

QList<ReportRow> sendHistoryRows(const QList<RunRecord> &runs, const QHash<qint64, QList<ResultRow>> &rows)
{
    QList<ReportRow> out;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const QString heading = runHeading(int(i + 1), runs[i]);
        for (const ResultRow &row : rows.value(runs[i].id))
            out << ReportRow{{row.name, row.address, stateText(row.state), row.reply}, heading};
    }
    return out;
}

SendHistoryWindow::SendHistoryWindow(AppContext &context, int newsId, const QString &subject, QWidget *parent)
    : QDialog(parent), m_context(context), m_subject(subject)
{
    setObjectName(QStringLiteral("frmSendHistory"));
    setWindowTitle(QStringLiteral("送信履歴 -「%1」").arg(subject));
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    const SendResultStore store(m_context.db());
    m_runs = store.runs(newsId, &m_loaded);
    std::reverse(m_runs.begin(), m_runs.end());
    for (const RunRecord &run : std::as_const(m_runs)) {
        bool ok = false;
        m_rows.insert(run.id, store.results(run.id, &ok));
        m_loaded = m_loaded && ok;
    }

    grdRuns = textTable(this, QStringLiteral("grdRuns"),
                        {QStringLiteral("回"), QStringLiteral("開始日時"), QStringLiteral("送信先"),
                         QStringLiteral("送信済"), QStringLiteral("拒否"), QStringLiteral("未送信"),
                         QStringLiteral("不明"), QStringLiteral("終了")});
    QList<QStringList> lines;
    for (qsizetype i = 0; i < m_runs.size(); ++i) {
        const RunRecord &run = m_runs[i];
        const QString end = !run.endReason.isEmpty() ? run.endReason
                            : run.ended.isEmpty()    ? QStringLiteral("（記録なし：中断）")
                                                     : run.ended;
        lines << QStringList{QString::number(i + 1), run.started, kindOf(run), QString::number(run.counts.sent),
                             QString::number(run.counts.refused), QString::number(run.counts.notSent),
                             QString::number(run.counts.unknown), end};
    }
    setTableRows(grdRuns, lines);
    grdResults = textTable(this, QStringLiteral("grdResults"),
                           {QStringLiteral("順番"), QStringLiteral("グループ"), QStringLiteral("名前"),
                            QStringLiteral("E-Mail"), QStringLiteral("状態"), QStringLiteral("日時"),
                            QStringLiteral("応答")});
    connect(grdRuns, &QTableWidget::currentCellChanged, this, [this](int row) { showRun(row); });

    cmdPrint = new QPushButton(QStringLiteral("印刷(&P)..."), this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdPrint->setEnabled(!m_runs.isEmpty());
    cmdClose = new QPushButton(QStringLiteral("閉じる(&X)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdPrint, &QPushButton::clicked, this, &SendHistoryWindow::cmdPrint_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(grdRuns);
    splitter->addWidget(grdResults);
    splitter->setStretchFactor(1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    if (m_runs.isEmpty()) {
        auto *none = new QLabel(m_loaded ? QStringLiteral("このお知らせはまだ送信されていません。")
                                         : QStringLiteral("送信履歴を読み込めませんでした。"),
                                this);
        none->setObjectName(QStringLiteral("lblMessage"));
        layout->addWidget(none);
    }
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    resize(820, 520);
    if (!m_runs.isEmpty())
        grdRuns->setCurrentCell(int(m_runs.size() - 1), 0);
}

void SendHistoryWindow::showRun(int index)
{
    QList<QStringList> lines;
    if (index >= 0 && index < m_runs.size()) {
        for (const ResultRow &row : m_rows.value(m_runs[index].id))
            lines << QStringList{QString::number(row.position), row.groupName, row.name, row.address,
                                 stateText(row.state), row.time, row.reply};
    }
    setTableRows(grdResults, lines);
}

// The whole history, the first run first, as the report painter draws it; the
// preview prints it or saves it as PDF.
void SendHistoryWindow::cmdPrint_Click()
{
    ReportDefinition definition = reportDefinition(ReportKind::arpSendHistory);
    definition.title += QStringLiteral("「%1」").arg(m_subject);
    const ReportDocument document(definition, sendHistoryRows(m_runs, m_rows), QDateTime::currentDateTime());
    ReportPreview preview(document, this);
    runModal(preview);
}

} // namespace lumivox
