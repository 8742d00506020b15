#include "notices/frmSelGroup.h"

#include "app/messages.h"
#include "app/placement.h"
#include "app/privateprofile.h"
#include "app/spreadgrid.h"
#include "db/database.h"
#include "db/tablemodel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

namespace lumivox {

namespace {

const QString kSelectionTable = QStringLiteral("T_temp_グループ選択");

// Design widths of the three columns (GroupID is hidden whatever is stored).
constexpr int kTickColumnTwips = 600;
constexpr int kNameColumnTwips = 4600;

} // namespace

frmSelGroup::frmSelGroup(AppContext &context, const SelGroupDesign &design, QWidget *parent)
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

    m_lblCaption = new QLabel(QStringLiteral("■ 登録グループ一覧"), this);
    m_lblCaption->setObjectName(QStringLiteral("lblCaption"));

    fpSpread1 = new SpreadGrid(this);
    fpSpread1->setObjectName(QStringLiteral("fpSpread1"));
    m_lblCaption->setBuddy(fpSpread1);

    cmdOk = new QPushButton(QStringLiteral("OK(&O)"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOk, &QPushButton::clicked, this, &frmSelGroup::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSelGroup::cmdCancel_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblName);
    layout->addWidget(m_lblMemo);
    layout->addSpacing(6);
    layout->addWidget(m_lblCaption);
    layout->addWidget(fpSpread1, 1);
    layout->addLayout(buttons);

    setTabOrder(fpSpread1, cmdOk);
    setTabOrder(cmdOk, cmdCancel);

    m_selection = new TableModel(context.db(), this);
    connect(m_selection, &TableModel::writeFailed, this, [this](const QString &reason) {
        reportWriteFailure(this, QStringLiteral("グループの選択"), reason);
    });

    setFixedSize(twipsToPxX(6000, this), twipsToPxY(6300, this));
}

frmSelGroup::~frmSelGroup() = default;

void frmSelGroup::setRecordKey(qint64 key)
{
    m_numID->setValue(static_cast<int>(key));
}

qint64 frmSelGroup::recordKey() const
{
    return m_numID->value();
}

// The load step and the first activation run together, just before the window
// is first shown, so that the opener's LoadData handler has put the key in place
// before the list is filled.
void frmSelGroup::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    if (!m_activated)
        Form_Activate();
    QDialog::showEvent(event);
}

void frmSelGroup::Form_Load()
{
    placeDialog(this, m_context.iniPath(), m_design.section);
    fpSpread1->applyPresentation();
    // Only the ticks are edited; the names are not the user's to change here.
    fpSpread1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fpSpread1->setSelectionMode(QAbstractItemView::SingleSelection);
    Q_EMIT LoadData();
}

void frmSelGroup::Form_Activate()
{
    m_activated = true;
    fpSpread1->setUpdatesEnabled(false);

    QString error;
    m_selectionReady = fillGroupSelection(m_context.db(), *m_design.links, recordKey(), &error)
                       && m_selection->open(kSelectionTable);
    if (!m_selectionReady) {
        // Leftovers of another record in the work table must never be written
        // as this record's links: show nothing and refuse OK.
        if (error.isEmpty())
            error = m_selection->lastError();
        m_selection->close();
        cmdOk->setEnabled(false);
    }
    fpSpread1->bind(m_selection);
    fpSpread1->setCheckBoxColumn(2);

    const CPrivateProfile profile;
    const QString ini = m_context.iniPath();
    fpSpread1->setColWidthTwips(2, kTickColumnTwips);
    fpSpread1->setColWidthTwips(3, kNameColumnTwips);
    for (int c = 1; c <= fpSpread1->maxCols(); ++c) {
        const int width = profile.GetValueLong(ini, m_design.section, QStringLiteral("C") + QString::number(c));
        if (width > 0)
            fpSpread1->setColWidthTwips(c, width);
    }
    fpSpread1->setColWidthTwips(1, 0);
    fpSpread1->setUpdatesEnabled(true);
    if (fpSpread1->maxRows() > 0)
        fpSpread1->setActiveCell(2, 1);
    fpSpread1->setFocus();

    if (!m_selectionReady) {
        // Told once the window is on the screen, not while it is being shown.
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                informUser(this, QStringLiteral("グループの一覧を読み込めませんでした。\n\n詳細：") + error);
            },
            Qt::QueuedConnection);
    }
}

void frmSelGroup::cmdOk_Click()
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
    const int tickColumn = m_selection->fieldIndex(QStringLiteral("選択"));
    const int idColumn = m_selection->fieldIndex(QStringLiteral("GroupID"));
    for (int r = 0; r < m_selection->rowCount(); ++r) {
        if (m_selection->value(r, tickColumn).toInt() == 0) // Null counts as not ticked
            continue;
        statements << SqlStatement{
            QStringLiteral("insert into %1 values (?, ?)").arg(quoted(links.table)),
            {key, m_selection->value(r, idColumn)}};
    }
    QString error;
    if (!executeAll(m_context.db(), statements, &error)) {
        reportWriteFailure(this, QStringLiteral("選択したグループ"), error);
        return;
    }
    m_usrTag = QStringLiteral("OK");
    accept();
}

void frmSelGroup::cmdCancel_Click()
{
    m_usrTag = QStringLiteral("ｷｬﾝｾﾙ");
    reject();
}

// Esc is the Cancel button; the close box alone leaves UsrTag empty.
void frmSelGroup::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmSelGroup::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void frmSelGroup::Form_Unload()
{
    if (m_unloaded || !m_loaded)
        return;
    m_unloaded = true;
    const QString ini = m_context.iniPath();
    saveDialogPosition(this, ini, m_design.section);
    const CPrivateProfile profile;
    for (int c = 1; c <= fpSpread1->maxCols(); ++c) {
        profile.SetValueString(ini, m_design.section, QStringLiteral("C") + QString::number(c),
                               QString::number(fpSpread1->colWidthTwips(c)));
    }
    fpSpread1->bind(nullptr);
    m_selection->close();
}

// ---------------------------------------------------------------------------

frmSelGroupforNews::frmSelGroupforNews(AppContext &context, QWidget *parent)
    : frmSelGroup(context, Design(), parent)
{
}

const SelGroupDesign &frmSelGroupforNews::Design()
{
    static const SelGroupDesign design{
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

frmSelGroupforMember::frmSelGroupforMember(AppContext &context, QWidget *parent)
    : frmSelGroup(context, Design(), parent)
{
}

const SelGroupDesign &frmSelGroupforMember::Design()
{
    static const SelGroupDesign design{
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
