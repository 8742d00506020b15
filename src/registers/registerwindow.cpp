#include "registers/registerwindow.h"

#include "app/messages.h"
#include "app/toolset.h"
#include "db/registerstore.h"
#include "db/tablemodel.h"
#include "registers/importdialog.h"
#include "registers/registerlist.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <utility>

namespace lumivox {

namespace {

// How long a drag of the splitter or a column border must pause before the new
// widths are written.
constexpr int kLayoutWriteDelayMs = 300;

} // namespace

RegisterWindow::RegisterWindow(AppContext &context, RegisterDesign design, QWidget *parent)
    : QDialog(parent),
      m_context(context),
      m_design(std::move(design)),
      m_layout(this, context, m_design.section, WindowLayout::Kind::Resizable)
{
    setObjectName(m_design.objectName);
    setWindowTitle(m_design.title);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(false);

    m_store = new RegisterStore(m_context.db(), m_design.table, this);
    connect(m_store, &RegisterStore::listEditFailed, this, &RegisterWindow::reportFailure);
    if (const StoreResult opened = m_store->open(); !opened)
        informUser(this, QStringLiteral("一覧を読み込めませんでした。\n\n詳細：") + opened.error);

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

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("SSSplitter1"));
    m_splitter->setChildrenCollapsible(false);
    m_list = new RegisterList(*m_store, m_design.designColumnTwips, m_splitter);
    m_cardPane = new QScrollArea(m_splitter);
    m_cardPane->setObjectName(QStringLiteral("VSViewPort1"));
    m_cardPane->setWidgetResizable(true);
    m_cardPane->setMinimumWidth(120);
    m_card = new RegisterCard(m_design.boxes, RegisterStore::honorifics(m_context.db()));
    m_cardPane->setWidget(m_card);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    outer->addWidget(m_splitter, 1);

    auto *statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->setSizeGripEnabled(true);
    m_hint = new QLabel(statusBar);
    m_hint->setObjectName(QStringLiteral("StatusBar1Panel1"));
    auto *limit = new QLabel(QStringLiteral("MAX:") + QString::number(m_design.table.capacity), statusBar);
    limit->setObjectName(QStringLiteral("StatusBar1Panel2"));
    m_narrowed = new QLabel(statusBar);
    m_narrowed->setObjectName(QStringLiteral("StatusBar1Filter"));
    m_narrowed->hide();
    statusBar->addWidget(m_hint, 1);
    statusBar->addPermanentWidget(m_narrowed);
    statusBar->addPermanentWidget(limit);
    outer->addWidget(statusBar);

    bindTools();
    connect(m_card, &RegisterCard::moveRequested, this, &RegisterWindow::navigate);
    connect(m_card, &RegisterCard::addClicked, this, [this] {
        saveRecord();
        addRecord();
        m_card->focusName();
    });
    connect(m_card, &RegisterCard::deleteClicked, this, &RegisterWindow::deleteRecord);
    connect(m_card, &RegisterCard::boxLeft, this, &RegisterWindow::saveRecord);

    connect(m_list, &SpreadGrid::activeCellChanged, this, [this](int col, int row) {
        if (col < 1 || row < 1)
            return;
        m_hint->setText(m_list->inputHint(col, row));
        if (row != m_currentRow)
            showRecord(row);
    });
    connect(m_list, &SpreadGrid::cellChanged, this, [this](int, int row) {
        // Only the row the card shows needs showing again (an edit in the list,
        // a paste over it, the card's own save).
        if (row == m_currentRow)
            showRecord(row);
    });
    connect(m_list, &SpreadGrid::focusLost, m_hint, &QLabel::clear);
    // A drag reports every mouse move; the layout is written once the drag
    // pauses, not at each step.
    m_layoutTimer = new QTimer(this);
    m_layoutTimer->setSingleShot(true);
    m_layoutTimer->setInterval(kLayoutWriteDelayMs);
    connect(m_layoutTimer, &QTimer::timeout, this, &RegisterWindow::writeChangedLayout);
    if (m_design.writesLayoutWhenChanged) {
        connect(m_list, &SpreadGrid::columnWidthsChanged, this, [this] {
            m_columnsChanged = true;
            m_layoutTimer->start();
        });
        connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
            m_paneMoved = true;
            m_layoutTimer->start();
        });
    }

    // Design size, centred; the saved geometry replaces both before the window
    // appears, when there is one.
    resize(twipsToPxX(m_design.designWidthTwips, this), twipsToPxY(m_design.designHeightTwips, this));
    layout()->activate();
    WindowLayout::setPaneTwips(m_splitter, m_design.designListTwips);
    WindowLayout::centre(this);
    m_layout.keepColumns(m_list);
    m_layout.keepFontSize(m_tools);
    m_lifecycle.onFirstShow([this] { firstActivation(); });
    m_lifecycle.onUnload([this] { unload(); });
}

RegisterWindow::~RegisterWindow()
{
    m_lifecycle.unload();
    // The children go after this destructor; their signals (a grid losing the
    // focus as it goes, a box losing it) must no longer reach this window.
    for (QObject *child : findChildren<QObject *>())
        disconnect(child, nullptr, this, nullptr);
}

// The menus and the toolbar, in the order they show.
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

// One handler per command, for its menu entry and its toolbar button alike.
void RegisterWindow::bindTools()
{
    ToolSet &t = *m_tools;
    t.bind({QStringLiteral("ID_mnuEditAdd"), QStringLiteral("ID_EditAdd")}, [this] {
        // A tool takes no focus from the card, so what was typed there is saved
        // before the new record replaces it.
        saveRecord();
        addRecord();
        m_card->focusName();
    });
    t.bind({QStringLiteral("ID_mnuEditDel"), QStringLiteral("ID_EditDel")}, [this] { deleteRecord(); });
    t.bind({QStringLiteral("ID_mnuEditCopy"), QStringLiteral("ID_EditCopy")}, [this] { copyRows(); });
    t.bind({QStringLiteral("ID_mnuEditPaste"), QStringLiteral("ID_EditPaste")}, [this] { pasteRows(); });
    t.bind({QStringLiteral("ID_mnuFileImport"), QStringLiteral("ID_FileImport")}, [this] { importRecords(); });
    t.bind({QStringLiteral("ID_mnuFileExport"), QStringLiteral("ID_FileExport")}, [this] { exportRecords(); });
    t.bind({QStringLiteral("ID_mnuDispCard")}, [this] { toggleCard(); });
    for (int n = 1; n <= 5; ++n)
        t.bind({QStringLiteral("ID_mnuFontSize%1").arg(n)}, [this] { applyFontSize(); });
    t.bind({QStringLiteral("ID_Close"), QStringLiteral("ID_mnuClose")}, [this] { closeWindow(); });
}

// --- first activation --------------------------------------------------------

void RegisterWindow::firstActivation()
{
    bindList();
    m_layout.restoreFontSize(*m_tools);
    applyFontSize();
    m_list->setActiveCell(2, 1);
    m_currentRow = m_list->activeRow();
    enableCard();
    showRecord(m_currentRow);
    m_list->setFocus();
}

// The list's binding: rows, add tools at the capacity, pane and column widths,
// the key hidden, row 1 active.
void RegisterWindow::bindList()
{
    m_list->bindRecords(m_layout);
    // While the list shows only some records, the status bar says which.
    const QString condition = m_list->condition().description;
    m_narrowed->setText(QStringLiteral("絞り込み中：") + condition);
    m_narrowed->setToolTip(m_narrowed->text());
    m_narrowed->setVisible(m_list->isNarrowed());
    updateAddTools();
    m_layout.restorePane(m_splitter);
    m_currentRow = m_list->activeRow();
}

void RegisterWindow::rebindList()
{
    bindList();
    enableCard();
    showRecord(m_list->activeRow());
}

// --- the card ----------------------------------------------------------------

void RegisterWindow::showRecord(int row)
{
    m_currentRow = row;
    const int rows = m_list->rowCount();
    if (row >= 1 && row <= rows) {
        m_card->showRecord(m_list->record(row));
        recordShown(m_list->keyAt(row));
    }
    m_card->showPosition(m_currentRow, rows);
}

void RegisterWindow::saveRecord()
{
    if (m_saving || m_lifecycle.hasUnloaded() || m_currentRow < 1 || m_currentRow > m_list->rowCount())
        return;
    const QVariantMap edits = m_card->edits(m_list->record(m_currentRow));
    if (edits.isEmpty())
        return;
    m_saving = true; // the message about a refused save takes the focus: no second save
    if (const StoreResult saved = m_store->update(m_currentRow - 1, edits)) {
        m_card->markSaved();
    } else if (saved.refused) {
        // Another officer changed the record meanwhile: the card shows what is
        // stored now, as the list does.
        informUser(this, saved.error);
        showRecord(m_currentRow);
    } else {
        reportFailure(saved.error);
    }
    m_saving = false;
}

void RegisterWindow::enableCard()
{
    const bool any = m_list->rowCount() > 0;
    m_card->setBoxesEnabled(any);
    cardEnabled(any);
}

void RegisterWindow::recordShown(qint64)
{
}

void RegisterWindow::cardEnabled(bool)
{
}

void RegisterWindow::keyPressEvent(QKeyEvent *event)
{
    // Esc closes the register the way its close tool does, keeping the card.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closeWindow();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return; // no default button to press
    QDialog::keyPressEvent(event);
}

// --- records -----------------------------------------------------------------

void RegisterWindow::updateAddTools()
{
    const bool room = !m_store->isFull();
    m_tools->setEnabled(QStringLiteral("ID_mnuEditAdd"), room);
    m_tools->setEnabled(QStringLiteral("ID_EditAdd"), room);
    m_card->setAddEnabled(room);
}

void RegisterWindow::addRecord()
{
    if (m_store->isFull())
        return;
    const int col = std::max(2, m_list->activeCol());
    const StoreResult added = m_store->append();
    if (!added) {
        reportFailure(added.error);
        return;
    }
    m_list->setActiveCell(col, added.row + 1);
    updateAddTools();
    enableCard();
    showRecord(m_list->activeRow());
}

void RegisterWindow::deleteRecord()
{
    const int row = m_list->activeRow();
    if (m_list->rowCount() == 0 || row < 1)
        return;
    if (!confirmDeletion(this, deletionQuestion(m_list->text(2, row), m_store->linkCounts(row - 1))))
        return;
    if (const StoreResult removed = m_store->remove(row - 1); !removed) {
        reportFailure(removed.error);
        return;
    }
    updateAddTools();
    enableCard();
    showRecord(m_list->activeRow());
}

void RegisterWindow::navigate(int row)
{
    saveRecord();
    const int col = std::max(2, m_list->activeCol());
    showRecord(row);
    m_list->setActiveCell(col, row);
}

void RegisterWindow::copyRows()
{
    if (!m_list->copyRows())
        informUser(this, QStringLiteral("ﾚｺｰﾄﾞが未選択状態です。"));
}

void RegisterWindow::pasteRows()
{
    const bool any = m_list->rowCount() > 0;
    if (any && !m_list->hasBlockSelection()) {
        informUser(this, QStringLiteral("ﾚｺｰﾄﾞが未選択状態です。"));
        return;
    }
    int room = 0;
    if (any) {
        room = m_list->rowCount() - m_list->selectedBlock().firstRow + 1;
        if (!m_list->pasteRows())
            return; // a refused write is reported through the store's listEditFailed
    }
    // Rows beyond the last one become new records, checked as an import is.
    if (pasteRosterRows(this, m_context.db(), rosterKindOf(m_design.table.table),
                        QApplication::clipboard()->text(), room))
        showAddedRecords();
}

void RegisterWindow::importRecords()
{
    saveRecord();
    if (importRosterFile(this, m_context.db(), rosterKindOf(m_design.table.table)))
        showAddedRecords();
}

void RegisterWindow::exportRecords()
{
    saveRecord();
    exportRosterFile(this, m_context.db(), rosterKindOf(m_design.table.table));
}

// The whole table again (records are added at its end), with the last one shown.
void RegisterWindow::showAddedRecords()
{
    m_list->narrow({}, nullptr);
    rebindList();
    m_list->setActiveCell(2, m_list->rowCount());
}

void RegisterWindow::reportFailure(const QString &reason)
{
    reportWriteFailure(this, QStringLiteral("入力した内容"), reason);
}

// --- display -----------------------------------------------------------------

void RegisterWindow::writeSpreadW()
{
    if (m_cardPane->isHidden())
        return;
    m_cardListTwips = WindowLayout::paneTwips(m_splitter);
    m_layout.savePaneTwips(m_cardListTwips);
}

void RegisterWindow::writeChangedLayout()
{
    if (m_lifecycle.hasUnloaded())
        return;
    if (std::exchange(m_paneMoved, false))
        writeSpreadW();
    if (std::exchange(m_columnsChanged, false))
        m_layout.saveColumns(m_list);
}

void RegisterWindow::toggleCard()
{
    if (m_tools->tool(QStringLiteral("ID_mnuDispCard"))->isChecked()) {
        m_cardPane->show();
        m_layout.restorePane(m_splitter);
    } else {
        writeSpreadW();
        m_cardPane->hide();
    }
}

void RegisterWindow::applyFontSize()
{
    m_list->setUpdatesEnabled(false);
    m_list->setSheetFontPoints(
        fontPointsForSize(m_tools->checkedNumber(QStringLiteral("ID_mnuFontSize"), 5)));
    m_list->setUpdatesEnabled(true);
}

// --- closing -------------------------------------------------------------------

void RegisterWindow::closeWindow()
{
    saveRecord();
    accept();
}

void RegisterWindow::done(int result)
{
    // However the window is closed, what was typed on the card is kept: the
    // close box gives the boxes no chance to lose the focus first.
    saveRecord();
    QDialog::done(result);
}

// After the layout has written the geometry, the column widths and the font size.
void RegisterWindow::unload()
{
    m_layoutTimer->stop(); // everything is written now
    // With the card hidden the list fills the window; the width kept is the one
    // the list had beside the card, which the next opening shows again.
    m_layout.savePaneTwips(m_cardPane->isHidden() && m_cardListTwips > 0
                               ? m_cardListTwips
                               : WindowLayout::paneTwips(m_splitter));
}

} // namespace lumivox
