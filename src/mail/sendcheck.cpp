#include "mail/sendcheck.h"

#include "mail/mailaddress.h"

#include <algorithm>

namespace lumivox {

namespace {

const QString kReplaced = QStringLiteral("（「〓」に置き換えて送信されます）");

QString uncarriableText(const QList<UncarriableText> &found)
{
    return describeUncarriable(found).join(QStringLiteral("；")) + kReplaced;
}

} // namespace

QList<SendProblem> findSendProblems(const SendPlan &plan)
{
    QList<SendProblem> problems;
    // What every mail shares: the plan without its rows.
    SendPlan shared = plan;
    shared.rows.clear();
    for (const UncarriableText &found : findUncarriable(shared))
        problems << SendProblem{-1, {}, {}, {}, uncarriableText({found})};

    SendPlan one;
    one.options = plan.options; // the character set, and which lines are added
    for (qsizetype i = 0; i < plan.rows.size(); ++i) {
        const Recipient &row = plan.rows.at(i);
        if (!row.skipReason.isEmpty())
            continue;
        const SendProblem base{int(i), row.groupName, row.name, row.address};
        if (row.address.isEmpty()) {
            SendProblem p = base;
            p.what = row.name.isEmpty() ? QStringLiteral("メンバーが登録されていません（削除されたメンバー）")
                                        : QStringLiteral("E-Mail が入力されていません");
            p.leavesRowOut = true;
            problems << p;
        } else if (const QString why = mailAddressProblem(row.address); !why.isEmpty()) {
            SendProblem p = base;
            p.what = QStringLiteral("E-Mail が正しくありません：") + why;
            p.leavesRowOut = true;
            problems << p;
        }
        one.rows = {row};
        if (const QList<UncarriableText> found = findUncarriable(one); !found.isEmpty()) {
            SendProblem p = base;
            p.what = uncarriableText(found);
            problems << p;
        }
    }
    return problems;
}

QList<int> rowsLeftOut(const QList<SendProblem> &problems)
{
    QList<int> rows;
    for (const SendProblem &p : problems) {
        if (p.leavesRowOut && !rows.contains(p.row))
            rows << p.row;
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace lumivox
