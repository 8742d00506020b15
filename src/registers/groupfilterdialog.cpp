#include "registers/groupfilterdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"
#include "app/placement.h"
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
    : QDialog(parent), m_context(context)
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
    placeDialog(this, m_context.iniPath(), kSection);
}

GroupFilterDialog::~GroupFilterDialog()
{
    unload();
}

void GroupFilterDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_activated)
        firstActivation();
}

void GroupFilterDialog::firstActivation()
{
    m_activated = true;
    // Every group, none ticked: the previous choice is not remembered.
    m_groups->loadGroups(m_context.iniPath(), kSection);
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

void GroupFilterDialog::done(int result)
{
    unload();
    QDialog::done(result);
}

void GroupFilterDialog::unload()
{
    if (m_unloaded || !m_activated)
        return;
    m_unloaded = true;
    m_groups->saveLayout(m_context.iniPath(), kSection);
}

} // namespace lumivox
