#include "shots.h"

#include "notices/noticeeditor.h"
#include "notices/groupchooser.h"
#include "util/aboutdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace lumivox;

LUMIVOX_SCREENSHOT(notice_editor)
{
    NoticeEditor editor(ctx.app.context());
    editor.setUsrCaption(QStringLiteral("お知らせ編集"));
    QObject::connect(&editor, &NoticeEditor::LoadData, &editor, [&] {
        auto text = [&](const QString &column) {
            return ctx.app.scalar(QStringLiteral("select %1 from T_お知らせ where NewsID = 1").arg(column)).toString();
        };
        editor.setNewsId(1);
        editor.txtTitle()->setText(text(QStringLiteral("見出し")));
        editor.RichTextBox1()->setPlainText(text(QStringLiteral("本文")).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        editor.txtDateCreate()->setText(text(QStringLiteral("作成日時")));
        editor.txtDateSubmit()->setText(text(QStringLiteral("送信日時")));
    });
    ctx.save(&editor, QStringLiteral("notice_editor"));
}

namespace {

// A group chooser loaded, as its opener loads it, for the record `key`.
template <class Chooser>
void saveChooser(shots::ShotContext &ctx, int key, const QString &label, const QString &name)
{
    Chooser chooser(ctx.app.context());
    QObject::connect(&chooser, &GroupChooser::LoadData, &chooser, [&] {
        chooser.setRecordKey(key);
        chooser.lblName()->setText(label);
    });
    ctx.save(&chooser, name);
}

} // namespace

LUMIVOX_SCREENSHOT(chooser_news)
{
    saveChooser<NoticeGroupChooser>(ctx, 1, QStringLiteral("お知らせ「運動会のお知らせ」を連絡する"),
                                    QStringLiteral("chooser_news"));
}

LUMIVOX_SCREENSHOT(chooser_member)
{
    saveChooser<MemberGroupChooser>(ctx, 2, QStringLiteral("佐藤 花子 様 が"), QStringLiteral("chooser_member"));
}

LUMIVOX_SCREENSHOT(about_box)
{
    AboutDialog about;
    ctx.save(&about, QStringLiteral("about_box"));
}
