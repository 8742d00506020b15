#include "notices/noticeeditor.h"

#include "app/messages.h"
#include "app/placement.h"
#include "app/spreadgrid.h"
#include "app/startup.h"
#include "db/tablemodel.h"
#include "notices/groupchooser.h"
#include "notices/noticetexts.h"
#include "util/shelllauncher.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

namespace lumivox {

namespace {

const QString kSection = QStringLiteral("InpNews");
constexpr int kTitleLength = 80;

// A text box with its caption inside its left edge, as the input boxes of the
// program show them.
QWidget *captioned(const QString &caption, QLineEdit *edit, QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto *label = new QLabel(caption, frame);
    label->setObjectName(edit->objectName() + QStringLiteral("Caption"));
    label->setAlignment(Qt::AlignCenter);
    label->setMargin(3);
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    label->setPalette(pal);
    label->setBuddy(edit);
    edit->setFrame(false);
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(4);
    row->addWidget(label);
    row->addWidget(edit, 1);
    return frame;
}

// A display-only time box on the info-background colour.
void makeDisplayOnly(QLineEdit *edit)
{
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::Text, pal.color(QPalette::ToolTipText));
    edit->setPalette(pal);
}

// The grey tick of the button that opens the chooser.
QIcon greyTick()
{
    QPixmap pic(16, 16);
    pic.fill(Qt::transparent);
    QPainter p(&pic);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(110, 110, 110), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF tick[] = {{3.0, 8.5}, {6.5, 12.0}, {13.0, 4.0}};
    p.drawPolyline(tick, 3);
    return QIcon(pic);
}

QLabel *sectionLabel(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

NoticeEditor::NoticeEditor(AppContext &context, QWidget *parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmInpNews"));
    setWindowTitle(QStringLiteral("お知らせの新規作成"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_numNewsID = new QSpinBox(this);
    m_numNewsID->setObjectName(QStringLiteral("numNewsID"));
    m_numNewsID->setRange(0, INT_MAX);
    m_numNewsID->hide();

    m_lblMemo = new QLabel(QStringLiteral("連絡網で送信する「お知らせ」を編集してください。"), this);
    m_lblMemo->setObjectName(QStringLiteral("lblMemo"));

    m_txtTitle = new QLineEdit(this);
    m_txtTitle->setObjectName(QStringLiteral("txtTitle"));
    m_txtTitle->setMaxLength(kTitleLength);

    m_body = new QPlainTextEdit(this);
    m_body->setObjectName(QStringLiteral("RichTextBox1"));
    m_body->setFont(minchoFont(11));
    m_body->setTabChangesFocus(true);

    m_txtDateCreate = new QLineEdit(this);
    m_txtDateCreate->setObjectName(QStringLiteral("txtDateCreate"));
    makeDisplayOnly(m_txtDateCreate);
    m_txtDateSubmit = new QLineEdit(this);
    m_txtDateSubmit->setObjectName(QStringLiteral("txtDateSubmit"));
    makeDisplayOnly(m_txtDateSubmit);

    fpSpread1 = new SpreadGrid(this);
    fpSpread1->setObjectName(QStringLiteral("fpSpread1"));
    m_groupNames = new TableModel(context.db(), this);
    fpSpread1->viewport()->installEventFilter(this);

    cmdGroup = new QPushButton(greyTick(), QStringLiteral("編集"), this);
    cmdGroup->setObjectName(QStringLiteral("cmdGroup"));
    cmdGroup->setCursor(Qt::PointingHandCursor);
    cmdGroup->setToolTip(QStringLiteral("宛先グループを選択します"));
    cmdOk = new QPushButton(QStringLiteral("OK(&O)"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdHelp = new QPushButton(QStringLiteral("ﾍﾙﾌﾟ(&H)"), this);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    // Enter in the headline must not save and close the editor.
    for (QPushButton *b : {cmdGroup, cmdOk, cmdHelp})
        b->setAutoDefault(false);
    connect(cmdGroup, &QPushButton::clicked, this, &NoticeEditor::cmdGroup_Click);
    connect(cmdOk, &QPushButton::clicked, this, &NoticeEditor::cmdOk_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &NoticeEditor::cmdHelp_Click);
    // Enter in the headline goes on to the body.
    connect(m_txtTitle, &QLineEdit::returnPressed, m_body, [this] { m_body->setFocus(); });

    auto *groupColumn = new QVBoxLayout;
    groupColumn->addWidget(cmdGroup);
    groupColumn->addStretch();
    auto *groups = new QHBoxLayout;
    groups->addWidget(fpSpread1, 1);
    groups->addLayout(groupColumn);

    auto *times = new QHBoxLayout;
    times->addWidget(captioned(QStringLiteral("作成日時"), m_txtDateCreate, this), 1);
    times->addWidget(captioned(QStringLiteral("送信日時"), m_txtDateSubmit, this), 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdHelp);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblMemo);
    layout->addSpacing(4);
    layout->addWidget(sectionLabel(QStringLiteral("■ 見出し"), m_txtTitle, this));
    layout->addWidget(captioned(QStringLiteral("見出し"), m_txtTitle, this));
    layout->addWidget(sectionLabel(QStringLiteral("■ 本文"), m_body, this));
    layout->addWidget(m_body, 3);
    layout->addWidget(sectionLabel(QStringLiteral("■ 宛先グループ"), fpSpread1, this));
    layout->addLayout(groups, 2);
    layout->addLayout(times);
    layout->addLayout(buttons);

    setTabOrder(m_txtTitle, m_body);
    setTabOrder(m_body, fpSpread1);
    setTabOrder(fpSpread1, cmdGroup);
    setTabOrder(cmdGroup, cmdOk);
    setTabOrder(cmdOk, cmdHelp);

    setFixedSize(twipsToPxX(9000, this), twipsToPxY(8400, this));
}

NoticeEditor::~NoticeEditor() = default;

qint64 NoticeEditor::newsId() const
{
    return m_numNewsID->value();
}

void NoticeEditor::setNewsId(qint64 id)
{
    m_numNewsID->setValue(static_cast<int>(id));
}

// The load step and the first activation run together just before the window is
// first shown: LoadData has filled the fields, so the group list follows the
// NewsID it put in place.
void NoticeEditor::showEvent(QShowEvent *event)
{
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    if (!m_activated) {
        m_activated = true;
        LoadGroupList();
        m_txtTitle->setFocus();
    }
    QDialog::showEvent(event);
}

void NoticeEditor::Form_Load()
{
    if (!m_usrCaption.isEmpty())
        setWindowTitle(m_usrCaption);
    placeDialog(this, m_context.iniPath(), kSection);
    cmdHelp->setVisible(!m_usrHelpFile.isEmpty());
    fpSpread1->applyPresentation();
    fpSpread1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Q_EMIT LoadData();
}

void NoticeEditor::LoadGroupList()
{
    fpSpread1->setUpdatesEnabled(false);
    loadGroupNames(*m_groupNames, m_context.db(), noticeDestinations(), newsId());
    fpSpread1->bind(m_groupNames);
    fitGroupColumn();
    fpSpread1->setUpdatesEnabled(true);
}

void NoticeEditor::fitGroupColumn()
{
    if (fpSpread1->maxCols() > 0)
        fpSpread1->fitColumn(1, 50);
}

// The group column follows its grid's width, whenever that is known or changes.
bool NoticeEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == fpSpread1->viewport() && event->type() == QEvent::Resize)
        fitGroupColumn();
    return QDialog::eventFilter(watched, event);
}

void NoticeEditor::objSelGroupforNews_LoadData(NoticeGroupChooser &chooser)
{
    chooser.setRecordKey(newsId());
    chooser.lblName()->setText(QStringLiteral("お知らせ「") + m_txtTitle->text()
                               + QStringLiteral("」を連絡する"));
}

void NoticeEditor::cmdGroup_Click()
{
    NoticeGroupChooser chooser(m_context, this);
    connect(&chooser, &GroupChooser::LoadData, this,
            [this, &chooser] { objSelGroupforNews_LoadData(chooser); });
    chooser.exec();
    if (chooser.UsrTag() == QLatin1String("OK"))
        LoadGroupList();
}

void NoticeEditor::cmdOk_Click()
{
    // The creation time records the last save through the editor.
    m_txtDateCreate->setText(currentTimeText());
    bool cancel = false;
    Q_EMIT SaveData(cancel);
    m_usrTag = QStringLiteral("OK");
    if (!cancel)
        accept();
}

void NoticeEditor::cmdHelp_Click()
{
    ShellLauncher shell;
    if (shell.LaunchDocument(this, m_usrHelpFile, {}, ShellLauncher::kShowNormal) != ShellLauncher::kSuccess)
        informUser(this, QStringLiteral("ヘルプ（%1）を開けませんでした。").arg(m_usrHelpFile));
}

// There is no Cancel button: the close box leaves without saving, and Esc alone
// does not throw away what was typed.
void NoticeEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F1 && !m_usrHelpFile.isEmpty()) {
        cmdHelp_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void NoticeEditor::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void NoticeEditor::Form_Unload()
{
    if (m_unloaded || !m_loaded)
        return;
    m_unloaded = true;
    fpSpread1->bind(nullptr);
    m_groupNames->close();
    saveDialogPosition(this, m_context.iniPath(), kSection);
}

} // namespace lumivox
