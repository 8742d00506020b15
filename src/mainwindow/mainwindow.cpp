#include "mainwindow/mainwindow.h"

#include "app/messages.h"
#include "app/placement.h"
#include "app/settingsfile.h"
#include "app/spreadgrid.h"
#include "app/startup.h"
#include "app/toolset.h"
#include "db/database.h"
#include "db/keys.h"
#include "db/tablemodel.h"
#include "mail/smtpsettingsdialog.h"
#include "mail/sendoptionsdialog.h"
#include "notices/noticeeditor.h"
#include "notices/noticetexts.h"
#include "mainwindow/sendcommand.h"
#include "registers/groupregister.h"
#include "registers/memberregister.h"
#include "reports/reportpreview.h"
#include "util/shelllauncher.h"
#include "util/aboutdialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QStatusBar>
#include <QToolBar>

#include <stdexcept>

namespace lumivox {

namespace {

const QString kSection = QStringLiteral("MenuMain");
const QString kNewsTable = QStringLiteral("T_お知らせ");
const QString kDestinationNames = QStringLiteral("T_temp_グループ名称");

// Columns of the notice list, as T_お知らせ stores them.
constexpr int kColNewsID = 1;
constexpr int kColTitle = 2;
constexpr int kColBody = 3;
constexpr int kColCreated = 4;
constexpr int kColSent = 5;

// Design widths of the visible columns, in twips.
constexpr int kDesignWidths[] = {0, 2400, 2800, 1900, 1900};

// Bodies are stored with CR LF line ends; the text views work with LF.
QString forView(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString forStorage(const QString &text)
{
    QString lf = forView(text);
    return lf.replace(u'\n', QStringLiteral("\r\n"));
}

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
    : QMainWindow(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmMenuMain"));
    setWindowTitle(QLatin1String(kProductName));

    auto *toolBar = new QToolBar(this);
    addToolBar(toolBar);
    m_tools = new ToolSet(menuBar(), toolBar, this);
    m_tools->setObjectName(QStringLiteral("SSActiveToolBars1"));
    buildTools();
    connect(m_tools, &ToolSet::toolClick, this, &MainWindow::onToolClick);

    SSSplitter1 = new QSplitter(Qt::Horizontal, this);
    SSSplitter1->setObjectName(QStringLiteral("SSSplitter1"));
    SSSplitter1->setChildrenCollapsible(false);
    fpSpread1 = new SpreadGrid(SSSplitter1);
    fpSpread1->setObjectName(QStringLiteral("fpSpread1"));
    m_rightPanes = new QSplitter(Qt::Vertical, SSSplitter1);
    m_rightPanes->setObjectName(QStringLiteral("SSSplitter1Right"));
    m_rightPanes->setChildrenCollapsible(false);
    // The list pane keeps its width when the window is resized; the details take the rest.
    SSSplitter1->setStretchFactor(0, 0);
    SSSplitter1->setStretchFactor(1, 1);
    fpSpread2 = new SpreadGrid(m_rightPanes);
    fpSpread2->setObjectName(QStringLiteral("fpSpread2"));
    RichTextBox1 = new QPlainTextEdit(m_rightPanes);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setFont(minchoFont(10));
    // Only a view: nothing typed here would ever be saved.
    RichTextBox1->setReadOnly(true);
    setCentralWidget(SSSplitter1);

    m_panel1 = new QLabel(this);
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_panel2 = new QLabel(QStringLiteral("MAX:") + QString::number(kMaxNotices), this);
    m_panel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(m_panel1, 1);
    statusBar()->addPermanentWidget(m_panel2);

    // The list changes only through the commands and the editor.
    fpSpread1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fpSpread1->setSelectionBehavior(QAbstractItemView::SelectRows);
    fpSpread1->setSelectionMode(QAbstractItemView::SingleSelection);
    fpSpread1->setItemDelegateForColumn(kColBody - 1, new FirstLineDelegate(fpSpread1));
    fpSpread2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fpSpread2->setSelectionMode(QAbstractItemView::SingleSelection);
    fpSpread1->hide();
    fpSpread2->hide();

    connect(fpSpread1, &SpreadGrid::activeCellChanged, this, [this](int col, int row) {
        if (m_quiet == 0 && col >= 1 && row >= 1 && row != m_detailRow)
            ShowNewsDetail(row);
    });
    connect(fpSpread1, &SpreadGrid::cellDoubleClicked, this, [this] { EditEdit(); });
    connect(fpSpread1->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this] { EditEdit(); });
    connect(fpSpread1->verticalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this] { EditEdit(); });
    fpSpread1->installEventFilter(this);
    fpSpread2->viewport()->installEventFilter(this);

    // Load: the notice table stays open for the window's whole life. A window
    // without it is of no use, so failing here stops the start.
    m_news = new TableModel(context.db(), this);
    if (!m_news->open(kNewsTable))
        throw std::runtime_error(QStringLiteral("T_お知らせを開けません：%1")
                                     .arg(m_news->lastError())
                                     .toStdString());
    connect(m_news, &TableModel::writeFailed, this, [this](const QString &reason) {
        reportWriteFailure(this, QStringLiteral("お知らせ"), reason);
    });
    m_destinations = new TableModel(context.db(), this);

    // Design size: a 10680 × 5325 twip list area, 5505 twips for the list pane.
    resize(twipsToPxX(10680, this), twipsToPxY(5325 + 375, this) + menuBar()->sizeHint().height()
                                        + toolBar->sizeHint().height());
    SSSplitter1->setSizes({twipsToPxX(5505, this), twipsToPxX(5025, this)});
    m_rightPanes->setSizes({twipsToPxY(2595, this), twipsToPxY(2580, this)});
}

MainWindow::~MainWindow()
{
    Form_Unload();
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
    t.addMenuItem(edit, QStringLiteral("ID_mnuEditSubmit"), QStringLiteral("お知らせを送信する(&S)"));
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

// One dispatch for every tool; a tool not listed here (a menu header) does nothing.
void MainWindow::onToolClick(const QString &id)
{
    if (id == QLatin1String("ID_mnuEditNew") || id == QLatin1String("ID_EditNew"))
        EditNew();
    else if (id == QLatin1String("ID_mnuEditEdit") || id == QLatin1String("ID_EditEdit"))
        EditEdit();
    else if (id == QLatin1String("ID_mnuEditDel") || id == QLatin1String("ID_EditDel"))
        EditDel();
    else if (id == QLatin1String("ID_mnuEditCopy") || id == QLatin1String("ID_EditCopy"))
        EditCopy();
    else if (id == QLatin1String("ID_mnuEditPaste") || id == QLatin1String("ID_EditPaste"))
        EditPaste();
    else if (id == QLatin1String("ID_mnuEditSubmit") || id == QLatin1String("ID_EditSubmit")) {
        // Send: nothing to do on an empty list. A run writes 送信日時 itself
        // when a mail is accepted; the row shows what is stored.
        if (rowCount() > 0 && SendNotice(this, m_context, activeNewsId()))
            setActiveSendTime(scalar(m_context.db(), {QStringLiteral("select 送信日時 from T_お知らせ where NewsID = ?"),
                                                      {activeNewsId()}})
                                  .toString());
    } else if (id == QLatin1String("ID_mnuSetupSMTP")) {
        SmtpSettingsDialog smtp(m_context, this);
        smtp.exec();
    } else if (id == QLatin1String("ID_mnuSetupSubmit")) {
        SendOptionsDialog options(m_context, this);
        options.exec();
    } else if (id.startsWith(QLatin1String("ID_mnuFontSize")))
        ApplyFontSize();
    else if (id == QLatin1String("ID_mnuDBGroup")) {
        auto *groups = new GroupRegister(m_context, this);
        groups->exec();
        delete groups;
    } else if (id == QLatin1String("ID_mnuDBMember")) {
        auto *members = new MemberRegister(m_context, this);
        members->exec();
        delete members;
    } else if (id == QLatin1String("ID_mnuPrintGroup"))
        showReport(m_context, ReportKind::arpGroup, this);
    else if (id == QLatin1String("ID_mnuPrintMember"))
        showReport(m_context, ReportKind::arpMember, this);
    else if (id == QLatin1String("ID_mnuPrintMember2"))
        showReport(m_context, ReportKind::arpMember2, this);
    else if (id == QLatin1String("ID_mnuPrintCheckList")) {
        // The check list shows the send list of the selected notice, made afresh.
        if (MakeSendList(this, m_context.db(), activeNewsId()))
            showReport(m_context, ReportKind::arpCheckList, this);
    } else if (id == QLatin1String("ID_mnuHelpHelp"))
        HelpContents();
    else if (id == QLatin1String("ID_mnuHelpWeb"))
        HelpWeb();
    else if (id == QLatin1String("ID_mnuHelpAbout"))
        HelpAbout();
    else if (id == QLatin1String("ID_mnuClose") || id == QLatin1String("ID_Close"))
        close();
}

int MainWindow::rowCount() const
{
    return fpSpread1->maxRows();
}

int MainWindow::activeNewsId() const
{
    const int row = fpSpread1->activeRow();
    return row >= 1 ? fpSpread1->text(kColNewsID, row).toInt() : 0;
}

bool MainWindow::setActiveSendTime(const QString &text)
{
    const int row = fpSpread1->activeRow();
    if (row < 1)
        return false;
    // The grid shows the model's row, so one write updates both.
    return m_news->setValues(row - 1, {{QStringLiteral("送信日時"), text}});
}

int MainWindow::GetNewNewsID() const
{
    return allocateKey(m_context.db(), kNewsTable, QStringLiteral("NewsID"), kMaxNotices);
}

void MainWindow::showEvent(QShowEvent *event)
{
    if (!m_activated)
        Form_Activate();
    QMainWindow::showEvent(event);
}

// The first activation: runs once, just before the window first appears, with
// the window taking no input until it has finished.
void MainWindow::Form_Activate()
{
    setEnabled(false);
    const QString ini = m_context.iniPath();
    const SettingsFile profile;

    restoreWindowGeometry(this, ini, kSection);

    ++m_quiet;
    fpSpread1->bind(m_news);
    updateNewTools();

    if (layout())
        layout()->activate(); // the panes get their real sizes before SpreadW applies
    const int spreadW = profile.GetValueLong(ini, kSection, QStringLiteral("SpreadW"));
    if (spreadW > 0) {
        const int total = SSSplitter1->sizes().value(0) + SSSplitter1->sizes().value(1);
        const int left = twipsToPxX(spreadW, this);
        SSSplitter1->setSizes({left, std::max(1, total - left)});
    }

    for (int c = 1; c <= fpSpread1->maxCols(); ++c) {
        const int design = c - 1 < int(std::size(kDesignWidths)) ? kDesignWidths[c - 1] : 1500;
        if (design > 0)
            fpSpread1->setColWidthTwips(c, design);
    }
    fpSpread1->restoreColumnWidths(ini, kSection); // NewsID stays hidden

    checkFontSizeTool(*m_tools, profile.GetValueLong(ini, kSection, QStringLiteral("SpreadFontSize")));
    ApplyFontSize();

    fpSpread1->setActiveCell(kColTitle, 1);
    --m_quiet;
    ShowNewsDetail(fpSpread1->activeRow());

    fpSpread1->show();
    fpSpread2->show();
    setEnabled(true);
    fpSpread1->setFocus();
    m_activated = true;
}

void MainWindow::ShowNewsDetail(int row)
{
    m_detailRow = row;
    fpSpread2->setUpdatesEnabled(false);
    if (row < 1) {
        // No notice: nothing of the last one stays on the screen.
        RichTextBox1->clear();
        if (!m_destinations->open(kDestinationNames, QStringLiteral("0")))
            m_destinations->close();
    } else {
        const int newsId = fpSpread1->text(kColNewsID, row).toInt();
        RichTextBox1->setPlainText(forView(fpSpread1->text(kColBody, row)));
        loadGroupNames(*m_destinations, m_context.db(), noticeDestinations(), newsId);
    }
    fpSpread2->bind(m_destinations);
    fpSpread2->setHeading(1, QStringLiteral("宛先グループ一覧"));
    fitDestinationColumn();
    fpSpread2->setUpdatesEnabled(true);
}

void MainWindow::ApplyFontSize()
{
    fpSpread1->setSheetFontPoints(
        fontPointsForSize(m_tools->checkedNumber(QStringLiteral("ID_mnuFontSize"), 5)));
}

void MainWindow::fitDestinationColumn()
{
    if (fpSpread2->maxCols() > 0)
        fpSpread2->fitColumn(1, 50);
}

// The New tools are offered only while there is room for another notice.
void MainWindow::updateNewTools()
{
    const bool room = fpSpread1->maxRows() < kMaxNotices;
    m_tools->setEnabled(QStringLiteral("ID_mnuEditNew"), room);
    m_tools->setEnabled(QStringLiteral("ID_EditNew"), room);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The destination column follows every change of its grid's width: window
    // resizes and splitter moves alike.
    if (watched == fpSpread2->viewport() && event->type() == QEvent::Resize)
        fitDestinationColumn();
    // Enter on the list opens the editor, as a double-click does.
    if (watched == fpSpread1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            EditEdit();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::EditNew()
{
    if (fpSpread1->maxRows() >= kMaxNotices)
        return;
    const int newsId = GetNewNewsID();
    if (newsId < 1)
        return;
    const int col = std::max(fpSpread1->activeCol(), int(kColTitle));
    const int row = m_news->appendRecord({{QStringLiteral("NewsID"), newsId},
                                          {QStringLiteral("見出し"), QString::fromUtf8(kUntitledTitle)},
                                          {QStringLiteral("本文"), QString::fromUtf8(kEmptyBody)},
                                          {QStringLiteral("作成日時"), currentTimeText()},
                                          {QStringLiteral("送信日時"), QString::fromUtf8(kNotSent)}});
    if (row < 0)
        return; // already reported: the editor would edit a notice that is not there
    ++m_quiet;
    fpSpread1->setActiveCell(col, row + 1);
    --m_quiet;
    updateNewTools();
    ShowNewsDetail(fpSpread1->activeRow());
    openEditor(QStringLiteral("お知らせの新規作成"));
}

void MainWindow::EditEdit()
{
    if (fpSpread1->activeRow() < 1)
        return;
    openEditor(QStringLiteral("お知らせ編集"));
}

// Shows the editor for the active row. The editor's group chooser writes the
// destinations at once, even when the editor itself is then left through its
// close box without saving, so the details are shown afresh however it closes.
void MainWindow::openEditor(const QString &caption)
{
    NoticeEditor objInpNews(m_context, this);
    objInpNews.setUsrCaption(caption);
    objInpNews.setUsrHelpFile({});
    objInpNews.setUsrHelpContextID(0);
    connect(&objInpNews, &NoticeEditor::LoadData, this,
            [this, &objInpNews] { objInpNews_LoadData(objInpNews); });
    connect(&objInpNews, &NoticeEditor::SaveData, this,
            [this, &objInpNews](bool &cancel) { objInpNews_SaveData(objInpNews, cancel); });
    objInpNews.exec();
    ShowNewsDetail(fpSpread1->activeRow());
}

void MainWindow::objInpNews_LoadData(NoticeEditor &editor)
{
    const int row = fpSpread1->activeRow();
    if (row < 1)
        return;
    editor.setNewsId(fpSpread1->text(kColNewsID, row).toLongLong());
    editor.txtTitle()->setText(fpSpread1->text(kColTitle, row));
    editor.RichTextBox1()->setPlainText(forView(fpSpread1->text(kColBody, row)));
    editor.txtDateCreate()->setText(fpSpread1->text(kColCreated, row));
    editor.txtDateSubmit()->setText(fpSpread1->text(kColSent, row));
}

void MainWindow::objInpNews_SaveData(NoticeEditor &editor, bool &cancel)
{
    cancel = false;
    const int row = m_news->findRow(QStringLiteral("NewsID"), editor.newsId());
    if (row < 0) {
        informUser(&editor, QStringLiteral("このお知らせは一覧にないため保存できません。"));
        cancel = true;
        return;
    }
    // A refused write has been reported; the editor stays open with the text.
    if (!m_news->setValues(row, {{QStringLiteral("見出し"), editor.txtTitle()->text()},
                                 {QStringLiteral("本文"), forStorage(editor.RichTextBox1()->toPlainText())},
                                 {QStringLiteral("作成日時"), editor.txtDateCreate()->text()},
                                 {QStringLiteral("送信日時"), editor.txtDateSubmit()->text()}}))
        cancel = true;
    ShowNewsDetail(fpSpread1->activeRow());
}

// Deletes the notice and its destination rows in one transaction, without asking.
void MainWindow::EditDel()
{
    const int row = fpSpread1->activeRow();
    if (row < 1)
        return;
    const int newsId = fpSpread1->text(kColNewsID, row).toInt();
    ++m_quiet;
    const bool removed = m_news->removeRecord(
        row - 1, {{QStringLiteral("delete from T_お知らせに対する宛先情報 where NewsID = ?"), {newsId}}});
    --m_quiet;
    if (!removed)
        return;
    updateNewTools();
    ShowNewsDetail(fpSpread1->activeRow());
}

void MainWindow::EditCopy()
{
    const int row = fpSpread1->activeRow();
    if (row < 1)
        return;
    m_copyBuffer = {fpSpread1->text(kColTitle, row), fpSpread1->text(kColBody, row),
                    fpSpread1->text(kColCreated, row), fpSpread1->text(kColSent, row)};
}

// Overwrites the selected notice with the copied texts; creates no notice.
void MainWindow::EditPaste()
{
    const int row = fpSpread1->activeRow();
    if (row < 1)
        return;
    m_news->setValues(row - 1, {{QStringLiteral("見出し"), m_copyBuffer.title},
                                {QStringLiteral("本文"), m_copyBuffer.body},
                                {QStringLiteral("作成日時"), m_copyBuffer.created},
                                {QStringLiteral("送信日時"), m_copyBuffer.sent}});
    ShowNewsDetail(row);
}

void MainWindow::HelpContents()
{
    ShellLauncher shell;
    const QString help = m_context.helpPath();
    if (shell.LaunchDocument(this, help, {}, ShellLauncher::kShowNormal) != ShellLauncher::kSuccess)
        informUser(this, QStringLiteral("ヘルプ（%1）を開けませんでした。").arg(help));
}

void MainWindow::HelpWeb()
{
    ShellLauncher shell;
    const QString address = QLatin1String(kVendorWebPage);
    if (shell.LaunchURL(this, address, ShellLauncher::kShowDefault) != ShellLauncher::kSuccess)
        informUser(this, QStringLiteral("ホームページを開けませんでした。ブラウザーで次のアドレスを開いてください。\n\n%1")
                             .arg(address));
}

void MainWindow::HelpAbout()
{
    AboutDialog about(this);
    about.exec();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

// Writes section "MenuMain" once, however the window is closed. A window that
// never appeared has nothing of its own to keep.
void MainWindow::Form_Unload()
{
    if (m_unloaded || !m_activated)
        return;
    m_unloaded = true;
    const QString ini = m_context.iniPath();
    const SettingsFile profile;
    saveWindowGeometry(this, ini, kSection);
    profile.SetValueString(ini, kSection, QStringLiteral("SpreadW"),
                           QString::number(pxToTwipsX(SSSplitter1->sizes().value(0), this)));
    fpSpread1->saveColumnWidths(ini, kSection);
    profile.SetValueString(ini, kSection, QStringLiteral("SpreadFontSize"),
                           QString::number(m_tools->checkedNumber(QStringLiteral("ID_mnuFontSize"), 5)));
    fpSpread2->bind(nullptr);
    m_destinations->close();
}

} // namespace lumivox
