#include "registers/groupregister.h"

#include "db/keys.h"
#include "registers/memberfilters.h"

namespace lumivox {

GroupRegister::GroupRegister(AppContext &context, QWidget *parent)
    : RegisterWindow(context, Design(), parent)
{
}

RegisterDesign GroupRegister::Design()
{
    return RegisterDesign{
        QStringLiteral("frmInpDBGroup"),
        QStringLiteral("グループ登録"),
        QStringLiteral("T_グループ"),
        QStringLiteral("GroupID"),
        kMaxGroups,
        QStringLiteral("InpDBGroup"),
        {
            {CardBox::Name, QStringLiteral("txtName"), QStringLiteral("グループ名称"), 50,
             QStringLiteral("グループ名称　※５０字以内")},
            {CardBox::Reading, QStringLiteral("txtFurigana"), QStringLiteral("フリガナ"), 50,
             QStringLiteral("フリガナ　※５０字以内")},
        },
        // A deleted group leaves every member's groups and every notice's destinations.
        {{QStringLiteral("T_メンバーの登録グループ情報"), QStringLiteral("GroupID")},
         {QStringLiteral("T_お知らせに対する宛先情報"), QStringLiteral("GroupID")}},
        false, // moving the splitter writes nothing
        false, // nor does resizing a column
        9750,
        5700,
        6000,
        {2700, 2700},
    };
}

QVariantMap GroupRegister::newRecordValues(int key) const
{
    const QString name = defaultGroupName(key);
    return {{QStringLiteral("GroupID"), key},
            {QStringLiteral("グループ名称"), name},
            {QStringLiteral("フリガナ"), name}};
}

} // namespace lumivox
