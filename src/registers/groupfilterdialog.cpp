#include "registers/groupfilterdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"
#include "notices/grouptickgrid.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivox {

namespace {

const QString kSection = QStringLiteral("InpFilterGrp");

} // namespace

GroupFilterDialog::GroupFilterDialog(AppContext &context, QWidget *parent)
    : QDialog(parent), m_context(context), m_layout(this, context, kSection, WindowLayout::Kind::Dialog)
{
    setObjectName(QStringLiteral("frmInpFilterGrp"));
    setWindowTitle(QStringLiteral("グループで絞り込み"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    QFrame *fraCaption = explanationFrame(
        this, QStringLiteral("指定したグループで，データ一覧を絞り込むことができます。"
                             "絞り込みは，常に全体に対して行います。\n"));

    m_groups = new GroupTickGrid(context.db(), this);
    QLabel *lblCaption = m_groups->createCaption(this);

    const DialogButtons buttons = okCancelButtons(this);
    connect(buttons.ok, &QPushButton::clicked, this, &GroupFilterDialog::confirm);
    connect(buttons.cancel, &QPushButton::clicked, this, &GroupFilterDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fraCaption);
    layout->addSpacing(4);
    layout->addWidget(lblCaption);
    layout->addWidget(m_groups, 1);
    layout->addLayout(buttons.row);
    setTabOrder(m_groups, buttons.ok);
    setTabOrder(buttons.ok, buttons.cancel);

    GroupTickGrid::fixDialogSize(this);
    m_layout.keepColumns(m_groups);
    // Every group, none ticked: the previous choice is not remembered.
    m_lifecycle.onFirstShow([this] { m_groups->loadGroups(m_context.iniPath(), kSection); });
}

void GroupFilterDialog::confirm()
{
    QStringList ids;
    for (const QVariant &id : m_groups->tickedGroupIds())
        ids << QString::number(id.toLongLong());
    if (ids.isEmpty()) {
        informUser(this, QStringLiteral("絞り込みを行うｸﾞﾙｰﾌﾟはひとつ以上選択してください。"));
        return;
    }
    m_groupList = u'(' + ids.join(u',') + u')';
    accept();
}

} // namespace lumivox
