#include "registers/registerwindow.h"

#include "app/kana.h"
#include "app/messages.h"
#include "app/placement.h"
#include "app/readingedit.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "db/database.h"
#include "db/keys.h"
#include "db/tablemodel.h"
#include "registers/importdialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSplitter>
#include <QSqlQuery>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace lumivox {

namespace {

// How long a drag of the splitter or a column border must pause before the new
// widths are written.
constexpr int kLayoutWriteDelayMs = 300;

enum class Arrow { Top, Previous, Next, Bottom };

// The pictures of the navigation buttons: a triangle, with a bar for the ends.
QIcon arrowIcon(Arrow arrow)
{
    QPixmap pic(16, 16);
    pic.fill(Qt::transparent);
    QPainter p(&pic);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    const bool left = arrow == Arrow::Top || arrow == Arrow::Previous;
    const bool bar = arrow == Arrow::Top || arrow == Arrow::Bottom;
    QPolygonF triangle;
    if (left)
        triangle << QPointF(12.5, 3) << QPointF(12.5, 13) << QPointF(5, 8);
    else
        triangle << QPointF(3.5, 3) << QPointF(3.5, 13) << QPointF(11, 8);
    if (!bar)
        triangle.translate(left ? -1.5 : 1.5, 0);
    p.drawPolygon(triangle);
    if (bar)
        p.drawRect(left ? QRectF(2.5, 3, 2, 10) : QRectF(11.5, 3, 2, 10));
    return QIcon(pic);
}

QToolButton *pictureButton(const QString &name, const QIcon &icon, const QString &tip,
                           QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setAutoRaise(false);
    b->setMinimumSize(30, 26);
    return b;
}

} // namespace

RegisterWindow::RegisterWindow(AppContext &context, RegisterDesign design, QWidget *parent)
    : QDialog(parent), m_context(context), m_design(std::move(design)), m_ini(context.iniPath())
{
    setObjectName(m_design.objectName);
    setWindowTitle(m_design.title);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(false);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *menuBar = new QMenuBar(this);
    outer->setMenuBar(menuBar);
    auto *toolBar = new QToolBar(this);
    outer->addWidget(toolBar);
    m_tools = new ToolSet(menuBar, toolBar, this);
    m_tools->setObjectName(QStringLiteral("SSActiveToolBars1"));
    buildTools();
    connect(m_tools, &ToolSet::toolClick, this, &RegisterWindow::onToolClick);

    SSSplitter1 = new QSplitter(Qt::Horizontal, this);
    SSSplitter1->setObjectName(QStringLiteral("SSSplitter1"));
    SSSplitter1->setChildrenCollapsible(false);
    fpSpread1 = new SpreadGrid(SSSplitter1);
    fpSpread1->setObjectName(QStringLiteral("fpSpread1"));
    fpSpread1->setMinimumWidth(60);
    VSViewPort1 = new QScrollArea(SSSplitter1);
    VSViewPort1->setObjectName(QStringLiteral("VSViewPort1"));
    VSViewPort1->setWidgetResizable(true);
    VSViewPort1->setMinimumWidth(120);
    SSSplitter1->setStretchFactor(0, 1);
    SSSplitter1->setStretchFactor(1, 0);
    outer->addWidget(SSSplitter1, 1);
    buildCard();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    m_panel1 = new QLabel(StatusBar1);
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_panel2 = new QLabel(QStringLiteral("MAX:") + QString::number(m_design.capacity), StatusBar1);
    m_panel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
    StatusBar1->addWidget(m_panel1, 1);
    StatusBar1->addPermanentWidget(m_panel2);
    outer->addWidget(StatusBar1);

    m_list = new TableModel(m_context.db(), this);
    connect(m_list, &TableModel::writeFailed, this, [this](const QString &reason) {
        reportFailure(QStringLiteral("入力した内容"), reason);
    });
    if (!m_list->open(m_design.table)) {
        informUser(this, QStringLiteral("一覧を読み込めませんでした。\n\n詳細：") + m_list->lastError());
    }

    connect(fpSpread1, &SpreadGrid::activeCellChanged, this, [this](int col, int row) {
        if (col < 1 || row < 1)
            return;
        ShowInputHint();
        if (row != m_currentRow)
            ShowRecord(row);
    });
    connect(fpSpread1, &SpreadGrid::cellChanged, this, [this](int, int row) {
        // Only the row the card shows needs showing again (an edit in the list,
        // a paste over it, the card's own save).
        if (row == m_currentRow)
            ShowRecord(row);
    });
    connect(fpSpread1, &SpreadGrid::focusLost, this, [this] { m_panel1->clear(); });
    // A drag reports every mouse move; the layout is written once the drag
    // pauses, not at each step.
    m_layoutTimer = new QTimer(this);
    m_layoutTimer->setSingleShot(true);
    m_layoutTimer->setInterval(kLayoutWriteDelayMs);
    connect(m_layoutTimer, &QTimer::timeout, this, &RegisterWindow::writeChangedLayout);
    if (m_design.savesColumnsWhenResized) {
        connect(fpSpread1, &SpreadGrid::columnWidthsChanged, this, [this] {
            m_columnsChanged = true;
            m_layoutTimer->start();
        });
    }
    if (m_design.savesPaneWhenMoved) {
        connect(SSSplitter1, &QSplitter::splitterMoved, this, [this] {
            m_paneMoved = true;
            m_layoutTimer->start();
        });
    }
    connect(qApp, &QApplication::focusChanged, this, &RegisterWindow::onFocusChanged);

    // Design size, then the saved geometry when there is one.
    resize(twipsToPxX(m_design.designWidthTwips, this), twipsToPxY(m_design.designHeightTwips, this));
    layout()->activate();
    setListPaneTwips(m_design.designListTwips);
    if (!restoreWindowGeometry(this, m_ini, m_design.section))
        centreOnScreen(this);
}

RegisterWindow::~RegisterWindow()
{
    unload();
    m_unloaded = true;
    // The children go after this destructor; their signals (a grid losing the
    // focus as it goes), focus changes and key presses must no longer reach this
    // window.
    disconnect(qApp, nullptr, this, nullptr);
    for (QObject *child : findChildren<QObject *>())
        disconnect(child, nullptr, this, nullptr);
    for (QWidget *box : std::as_const(m_boxes))
        box->removeEventFilter(this);
}

void RegisterWindow::buildTools()
{
    ToolSet &t = *m_tools;
    const QString edit = QStringLiteral("ID_mnuEdit");
    t.addMenu(edit, QStringLiteral("編集(&E)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditAdd"), QStringLiteral("ﾚｺｰﾄﾞを追加する(&A)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditDel"), QStringLiteral("ﾚｺｰﾄﾞを削除する(&D)"));
    t.addMenuSeparator(edit);
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditCopy"), QStringLiteral("ﾚｺｰﾄﾞをｺﾋﾟｰする(&C)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditPaste"), QStringLiteral("ﾚｺｰﾄﾞに貼り付ける(&P)"));
    t.addMenuSeparator(edit);
    t.addMenuItem(edit, QStringLiteral("ID_mnuFileImport"), QStringLiteral("ﾌｧｲﾙから取り込む(&I)..."));
    t.addMenuItem(edit, QStringLiteral("ID_mnuFileExport"), QStringLiteral("ﾌｧｲﾙに書き出す(&X)..."));

    const QString disp = QStringLiteral("ID_mnuDisp");
    t.addMenu(disp, QStringLiteral("表示(&D)"));
    QAction *card = t.addMenuItem(disp, QStringLiteral("ID_mnuDispCard"),
                                  QStringLiteral("ｶｰﾄﾞ形式で表示する(&C)"),
                                  QStringLiteral("ﾚｺｰﾄﾞ内容をｶｰﾄﾞ形式で表示する"));
    card->setCheckable(true);
    card->setChecked(true);
    addFontSizeMenu(t, disp, QStringLiteral("文字の大きさ(&S)"));

    t.addToolButton(QStringLiteral("ID_EditAdd"), QStringLiteral("ﾚｺｰﾄﾞ追加"), {},
                    QStringLiteral("document-new"));
    t.addToolButton(QStringLiteral("ID_EditDel"), QStringLiteral("ﾚｺｰﾄﾞ削除"), {},
                    QStringLiteral("edit-delete"));
    t.addToolSeparator();
    t.addToolButton(QStringLiteral("ID_EditCopy"), QStringLiteral("ﾚｺｰﾄﾞｺﾋﾟｰ"), {},
                    QStringLiteral("edit-copy"));
    t.addToolButton(QStringLiteral("ID_EditPaste"), QStringLiteral("ﾚｺｰﾄﾞ貼付"), {},
                    QStringLiteral("edit-paste"));
    t.addToolSeparator();
    t.addToolButton(QStringLiteral("ID_FileImport"), QStringLiteral("ﾌｧｲﾙ取込"), {},
                    QStringLiteral("document-import"));
    t.addToolButton(QStringLiteral("ID_FileExport"), QStringLiteral("ﾌｧｲﾙ書出"), {},
                    QStringLiteral("document-export"));
    t.addToolSeparator();
    t.addToolButton(QStringLiteral("ID_Close"), QStringLiteral("閉じる"), {},
                    QStringLiteral("window-close"));
}

void RegisterWindow::buildCard()
{
    auto *card = new QWidget;
    card->setObjectName(QStringLiteral("Card"));
    auto *v = new QVBoxLayout(card);
    v->setContentsMargins(10, 8, 10, 8);
    v->setSpacing(3);

    for (const CardBox &def : std::as_const(m_design.boxes)) {
        auto *caption = new QLabel(def.caption, card);
        caption->setObjectName(QStringLiteral("lbl") + def.objectName.mid(3));
        v->addWidget(caption);
        QWidget *box = nullptr;
        switch (def.kind) {
        case CardBox::Name: {
            m_nameBox = new ReadingEdit(card);
            box = m_nameBox;
            connect(m_nameBox, &ReadingEdit::readingCommitted, this, &RegisterWindow::onReading);
            break;
        }
        case CardBox::Reading:
            m_readingBox = new QLineEdit(card);
            box = m_readingBox;
            break;
        case CardBox::Honorific: {
            auto *combo = new QComboBox(card);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCompleter(nullptr);
            combo->lineEdit()->setMaxLength(def.maxLength);
            // The honorifics in table order; whatever else is typed is kept too.
            QSqlQuery q(m_context.db());
            if (q.exec(QStringLiteral("select 敬称 from T_敬称"))) {
                while (q.next())
                    combo->addItem(q.value(0).toString());
            }
            combo->setEditText(QString());
            box = combo;
            break;
        }
        case CardBox::Mail: {
            auto *edit = new QLineEdit(card);
            // Half-width letters, digits and symbols only; no input method.
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[\\x21-\\x7E]*")), edit));
            edit->setAttribute(Qt::WA_InputMethodEnabled, false);
            edit->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhEmailCharactersOnly);
            box = edit;
            break;
        }
        }
        if (auto *edit = qobject_cast<QLineEdit *>(box)) {
            edit->setMaxLength(def.maxLength);
            edit->installEventFilter(this);
        }
        box->setObjectName(def.objectName);
        box->setToolTip(def.caption);
        caption->setBuddy(box);
        if (def.note.isEmpty()) {
            v->addWidget(box);
        } else {
            auto *row = new QHBoxLayout;
            row->addWidget(box, 1);
            auto *note = new QLabel(def.note, card);
            note->setObjectName(QStringLiteral("lbl") + def.objectName.mid(3) + QStringLiteral("Note"));
            row->addWidget(note);
            v->addLayout(row);
        }
        v->addSpacing(4);
        m_boxes << box;
        m_shown << QString();
    }

    m_cardExtras = new QVBoxLayout;
    m_cardExtras->setSpacing(3);
    v->addLayout(m_cardExtras);
    v->addSpacing(8);

    auto *nav = new QHBoxLayout;
    nav->setSpacing(2);
    cmdTop = pictureButton(QStringLiteral("cmdTop"), arrowIcon(Arrow::Top),
                           QStringLiteral("最初のﾚｺｰﾄﾞを表示する"), card);
    cmdPrevious = pictureButton(QStringLiteral("cmdPrevious"), arrowIcon(Arrow::Previous),
                                QStringLiteral("ひとつ前のﾚｺｰﾄﾞを表示する"), card);
    lblRecord = new QLabel(QStringLiteral("(0/0)"), card);
    lblRecord->setObjectName(QStringLiteral("lblRecord"));
    lblRecord->setAlignment(Qt::AlignCenter);
    lblRecord->setMinimumWidth(70);
    cmdNext = pictureButton(QStringLiteral("cmdNext"), arrowIcon(Arrow::Next),
                            QStringLiteral("次のﾚｺｰﾄﾞを表示する"), card);
    cmdBottom = pictureButton(QStringLiteral("cmdBottom"), arrowIcon(Arrow::Bottom),
                              QStringLiteral("最後のﾚｺｰﾄﾞを表示する"), card);
    nav->addWidget(cmdTop);
    nav->addWidget(cmdPrevious);
    nav->addWidget(lblRecord, 1);
    nav->addWidget(cmdNext);
    nav->addWidget(cmdBottom);
    v->addLayout(nav);

    auto *edit = new QHBoxLayout;
    cmdAdd = new QPushButton(QStringLiteral("新規(&N)"), card);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd->setToolTip(QStringLiteral("新規にﾚｺｰﾄﾞを作成する"));
    cmdAdd->setAutoDefault(false);
    const QIcon trash = programIcon(QStringLiteral("edit-delete"));
    cmdDel = pictureButton(QStringLiteral("cmdDel"), trash, QStringLiteral("現在のﾚｺｰﾄﾞを削除する"),
                           card);
    edit->addWidget(cmdAdd, 1);
    edit->addWidget(cmdDel);
    v->addLayout(edit);
    v->addStretch(1);
    VSViewPort1->setWidget(card);

    connect(cmdTop, &QToolButton::clicked, this, [this] {
        if (m_list->rowCount() > 0 && m_currentRow != 1)
            navigate(1);
    });
    connect(cmdPrevious, &QToolButton::clicked, this, [this] {
        if (m_list->rowCount() > 0 && m_currentRow > 1)
            navigate(m_currentRow - 1);
    });
    connect(cmdNext, &QToolButton::clicked, this, [this] {
        if (m_list->rowCount() > 0 && m_currentRow < m_list->rowCount())
            navigate(m_currentRow + 1);
    });
    connect(cmdBottom, &QToolButton::clicked, this, [this] {
        if (m_list->rowCount() > 0 && m_currentRow != m_list->rowCount())
            navigate(m_list->rowCount());
    });
    connect(cmdAdd, &QPushButton::clicked, this, [this] {
        SaveRecord();
        AddRecord();
        if (m_nameBox && m_nameBox->isEnabled())
            m_nameBox->setFocus();
    });
    connect(cmdDel, &QToolButton::clicked, this, &RegisterWindow::DeleteRecord);
}

// --- first activation --------------------------------------------------------

void RegisterWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_activated)
        firstActivation();
}

void RegisterWindow::firstActivation()
{
    m_activated = true;
    restoreWindowGeometry(this, m_ini, m_design.section);
    BindList();
    checkFontSizeTool(*m_tools, m_profile.GetValueLong(m_ini, m_design.section,
                                                        QStringLiteral("SpreadFontSize")));
    ApplyFontSize();
    fpSpread1->setActiveCell(2, 1);
    m_currentRow = fpSpread1->activeRow();
    EnableCard();
    ShowRecord(m_currentRow);
    fpSpread1->setFocus();
}

void RegisterWindow::BindList()
{
    fpSpread1->setUpdatesEnabled(false);
    fpSpread1->bind(m_list);
    updateAddTools();
    const int spreadW = m_profile.GetValueLong(m_ini, m_design.section, QStringLiteral("SpreadW"));
    if (spreadW > 0)
        setListPaneTwips(spreadW);
    for (int c = 2; c <= fpSpread1->maxCols(); ++c) {
        if (const int design = m_design.designColumnTwips.value(c - 2, 0); design > 0)
            fpSpread1->setColWidthTwips(c, design);
    }
    fpSpread1->restoreColumnWidths(m_ini, m_design.section);
    fpSpread1->setActiveCell(2, 1);
    m_currentRow = fpSpread1->activeRow();
    fpSpread1->setUpdatesEnabled(true);
}

// --- the card ----------------------------------------------------------------

qint64 RegisterWindow::keyAt(int row) const
{
    return m_list->value(row - 1, m_design.keyColumn).toLongLong();
}

QString RegisterWindow::boxText(int i) const
{
    if (auto *edit = qobject_cast<QLineEdit *>(m_boxes[i]))
        return edit->text();
    return static_cast<QComboBox *>(m_boxes[i])->currentText();
}

void RegisterWindow::setBoxText(int i, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(m_boxes[i]))
        edit->setText(text);
    else
        static_cast<QComboBox *>(m_boxes[i])->setEditText(text);
    m_shown[i] = boxText(i); // as the box holds it (cut to its length)
}

int RegisterWindow::boxIndexOf(const QWidget *w) const
{
    for (const QObject *o = w; o; o = o->parent()) {
        const auto i = m_boxes.indexOf(static_cast<QWidget *>(const_cast<QObject *>(o)));
        if (i >= 0)
            return static_cast<int>(i);
    }
    return -1;
}

void RegisterWindow::ShowRecord(int row)
{
    m_currentRow = row;
    const int rows = m_list->rowCount();
    if (row >= 1 && row <= rows) {
        for (int i = 0; i < m_boxes.size(); ++i)
            setBoxText(i, m_list->value(row - 1, m_design.boxes[i].field).toString());
        recordShown(keyAt(row));
    }
    lblRecord->setText(QStringLiteral("(%1/%2)").arg(m_currentRow).arg(rows));
    updateButtons();
}

void RegisterWindow::updateButtons()
{
    const int rows = m_list->rowCount();
    const bool back = rows > 1 && m_currentRow != 1;
    const bool forward = rows > 1 && m_currentRow != rows;
    cmdTop->setEnabled(back);
    cmdPrevious->setEnabled(back);
    cmdNext->setEnabled(forward);
    cmdBottom->setEnabled(forward);
    cmdAdd->setEnabled(!atCapacity());
    cmdDel->setEnabled(rows > 0);
}

void RegisterWindow::SaveRecord()
{
    if (m_saving || m_unloaded || m_list->rowCount() < 1 || m_currentRow < 1)
        return;
    const int row = m_list->findRow(m_design.keyColumn, keyAt(m_currentRow));
    if (row < 0)
        return;
    // Only the boxes the user changed are written: a value longer than its box
    // (stored by another program) is not cut merely by showing it.
    QVariantMap values;
    for (int i = 0; i < m_boxes.size(); ++i) {
        const QString text = boxText(i);
        if (text != m_shown[i] || m_list->value(row, m_design.boxes[i].field).isNull())
            values.insert(m_design.boxes[i].field, text);
    }
    if (values.isEmpty())
        return;
    m_saving = true;
    if (m_list->setValues(row, values)) {
        for (int i = 0; i < m_boxes.size(); ++i)
            m_shown[i] = boxText(i);
    }
    m_saving = false;
}

void RegisterWindow::EnableCard()
{
    const bool any = m_list->rowCount() > 0;
    for (int i = 0; i < m_boxes.size(); ++i) {
        if (!any)
            setBoxText(i, QString());
        m_boxes[i]->setEnabled(any);
    }
    cardEnabled(any);
}

void RegisterWindow::recordShown(qint64)
{
}

void RegisterWindow::cardEnabled(bool)
{
}

bool RegisterWindow::handleTool(const QString &)
{
    return false;
}

void RegisterWindow::onReading(const QString &reading)
{
    if (m_readingBox)
        m_readingBox->setText(m_readingBox->text() + toReadingKatakana(reading));
}

void RegisterWindow::onFocusChanged(QWidget *old, QWidget *now)
{
    if (m_unloaded || !old)
        return;
    const int from = boxIndexOf(old);
    if (from >= 0 && boxIndexOf(now) != from)
        SaveRecord();
}

bool RegisterWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Enter and Down go to the next box of the card, Up to the previous one.
    if (event->type() == QEvent::KeyPress && boxIndexOf(qobject_cast<QWidget *>(watched)) >= 0) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return QDialog::eventFilter(watched, event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down:
            focusNextPrevChild(true);
            return true;
        case Qt::Key_Up:
            focusNextPrevChild(false);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void RegisterWindow::keyPressEvent(QKeyEvent *event)
{
    // Esc closes the register the way its close tool does, keeping the card.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CloseWindow();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return; // no default button to press
    QDialog::keyPressEvent(event);
}

// --- records -----------------------------------------------------------------

bool RegisterWindow::atCapacity() const
{
    // The capacity counts the table, not the part of it a filter shows.
    const QVariant n = scalar(m_context.db(), {QStringLiteral("select count(*) from %1").arg(quoted(m_design.table))});
    const int rows = n.isValid() ? n.toInt() : m_list->rowCount();
    return rows >= m_design.capacity;
}

void RegisterWindow::updateAddTools()
{
    const bool room = !atCapacity();
    m_tools->setEnabled(QStringLiteral("ID_mnuEditAdd"), room);
    m_tools->setEnabled(QStringLiteral("ID_EditAdd"), room);
    cmdAdd->setEnabled(room);
}

int RegisterWindow::NewRecordID() const
{
    return allocateKey(m_context.db(), m_design.table, m_design.keyColumn, m_design.capacity);
}

void RegisterWindow::AddRecord()
{
    if (atCapacity())
        return;
    const int key = NewRecordID();
    if (key < 1)
        return;
    const int col = std::max(2, fpSpread1->activeCol());
    const int row = m_list->appendRecord(newRecordValues(key));
    if (row < 0)
        return; // reported through writeFailed
    fpSpread1->setActiveCell(col, row + 1);
    updateAddTools();
    EnableCard();
    ShowRecord(fpSpread1->activeRow());
}

void RegisterWindow::DeleteRecord()
{
    const int row = fpSpread1->activeRow();
    if (m_list->rowCount() == 0 || row < 1)
        return;
    const qint64 key = keyAt(row);
    QList<SqlStatement> links;
    for (const LinkTable &l : std::as_const(m_design.deleteLinks))
        links << SqlStatement{QStringLiteral("delete from %1 where %2 = ?").arg(quoted(l.table), quoted(l.keyColumn)),
                              {key}};
    // The record and its link rows go together or not at all.
    if (!m_list->removeRecord(row - 1, links))
        return; // reported through writeFailed
    updateAddTools();
    EnableCard();
    ShowRecord(fpSpread1->activeRow());
}

void RegisterWindow::navigate(int row)
{
    SaveRecord();
    const int col = std::max(2, fpSpread1->activeCol());
    ShowRecord(row);
    fpSpread1->setActiveCell(col, row);
}

void RegisterWindow::CopyRows()
{
    if (!fpSpread1->hasBlockSelection()) {
        informUser(this, QStringLiteral("ﾚｺｰﾄﾞが未選択状態です。"));
        return;
    }
    const SpreadGrid::Block b = fpSpread1->selectedBlock();
    fpSpread1->selectBlock(2, b.firstRow, std::max(2, b.lastCol), b.lastRow);
    fpSpread1->copyBlock();
}

void RegisterWindow::PasteRows()
{
    const bool any = m_list->rowCount() > 0;
    if (any && !fpSpread1->hasBlockSelection()) {
        informUser(this, QStringLiteral("ﾚｺｰﾄﾞが未選択状態です。"));
        return;
    }
    int room = 0;
    if (any) {
        const SpreadGrid::Block b = fpSpread1->selectedBlock();
        room = m_list->rowCount() - b.firstRow + 1;
        fpSpread1->selectBlock(2, b.firstRow, std::max(2, b.lastCol), b.lastRow);
        if (fpSpread1->pasteBlock() == 0)
            return; // a refused write is reported through writeFailed
    }
    // Rows beyond the last one become new records, checked as an import is.
    if (pasteRosterRows(this, m_context.db(), rosterKindOf(m_design.table), QApplication::clipboard()->text(),
                        room))
        showAddedRecords();
}

void RegisterWindow::ImportRecords()
{
    SaveRecord();
    if (importRosterFile(this, m_context.db(), rosterKindOf(m_design.table)))
        showAddedRecords();
}

void RegisterWindow::ExportRecords()
{
    SaveRecord();
    exportRosterFile(this, m_context.db(), rosterKindOf(m_design.table));
}

void RegisterWindow::reloadList()
{
    m_list->open(m_design.table);
    BindList();
    EnableCard();
    ShowRecord(fpSpread1->activeRow());
}

void RegisterWindow::showAddedRecords()
{
    reloadList();
    fpSpread1->setActiveCell(2, m_list->rowCount()); // records are added at the end
}

// --- display -----------------------------------------------------------------

int RegisterWindow::listPaneTwips() const
{
    return pxToTwipsX(SSSplitter1->sizes().value(0), this);
}

void RegisterWindow::setListPaneTwips(int twips)
{
    const QList<int> sizes = SSSplitter1->sizes();
    int total = 0;
    for (int s : sizes)
        total += s;
    if (total <= 0)
        total = SSSplitter1->width() - SSSplitter1->handleWidth();
    const int list = twipsToPxX(twips, this);
    SSSplitter1->setSizes({list, std::max(0, total - list)});
}

void RegisterWindow::writeSpreadW()
{
    if (VSViewPort1->isHidden())
        return;
    m_cardListTwips = listPaneTwips();
    m_profile.SetValueString(m_ini, m_design.section, QStringLiteral("SpreadW"),
                             QString::number(m_cardListTwips));
}

void RegisterWindow::writeChangedLayout()
{
    if (m_unloaded)
        return;
    if (std::exchange(m_paneMoved, false))
        writeSpreadW();
    if (std::exchange(m_columnsChanged, false))
        writeColumnWidths();
}

void RegisterWindow::writeColumnWidths()
{
    fpSpread1->saveColumnWidths(m_ini, m_design.section);
}

void RegisterWindow::ToggleCard()
{
    const QAction *card = m_tools->tool(QStringLiteral("ID_mnuDispCard"));
    if (card->isChecked()) {
        const int spreadW = m_profile.GetValueLong(m_ini, m_design.section, QStringLiteral("SpreadW"));
        VSViewPort1->show();
        if (spreadW > 0)
            setListPaneTwips(spreadW);
    } else {
        writeSpreadW();
        VSViewPort1->hide();
    }
}

void RegisterWindow::ApplyFontSize()
{
    fpSpread1->setUpdatesEnabled(false);
    fpSpread1->setSheetFontPoints(
        fontPointsForSize(m_tools->checkedNumber(QStringLiteral("ID_mnuFontSize"), 5)));
    fpSpread1->setUpdatesEnabled(true);
}

void RegisterWindow::ShowInputHint()
{
    m_panel1->setText(fpSpread1->inputHint(fpSpread1->activeCol(), fpSpread1->activeRow()));
}

void RegisterWindow::reportFailure(const QString &what, const QString &reason)
{
    reportWriteFailure(this, what, reason);
}

// --- tools and closing ---------------------------------------------------------

void RegisterWindow::onToolClick(const QString &id)
{
    if (id == QLatin1String("ID_mnuEditAdd") || id == QLatin1String("ID_EditAdd")) {
        // A tool takes no focus from the card, so what was typed there is saved
        // before the new record replaces it.
        SaveRecord();
        AddRecord();
    } else if (id == QLatin1String("ID_mnuEditDel") || id == QLatin1String("ID_EditDel")) {
        DeleteRecord();
    } else if (id == QLatin1String("ID_mnuEditCopy") || id == QLatin1String("ID_EditCopy")) {
        CopyRows();
    } else if (id == QLatin1String("ID_mnuEditPaste") || id == QLatin1String("ID_EditPaste")) {
        PasteRows();
    } else if (id == QLatin1String("ID_mnuFileImport") || id == QLatin1String("ID_FileImport")) {
        ImportRecords();
    } else if (id == QLatin1String("ID_mnuFileExport") || id == QLatin1String("ID_FileExport")) {
        ExportRecords();
    } else if (id == QLatin1String("ID_mnuDispCard")) {
        ToggleCard();
    } else if (id.startsWith(QLatin1String("ID_mnuFontSize"))) {
        ApplyFontSize();
    } else if (id == QLatin1String("ID_Close") || id == QLatin1String("ID_mnuClose")) {
        CloseWindow();
    } else {
        handleTool(id);
    }
}

void RegisterWindow::CloseWindow()
{
    SaveRecord();
    accept();
}

void RegisterWindow::done(int result)
{
    // However the window is closed, what was typed on the card is kept: the
    // close box gives the boxes no chance to lose the focus first.
    SaveRecord();
    unload();
    QDialog::done(result);
}

void RegisterWindow::unload()
{
    if (m_unloaded || !m_activated)
        return;
    m_unloaded = true;
    m_layoutTimer->stop(); // everything is written here
    const QString &s = m_design.section;
    saveWindowGeometry(this, m_ini, s);
    // With the card hidden the list fills the window; the width kept is the one
    // the list had beside the card, which the next opening shows again.
    const int spreadW = VSViewPort1->isHidden() && m_cardListTwips > 0 ? m_cardListTwips
                                                                       : listPaneTwips();
    m_profile.SetValueString(m_ini, s, QStringLiteral("SpreadW"), QString::number(spreadW));
    writeColumnWidths();
    m_profile.SetValueString(m_ini, s, QStringLiteral("SpreadFontSize"),
                             QString::number(m_tools->checkedNumber(QStringLiteral("ID_mnuFontSize"), 5)));
}

} // namespace lumivox
