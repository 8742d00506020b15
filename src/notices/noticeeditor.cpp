#include "notices/noticeeditor.h"

#include "app/messages.h"
#include "app/windowlayout.h"
#include "app/spreadgrid.h"
#include "app/startup.h"
#include "db/tablemodel.h"
#include "notices/groupchooser.h"
#include "notices/groupnames.h"
#include "notices/resultmessage.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace lumivox {

namespace {

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

NoticeEditor::NoticeEditor(AppContext &context, const Notice &notice, Save save, QWidget *parent)
    : QDialog(parent),
      m_context(context),
      m_layout(this, context, QStringLiteral("InpNews"), WindowLayout::Kind::Resizable),
      m_newsId(notice.id),
      m_save(std::move(save)),
      m_lifecycle(this, &m_layout)
{
    setObjectName(QStringLiteral("frmInpNews"));
    setWindowTitle(QStringLiteral("お知らせの新規作成"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *memo = new QLabel(QStringLiteral("連絡網で送信する「お知らせ」を編集してください。"), this);
    memo->setObjectName(QStringLiteral("lblMemo"));

    m_title = new QLineEdit(notice.title, this);
    m_title->setObjectName(QStringLiteral("txtTitle"));
    m_title->setMaxLength(kTitleLength);

    m_body = new QPlainTextEdit(notice.body, this);
    m_body->setObjectName(QStringLiteral("RichTextBox1"));
    m_body->setFont(minchoFont(11));
    m_body->setTabChangesFocus(true);

    m_created = new QLineEdit(notice.created, this);
    m_created->setObjectName(QStringLiteral("txtDateCreate"));
    makeDisplayOnly(m_created);
    m_sent = new QLineEdit(notice.sent, this);
    m_sent->setObjectName(QStringLiteral("txtDateSubmit"));
    makeDisplayOnly(m_sent);

    m_groups = new SpreadGrid(this);
    m_groups->setObjectName(QStringLiteral("fpSpread1"));
    m_groupNames = new TableModel(context.db(), this);
    m_groups->viewport()->installEventFilter(this);

    auto *cmdGroup = new QPushButton(greyTick(), QStringLiteral("編集"), this);
    cmdGroup->setObjectName(QStringLiteral("cmdGroup"));
    cmdGroup->setCursor(Qt::PointingHandCursor);
    cmdGroup->setToolTip(QStringLiteral("宛先グループを選択します"));
    auto *cmdOk = new QPushButton(QStringLiteral("OK(&O)"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    // Enter in the headline must not save and close the editor.
    for (QPushButton *b : {cmdGroup, cmdOk})
        b->setAutoDefault(false);
    connect(cmdGroup, &QPushButton::clicked, this, &NoticeEditor::chooseGroups);
    connect(cmdOk, &QPushButton::clicked, this, &NoticeEditor::saveAndClose);
    // Enter in the headline goes on to the body.
    connect(m_title, &QLineEdit::returnPressed, m_body, [this] { m_body->setFocus(); });

    auto *groupColumn = new QVBoxLayout;
    groupColumn->addWidget(cmdGroup);
    groupColumn->addStretch();
    auto *groups = new QHBoxLayout;
    groups->addWidget(m_groups, 1);
    groups->addLayout(groupColumn);

    auto *times = new QHBoxLayout;
    times->addWidget(captioned(QStringLiteral("作成日時"), m_created, this), 1);
    times->addWidget(captioned(QStringLiteral("送信日時"), m_sent, this), 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(memo);
    layout->addSpacing(4);
    layout->addWidget(sectionLabel(QStringLiteral("■ 見出し"), m_title, this));
    layout->addWidget(captioned(QStringLiteral("見出し"), m_title, this));
    layout->addWidget(sectionLabel(QStringLiteral("■ 本文"), m_body, this));
    layout->addWidget(m_body, 3);
    layout->addWidget(sectionLabel(QStringLiteral("■ 宛先グループ"), m_groups, this));
    layout->addLayout(groups, 2);
    layout->addLayout(times);
    layout->addLayout(buttons);

    setTabOrder(m_title, m_body);
    setTabOrder(m_body, m_groups);
    setTabOrder(m_groups, cmdGroup);
    setTabOrder(cmdGroup, cmdOk);

    // The design size, centred; it can be made larger, and the size and place it
    // was left at come back before it next appears.
    setMinimumSize(twipsToPxX(9000, this), twipsToPxY(8400, this));
    resize(minimumSize());
    setSizeGripEnabled(true);
    WindowLayout::centre(this);
    // As the boxes give them back (a headline longer than the box is cut).
    m_shownTitle = m_title->text();
    m_shownBody = m_body->toPlainText();

    // Placed, then filled, just before the window first appears; its position
    // is kept when it goes.
    m_lifecycle.onFirstShow([this] {
        m_groups->applyPresentation();
        m_groups->setEditTriggers(QAbstractItemView::NoEditTriggers);
        loadGroupList();
        m_title->setFocus();
    });
    m_lifecycle.onUnload([this] {
        m_groups->bind(nullptr);
        m_groupNames->close();
    });
}

NoticeEditor::~NoticeEditor() = default;

Notice NoticeEditor::notice() const
{
    return {m_newsId, m_title->text(), m_body->toPlainText(), m_created->text(), m_sent->text()};
}

void NoticeEditor::loadGroupList()
{
    m_groups->setUpdatesEnabled(false);
    QString error;
    const bool readable = loadGroupNames(*m_groupNames, m_context.db(), noticeDestinations(), m_newsId, &error);
    m_groups->bind(m_groupNames);
    if (!readable)
        m_groups->setHeading(1, QString::fromUtf8(kUnreadableDestinations));
    fitGroupColumn();
    m_groups->setUpdatesEnabled(true);
    // Told once the editor is on the screen (the first refill runs before it is).
    if (!readable)
        QTimer::singleShot(0, this, [this, error] { informUser(this, unreadableDestinationsMessage(error)); });
}

void NoticeEditor::fitGroupColumn()
{
    if (m_groups->maxCols() > 0)
        m_groups->fitColumn(1, 50);
}

// The group column follows its grid's width, whenever that is known or changes.
bool NoticeEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_groups->viewport() && event->type() == QEvent::Resize)
        fitGroupColumn();
    return QDialog::eventFilter(watched, event);
}

// The chooser names the notice by the headline as it stands in the box, saved or not.
void NoticeEditor::chooseGroups()
{
    NoticeGroupChooser chooser(m_context, m_newsId, m_title->text(), this);
    if (runModal(chooser) == QDialog::Accepted)
        loadGroupList();
}

void NoticeEditor::saveAndClose()
{
    // The creation time records the last save through the editor.
    m_created->setText(currentTimeText());
    const StoreResult saved = m_save ? m_save(notice()) : StoreResult{};
    if (!saved) {
        tellUser(this, QStringLiteral("お知らせ"), saved);
        return;
    }
    accept();
}

bool NoticeEditor::hasChanges() const
{
    return m_title->text() != m_shownTitle || m_body->toPlainText() != m_shownBody;
}

// The close box: what was typed is not dropped without asking.
void NoticeEditor::closeEvent(QCloseEvent *event)
{
    if (!isVisible() || !hasChanges()) {
        QDialog::closeEvent(event);
        return;
    }
    Message question;
    question.icon = QMessageBox::Question;
    question.text = QStringLiteral("お知らせの見出しまたは本文が変更されています。\n変更を保存しますか？");
    question.custom = {{QStringLiteral("はい(&Y)"), QStringLiteral("cmdYes")},
                       {QStringLiteral("いいえ(&N)"), QStringLiteral("cmdNo")},
                       {QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("cmdCancel")}};
    switch (showMessage(this, question).custom) {
    case 0:
        saveAndClose(); // stays open when the save is refused
        event->setAccepted(!isVisible());
        break;
    case 1:
        QDialog::closeEvent(event);
        break;
    default:
        event->ignore();
        break;
    }
}

// There is no Cancel button: the close box is the way out, and Esc alone does
// not throw away what was typed.
void NoticeEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace lumivox
