// The commands of the main window, one handler each, bound to the menu entry and
// the toolbar button that run them.
#include "mainwindow/mainwindow.h"

#include "app/databasesettingsdialog.h"
#include "app/messages.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"
#include "db/grouplinks.h"
#include "db/noticestore.h"
#include "mail/previewdialog.h"
#include "mail/sendoptionsdialog.h"
#include "mail/smtpsettingsdialog.h"
#include "mainwindow/sendcommand.h"
#include "mainwindow/sendhistorywindow.h"
#include "notices/noticeeditor.h"
#include "notices/resultmessage.h"
#include "notices/sendlist.h"
#include "registers/groupregister.h"
#include "registers/memberregister.h"
#include "reports/reportpreview.h"
#include "util/aboutdialog.h"
#include "util/shelllauncher.h"

namespace lumivox {

namespace {

// What a refused write did not store, as the messages name it.
const QString kNotice = QStringLiteral("お知らせ");
const QString kSendList = QStringLiteral("送信リスト");

// A dialog of the program, opened modally over the main window and released.
template <class Dialog>
void openModal(AppContext &context, QWidget *parent)
{
    Dialog dialog(context, parent);
    runModal(dialog);
}

} // namespace

void MainWindow::bindCommands()
{
    ToolSet &t = *m_tools;
    t.bind({QStringLiteral("ID_mnuEditNew"), QStringLiteral("ID_EditNew")}, [this] { newNotice(); });
    t.bind({QStringLiteral("ID_mnuEditEdit"), QStringLiteral("ID_EditEdit")}, [this] { editNotice(); });
    t.bind({QStringLiteral("ID_mnuEditDel"), QStringLiteral("ID_EditDel")}, [this] { deleteNotice(); });
    t.bind({QStringLiteral("ID_mnuEditCopy"), QStringLiteral("ID_EditCopy")}, [this] { copyNotice(); });
    t.bind({QStringLiteral("ID_mnuEditPaste"), QStringLiteral("ID_EditPaste")}, [this] { pasteNotice(); });
    t.bind({QStringLiteral("ID_mnuEditSubmit"), QStringLiteral("ID_EditSubmit")}, [this] { sendActiveNotice(false); });
    t.bind({QStringLiteral("ID_mnuEditResume")}, [this] { sendActiveNotice(true); });
    t.bind({QStringLiteral("ID_mnuEditPreview")}, [this] { previewActiveNotice(); });
    t.bind({QStringLiteral("ID_mnuEditHistory")}, [this] { showSendHistory(); });
    t.bind({QStringLiteral("ID_mnuClose"), QStringLiteral("ID_Close")}, [this] { close(); });
    // The tool group has already checked the size that was clicked.
    t.bind({QStringLiteral("ID_mnuFontSize1"), QStringLiteral("ID_mnuFontSize2"), QStringLiteral("ID_mnuFontSize3"),
            QStringLiteral("ID_mnuFontSize4"), QStringLiteral("ID_mnuFontSize5")},
           [this] { applyFontSize(); });

    t.bind({QStringLiteral("ID_mnuDBGroup")}, [this] { openModal<GroupRegister>(m_context, this); });
    t.bind({QStringLiteral("ID_mnuDBMember")}, [this] { openModal<MemberRegister>(m_context, this); });
    t.bind({QStringLiteral("ID_mnuSetupSMTP")}, [this] { openModal<SmtpSettingsDialog>(m_context, this); });
    t.bind({QStringLiteral("ID_mnuSetupSubmit")}, [this] { openSendOptions(); });
    t.bind({QStringLiteral("ID_mnuSetupDatabase")}, [this] { openModal<DatabaseSettingsDialog>(m_context, this); });
    t.bind({QStringLiteral("ID_mnuPrintGroup")}, [this] { showReport(m_context, ReportKind::arpGroup, this); });
    t.bind({QStringLiteral("ID_mnuPrintMember")}, [this] { showReport(m_context, ReportKind::arpMember, this); });
    t.bind({QStringLiteral("ID_mnuPrintMember2")}, [this] { showReport(m_context, ReportKind::arpMember2, this); });
    t.bind({QStringLiteral("ID_mnuPrintCheckList")}, [this] { printCheckList(); });
    t.bind({QStringLiteral("ID_mnuHelpHelp")}, [this] { openHelp(); });
    t.bind({QStringLiteral("ID_mnuHelpWeb")}, [this] { openWebPage(); });
    t.bind({QStringLiteral("ID_mnuHelpAbout")}, [this] {
        AboutDialog about(this, m_context.dataFolder());
        runModal(about);
    });
}

// The new notice is stored with its starting texts before the editor opens;
// leaving the editor through its close box keeps it so.
void MainWindow::newNotice()
{
    if (m_notices->isFull())
        return;
    const int col = std::max(m_list->activeCol(), 2); // the NewsID column stays hidden
    const StoreResult created = m_notices->create();
    if (!created) {
        tellUser(this, kNotice, created);
        return;
    }
    {
        const RefillGuard::Scope moving(m_moving);
        m_list->setActiveCell(col, created.row + 1);
    }
    updateNewTools();
    showNoticeDetail(m_list->activeRow());
    openEditor(QStringLiteral("お知らせの新規作成"));
}

void MainWindow::editNotice()
{
    if (m_list->activeRow() >= 1)
        openEditor(QStringLiteral("お知らせ編集"));
}

// The editor for the active row. Its group chooser writes the destinations at
// once, even when the editor itself is then left through its close box, so the
// details are shown afresh however it closes.
void MainWindow::openEditor(const QString &caption)
{
    NoticeEditor editor(m_context, m_notices->notice(m_list->activeRow() - 1),
                        [this](const Notice &notice) { return m_notices->update(notice); }, this);
    editor.setWindowTitle(caption);
    runModal(editor);
    showNoticeDetail(m_list->activeRow());
}

// Deletes the notice and its destination rows, once the user has agreed.
void MainWindow::deleteNotice()
{
    if (m_list->activeRow() < 1)
        return;
    const Notice notice = m_notices->notice(m_list->activeRow() - 1);
    QString question = notice.title.isEmpty() ? QStringLiteral("このお知らせを削除しますか？")
                                              : QStringLiteral("お知らせ「%1」を削除しますか？").arg(notice.title);
    if (const int groups = countLinks(m_context.db(), noticeDestinations(), notice.id); groups != 0)
        question += QStringLiteral("\n\n宛先グループの指定%1も削除されます。").arg(itemCount(groups));
    if (!confirmDeletion(this, question))
        return;
    StoreResult removed;
    {
        const RefillGuard::Scope moving(m_moving); // the rows below move up
        removed = m_notices->remove(activeNewsId());
    }
    tellUser(this, kNotice, removed);
    updateNewTools();
    showNoticeDetail(m_list->activeRow());
}

void MainWindow::copyNotice()
{
    if (m_list->activeRow() >= 1)
        m_notices->copy(activeNewsId());
}

// Overwrites the selected notice with the copied texts; creates no notice.
void MainWindow::pasteNotice()
{
    const int row = m_list->activeRow();
    if (row < 1)
        return;
    tellUser(this, kNotice, m_notices->paste(activeNewsId()));
    showNoticeDetail(row);
}

// Nothing to do on an empty list. A run that delivered a mail wrote the
// notice's time of sending: the list row shows it, and the notice's state.
void MainWindow::sendActiveNotice(bool onlyNotReached)
{
    if (rowCount() < 1)
        return;
    const qint64 newsId = activeNewsId();
    const SendOutcome outcome =
        sendNotice(this, m_context, newsId, onlyNotReached ? SendScope::NotReached : SendScope::Everyone);
    tellUser(this, kSendList, outcome.result);
    if (!outcome.sentAt.isEmpty())
        tellUser(this, kNotice, m_notices->setSentTime(newsId, outcome.sentAt));
    if (outcome.ran)
        m_notices->refreshSendStates();
}

// The mail each recipient of the active notice gets, as things are stored now.
void MainWindow::previewActiveNotice()
{
    if (rowCount() < 1)
        return;
    if (const StoreResult made = makeSendList(m_context.db(), activeNewsId()); !made) {
        tellUser(this, kSendList, made);
        return;
    }
    bool read = false;
    const SendPlan plan = readSendPlan(m_context.db(), int(activeNewsId()), &read);
    if (!read || plan.rows.isEmpty()) {
        informUser(this, read ? QStringLiteral("指定した宛先ｸﾞﾙｰﾌﾟに所属するﾒﾝﾊﾞｰはいませんでした。")
                              : QStringLiteral("送信リストを読み込めませんでした。"));
        return;
    }
    PreviewDialog preview(plan, this);
    runModal(preview);
}

// The send options; their プレビュー shows the active notice when it has
// recipients.
void MainWindow::openSendOptions()
{
    SendOptionsDialog dialog(m_context, this);
    if (rowCount() > 0 && makeSendList(m_context.db(), activeNewsId()))
        dialog.setPreviewNotice(int(activeNewsId()));
    runModal(dialog);
}

void MainWindow::showSendHistory()
{
    if (rowCount() < 1)
        return;
    const Notice notice = m_notices->notice(m_list->activeRow() - 1);
    SendHistoryWindow history(m_context, notice.id, notice.title, this);
    runModal(history);
}

// The check list shows the send list of the selected notice, made afresh, and
// names the notice under its title.
void MainWindow::printCheckList()
{
    const StoreResult made = makeSendList(m_context.db(), activeNewsId());
    if (!made) {
        tellUser(this, kSendList, made);
        return;
    }
    const Notice notice = m_notices->notice(m_list->activeRow() - 1);
    showReport(m_context, ReportKind::arpCheckList, this,
               QStringLiteral("お知らせ：「%1」　作成日時：%2").arg(notice.title, notice.created));
}

void MainWindow::openHelp()
{
    ShellLauncher shell;
    const QString help = m_context.helpPath();
    if (shell.LaunchDocument(this, help, {}, ShellLauncher::kShowNormal) != ShellLauncher::kSuccess)
        informUser(this, QStringLiteral("ヘルプ（%1）を開けませんでした。").arg(help));
}

void MainWindow::openWebPage()
{
    ShellLauncher shell;
    const QString address = QLatin1String(kVendorWebPage);
    if (shell.LaunchURL(this, address, ShellLauncher::kShowDefault) != ShellLauncher::kSuccess)
        informUser(this, QStringLiteral("ホームページを開けませんでした。ブラウザーで次のアドレスを開いてください。\n\n%1")
                             .arg(address));
}

} // namespace lumivox
