#include "notices/groupchooser.h"

#include "app/dialogparts.h"
#include "db/grouplinks.h"
#include "notices/grouptickgrid.h"
#include "notices/resultmessage.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivox {

GroupChooser::GroupChooser(AppContext &context, const GroupChooserDesign &design, qint64 key,
                           const QString &name, QWidget *parent)
    : QDialog(parent),
      m_context(context),
      m_design(design),
      m_layout(this, context, design.section, WindowLayout::Kind::Dialog),
      m_key(key),
      m_lifecycle(this, &m_layout)
{
    setObjectName(design.objectName);
    setWindowTitle(design.title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *lblName = new QLabel(name, this);
    lblName->setObjectName(QStringLiteral("lblName"));
    lblName->setWordWrap(true);
    QFont bold = lblName->font();
    bold.setBold(true);
    lblName->setFont(bold);

    auto *lblMemo = new QLabel(design.memo, this);
    lblMemo->setObjectName(QStringLiteral("lblMemo"));
    lblMemo->setWordWrap(true);

    m_grid = new GroupTickGrid(context.db(), this);
    QLabel *caption = m_grid->createCaption(this);

    const DialogButtons buttons = okCancelButtons(this);
    m_ok = buttons.ok;
    connect(m_ok, &QPushButton::clicked, this, &GroupChooser::saveLinks);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblName);
    layout->addWidget(lblMemo);
    layout->addSpacing(6);
    layout->addWidget(caption);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons.row);

    setTabOrder(m_grid, m_ok);
    setTabOrder(m_ok, buttons.cancel);

    GroupTickGrid::fixDialogSize(this);

    m_layout.keepColumns(m_grid);
    // Leftovers of another record in the work table must never be written as
    // this record's links: when the list cannot be loaded, OK is refused.
    m_lifecycle.onFirstShow([this] {
        m_selectionReady = m_grid->loadGroups(*m_design.links, m_key, m_context.iniPath(), m_design.section);
        m_ok->setEnabled(m_selectionReady);
    });
    m_lifecycle.onUnload([this] { m_grid->release(); });
}

GroupChooser::~GroupChooser() = default;

void GroupChooser::saveLinks()
{
    if (!m_selectionReady)
        return;
    const StoreResult result = replaceGroupLinks(m_context.db(), *m_design.links, m_key,
                                                 m_grid->tickedGroupIds());
    if (!result) {
        tellUser(this, QStringLiteral("選択したグループ"), result); // the window stays open: try again or ｷｬﾝｾﾙ
        return;
    }
    accept();
}

// ---------------------------------------------------------------------------

NoticeGroupChooser::NoticeGroupChooser(AppContext &context, qint64 newsId, const QString &headline,
                                       QWidget *parent)
    : GroupChooser(context, design(), newsId,
                   QStringLiteral("お知らせ「") + headline + QStringLiteral("」を連絡する"), parent)
{
}

const GroupChooserDesign &NoticeGroupChooser::design()
{
    static const GroupChooserDesign design{
        QStringLiteral("frmSelGroupforNews"),
        QStringLiteral("宛先グループの登録"),
        QStringLiteral("宛先グループを以下の一覧表より選択して下さい。"),
        &noticeDestinations(),
        QStringLiteral("SelGroupforNews"),
    };
    return design;
}

MemberGroupChooser::MemberGroupChooser(AppContext &context, qint64 memberId, const QString &name,
                                       const QString &honorific, QWidget *parent)
    : GroupChooser(context, design(), memberId, name + QStringLiteral(" ") + honorific + QStringLiteral(" が"),
                   parent)
{
}

const GroupChooserDesign &MemberGroupChooser::design()
{
    static const GroupChooserDesign design{
        QStringLiteral("frmSelGroupforMember"),
        QStringLiteral("所属グループの登録"),
        QStringLiteral("所属するグループを以下の一覧表より選択して下さい。"),
        &memberGroups(),
        QStringLiteral("SelGroupforMember"),
    };
    return design;
}

} // namespace lumivox
