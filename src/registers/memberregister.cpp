#include "registers/memberregister.h"

#include "app/messages.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "db/keys.h"
#include "db/tablemodel.h"
#include "db/worktables.h"
#include "notices/groupchooser.h"
#include "notices/groupnames.h"
#include "registers/groupfilterdialog.h"
#include "registers/keywordfilterdialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivox {

MemberRegister::MemberRegister(AppContext &context, QWidget *parent)
    : RegisterWindow(context, Design(), parent)
{
    ToolSet &t = *tools();
    const QString filter = QStringLiteral("ID_mnuFilter");
    t.addMenu(filter, QStringLiteral("絞り込み(&F)"));
    t.addMenuItem(filter, QStringLiteral("ID_mnuFilterKey"), QStringLiteral("ｷｰﾜｰﾄﾞで絞り込み(&K)"));
    t.addMenuItem(filter, QStringLiteral("ID_mnuFilterGrp"), QStringLiteral("ｸﾞﾙｰﾌﾟで絞り込み(&G)"));
    t.addMenuSeparator(filter);
    t.addMenuItem(filter, QStringLiteral("ID_mnuFilterOff"), QStringLiteral("絞り込み解除(&O)"));

    QWidget *card = cardExtras()->parentWidget();
    auto *row = new QHBoxLayout;
    auto *caption = new QLabel(QStringLiteral("所属グループ："), card);
    caption->setObjectName(QStringLiteral("lblGroup"));
    cmdGroup = new QPushButton(QStringLiteral("編集"), card);
    cmdGroup->setObjectName(QStringLiteral("cmdGroup"));
    cmdGroup->setToolTip(QStringLiteral("所属ｸﾞﾙｰﾌﾟを編集する"));
    cmdGroup->setAutoDefault(false);
    row->addWidget(caption, 1);
    row->addWidget(cmdGroup);
    cardExtras()->addLayout(row);

    fpSpread2 = new SpreadGrid(card);
    fpSpread2->setObjectName(QStringLiteral("fpSpread2"));
    fpSpread2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fpSpread2->setSelectionMode(QAbstractItemView::SingleSelection);
    fpSpread2->setFixedHeight(110);
    fpSpread2->installEventFilter(this);
    caption->setBuddy(fpSpread2);
    cardExtras()->addWidget(fpSpread2);
    m_groupList = new TableModel(context.db(), this);

    connect(cmdGroup, &QPushButton::clicked, this, &MemberRegister::cmdGroup_Click);

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
    fpSpread2->removeEventFilter(this);
}

RegisterDesign MemberRegister::Design()
{
    return RegisterDesign{
        QStringLiteral("frmInpDBMember"),
        QStringLiteral("メンバー登録"),
        QStringLiteral("T_メンバー"),
        QStringLiteral("MemberID"),
        kMaxMembers,
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
        {memberGroups()}, // a deleted member leaves its groups
        true,             // moving the splitter writes "SpreadW"
        true,             // resizing a column writes "C1"…
        11700,
        8700,
        7200,
        {1500, 1800, 750, 2700},
    };
}

QVariantMap MemberRegister::newRecordValues(int key) const
{
    return {{QStringLiteral("MemberID"), key},
            {QStringLiteral("名前"), QString()},
            {QStringLiteral("フリガナ"), QString()},
            {QStringLiteral("敬称"), QStringLiteral("様")},
            {QStringLiteral("E-Mail"), QString()}};
}

// --- the member's groups --------------------------------------------------------

void MemberRegister::recordShown(qint64 key)
{
    RefreshGroupList(key);
}

void MemberRegister::RefreshGroupList(qint64 memberId)
{
    fpSpread2->setUpdatesEnabled(false);
    // A refill that fails empties the list: the work table may still hold the
    // groups of the member shown before.
    loadGroupNames(*m_groupList, context().db(), memberGroups(), memberId);
    if (fpSpread2->boundModel() != m_groupList)
        fpSpread2->bind(m_groupList);
    fpSpread2->fitColumn(1, 50);
    fpSpread2->setUpdatesEnabled(true);
}

void MemberRegister::cardEnabled(bool enabled)
{
    cmdGroup->setEnabled(enabled);
    if (!enabled) {
        fpSpread2->bind(nullptr);
        m_groupList->close();
    }
}

bool MemberRegister::eventFilter(QObject *watched, QEvent *event)
{
    // The one column of the group list fills the list.
    if (watched == fpSpread2 && event->type() == QEvent::Resize && fpSpread2->boundModel())
        fpSpread2->fitColumn(1, 50);
    return RegisterWindow::eventFilter(watched, event);
}

void MemberRegister::cmdGroup_Click()
{
    const int row = list()->activeRow();
    if (row < 1)
        return;
    MemberGroupChooser chooser(context(), keyAt(row), list()->text(2, row), list()->text(4, row), this);
    if (runModal(chooser) == QDialog::Accepted)
        ShowRecord(list()->activeRow());
}

// --- filters ------------------------------------------------------------------

bool MemberRegister::handleTool(const QString &id)
{
    if (id == QLatin1String("ID_mnuFilterKey"))
        mnuFilterKey_Click();
    else if (id == QLatin1String("ID_mnuFilterGrp"))
        mnuFilterGrp_Click();
    else if (id == QLatin1String("ID_mnuFilterOff"))
        ApplyMemberFilter();
    else
        return false;
    return true;
}

void MemberRegister::mnuFilterKey_Click()
{
    QString tag;
    QString keyword;
    QString column;
    {
        KeywordFilterDialog dialog(context(), this);
        dialog.exec();
        tag = dialog.UserTag();
        keyword = dialog.UserKeyword();
        column = dialog.UserColName();
    }
    if (tag == QLatin1String("OK"))
        FilterByKeyword(column, keyword);
}

void MemberRegister::mnuFilterGrp_Click()
{
    QString tag;
    QString groups;
    {
        GroupFilterDialog dialog(context(), this);
        dialog.exec();
        tag = dialog.UserTag();
        groups = dialog.UserGroup();
    }
    if (tag == QLatin1String("OK"))
        FilterByGroups(groups);
}

bool MemberRegister::FilterByKeyword(const QString &userColName, const QString &keyword)
{
    return ApplyMemberFilter(keywordCondition(userColName, keyword));
}

bool MemberRegister::FilterByGroups(const QString &userGroup)
{
    QString error;
    const QString ids = BuildMemberIdList(context().db(), userGroup, &error);
    if (ids.isEmpty()) {
        informUser(this, QStringLiteral("グループで絞り込めませんでした。\n\n詳細：") + error);
        return false;
    }
    return ApplyMemberFilter(memberIdCondition(ids));
}

bool MemberRegister::ApplyMemberFilter(const MemberCondition &condition)
{
    SaveRecord(); // the card belongs to a row of the list about to be replaced
    const QString table = design().table;
    bool ok = listModel()->open(table, condition.where, condition.binds);
    if (ok) {
        m_filter = condition;
    } else {
        const QString error = listModel()->lastError();
        // The list stays usable: what it showed before, or else the whole table.
        if (!listModel()->open(table, m_filter.where, m_filter.binds)) {
            m_filter = {};
            listModel()->open(table);
        }
        informUser(this, QStringLiteral("絞り込みを行えませんでした。\n\n詳細：") + error);
    }
    BindList();
    EnableCard();
    ShowRecord(list()->activeRow());
    return ok;
}

} // namespace lumivox
