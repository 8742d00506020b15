#include "shots.h"

#include "app/spreadgrid.h"
#include "registers/groupregister.h"
#include "registers/memberregister.h"
#include "registers/groupfilterdialog.h"
#include "registers/keywordfilterdialog.h"
#include "app/keywordhistory.h"

#include <QComboBox>
#include <QRadioButton>

using lumivox::GroupRegister;
using lumivox::MemberRegister;
using lumivox::GroupFilterDialog;
using lumivox::KeywordFilterDialog;

namespace {

// A register on the sample data, shown and then prepared by `prepare`.
template <class Window>
void saveRegister(lumivox::shots::ShotContext &ctx, const QString &name, const std::function<void(Window &)> &prepare)
{
    Window window(ctx.app.context());
    window.show();
    prepare(window);
    ctx.save(&window, name);
}

} // namespace

LUMIVOX_SCREENSHOT(member_register)
{
    saveRegister<MemberRegister>(ctx, QStringLiteral("member_register"), [](auto &w) { w.list()->setActiveCell(5, 2); });
}

LUMIVOX_SCREENSHOT(member_register_list_only)
{
    saveRegister<MemberRegister>(ctx, QStringLiteral("member_register_list_only"),
                                 [](auto &w) { lumivox::test::clickTool(w, "ID_mnuDispCard"); });
}

LUMIVOX_SCREENSHOT(member_register_filtered)
{
    saveRegister<MemberRegister>(ctx, QStringLiteral("member_register_filtered"),
                                 [](auto &w) { w.filterByGroups(QStringLiteral("(1)")); });
}

LUMIVOX_SCREENSHOT(group_register)
{
    saveRegister<GroupRegister>(ctx, QStringLiteral("group_register"), [](auto &w) { w.list()->setActiveCell(2, 2); });
}

LUMIVOX_SCREENSHOT(group_register_list_only)
{
    saveRegister<GroupRegister>(ctx, QStringLiteral("group_register_list_only"),
                                [](auto &w) { lumivox::test::clickTool(w, "ID_mnuDispCard"); });
}

LUMIVOX_SCREENSHOT(filter_keyword)
{
    for (const char *k : {"ヤマ", "example.jp", "佐藤"})
        ctx.app.context().filterKeys->Add(QString::fromUtf8(k));
    KeywordFilterDialog dialog(ctx.app.context());
    dialog.show();
    dialog.findChild<QComboBox *>(QStringLiteral("cboKey"))->setEditText(QStringLiteral("ヤマ"));
    dialog.findChild<QRadioButton *>(QStringLiteral("optItem1"))->click();
    ctx.save(&dialog, QStringLiteral("filter_keyword"));
}

LUMIVOX_SCREENSHOT(filter_group)
{
    GroupFilterDialog dialog(ctx.app.context());
    dialog.show();
    auto *grid = dialog.findChild<lumivox::SpreadGrid *>(QStringLiteral("fpSpread1"));
    grid->setText(2, 2, QStringLiteral("1"));
    grid->setText(2, 4, QStringLiteral("1"));
    ctx.save(&dialog, QStringLiteral("filter_group"));
}
