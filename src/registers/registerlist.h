#pragma once

#include "app/spreadgrid.h"
#include "db/worktables.h"

#include <QList>
#include <QVariantMap>

namespace lumivox {

class RegisterStore;
class WindowLayout;

// The list of a register (fpSpread1): the grid over the records its store
// lists, the key in a hidden first column, and the list narrowed by a condition.
// Rows are counted from 1, as the grid counts them.
class RegisterList : public SpreadGrid
{
    Q_OBJECT
public:
    RegisterList(RegisterStore &store, QList<int> designColumnTwips, QWidget *parent = nullptr);

    RegisterStore &store() const { return m_store; }

    // Binds the grid to the listed records: the design widths of the columns,
    // then those the layout keeps, the key hidden, row 1 active.
    void bindRecords(const WindowLayout &layout);

    int rowCount() const;
    qint64 keyAt(int row) const;
    QVariantMap record(int row) const;

    // Lists the records a condition selects (the whole table for an empty one).
    // When that fails the list keeps what it showed before (or else shows the
    // whole table) and the reason is returned; the caller binds again either way.
    bool narrow(const MemberCondition &condition, QString *error);
    bool isNarrowed() const { return !m_condition.isWholeTable(); }
    const MemberCondition &condition() const { return m_condition; }

    // Selects the rows of the selected block from column 2 (the key is never
    // taken) to the block's last column and copies them, or pastes over them.
    // False when no block is selected (or nothing was pasted).
    bool copyRows();
    bool pasteRows();

private:
    bool selectWholeRows();

    RegisterStore &m_store;
    QList<int> m_designColumnTwips; // column 2 onwards
    MemberCondition m_condition;
};

} // namespace lumivox
