#include "registers/frmInpFilterGrp.h"

#include "app/messages.h"
#include "app/placement.h"
#include "app/privateprofile.h"
#include "app/spreadgrid.h"
#include "db/tablemodel.h"
#include "db/worktables.h"

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
const QString kSelectionTable = QStringLiteral("T_temp_グループ選択");
// Design widths of the tick and name columns, as in the group choosers.
constexpr int kTickColumnTwips = 600;
constexpr int kNameColumnTwips = 4600;

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

    auto *lblCaption = new QLabel(QStringLiteral("■ 登録グループ一覧"), this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    fpSpread1 = new SpreadGrid(this);
    fpSpread1->setObjectName(QStringLiteral("fpSpread1"));
    // Only the ticks are edited here.
    fpSpread1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fpSpread1->setSelectionMode(QAbstractItemView::SingleSelection);
    lblCaption->setBuddy(fpSpread1);

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

    m_selection = new TableModel(context.db(), this);
    connect(m_selection, &TableModel::writeFailed, this, [this](const QString &reason) {
        reportWriteFailure(this, QStringLiteral("グループの選択"), reason);
    });

    setFixedSize(twipsToPxX(6000, this), twipsToPxY(6300, this));
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
    fpSpread1->setUpdatesEnabled(false);
    // Every group, none ticked: the previous choice is not remembered.
    QString error;
    if (!fillGroupSelection(m_context.db(), &error) || !m_selection->open(kSelectionTable)) {
        if (error.isEmpty())
            error = m_selection->lastError();
        m_selection->close();
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                informUser(this, QStringLiteral("グループの一覧を読み込めませんでした。\n\n詳細：") + error);
            },
            Qt::QueuedConnection);
    }
    fpSpread1->bind(m_selection);
    fpSpread1->setCheckBoxColumn(2);
    fpSpread1->setColWidthTwips(2, kTickColumnTwips);
    fpSpread1->setColWidthTwips(3, kNameColumnTwips);
    const CPrivateProfile profile;
    for (int c = 1; c <= fpSpread1->maxCols(); ++c) {
        const int width = profile.GetValueLong(m_context.iniPath(), kSection, QStringLiteral("C") + QString::number(c));
        if (width > 0)
            fpSpread1->setColWidthTwips(c, width);
    }
    fpSpread1->setColWidthTwips(1, 0);
    fpSpread1->setUpdatesEnabled(true);
    if (fpSpread1->maxRows() > 0)
        fpSpread1->setActiveCell(2, 1);
    fpSpread1->setFocus();
}

void frmInpFilterGrp::cmdOk_Click()
{
    QStringList ids;
    const int tick = m_selection->fieldIndex(QStringLiteral("選択"));
    const int id = m_selection->fieldIndex(QStringLiteral("GroupID"));
    for (int r = 0; r < m_selection->rowCount(); ++r) {
        if (m_selection->value(r, tick).toInt() != 0) // Null counts as not ticked
            ids << QString::number(m_selection->value(r, id).toLongLong());
    }
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
    const QString ini = m_context.iniPath();
    saveDialogPosition(this, ini, kSection);
    const CPrivateProfile profile;
    for (int c = 1; c <= fpSpread1->maxCols(); ++c) {
        profile.SetValueString(ini, kSection, QStringLiteral("C") + QString::number(c),
                               QString::number(fpSpread1->colWidthTwips(c)));
    }
}

} // namespace lumivox
