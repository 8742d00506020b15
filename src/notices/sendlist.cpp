#include "notices/sendlist.h"

#include "db/worktables.h"

namespace lumivox {

StoreResult makeSendList(const QSqlDatabase &db, qint64 newsId)
{
    int destinations = 0;
    QString error;
    if (!fillNoticeSendList(db, newsId, &destinations, &error))
        return StoreResult::failed(QStringLiteral("送信リスト"), error);
    if (destinations == 0)
        return StoreResult::refused(QString::fromUtf8(kNoDestinationMessage));
    return StoreResult::done();
}

} // namespace lumivox
