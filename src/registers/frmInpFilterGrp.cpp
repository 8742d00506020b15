#include "registers/frmInpFilterGrp.h"

#include "app/messages.h"
#include "app/placement.h"
#include "notices/grouptickgrid.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivox {

namespace {

const QString kSection = QStringLiteral("InpFilterGrp");

} // namespace

frmInpFilterGrp::frmInpFilterGrp(AppContext &context, QWidget *parent)
    : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmInpFilterGrp"));
    setWindowTitle(QStringLiteral("グループで絞り込み"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *fraCaption = new QGroupBox(this);
    fraCaption->setObjectName(QStringLiteral("fraCaption"));
    auto *captionLayout = new QVBoxLayout(fraCaption);
    auto *txtCaption = new QPlainTextEdit(fraCaption);
    txtCaption->setObjectName(QStringLiteral("txtCaption"));
    txtCaption->setReadOnly(true);
    txtCaption->setFocusPolicy(Qt::NoFocus);
    txtCaption->setFrameShape(QFrame::NoFrame);
    txtCaption->viewport()->setAutoFillBackground(false);
    txtCaption->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtCaption->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtCaption->setPlainText(QStringLiteral("指定したグループで，データ一覧を絞り込むことができます。"
                                            "絞り込みは，常に全体に対して行います。\n"));
    txtCaption->setFixedHeight(txtCaption->fontMetrics().lineSpacing() * 3 + 8);
    captionLayout->addWidget(txtCaption);

    fpSpread1 = new GroupTickGrid(context.db(), this);
    QLabel *lblCaption = fpSpread1->createCaption(this);

    cmdOk = new QPushButton(QStringLiteral("OK(&O)"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    connect(cmdOk, &QPushButton::clicked, this, &frmInpFilterGrp::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmInpFilterGrp::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fraCaption);
    layout->addSpacing(4);
    layout->addWidget(lblCaption);
    layout->addWidget(fpSpread1, 1);
    layout->addLayout(buttons);
    setTabOrder(fpSpread1, cmdOk);
    setTabOrder(cmdOk, cmdCancel);

    GroupTickGrid::fixDialogSize(this);
    placeDialog(this, m_context.iniPath(), kSection);
}

frmInpFilterGrp::~frmInpFilterGrp()
{
    unload();
}

void frmInpFilterGrp::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_activated)
        firstActivation();
}

void frmInpFilterGrp::firstActivation()
{
    m_activated = true;
    // Every group, none ticked: the previous choice is not remembered.
    fpSpread1->loadGroups(m_context.iniPath(), kSection);
}

void frmInpFilterGrp::cmdOk_Click()
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

void frmInpFilterGrp::closeEvent(QCloseEvent *event)
{
    m_closeBox = true;
    QDialog::closeEvent(event);
}

void frmInpFilterGrp::done(int result)
{
    // Cancel and Esc answer "ｷｬﾝｾﾙ"; the close box leaves the answer empty.
    if (m_userTag.isEmpty() && result == QDialog::Rejected && !m_closeBox)
        m_userTag = QStringLiteral("ｷｬﾝｾﾙ");
    unload();
    QDialog::done(result);
}

void frmInpFilterGrp::unload()
{
    if (m_unloaded || !m_activated)
        return;
    m_unloaded = true;
    fpSpread1->saveLayout(m_context.iniPath(), kSection);
}

} // namespace lumivox
