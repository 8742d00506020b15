#include "registers/groupregister.h"

#include "app/messages.h"
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

// A group's memberships and its place among notices' destinations go with it;
// the members and the notices stay.
QString GroupRegister::deletionQuestion(const QString &name, const QList<int> &linkCounts) const
{
    const QString text = name.isEmpty() ? QStringLiteral("このグループを削除しますか？")
                                        : QStringLiteral("グループ「%1」を削除しますか？").arg(name);
    return text + QStringLiteral("\n\nこのグループへのメンバーの所属%1と，お知らせの宛先としての指定%2も"
                                 "削除されます。メンバーとお知らせそのものは残ります。")
                      .arg(itemCount(linkCounts.value(0, -1)), itemCount(linkCounts.value(1, -1)));
}

} // namespace lumivox
