#pragma once

#include "db/storeresult.h"

#include <QSqlDatabase>

namespace lumivox {

// The message of a notice without destination groups.
inline constexpr auto kNoDestinationMessage =
    "お知らせの宛先が選択されていません。宛先ｸﾞﾙｰﾌﾟを必ず選択してください。";

// Computes the recipients of a notice into T_temp_送信リスト: one row per
// destination group and member of it, by GroupID and then 名前 (a member of two
// destination groups is listed twice; a membership of a member that no longer
// exists gives a row with empty name and address). A notice without destination
// groups is refused with the message above and leaves T_temp_送信リスト as it
// was. Used by the Send command and the check list.
StoreResult makeSendList(const QSqlDatabase &db, qint64 newsId);

} // namespace lumivox
