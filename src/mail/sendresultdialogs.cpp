#include "mail/sendresultdialogs.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumivox {

namespace {

QPushButton *button(QWidget *parent, const QString &caption, const QString &objectName)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    return b;
}

// The text above, the list under it, and two buttons at the right: one that
// accepts, and the default that rejects (as Esc and the close box do).
void layOut(QDialog *dialog, QLabel *text, QTableWidget *list, QPushButton *accept, QPushButton *reject)
{
    reject->setDefault(true);
    QObject::connect(accept, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(reject, &QPushButton::clicked, dialog, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(accept);
    buttons->addWidget(reject);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
}

} // namespace

QTableWidget *textTable(QWidget *parent, const QString &objectName, const QStringList &headings)
{
    auto *table = new QTableWidget(0, int(headings.size()), parent);
    table->setObjectName(objectName);
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void setTableRows(QTableWidget *table, const QList<QStringList> &rows)
{
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size() && c < table->columnCount(); ++c)
            table->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    }
    table->resizeColumnsToContents();
}

SendProblemsDialog::SendProblemsDialog(const QList<SendProblem> &problems, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSendCheck"));
    setWindowTitle(QStringLiteral("送信前の確認"));
    grdProblems = textTable(this, QStringLiteral("grdProblems"),
                            {QStringLiteral("グループ"), QStringLiteral("名前"), QStringLiteral("E-Mail"),
                             QStringLiteral("問題")});
    QList<QStringList> rows;
    bool leavesOut = false;
    bool replaces = false;
    for (const SendProblem &p : problems) {
        rows << QStringList{p.groupName, p.name, p.address, p.what};
        (p.leavesRowOut ? leavesOut : replaces) = true;
    }
    setTableRows(grdProblems, rows);

    QStringList explanation{QStringLiteral("送信する前に，次の問題が見つかりました。")};
    if (leavesOut)
        explanation << QStringLiteral("E-Mail に問題のある宛先には送信せず，「未送信」として記録します。"
                                      "メンバー登録で E-Mail を直してから「未送信の宛先に送信」で送ることができます。");
    if (replaces)
        explanation << QStringLiteral("メール(ISO-2022-JP)で送れない文字は「〓」に置き換えて送信されます。");
    auto *text = new QLabel(explanation.join(u'\n'), this);
    text->setObjectName(QStringLiteral("lblMessage"));
    text->setWordWrap(true);

    cmdSendOthers = button(this, leavesOut ? QStringLiteral("問題のある宛先を除いて送信(&S)")
                                           : QStringLiteral("このまま送信(&S)"),
                           QStringLiteral("cmdSendOthers"));
    cmdStop = button(this, QStringLiteral("送信を中止(&C)"), QStringLiteral("cmdStop"));
    layOut(this, text, grdProblems, cmdSendOthers, cmdStop);
    resize(720, 360);
}

SendSummaryDialog::SendSummaryDialog(const RunRecord &run, const QList<ResultRow> &rows, bool canResume,
                                     QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSendResult"));
    setWindowTitle(QStringLiteral("送信結果"));
    QStringList lines;
    lines << QStringLiteral("「%1」の送信結果").arg(run.subject) << QString();
    lines << QStringLiteral("送信済　%1 通").arg(run.counts.sent);
    lines << QStringLiteral("拒否　　%1 通").arg(run.counts.refused);
    lines << QStringLiteral("未送信　%1 通").arg(run.counts.notSent);
    if (run.counts.unknown > 0)
        lines << QStringLiteral("不明　　%1 通（送信中に中断したため，届いたかどうか分かりません）").arg(run.counts.unknown);
    if (run.alreadyReached > 0)
        lines << QStringLiteral("（前回までに送信済みの %1 通は送信していません）").arg(run.alreadyReached);
    if (run.endReason == QStringLiteral("ｷｬﾝｾﾙ"))
        lines << QString() << QStringLiteral("ｷｬﾝｾﾙで送信を中止しました。");
    else if (!run.endReason.isEmpty())
        lines << QString()
              << QStringLiteral("送信ｴﾗｰが発生しました，送信を中止します。SMTPサーバーの設定条件等を再度ご確認下さい。")
              << run.endReason;
    lblCounts = new QLabel(lines.join(u'\n'), this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));
    lblCounts->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Every row that did not get through and says why; rows never tried are
    // only counted.
    grdResults = textTable(this, QStringLiteral("grdResults"),
                           {QStringLiteral("状態"), QStringLiteral("グループ"), QStringLiteral("名前"),
                            QStringLiteral("E-Mail"), QStringLiteral("理由（サーバーの応答）")});
    QList<QStringList> listed;
    for (const ResultRow &row : rows) {
        if (row.state == SendState::Sent || (row.state == SendState::NotSent && row.reply.isEmpty()))
            continue;
        listed << QStringList{stateText(row.state), row.groupName, row.name, row.address, row.reply};
    }
    setTableRows(grdResults, listed);
    grdResults->setVisible(!listed.isEmpty());

    cmdResume = button(this, QStringLiteral("未送信の宛先に送信(&R)"), QStringLiteral("cmdResume"));
    cmdResume->setVisible(canResume);
    cmdClose = button(this, QStringLiteral("閉じる(&X)"), QStringLiteral("cmdClose"));
    layOut(this, lblCounts, grdResults, cmdResume, cmdClose);
    resize(listed.isEmpty() ? 420 : 720, listed.isEmpty() ? 0 : 400);
}

QString SendSummaryDialog::countsText() const
{
    return lblCounts->text();
}

} // namespace lumivox
