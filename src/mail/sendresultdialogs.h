#pragma once

#include "db/sendresults.h"
#include "mail/sendcheck.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace lumivox {

// A read-only list of texts: a table whose headings are `headings`, filled
// with `rows`, columns sized to their texts, whole rows selected.
QTableWidget *textTable(QWidget *parent, const QString &objectName, const QStringList &headings);
void setTableRows(QTableWidget *table, const QList<QStringList> &rows);

// The problems found before the first mail, one line each (group, name,
// address, what is wrong), and the two ways on: cmdSendOthers (send to
// everyone else: accepted) or cmdStop (rejected; also Esc and the close box).
// Stopping is the default button: a list like this wants reading first.
class SendProblemsDialog : public QDialog
{
    Q_OBJECT
public:
    SendProblemsDialog(const QList<SendProblem> &problems, QWidget *parent = nullptr);

private:
    QTableWidget *grdProblems = nullptr;
    QPushButton *cmdSendOthers = nullptr;
    QPushButton *cmdStop = nullptr;
};

// What a run did, shown when it ends: 送信済, 拒否 (each with the server's
// reason), 未送信 and 不明 counts, why it stopped early, and the rows that did
// not get through. cmdResume (「未送信の宛先に送信」, accepted) is offered when
// the notice still has recipients not reached; cmdClose (rejected) is the
// default.
class SendSummaryDialog : public QDialog
{
    Q_OBJECT
public:
    SendSummaryDialog(const RunRecord &run, const QList<ResultRow> &rows, bool canResume,
                      QWidget *parent = nullptr);

    // The lines of counts, as shown ("送信済　8 通" …).
    QString countsText() const;

private:
    QLabel *lblCounts = nullptr;
    QTableWidget *grdResults = nullptr;
    QPushButton *cmdResume = nullptr;
    QPushButton *cmdClose = nullptr;
};

} // namespace lumivox
