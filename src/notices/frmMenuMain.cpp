#include "notices/frmMenuMain.h"

#include "app/placement.h"
#include "app/privateprofile.h"
#include "app/spreadgrid.h"
#include "app/startup.h"
#include "app/toolset.h"
#include "db/keys.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

namespace lumivox {

namespace {

const QString kSection = QStringLiteral("MenuMain");

} // namespace

frmMenuMain::frmMenuMain(AppContext &context, QWidget *parent)
    : QMainWindow(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmMenuMain"));
    setWindowTitle(QLatin1String(kProductName));

    auto *toolBar = new QToolBar(this);
    addToolBar(toolBar);
    m_tools = new ToolSet(menuBar(), toolBar, this);
    m_tools->setObjectName(QStringLiteral("SSActiveToolBars1"));
    buildTools();
    connect(m_tools, &ToolSet::toolClick, this, &frmMenuMain::onToolClick);

    SSSplitter1 = new QSplitter(Qt::Horizontal, this);
    SSSplitter1->setObjectName(QStringLiteral("SSSplitter1"));
    fpSpread1 = new SpreadGrid(SSSplitter1);
    fpSpread1->setObjectName(QStringLiteral("fpSpread1"));
    auto *right = new QSplitter(Qt::Vertical, SSSplitter1);
    right->setObjectName(QStringLiteral("SSSplitter1Right"));
    fpSpread2 = new SpreadGrid(right);
    fpSpread2->setObjectName(QStringLiteral("fpSpread2"));
    RichTextBox1 = new QPlainTextEdit(right);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setFont(minchoFont(10));
    setCentralWidget(SSSplitter1);

    m_panel1 = new QLabel(this);
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_panel2 = new QLabel(QStringLiteral("MAX:") + QString::number(kMaxNotices), this);
    m_panel2->setObjectName(QStringLiteral("StatusBar1Panel2"));
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(m_panel1, 1);
    statusBar()->addPermanentWidget(m_panel2);

    // Design size: a 10680 × 5325 twip list area, 5505 twips for the list pane.
    resize(twipsToPxX(10680, this), twipsToPxY(5325 + 375, this) + menuBar()->sizeHint().height()
                                        + toolBar->sizeHint().height());
    SSSplitter1->setSizes({twipsToPxX(5505, this), twipsToPxX(5025, this)});
    right->setSizes({twipsToPxY(2595, this), twipsToPxY(2580, this)});
}

frmMenuMain::~frmMenuMain()
{
    Form_Unload();
}

void frmMenuMain::buildTools()
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

void frmMenuMain::onToolClick(const QString &id)
{
    if (id == QLatin1String("ID_mnuClose") || id == QLatin1String("ID_Close"))
        close();
    // The other commands arrive with their windows.
}

void frmMenuMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

// Writes section "MenuMain" once, however the window is closed.
void frmMenuMain::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    const QString ini = m_context.iniPath();
    const CPrivateProfile profile;
    saveWindowGeometry(this, ini, kSection);
    profile.SetValueString(ini, kSection, QStringLiteral("SpreadW"),
                           QString::number(pxToTwipsX(SSSplitter1->sizes().value(0), this)));
    for (int c = 1; c <= fpSpread1->maxCols(); ++c) {
        profile.SetValueString(ini, kSection, QStringLiteral("C") + QString::number(c),
                               QString::number(fpSpread1->colWidthTwips(c)));
    }
    profile.SetValueString(ini, kSection, QStringLiteral("SpreadFontSize"),
                           QString::number(m_tools->checkedNumber(QStringLiteral("ID_mnuFontSize"), 5)));
}

} // namespace lumivox
