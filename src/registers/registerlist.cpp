#include "registers/registerlist.h"

#include "app/windowlayout.h"
#include "db/registerstore.h"
#include "db/tablemodel.h"

#include <utility>

namespace lumivox {

RegisterList::RegisterList(RegisterStore &store, QList<int> designColumnTwips, QWidget *parent)
    : SpreadGrid(parent), m_store(store), m_designColumnTwips(std::move(designColumnTwips))
{
    setObjectName(QStringLiteral("fpSpread1"));
    setMinimumWidth(60);
}

void RegisterList::bindRecords(const WindowLayout &layout)
{
    setUpdatesEnabled(false);
    bind(&m_store.list());
    for (int c = 2; c <= maxCols(); ++c) {
        if (const int design = m_designColumnTwips.value(c - 2, 0); design > 0)
            setColWidthTwips(c, design);
    }
    layout.restoreColumns(this);
    setActiveCell(2, 1);
    setUpdatesEnabled(true);
}

int RegisterList::rowCount() const
{
    return m_store.list().rowCount();
}

qint64 RegisterList::keyAt(int row) const
{
    return m_store.keyAt(row - 1);
}

QVariantMap RegisterList::record(int row) const
{
    const TableModel &list = m_store.list();
    QVariantMap values;
    for (const QString &field : list.fieldNames())
        values.insert(field, list.value(row - 1, field));
    return values;
}

bool RegisterList::narrow(const MemberCondition &condition, QString *error)
{
    const StoreResult opened = m_store.open(condition.where, condition.binds);
    if (opened) {
        m_condition = condition;
        return true;
    }
    if (!m_store.open(m_condition.where, m_condition.binds)) {
        m_condition = {};
        m_store.open();
    }
    if (error)
        *error = opened.error;
    return false;
}

bool RegisterList::selectWholeRows()
{
    if (!hasBlockSelection())
        return false;
    const Block b = selectedBlock();
    selectBlock(2, b.firstRow, std::max(2, b.lastCol), b.lastRow);
    return true;
}

bool RegisterList::copyRows()
{
    if (!selectWholeRows())
        return false;
    copyBlock();
    return true;
}

bool RegisterList::pasteRows()
{
    return selectWholeRows() && pasteBlock() > 0;
}

} // namespace lumivox
