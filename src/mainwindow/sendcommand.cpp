#include "mainwindow/sendcommand.h"

#include "app/messages.h"
#include "mail/sendoptionsdialog.h"
#include "mail/sendingwindow.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

QString SendNotice(QWidget *window, AppContext &context, int newsId)
{
    const QSqlDatabase db = context.db();
    if (!MakeSendList(window, db, newsId))
        return {};
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("select count(*) from T_temp_送信リスト")) || !count.next()) {
        // A list that cannot be read is a failure, not an empty list.
        informUser(window, QStringLiteral("送信リストを読み込めませんでした。送信を中止します。\n\n詳細：")
                               + count.lastError().text());
        return {};
    }
    if (count.value(0).toLongLong() < 1) {
        informUser(window, QStringLiteral("指定した宛先ｸﾞﾙｰﾌﾟに所属するﾒﾝﾊﾞｰはいませんでした。送信を中止します。"));
        return {};
    }
    {
        SendOptionsDialog options(context, window);
        if (runModal(options) != QDialog::Accepted)
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
    // The time the window closed, however the run ended. The caller writes it
    // once, through its list, which updates the row and the table together.
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

} // namespace lumivox
