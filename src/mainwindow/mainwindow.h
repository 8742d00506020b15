#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"

#include <QMainWindow>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QSplitter;

namespace lumivox {

class NoticeStore;
class SpreadGrid;
class TableModel;
class ToolSet;

// The vendor's home page, opened from the Help menu.
inline constexpr auto kVendorWebPage = "https://lumivox.example.jp/";

// The main window: the list of notices, the selected notice's destination groups
// and body, and every command of the program on its menu bar and toolbar.
//
// mainwindow.cpp builds the window and keeps its layout; maincommands.cpp holds
// one handler per command. The notices themselves are NoticeStore's.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext &context, QWidget *parent = nullptr);

    AppContext &context() const { return m_context; }
    ToolSet *tools() const { return m_tools; }

    // The notice list: its number of rows, and the NewsID of the active row (0
    // when the list is empty).
    int rowCount() const;
    qint64 activeNewsId() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Building and layout (mainwindow.cpp).
    void buildTools();
    void firstShowing();
    void showNoticeDetail(int row);
    void applyFontSize();
    void fitDestinationColumn();
    void updateNewTools();

    // Commands (maincommands.cpp).
    void bindCommands();
    void newNotice();
    void editNotice();
    void openEditor(const QString &caption);
    void deleteNotice();
    void copyNotice();
    void pasteNotice();
    void sendActiveNotice(bool onlyNotReached);
    void previewActiveNotice();
    void openSendOptions();
    void showSendHistory();
    void printCheckList();
    void openHelp();
    void openWebPage();

    AppContext &m_context;
    WindowLayout m_layout; // section "MenuMain"
    NoticeStore *m_notices = nullptr;       // T_お知らせ, shown by m_list
    TableModel *m_destinationNames = nullptr; // T_temp_グループ名称, shown by m_destinations
    ToolSet *m_tools = nullptr;
    QSplitter *m_splitter = nullptr;
    QSplitter *m_rightPanes = nullptr;
    SpreadGrid *m_list = nullptr;
    SpreadGrid *m_destinations = nullptr;
    QPlainTextEdit *m_body = nullptr;

    int m_detailRow = -1; // the row whose details are shown
    bool m_destinationsUnreadable = false; // the last refill of the destinations failed
    RefillGuard m_moving; // set while the window moves the active row itself
    DialogLifecycle m_lifecycle; // last: saving the layout needs the rest
};

} // namespace lumivox
