#include "notices/sendlist.h"

#include "db/worktables.h"

namespace lumivox {

StoreResult makeSendList(const QSqlDatabase &db, qint64 newsId)
{
    int destinations = 0;
    QString error;
    if (!fillNoticeSendList(db, newsId, &destinations, &error))
        return StoreResult::failed(error);
    if (destinations == 0)
        return StoreResult::refuse(QString::fromUtf8(kNoDestinationMessage));
    return {};
}

} // namespace lumivox
