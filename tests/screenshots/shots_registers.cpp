#include "shots.h"

#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "registers/frmInpDBGroup.h"
#include "registers/frmInpDBMember.h"
#include "registers/frmInpFilterGrp.h"
#include "registers/frmInpFilterKey.h"
#include "registers/colfilterkey.h"

#include <QAction>
#include <QComboBox>
#include <QRadioButton>

using lumivox::frmInpDBGroup;
using lumivox::frmInpDBMember;
using lumivox::frmInpFilterGrp;
using lumivox::frmInpFilterKey;

LUMIVOX_SCREENSHOT(member_register)
{
    frmInpDBMember window(ctx.app.context());
    window.show();
    window.list()->setActiveCell(5, 2);
    ctx.save(&window, QStringLiteral("member_register"));
}

LUMIVOX_SCREENSHOT(member_register_list_only)
{
    frmInpDBMember window(ctx.app.context());
    window.show();
    window.tools()->tool(QStringLiteral("ID_mnuDispCard"))->trigger();
    ctx.save(&window, QStringLiteral("member_register_list_only"));
}

LUMIVOX_SCREENSHOT(member_register_filtered)
{
    frmInpDBMember window(ctx.app.context());
    window.show();
    window.FilterByGroups(QStringLiteral("(1)"));
    ctx.save(&window, QStringLiteral("member_register_filtered"));
}

LUMIVOX_SCREENSHOT(group_register)
{
    frmInpDBGroup window(ctx.app.context());
    window.show();
    window.list()->setActiveCell(2, 2);
    ctx.save(&window, QStringLiteral("group_register"));
}

LUMIVOX_SCREENSHOT(group_register_list_only)
{
    frmInpDBGroup window(ctx.app.context());
    window.show();
    window.tools()->tool(QStringLiteral("ID_mnuDispCard"))->trigger();
    ctx.save(&window, QStringLiteral("group_register_list_only"));
}

LUMIVOX_SCREENSHOT(filter_keyword)
{
    for (const char *k : {"ヤマ", "example.jp", "佐藤"})
        ctx.app.context().filterKeys->Add(QString::fromUtf8(k));
    frmInpFilterKey dialog(ctx.app.context());
    dialog.show();
    dialog.findChild<QComboBox *>(QStringLiteral("cboKey"))->setEditText(QStringLiteral("ヤマ"));
    dialog.findChild<QRadioButton *>(QStringLiteral("optItem1"))->click();
    ctx.save(&dialog, QStringLiteral("filter_keyword"));
}

LUMIVOX_SCREENSHOT(filter_group)
{
    frmInpFilterGrp dialog(ctx.app.context());
    dialog.show();
    auto *grid = dialog.findChild<lumivox::SpreadGrid *>(QStringLiteral("fpSpread1"));
    grid->setText(2, 2, QStringLiteral("1"));
    grid->setText(2, 4, QStringLiteral("1"));
    ctx.save(&dialog, QStringLiteral("filter_group"));
}
