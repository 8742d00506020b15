#pragma once

#include "app/spreadgrid.h"
#include "db/worktables.h"

#include <QList>
#include <QSqlDatabase>
#include <QVariant>

class QLabel;
class QWidget;

namespace lumivox {

class TableModel;

// The tick list of the group dialogs (the two group choosers and the group
// filter of the member register): every group of T_temp_グループ選択, a tick
// column drawn with the two pictures, the name beside it and GroupID hidden.
// Only the ticks change here, and each change is written to the work table at
// once; a refused write is reported to the user.
class GroupTickGrid : public SpreadGrid
{
    Q_OBJECT
public:
    GroupTickGrid(const QSqlDatabase &db, QWidget *parent);

    // The "■ 登録グループ一覧" caption above the list, its buddy.
    QLabel *createCaption(QWidget *parent);
    // Gives a dialog holding the list its fixed design size.
    static void fixDialogSize(QWidget *dialog);

    // Refills the work table with every group, none ticked, or with the groups
    // linked to `key` ticked, and shows it: design widths, then the widths of
    // the settings section, GroupID hidden, the first tick active. When the
    // refill or the read fails the list is empty, the user is told once the
    // window is on the screen, and false is returned: leftovers of another
    // record in the work table are never shown.
    bool loadGroups(const QString &iniPath, const QString &section);
    bool loadGroups(const LinkTable &links, qint64 key, const QString &iniPath,
                    const QString &section);

    // The keys of the ticked groups, in the order of the list (Null counts as
    // not ticked).
    QList<QVariant> tickedGroupIds() const;

    // Lets go of the work table.
    void release();

private:
    bool showLoaded(bool filled, QString error, const QString &iniPath, const QString &section);

    QSqlDatabase m_db;
    TableModel *m_selection = nullptr;
};

} // namespace lumivox
