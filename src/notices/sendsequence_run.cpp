// The send sequence opens the mail windows, so it lives with the main window
// (lumivox_main) rather than in lumivox_notices, which the mail area builds on.
#include "notices/sendsequence.h"

#include "app/messages.h"
#include "db/database.h"
#include "mail/frmInpSubmit.h"
#include "mail/frmSendMail.h"

#include <QCoreApplication>
#include <QDateTime>

namespace lumivox {

QString SendNotice(QWidget *window, AppContext &context, int newsId)
{
    const QSqlDatabase db = context.db();
    if (!MakeSendList(window, db, newsId))
        return {};
    if (scalar(db, {QStringLiteral("select count(*) from T_temp_送信リスト")}).toInt() < 1) {
        informUser(window, QStringLiteral("指定した宛先ｸﾞﾙｰﾌﾟに所属するﾒﾝﾊﾞｰはいませんでした。送信を中止します。"));
        return {};
    }
    {
        frmInpSubmit options(context, window);
        options.exec();
        if (options.UserTag() == QStringLiteral("ｷｬﾝｾﾙ"))
            return {};
    }
    {
        frmSendMail sending(context, window);
        sending.setNewsId(newsId);
        sending.exec();
    }
    // The time the window closed, however the run ended.
    const QString sentAt = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    QString error;
    if (!execute(db, {QStringLiteral("update T_お知らせ set 送信日時 = ? where NewsID = ?"), {sentAt, newsId}},
                 &error))
        reportWriteFailure(window, QStringLiteral("送信日時"), error);
    QCoreApplication::processEvents();
    return sentAt;
}

} // namespace lumivox
