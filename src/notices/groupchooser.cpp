#include "notices/groupchooser.h"

#include "app/dialogparts.h"
#include "app/messages.h"
#include "app/placement.h"
#include "db/database.h"
#include "notices/grouptickgrid.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

namespace lumivox {

GroupChooser::GroupChooser(AppContext &context, const GroupChooserDesign &design, QWidget *parent)
    : QDialog(parent), m_context(context), m_design(design)
{
    setObjectName(design.objectName);
    setWindowTitle(design.title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_numID = new QSpinBox(this);
    m_numID->setObjectName(design.idBoxName);
    m_numID->setRange(0, INT_MAX);
    m_numID->hide();

    m_lblName = new QLabel(design.nameDesign, this);
    m_lblName->setObjectName(QStringLiteral("lblName"));
    m_lblName->setWordWrap(true);
    QFont bold = m_lblName->font();
    bold.setBold(true);
    m_lblName->setFont(bold);

    m_lblMemo = new QLabel(design.memo, this);
    m_lblMemo->setObjectName(QStringLiteral("lblMemo"));
    m_lblMemo->setWordWrap(true);

    fpSpread1 = new GroupTickGrid(context.db(), this);
    m_lblCaption = fpSpread1->createCaption(this);

    const DialogButtons buttons = okCancelButtons(this);
    cmdOk = buttons.ok;
    cmdCancel = buttons.cancel;
    connect(cmdOk, &QPushButton::clicked, this, &GroupChooser::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &GroupChooser::cmdCancel_Click);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblName);
    layout->addWidget(m_lblMemo);
    layout->addSpacing(6);
    layout->addWidget(m_lblCaption);
    layout->addWidget(fpSpread1, 1);
    layout->addLayout(buttons.row);

    setTabOrder(fpSpread1, cmdOk);
    setTabOrder(cmdOk, cmdCancel);

    GroupTickGrid::fixDialogSize(this);
}

GroupChooser::~GroupChooser() = default;

void GroupChooser::setRecordKey(qint64 key)
{
    m_numID->setValue(static_cast<int>(key));
}

qint64 GroupChooser::recordKey() const
{
    return m_numID->value();
}

// The load step and the first activation run together, just before the window
// is first shown, so that the opener's LoadData handler has put the key in place
// before the list is filled.
void GroupChooser::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    if (!m_activated)
        Form_Activate();
    QDialog::showEvent(event);
}

void GroupChooser::Form_Load()
{
    placeDialog(this, m_context.iniPath(), m_design.section);
    Q_EMIT LoadData();
}

void GroupChooser::Form_Activate()
{
    m_activated = true;
    // Leftovers of another record in the work table must never be written as
    // this record's links: when the list cannot be loaded, OK is refused.
    m_selectionReady = fpSpread1->loadGroups(*m_design.links, recordKey(), m_context.iniPath(),
                                             m_design.section);
    if (!m_selectionReady)
        cmdOk->setEnabled(false);
}

void GroupChooser::cmdOk_Click()
{
    if (!m_selectionReady)
        return;
    const qint64 key = recordKey();
    const LinkTable &links = *m_design.links;
    // The old links go and the new ones come in one transaction: a failure
    // leaves the record's links as they were.
    QList<SqlStatement> statements{
        {QStringLiteral("delete from %1 where %2 = ?").arg(quoted(links.table), quoted(links.keyColumn)),
         {key}}};
    for (const QVariant &groupId : fpSpread1->tickedGroupIds()) {
        statements << SqlStatement{
            QStringLiteral("insert into %1 values (?, ?)").arg(quoted(links.table)), {key, groupId}};
    }
    QString error;
    if (!executeAll(m_context.db(), statements, &error)) {
        reportWriteFailure(this, QStringLiteral("選択したグループ"), error);
        return;
    }
    m_usrTag = QStringLiteral("OK");
    accept();
}

void GroupChooser::cmdCancel_Click()
{
    m_usrTag = QStringLiteral("ｷｬﾝｾﾙ");
    reject();
}

// Esc is the Cancel button; the close box alone leaves UsrTag empty.
void GroupChooser::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void GroupChooser::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void GroupChooser::Form_Unload()
{
    if (m_unloaded || !m_loaded)
        return;
    m_unloaded = true;
    fpSpread1->saveLayout(m_context.iniPath(), m_design.section);
    fpSpread1->release();
}

// ---------------------------------------------------------------------------

NoticeGroupChooser::NoticeGroupChooser(AppContext &context, QWidget *parent)
    : GroupChooser(context, Design(), parent)
{
}

const GroupChooserDesign &NoticeGroupChooser::Design()
{
    static const GroupChooserDesign design{
        QStringLiteral("frmSelGroupforNews"),
        QStringLiteral("宛先グループの登録"),
        QStringLiteral("numNewsID"),
        QStringLiteral("宛先グループを以下の一覧表より選択して下さい。"),
        QStringLiteral("お知らせ「○○の件」を連絡する"),
        &noticeDestinations(),
        QStringLiteral("SelGroupforNews"),
    };
    return design;
}

MemberGroupChooser::MemberGroupChooser(AppContext &context, QWidget *parent)
    : GroupChooser(context, Design(), parent)
{
}

const GroupChooserDesign &MemberGroupChooser::Design()
{
    static const GroupChooserDesign design{
        QStringLiteral("frmSelGroupforMember"),
        QStringLiteral("所属グループの登録"),
        QStringLiteral("numMemberID"),
        QStringLiteral("所属するグループを以下の一覧表より選択して下さい。"),
        QStringLiteral("●●　●●　さん が"),
        &memberGroups(),
        QStringLiteral("SelGroupforMember"),
    };
    return design;
}

} // namespace lumivox
