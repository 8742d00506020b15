#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

namespace lumivox {

// A condition on T_メンバー for its list: empty `where` means the whole table.
// Values reach SQL only as bound parameters.
struct MemberCondition {
    QString where;
    QVariantList binds;
    bool isWholeTable() const { return where.isEmpty(); }
};

// The column a keyword filter searches, from the dialog's "[名前]", "[フリガナ]" or
// "[E-Mail]"; empty for anything else.
QString filterColumn(const QString &userColName);

// Members whose column contains the keyword: like '%keyword%', with % and _ in the
// keyword acting as wildcards and every other character (a quote included)
// standing for itself. An unknown column gives a condition matching nobody.
MemberCondition keywordCondition(const QString &userColName, const QString &keyword);

// The numbers of a list such as "(7,3,12)"; blanks are allowed, anything that
// is not a whole number is left out.
QList<qint64> parseIdList(const QString &list);

// The members of the groups of `groupList` ("(3,7)") as "(" + MemberIDs joined
// by "," + ")", through T_temp_グループ一覧; "(999999)" when the groups have no
// member. A member of two of the groups appears twice. Empty, with the reason in
// *error, when a statement fails.
QString BuildMemberIdList(const QSqlDatabase &db, const QString &groupList, QString *error = nullptr);

// Members whose MemberID is in a list such as "(1,4,4,9)".
MemberCondition memberIdCondition(const QString &idList);

// The name and reading a new group starts with: "グループ" and its number, in
// full width (7 gives グループ７, 12 gives グループ１２).
QString defaultGroupName(int groupId);

} // namespace lumivox
