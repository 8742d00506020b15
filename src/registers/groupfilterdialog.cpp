#include "registers/groupfilterdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"
#include "app/placement.h"
#include "notices/grouptickgrid.h"

#include <QCloseEvent>
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

    fpSpread1 = new GroupTickGrid(context.db(), this);
    QLabel *lblCaption = fpSpread1->createCaption(this);

    const DialogButtons buttons = okCancelButtons(this);
    cmdOk = buttons.ok;
    cmdCancel = buttons.cancel;
    connect(cmdOk, &QPushButton::clicked, this, &GroupFilterDialog::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &GroupFilterDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fraCaption);
    layout->addSpacing(4);
    layout->addWidget(lblCaption);
    layout->addWidget(fpSpread1, 1);
    layout->addLayout(buttons.row);
    setTabOrder(fpSpread1, cmdOk);
    setTabOrder(cmdOk, cmdCancel);

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
    fpSpread1->loadGroups(m_context.iniPath(), kSection);
}

void GroupFilterDialog::cmdOk_Click()
{
    QStringList ids;
    for (const QVariant &id : fpSpread1->tickedGroupIds())
        ids << QString::number(id.toLongLong());
    if (ids.isEmpty()) {
        informUser(this, QStringLiteral("絞り込みを行うｸﾞﾙｰﾌﾟはひとつ以上選択してください。"));
        return;
    }
    m_userGroup = u'(' + ids.join(u',') + u')';
    m_userTag = QStringLiteral("OK");
    accept();
}

void GroupFilterDialog::closeEvent(QCloseEvent *event)
{
    m_closeBox = true;
    QDialog::closeEvent(event);
}

void GroupFilterDialog::done(int result)
{
    // Cancel and Esc answer "ｷｬﾝｾﾙ"; the close box leaves the answer empty.
    if (m_userTag.isEmpty() && result == QDialog::Rejected && !m_closeBox)
        m_userTag = QStringLiteral("ｷｬﾝｾﾙ");
    unload();
    QDialog::done(result);
}

void GroupFilterDialog::unload()
{
    if (m_unloaded || !m_activated)
        return;
    m_unloaded = true;
    fpSpread1->saveLayout(m_context.iniPath(), kSection);
}

} // namespace lumivox
