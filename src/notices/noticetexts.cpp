#include "notices/noticetexts.h"

#include "db/tablemodel.h"

namespace lumivox {

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString currentTimeText()
{
    return timeText(QDateTime::currentDateTime());
}

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
