#include "mainwindow/mainwindow.h"

#include "app/messages.h"
#include "app/spreadgrid.h"
#include "app/startup.h"
#include "app/toolset.h"
#include "db/keys.h"
#include "db/noticestore.h"
#include "db/tablemodel.h"
#include "notices/groupnames.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>

#include <stdexcept>

namespace lumivox {

namespace {

const QString kDestinationNames = QStringLiteral("T_temp_グループ名称");

// Columns of the notice list, as T_お知らせ stores them: NewsID, 見出し, 本文, …
constexpr int kColTitle = 2;
constexpr int kColBody = 3;

// Design widths of the visible columns, in twips.
constexpr int kDesignWidths[] = {0, 2400, 2800, 1900, 1900};

// A list cell shows one line of the body. Only that line is handed to the
// painter: laying out a whole 2 KB body in every visible row just to cut it
// off would make the list slow to draw.
class FirstLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        constexpr qsizetype kShown = 200;
        qsizetype end = option->text.indexOf(u'\r');
        const qsizetype lf = option->text.indexOf(u'\n');
        if (end < 0 || (lf >= 0 && lf < end))
            end = lf;
        if (end < 0 || end > kShown)
            end = std::min(option->text.size(), kShown);
        if (end < option->text.size())
            option->text = option->text.left(end) + QChar(0x2026); // …
    }
};

} // namespace

MainWindow::MainWindow(AppContext &context, QWidget *parent)
    : QMainWindow(parent),
      m_context(context),
      m_layout(this, context, QStringLiteral("MenuMain"), WindowLayout::Kind::Resizable),
      m_lifecycle(this, &m_layout)
{
    setObjectName(QStringLiteral("frmMenuMain"));
    setWindowTitle(QLatin1String(kProductName));

    auto *toolBar = new QToolBar(this);
    addToolBar(toolBar);
    m_tools = new ToolSet(menuBar(), toolBar, this);
    m_tools->setObjectName(QStringLiteral("SSActiveToolBars1"));
    buildTools();
    bindCommands();

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("SSSplitter1"));
    m_splitter->setChildrenCollapsible(false);
    m_list = new SpreadGrid(m_splitter);
    m_list->setObjectName(QStringLiteral("fpSpread1"));
    m_rightPanes = new QSplitter(Qt::Vertical, m_splitter);
    m_rightPanes->setObjectName(QStringLiteral("SSSplitter1Right"));
    m_rightPanes->setChildrenCollapsible(false);
    // The list pane keeps its width when the window is resized; the details take the rest.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_destinations = new SpreadGrid(m_rightPanes);
    m_destinations->setObjectName(QStringLiteral("fpSpread2"));
    m_body = new QPlainTextEdit(m_rightPanes);
    m_body->setObjectName(QStringLiteral("RichTextBox1"));
    m_body->setFont(minchoFont(10));
    // Only a view: nothing typed here would ever be saved.
    m_body->setReadOnly(true);
    setCentralWidget(m_splitter);

    auto *panel1 = new QLabel(this);
    panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    auto *panel2 = new QLabel(QStringLiteral("MAX:") + QString::number(kMaxNotices), this);
    panel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(panel1, 1);
    statusBar()->addPermanentWidget(panel2);

    // The list changes only through the commands and the editor.
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setItemDelegateForColumn(kColBody - 1, new FirstLineDelegate(m_list));
    m_destinations->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_destinations->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->hide();
    m_destinations->hide();

    connect(m_list, &SpreadGrid::activeCellChanged, this, [this](int col, int row) {
        if (!m_moving && col >= 1 && row >= 1 && row != m_detailRow)
            showNoticeDetail(row);
    });
    // A double-click anywhere on the list, its headings included, and Enter edit.
    connect(m_list, &SpreadGrid::cellDoubleClicked, this, &MainWindow::editNotice);
    connect(m_list->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, &MainWindow::editNotice);
    connect(m_list->verticalHeader(), &QHeaderView::sectionDoubleClicked, this, &MainWindow::editNotice);
    m_list->installEventFilter(this);
    m_destinations->viewport()->installEventFilter(this);

    // The notice table stays open for the window's whole life. A window without
    // it is of no use, so failing here stops the start.
    m_notices = new NoticeStore(context.db(), this);
    if (const StoreResult opened = m_notices->open(); !opened)
        throw std::runtime_error(QStringLiteral("T_お知らせを開けません：%1").arg(opened.error).toStdString());
    m_destinationNames = new TableModel(context.db(), this);

    // Design size: a 10680 × 5325 twip list area, 5505 twips for the list pane.
    resize(twipsToPxX(10680, this), twipsToPxY(5325 + 375, this) + menuBar()->sizeHint().height()
                                        + toolBar->sizeHint().height());
    m_splitter->setSizes({twipsToPxX(5505, this), twipsToPxX(5025, this)});
    m_rightPanes->setSizes({twipsToPxY(2595, this), twipsToPxY(2580, this)});

    // The geometry is restored before the window first appears and everything
    // kept is written when it goes; the other parts are restored once the list
    // has its columns.
    m_layout.keepPane(m_splitter);
    m_layout.keepColumns(m_list);
    m_layout.keepFontSize(m_tools);
    m_lifecycle.onFirstShow([this] { firstShowing(); });
    m_lifecycle.onUnload([this] {
        m_destinations->bind(nullptr);
        m_destinationNames->close();
    });
}

void MainWindow::buildTools()
{
    ToolSet &t = *m_tools;
    const QString edit = QStringLiteral("ID_mnuEdit");
    t.addMenu(edit, QStringLiteral("お知らせ(&E)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditNew"), QStringLiteral("お知らせを新規に作成する(&N)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditEdit"), QStringLiteral("お知らせを編集する(&E)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditDel"), QStringLiteral("お知らせを削除する(&D)"));
    t.addMenuSeparator(edit);
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditCopy"), QStringLiteral("お知らせをｺﾋﾟｰする(&C)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditPaste"), QStringLiteral("お知らせを貼り付ける(&P)"));
    t.addMenuSeparator(edit);
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditPreview"), QStringLiteral("送信するメールのプレビュー(&V)..."));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditSubmit"), QStringLiteral("お知らせを送信する(&S)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditResume"), QStringLiteral("未送信の宛先に送信する(&U)"));
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditHistory"), QStringLiteral("送信履歴(&H)..."));
    t.addMenuSeparator(edit);
    t.addMenuItem(edit, QStringLiteral("ID_mnuClose"), QStringLiteral("Lumivoxを終了する(&X)"));

    const QString disp = QStringLiteral("ID_mnuDisp");
    t.addMenu(disp, QStringLiteral("表示(&D)"));
    addFontSizeMenu(t, disp, QStringLiteral("文字の大きさ"));

    t.addMenuBarCommand(QStringLiteral("ID_mnuDBGroup"), QStringLiteral("ｸﾞﾙｰﾌﾟ登録(&G)"));
    t.addMenuBarCommand(QStringLiteral("ID_mnuDBMember"), QStringLiteral("ﾒﾝﾊﾞｰ登録(&M)"));

    const QString print = QStringLiteral("ID_mnuPrint");
    t.addMenu(print, QStringLiteral("印刷(&P)"));
    t.addMenuItem(print, QStringLiteral("ID_mnuPrintGroup"), QStringLiteral("ｸﾞﾙｰﾌﾟ一覧表(&G)"));
    t.addMenuSeparator(print);
    t.addMenuItem(print, QStringLiteral("ID_mnuPrintMember"), QStringLiteral("ﾒﾝﾊﾞｰ一覧表(&1)"));
    t.addMenuItem(print, QStringLiteral("ID_mnuPrintMember2"), QStringLiteral("ﾒﾝﾊﾞｰ一覧表(ｸﾞﾙｰﾌﾟ別)(&2)"));
    t.addMenuSeparator(print);
    t.addMenuItem(print, QStringLiteral("ID_mnuPrintCheckList"), QStringLiteral("送信ﾁｪｯｸﾘｽﾄ(&C)"),
                  QStringLiteral("選択中のお知らせの送信ﾘｽﾄを印刷します"));

    const QString opt = QStringLiteral("ID_mnuOpt");
    t.addMenu(opt, QStringLiteral("設定(&O)"));
    t.addMenuItem(opt, QStringLiteral("ID_mnuSetupSMTP"), QStringLiteral("SMTPｻｰﾊﾞｰ設定(&S)"));
    t.addMenuSeparator(opt);
    t.addMenuItem(opt, QStringLiteral("ID_mnuSetupSubmit"), QStringLiteral("送信ｵﾌﾟｼｮﾝ設定(&O)"));
    t.addMenuSeparator(opt);
    t.addMenuItem(opt, QStringLiteral("ID_mnuSetupDatabase"), QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ設定(&D)"),
                  QStringLiteral("名簿を置く場所（このｺﾝﾋﾟｭｰﾀｰ，または複数の担当者で共有するｻｰﾊﾞｰ）を選びます"));

    const QString help = QStringLiteral("ID_mnuHelp");
    t.addMenu(help, QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    t.addMenuItem(help, QStringLiteral("ID_mnuHelpHelp"), QStringLiteral("目次(&I)"));
    t.addMenuSeparator(help);
    t.addMenuItem(help, QStringLiteral("ID_mnuHelpWeb"), QStringLiteral("Velmoria ﾎｰﾑﾍﾟｰｼﾞへ(&W)"));
    t.addMenuSeparator(help);
    t.addMenuItem(help, QStringLiteral("ID_mnuHelpAbout"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));

    t.addToolButton(QStringLiteral("ID_EditNew"), QStringLiteral("ﾚｺｰﾄﾞ追加"),
                    QStringLiteral("お知らせを新規に作成する"), QStringLiteral("document-new"));
    t.addToolButton(QStringLiteral("ID_EditEdit"), QStringLiteral("ﾚｺｰﾄﾞ編集"),
                    QStringLiteral("お知らせを編集する"), QStringLiteral("document-edit"));
    t.addToolButton(QStringLiteral("ID_EditDel"), QStringLiteral("ﾚｺｰﾄﾞ削除"),
                    QStringLiteral("お知らせを削除する"), QStringLiteral("edit-delete"));
    t.addToolSeparator();
    t.addToolButton(QStringLiteral("ID_EditCopy"), QStringLiteral("ﾚｺｰﾄﾞｺﾋﾟｰ"),
                    QStringLiteral("お知らせをｺﾋﾟｰする"), QStringLiteral("edit-copy"));
    t.addToolButton(QStringLiteral("ID_EditPaste"), QStringLiteral("ﾚｺｰﾄﾞ貼付"),
                    QStringLiteral("お知らせを貼り付ける"), QStringLiteral("edit-paste"));
    t.addToolSeparator();
    t.addToolButton(QStringLiteral("ID_EditSubmit"), QStringLiteral("送信"),
                    QStringLiteral("お知らせを送信する"), QStringLiteral("mail-send"));
    t.addToolSeparator();
    t.addToolButton(QStringLiteral("ID_Close"), QStringLiteral("閉じる"), QStringLiteral("閉じる"),
                    QStringLiteral("window-close"));
}

int MainWindow::rowCount() const
{
    return m_notices->count();
}

qint64 MainWindow::activeNewsId() const
{
    return m_notices->notice(m_list->activeRow() - 1).id;
}

// Runs once, just before the window first appears (in one step: no input can
// come in meanwhile): the list, its saved widths and font size, the first notice.
void MainWindow::firstShowing()
{
    {
        const RefillGuard::Scope moving(m_moving);
        m_list->bind(m_notices->model());
        updateNewTools();
        m_layout.restorePane(m_splitter);
        for (int c = 1; c <= m_list->maxCols(); ++c) {
            const int design = c - 1 < int(std::size(kDesignWidths)) ? kDesignWidths[c - 1] : 1500;
            if (design > 0)
                m_list->setColWidthTwips(c, design);
        }
        m_layout.restoreColumns(m_list); // NewsID stays hidden
        m_layout.restoreFontSize(*m_tools);
        applyFontSize();
        m_list->setActiveCell(kColTitle, 1);
    }
    // The panes take their final widths before the first body is laid out in
    // them: laid out at the width of a pane about to shrink, it would be laid
    // out again at the first resize.
    m_list->show();
    m_destinations->show();
    m_splitter->refresh();
    m_rightPanes->refresh();
    showNoticeDetail(m_list->activeRow());
    m_list->setFocus();
}

// The body and the destination groups of a list row (1-based); a row below 1
// empties both, so that nothing of another notice stays on the screen.
void MainWindow::showNoticeDetail(int row)
{
    m_detailRow = row;
    m_destinations->setUpdatesEnabled(false);
    const Notice notice = m_notices->notice(row - 1);
    m_body->setPlainText(notice.body);
    bool readable = true;
    QString error;
    if (row < 1) {
        if (!m_destinationNames->open(kDestinationNames, QStringLiteral("0")))
            m_destinationNames->close();
    } else {
        readable = loadGroupNames(*m_destinationNames, m_context.db(), noticeDestinations(), notice.id, &error);
    }
    m_destinations->bind(m_destinationNames);
    m_destinations->setHeading(1, readable ? QStringLiteral("宛先グループ一覧")
                                           : QString::fromUtf8(kUnreadableDestinations));
    fitDestinationColumn();
    m_destinations->setUpdatesEnabled(true);
    // An unreadable list never passes for an empty one: its heading says so,
    // and the user is told once (not at every row passed while it lasts), after
    // the step that found it.
    if (!readable && !m_destinationsUnreadable)
        QTimer::singleShot(0, this, [this, error] { informUser(this, unreadableDestinationsMessage(error)); });
    m_destinationsUnreadable = !readable;
}

void MainWindow::applyFontSize()
{
    m_list->setSheetFontPoints(fontPointsForSize(m_tools->checkedNumber(QStringLiteral("ID_mnuFontSize"), 5)));
}

void MainWindow::fitDestinationColumn()
{
    if (m_destinations->maxCols() > 0)
        m_destinations->fitColumn(1, 50);
}

// The New tools are offered only while there is room for another notice.
void MainWindow::updateNewTools()
{
    const bool room = !m_notices->isFull();
    m_tools->setEnabled(QStringLiteral("ID_mnuEditNew"), room);
    m_tools->setEnabled(QStringLiteral("ID_EditNew"), room);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The destination column follows every change of its grid's width: window
    // resizes and splitter moves alike.
    if (watched == m_destinations->viewport() && event->type() == QEvent::Resize)
        fitDestinationColumn();
    // Enter on the list opens the editor, as a double-click does.
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            editNotice();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace lumivox
