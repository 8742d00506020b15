#pragma once

#include "app/appcontext.h"

#include <QMainWindow>

class QLabel;
class QPlainTextEdit;
class QSplitter;

namespace lumivox {

class SpreadGrid;
class TableModel;
class ToolSet;

// The main window: the list of notices, the selected notice's destination groups
// and body, and every command of the program on its menu bar and toolbar.
class frmMenuMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMenuMain(AppContext &context, QWidget *parent = nullptr);
    ~frmMenuMain() override;

    ToolSet *tools() const { return m_tools; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildTools();
    void onToolClick(const QString &id);
    void Form_Unload();

    AppContext &m_context;
    ToolSet *m_tools = nullptr;
    QSplitter *SSSplitter1 = nullptr;
    SpreadGrid *fpSpread1 = nullptr;
    SpreadGrid *fpSpread2 = nullptr;
    QPlainTextEdit *RichTextBox1 = nullptr;
    QLabel *m_panel1 = nullptr;
    QLabel *m_panel2 = nullptr;
    bool m_unloaded = false;
};

} // namespace lumivox
