#pragma once

#include "db/database.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace lumivox {

// A link table from a record (a notice or a member) to groups.
struct LinkTable {
    QString table;     // T_お知らせに対する宛先情報 or T_メンバーの登録グループ情報
    QString keyColumn; // NewsID or MemberID
};
const LinkTable &noticeDestinations();
const LinkTable &memberGroups();

// The refills of the work tables that several windows share. Each empties its
// tables and fills them again; false (with the reason in *error) when a statement
// fails.

// T_temp_グループ一覧 and T_temp_グループ名称: the names of the groups linked to
// one record, in the order the join yields them. Links to groups that no longer
// exist give no name. groupNamesRefill gives the statements, to run inside a
// transaction of the caller's.
bool fillGroupNames(const QSqlDatabase &db, const LinkTable &links, qint64 key,
                    QString *error = nullptr);
QList<SqlStatement> groupNamesRefill(const LinkTable &links, qint64 key);

// T_temp_グループ選択: one row per group, 選択 = 0. With links, the groups
// linked to `key` get 選択 = 1 (T_temp_グループ一覧 then holds those links).
bool fillGroupSelection(const QSqlDatabase &db, QString *error = nullptr);
bool fillGroupSelection(const QSqlDatabase &db, const LinkTable &links, qint64 key,
                        QString *error = nullptr);

// T_temp_送信リスト from the memberships of the given groups: one row per group
// and member, ordered by GroupID and then 名前; a link to a missing member or
// group still gives a row, with that side's columns Null.
bool fillSendList(const QSqlDatabase &db, const QList<int> &groupIds, QString *error = nullptr);

// T_temp_送信リスト from every member: members of no group (GroupID Null) first,
// a member of two groups twice, links to missing groups with a Null name.
bool fillMembersByGroup(const QSqlDatabase &db, QString *error = nullptr);

// --- notices -----------------------------------------------------------------

// The recipients of a notice: T_temp_グループ一覧 gets the notice's destination
// groups and *destinations their number; with at least one, T_temp_送信リスト is
// refilled from their memberships (fillSendList). With none it is left as it was.
bool fillNoticeSendList(const QSqlDatabase &db, qint64 newsId, int *destinations,
                        QString *error = nullptr);

} // namespace lumivox

// --- Member register: the list narrowed by a keyword or by groups ---------------

namespace lumivox {

// A condition on T_メンバー for the member list: an empty `where` is the whole
// table. Values reach SQL only as bound parameters. `description` says in words
// which members it selects (名前に「スズキ」を含むメンバー), for the register's status bar.
struct MemberCondition {
    QString where;
    QVariantList binds;
    QString description;
    bool isWholeTable() const { return where.isEmpty(); }
};

// Members whose column ("[名前]", "[フリガナ]" or "[E-Mail]", as the keyword filter
// names it) contains the keyword: like '%keyword%', % and _ in the keyword acting
// as wildcards, every other character (a quote too) standing for itself. Both
// sides are compared as a Japanese reader does (JMATCH): hiragana and katakana,
// full and half width, and letter case make no difference. Any other column
// gives a condition that matches nobody.
MemberCondition keywordCondition(const QString &userColName, const QString &keyword);

// The numbers of a list such as "(7,3,12)"; blanks are allowed, anything that is
// not a whole number is left out.
QList<qint64> parseIdList(const QString &list);

// Refills T_temp_グループ一覧 with the memberships of the groups of `groupList`
// ("(3,7)") and gives their members as "(" + MemberIDs joined by "," + ")", a
// member of two of the groups twice; "(999999)", a key no member has, when the
// groups have no member. Empty, with the reason in *error, when a statement fails.
QString buildMemberIdList(const QSqlDatabase &db, const QString &groupList,
                          QString *error = nullptr);

// Members whose MemberID is in a list such as "(1,4,4,9)".
MemberCondition memberIdCondition(const QString &idList);

// The names of the groups of a list such as "(3,7)", in the list's order; a
// group that does not exist gives no name. Empty, with the reason in *error,
// when the statement fails.
QStringList groupNamesOf(const QSqlDatabase &db, const QString &groupList, QString *error = nullptr);

} // namespace lumivox
