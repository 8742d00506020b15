#include "notices/grouptickgrid.h"

#include "app/messages.h"
#include "app/windowlayout.h"
#include "db/tablemodel.h"

#include <QLabel>

namespace lumivox {

namespace {

const QString kSelectionTable = QStringLiteral("T_temp_グループ選択");

// Columns of T_temp_グループ選択 (GroupID is column 1) and the design widths
// of the visible ones.
constexpr int kColTick = 2;
constexpr int kColName = 3;
constexpr int kTickColumnTwips = 600;
constexpr int kNameColumnTwips = 4600;

// The design size of every dialog that shows the list.
constexpr int kDialogWidthTwips = 6000;
constexpr int kDialogHeightTwips = 6300;

} // namespace

GroupTickGrid::GroupTickGrid(const QSqlDatabase &db, QWidget *parent)
    : SpreadGrid(parent), m_db(db)
{
    setObjectName(QStringLiteral("fpSpread1"));
    // Only the ticks are edited; the names are not the user's to change here.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    m_selection = new TableModel(db, this);
    connect(m_selection, &TableModel::writeFailed, this, [this](const QString &reason) {
        reportWriteFailure(window(), QStringLiteral("グループの選択"), reason);
    });
}

QLabel *GroupTickGrid::createCaption(QWidget *parent)
{
    auto *caption = new QLabel(QStringLiteral("■ 登録グループ一覧"), parent);
    caption->setObjectName(QStringLiteral("lblCaption"));
    caption->setBuddy(this);
    return caption;
}

void GroupTickGrid::fixDialogSize(QWidget *dialog)
{
    dialog->setFixedSize(twipsToPxX(kDialogWidthTwips, dialog), twipsToPxY(kDialogHeightTwips, dialog));
}

bool GroupTickGrid::loadGroups(const QString &iniPath, const QString &section)
{
    QString error;
    const bool filled = fillGroupSelection(m_db, &error);
    return showLoaded(filled, error, iniPath, section);
}

bool GroupTickGrid::loadGroups(const LinkTable &links, qint64 key, const QString &iniPath,
                               const QString &section)
{
    QString error;
    const bool filled = fillGroupSelection(m_db, links, key, &error);
    return showLoaded(filled, error, iniPath, section);
}

bool GroupTickGrid::showLoaded(bool filled, QString error, const QString &iniPath,
                               const QString &section)
{
    setUpdatesEnabled(false);
    const bool ready = filled && m_selection->open(kSelectionTable);
    if (!ready) {
        if (error.isEmpty())
            error = m_selection->lastError();
        m_selection->close();
    }
    bind(m_selection);
    setCheckBoxColumn(kColTick);
    setColWidthTwips(kColTick, kTickColumnTwips);
    setColWidthTwips(kColName, kNameColumnTwips);
    restoreColumnWidths(iniPath, section); // GroupID stays hidden
    setUpdatesEnabled(true);
    if (maxRows() > 0)
        setActiveCell(kColTick, 1);
    setFocus();

    if (!ready) {
        // Told once the window is on the screen, not while it is being shown.
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                informUser(window(), QStringLiteral("グループの一覧を読み込めませんでした。\n\n詳細：") + error);
            },
            Qt::QueuedConnection);
    }
    return ready;
}

QList<QVariant> GroupTickGrid::tickedGroupIds() const
{
    QList<QVariant> ids;
    const int tick = m_selection->fieldIndex(QStringLiteral("選択"));
    const int id = m_selection->fieldIndex(QStringLiteral("GroupID"));
    for (int r = 0; r < m_selection->rowCount(); ++r) {
        if (m_selection->value(r, tick).toInt() != 0) // Null counts as not ticked
            ids << m_selection->value(r, id);
    }
    return ids;
}

void GroupTickGrid::release()
{
    bind(nullptr);
    m_selection->close();
}

} // namespace lumivox
