#include "registers/memberregister.h"

#include "app/messages.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "db/registerstore.h"
#include "db/tablemodel.h"
#include "mail/mailaddress.h"
#include "notices/groupchooser.h"
#include "notices/groupnames.h"
#include "registers/groupfilterdialog.h"
#include "registers/keywordfilterdialog.h"
#include "registers/registerlist.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivox {

namespace {

// The address rule where an address is typed (the card, a cell of the list, a
// pasted block): blanks around it go, and a full-width address that is plain
// in half width is converted. One still not plain is kept as typed (nothing
// typed is lost) and the user is told why no notice can be sent to it.
QString typedAddress(const QString &field, QVariant &value)
{
    if (field != QStringLiteral("E-Mail") || value.isNull())
        return {};
    const QString typed = normaliseTypedAddress(value.toString());
    value = typed;
    const QString why = typed.isEmpty() ? QString() : mailAddressProblem(typed);
    return why.isEmpty() ? QString()
                         : QStringLiteral("E-Mail「%1」はメールアドレスとして正しくありません（%2）。\n"
                                          "このままでは，このメンバーにお知らせを送信できません。")
                               .arg(typed, why);
}

RegisterDesign memberDesign()
{
    return RegisterDesign{
        QStringLiteral("frmInpDBMember"),
        QStringLiteral("メンバー登録"),
        memberTable(),
        QStringLiteral("InpDBmember"),
        {
            {CardBox::Name, QStringLiteral("txtName"), QStringLiteral("名前"), 10,
             QStringLiteral("名前：　（※１０字以内）")},
            {CardBox::Reading, QStringLiteral("txtFurigana"), QStringLiteral("フリガナ"), 20,
             QStringLiteral("フリガナ：　（※２０字以内）")},
            {CardBox::Honorific, QStringLiteral("cboDono"), QStringLiteral("敬称"), 10,
             QStringLiteral("敬称："), QStringLiteral("(※１０文字以内)")},
            {CardBox::Mail, QStringLiteral("txtEmail"), QStringLiteral("E-Mail"), 64,
             QStringLiteral("E-Mail：　（※６４字以内）")},
        },
        true, // the pane and column widths are written as they change
        11700,
        8700,
        7200,
        {1500, 1800, 750, 2700},
    };
}

} // namespace

MemberRegister::MemberRegister(AppContext &context, QWidget *parent)
    : RegisterWindow(context, memberDesign(), parent)
{
    ToolSet &t = *tools();
    const QString filter = QStringLiteral("ID_mnuFilter");
    t.addMenu(filter, QStringLiteral("絞り込み(&F)"));
    t.addMenuItem(filter, QStringLiteral("ID_mnuFilterKey"), QStringLiteral("ｷｰﾜｰﾄﾞで絞り込み(&K)"));
    t.addMenuItem(filter, QStringLiteral("ID_mnuFilterGrp"), QStringLiteral("ｸﾞﾙｰﾌﾟで絞り込み(&G)"));
    t.addMenuSeparator(filter);
    t.addMenuItem(filter, QStringLiteral("ID_mnuFilterOff"), QStringLiteral("絞り込み解除(&O)"));
    t.bind({QStringLiteral("ID_mnuFilterKey")}, [this] { askKeyword(); });
    t.bind({QStringLiteral("ID_mnuFilterGrp")}, [this] { askGroups(); });
    t.bind({QStringLiteral("ID_mnuFilterOff")}, [this] { applyMemberFilter(); });

    store().list().setWriteAdjust(typedAddress);
    connect(&store().list(), &TableModel::writeNoted, this, [this](const QString &note) { informUser(this, note); });

    QWidget *cardWidget = card();
    auto *row = new QHBoxLayout;
    auto *caption = new QLabel(QStringLiteral("所属グループ："), cardWidget);
    caption->setObjectName(QStringLiteral("lblGroup"));
    m_editGroups = new QPushButton(QStringLiteral("編集"), cardWidget);
    m_editGroups->setObjectName(QStringLiteral("cmdGroup"));
    m_editGroups->setToolTip(QStringLiteral("所属ｸﾞﾙｰﾌﾟを編集する"));
    m_editGroups->setAutoDefault(false);
    row->addWidget(caption, 1);
    row->addWidget(m_editGroups);
    card()->extras()->addLayout(row);

    m_groups = new SpreadGrid(cardWidget);
    m_groups->setObjectName(QStringLiteral("fpSpread2"));
    m_groups->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_groups->setSelectionMode(QAbstractItemView::SingleSelection);
    m_groups->setFixedHeight(110);
    m_groups->installEventFilter(this);
    caption->setBuddy(m_groups);
    card()->extras()->addWidget(m_groups);
    m_groupNames = new TableModel(context.db(), this);

    connect(m_editGroups, &QPushButton::clicked, this, &MemberRegister::editGroups);

    // The card in reading order: the four boxes, the groups, then the record bar.
    QList<QWidget *> chain;
    for (const char *name : {"txtEmail", "cmdGroup", "fpSpread2", "cmdTop", "cmdPrevious", "cmdNext",
                             "cmdBottom", "cmdAdd", "cmdDel"})
        chain << findChild<QWidget *>(QLatin1String(name));
    for (qsizetype i = 1; i < chain.size(); ++i) {
        if (chain[i - 1] && chain[i])
            setTabOrder(chain[i - 1], chain[i]);
    }
}

MemberRegister::~MemberRegister()
{
    m_groups->removeEventFilter(this);
}

// --- the member's groups --------------------------------------------------------

void MemberRegister::recordShown(qint64 key)
{
    m_groups->setUpdatesEnabled(false);
    // A refill that fails empties the list: the work table may still hold the
    // groups of the member shown before.
    loadGroupNames(*m_groupNames, context().db(), memberGroups(), key);
    if (m_groups->boundModel() != m_groupNames)
        m_groups->bind(m_groupNames);
    m_groups->fitColumn(1, 50);
    m_groups->setUpdatesEnabled(true);
}

void MemberRegister::cardEnabled(bool enabled)
{
    m_editGroups->setEnabled(enabled);
    if (!enabled) {
        m_groups->bind(nullptr);
        m_groupNames->close();
    }
}

// A member's memberships go with it.
QString MemberRegister::deletionQuestion(const QString &name, const QList<int> &linkCounts) const
{
    QString text = name.isEmpty() ? QStringLiteral("このメンバーを削除しますか？")
                                  : QStringLiteral("メンバー「%1」を削除しますか？").arg(name);
    if (const int groups = linkCounts.value(0, -1); groups != 0)
        text += QStringLiteral("\n\n所属グループの登録%1も削除されます。").arg(itemCount(groups));
    return text;
}

bool MemberRegister::eventFilter(QObject *watched, QEvent *event)
{
    // The one column of the group list fills the list.
    if (watched == m_groups && event->type() == QEvent::Resize && m_groups->boundModel())
        m_groups->fitColumn(1, 50);
    return RegisterWindow::eventFilter(watched, event);
}

// The membership chooser for the member of the list's active row; its groups
// are shown again once it has rewritten them.
void MemberRegister::editGroups()
{
    const int row = list()->activeRow();
    if (row < 1)
        return;
    MemberGroupChooser chooser(context(), list()->keyAt(row), list()->text(2, row), list()->text(4, row), this);
    if (runModal(chooser) == QDialog::Accepted)
        showRecord(list()->activeRow());
}

// --- filters ------------------------------------------------------------------

void MemberRegister::askKeyword()
{
    KeywordFilterDialog dialog(context(), this);
    if (runModal(dialog) == QDialog::Accepted)
        filterByKeyword(dialog.columnName(), dialog.keyword());
}

void MemberRegister::askGroups()
{
    GroupFilterDialog dialog(context(), this);
    if (runModal(dialog) == QDialog::Accepted)
        filterByGroups(dialog.groupList());
}

bool MemberRegister::filterByKeyword(const QString &columnName, const QString &keyword)
{
    return applyMemberFilter(keywordCondition(columnName, keyword));
}

bool MemberRegister::filterByGroups(const QString &groupList)
{
    QString error;
    const QString ids = buildMemberIdList(context().db(), groupList, &error);
    const QStringList names = ids.isEmpty() ? QStringList() : groupNamesOf(context().db(), groupList, &error);
    if (ids.isEmpty() || !error.isEmpty()) {
        informUser(this, QStringLiteral("グループで絞り込めませんでした。\n\n詳細：") + error);
        return false;
    }
    MemberCondition condition = memberIdCondition(ids);
    condition.description = QStringLiteral("グループ「%1」のメンバー").arg(names.join(QStringLiteral("」「")));
    return applyMemberFilter(condition);
}

bool MemberRegister::applyMemberFilter(const MemberCondition &condition)
{
    saveRecord(); // the card belongs to a row of the list about to be replaced
    QString error;
    const bool ok = list()->narrow(condition, &error);
    if (!ok)
        informUser(this, QStringLiteral("絞り込みを行えませんでした。\n\n詳細：") + error);
    rebindList();
    return ok;
}

bool MemberRegister::isFiltered() const
{
    return list()->isNarrowed();
}

} // namespace lumivox
