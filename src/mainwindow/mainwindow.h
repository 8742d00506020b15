#pragma once

#include "app/appcontext.h"

#include <QMainWindow>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QSplitter;

namespace lumivox {

class SpreadGrid;
class TableModel;
class ToolSet;
class NoticeEditor;

// The vendor's home page, opened from the Help menu.
inline constexpr auto kVendorWebPage = "https://lumivox.example.jp/";

// The main window: the list of notices, the selected notice's destination groups
// and body, and every command of the program on its menu bar and toolbar.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    AppContext &context() const { return m_context; }
    ToolSet *tools() const { return m_tools; }

    // The notice list: its number of rows, and the NewsID of the active row (0
    // when the list is empty).
    int rowCount() const;
    int activeNewsId() const;
    // Writes 送信日時 into the active row and its T_お知らせ row at once; a
    // refused write is reported to the user and gives false.
    bool setActiveSendTime(const QString &text);

    // Shows the body and the destination groups of a list row (1-based); a row
    // below 1 empties both.
    void ShowNewsDetail(int row);
    // Applies the checked font size of the 表示 menu to the whole notice list.
    void ApplyFontSize();
    // A NewsID that no notice has (0 when all 999 are taken).
    int GetNewNewsID() const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildTools();
    void onToolClick(const QString &id);
    void Form_Activate();
    void Form_Unload();
    void updateNewTools();
    void fitDestinationColumn();

    void EditNew();
    void EditEdit();
    void EditDel();
    void EditCopy();
    void EditPaste();
    void HelpContents();
    void HelpWeb();
    void HelpAbout();

    void openEditor(const QString &caption);
    void objInpNews_LoadData(NoticeEditor &editor);
    void objInpNews_SaveData(NoticeEditor &editor, bool &cancel);

    AppContext &m_context;
    ToolSet *m_tools = nullptr;
    QSplitter *SSSplitter1 = nullptr;
    QSplitter *m_rightPanes = nullptr;
    SpreadGrid *fpSpread1 = nullptr;
    SpreadGrid *fpSpread2 = nullptr;
    QPlainTextEdit *RichTextBox1 = nullptr;
    QLabel *m_panel1 = nullptr;
    QLabel *m_panel2 = nullptr;
    TableModel *m_news = nullptr;         // T_お知らせ, bound to fpSpread1
    TableModel *m_destinations = nullptr; // T_temp_グループ名称, bound to fpSpread2

    // Copy and Paste: 見出し, 本文, 作成日時, 送信日時.
    struct CopyBuffer {
        QString title;
        QString body;
        QString created;
        QString sent;
    } m_copyBuffer;

    int m_detailRow = -1; // the row whose details are shown
    int m_quiet = 0;      // > 0 while a command moves the active row itself
    bool m_activated = false;
    bool m_unloaded = false;
};

} // namespace lumivox
