#include "mainwindow/sendcommand.h"

#include "app/messages.h"
#include "db/noticestore.h"
#include "mail/sendoptionsdialog.h"
#include "mail/sendingwindow.h"
#include "notices/sendlist.h"

#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

SendOutcome sendNotice(QWidget *window, AppContext &context, qint64 newsId)
{
    const QSqlDatabase db = context.db();
    const StoreResult list = makeSendList(db, newsId);
    if (!list)
        return {{}, list};
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("select count(*) from T_temp_送信リスト")) || !count.next()) {
        // A list that cannot be read is a failure, not an empty list.
        return {{}, StoreResult::refuse(QStringLiteral("送信リストを読み込めませんでした。送信を中止します。\n\n詳細：")
                                         + count.lastError().text())};
    }
    if (count.value(0).toLongLong() < 1)
        return {{}, StoreResult::refuse(QStringLiteral("指定した宛先ｸﾞﾙｰﾌﾟに所属するﾒﾝﾊﾞｰはいませんでした。送信を中止します。"))};
    {
        SendOptionsDialog options(context, window);
        if (runModal(options) != QDialog::Accepted) // ｷｬﾝｾﾙ, Esc or the close box
            return {};
    }
    {
        SendingWindow sending(context, window);
        sending.setNewsId(newsId);
        runModal(sending);
        // Stopped at the question about characters that cannot be carried:
        // nothing was sent, so nothing is recorded, as after ｷｬﾝｾﾙ above.
        if (!sending.sendingStarted())
            return {};
    }
    return {currentTimeText(), {}};
}

} // namespace lumivox
