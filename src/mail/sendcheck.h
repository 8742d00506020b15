#pragma once

#include "mail/sendrun.h"

#include <QList>
#include <QString>

namespace lumivox {

// The check before the first mail of a run: every recipient's address, and
// every text ISO-2022-JP cannot carry, found at once rather than when its turn
// comes.

// One thing wrong.
struct SendProblem {
    int row = -1; // index into the plan's rows; -1 for a text every mail shares
    QString groupName;
    QString name;
    QString address;
    QString what = {}; // in Japanese
    // The row's mail cannot go at all (its address): when the user goes on,
    // the row is left out and recorded as 未送信 with `what`. Otherwise the
    // mail goes with the characters replaced by 〓.
    bool leavesRowOut = false;
};

// The problems of a plan, in the order of its rows: first the texts every mail
// shares (subject, body, sender's name), then per row its address and its
// group name, name and honorific. Rows already left out are not checked.
QList<SendProblem> findSendProblems(const SendPlan &plan);

// The rows the problems leave out, ascending.
QList<int> rowsLeftOut(const QList<SendProblem> &problems);

} // namespace lumivox
