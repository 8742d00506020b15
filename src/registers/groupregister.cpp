#include "registers/groupregister.h"

#include "db/registerstore.h"

namespace lumivox {

GroupRegister::GroupRegister(AppContext &context, QWidget *parent)
    : RegisterWindow(context,
                     RegisterDesign{
                         QStringLiteral("frmInpDBGroup"),
                         QStringLiteral("グループ登録"),
                         groupTable(),
                         QStringLiteral("InpDBGroup"),
                         {
                             {CardBox::Name, QStringLiteral("txtName"), QStringLiteral("グループ名称"), 50,
                              QStringLiteral("グループ名称　※５０字以内")},
                             {CardBox::Reading, QStringLiteral("txtFurigana"), QStringLiteral("フリガナ"), 50,
                              QStringLiteral("フリガナ　※５０字以内")},
                         },
                         false, // pane and column widths are written only when the window goes
                         9750,
                         5700,
                         6000,
                         {2700, 2700},
                     },
                     parent)
{
}

} // namespace lumivox
