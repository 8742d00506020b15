#include "shots.h"

#include "db/noticestore.h"
#include "notices/groupchooser.h"
#include "notices/noticeeditor.h"
#include "util/aboutdialog.h"

using namespace lumivox;

LUMIVOX_SCREENSHOT(notice_editor)
{
    NoticeStore notices(ctx.app.db());
    notices.open();
    NoticeEditor editor(ctx.app.context(), notices.notice(notices.rowOf(1)), {});
    editor.setWindowTitle(QStringLiteral("お知らせ編集"));
    ctx.save(&editor, QStringLiteral("notice_editor"));
}

LUMIVOX_SCREENSHOT(chooser_news)
{
    NoticeGroupChooser chooser(ctx.app.context(), 1, QStringLiteral("運動会のお知らせ"));
    ctx.save(&chooser, QStringLiteral("chooser_news"));
}

LUMIVOX_SCREENSHOT(chooser_member)
{
    MemberGroupChooser chooser(ctx.app.context(), 2, QStringLiteral("佐藤 花子"), QStringLiteral("様"));
    ctx.save(&chooser, QStringLiteral("chooser_member"));
}

LUMIVOX_SCREENSHOT(about_box)
{
    AboutDialog about(nullptr, QStringLiteral("/home/pta-yakuin/.local/share/lumivox"));
    ctx.save(&about, QStringLiteral("about_box"));
}
