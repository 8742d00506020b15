#include "notices/groupnames.h"

#include "db/tablemodel.h"

namespace lumivox {

bool loadGroupNames(TableModel &model, const QSqlDatabase &db, const LinkTable &links, qint64 key)
{
    const QString table = QStringLiteral("T_temp_グループ名称");
    if (fillGroupNames(db, links, key) && model.open(table))
        return true;
    // The heading stays, the rows go.
    if (!model.open(table, QStringLiteral("0")))
        model.close();
    return false;
}

} // namespace lumivox
