#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"
#include "registers/registercard.h"
#include "registers/registerlist.h"

#include <QDialog>
#include <QList>

class QLabel;
class QScrollArea;
class QSplitter;
class QTimer;

namespace lumivox {

class RegisterStore;
struct RegisterTable;
class ToolSet;

// What tells one register window from another: its table, its card, where and
// when its layout is written, and its design sizes.
struct RegisterDesign {
    QString objectName;
    QString title;
    const RegisterTable &table;
    QString section; // of the settings file
    QList<CardBox> boxes;
    bool writesLayoutWhenChanged; // "SpreadW" when the splitter moves, "C1"… when a column is resized
    int designWidthTwips;
    int designHeightTwips;
    int designListTwips;
    QList<int> designColumnTwips; // column 2 onwards
};

// The register window: the list of a table's records (RegisterList) beside a
// card showing one of them (RegisterCard), with the tools to add, delete, copy
// and paste records, show or hide the card and size the list's font. Records
// change through the window's RegisterStore; what the card holds is stored by
// saveRecord, what is typed in the list is stored at once.
class RegisterWindow : public QDialog
{
    Q_OBJECT
public:
    ~RegisterWindow() override;

    ToolSet *tools() const { return m_tools; }
    RegisterList *list() const { return m_list; }
    RegisterStore &store() const { return *m_store; }
    int currentRow() const { return m_currentRow; }

    // Makes a row (from 1) the current one and shows it on the card.
    void showRecord(int row);
    // Stores what was changed on the card into the current record.
    void saveRecord();
    void addRecord();
    void deleteRecord();
    void copyRows();
    void pasteRows();
    void importRecords();
    void exportRecords();
    void toggleCard();
    void applyFontSize();
    void closeWindow();

    void done(int result) override;

protected:
    RegisterWindow(AppContext &context, RegisterDesign design, QWidget *parent);

    // Binds the list again (after it was opened anew) and shows its first row.
    void rebindList();
    // Called by showRecord for a row in the list, with its key.
    virtual void recordShown(qint64 key);
    // Called when the card is enabled, or emptied and disabled.
    virtual void cardEnabled(bool enabled);
    // The question asked before a record named `name` is deleted, saying what
    // goes with it (linkCounts as RegisterStore::linkCounts gives them).
    virtual QString deletionQuestion(const QString &name, const QList<int> &linkCounts) const = 0;

    AppContext &context() const { return m_context; }
    const RegisterDesign &design() const { return m_design; }
    RegisterCard *card() const { return m_card; }
    void reportFailure(const QString &reason);

    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildTools();
    void bindTools();
    void firstActivation();
    void bindList();
    void enableCard();
    void navigate(int row);
    void showAddedRecords();
    void updateAddTools();
    void writeSpreadW();
    void writeChangedLayout();
    void unload();

    AppContext &m_context;
    RegisterDesign m_design;

    RegisterStore *m_store = nullptr;
    ToolSet *m_tools = nullptr;
    QSplitter *m_splitter = nullptr;
    RegisterList *m_list = nullptr;
    QScrollArea *m_cardPane = nullptr;
    RegisterCard *m_card = nullptr;
    QLabel *m_hint = nullptr;      // status panel 1
    QLabel *m_narrowed = nullptr;  // the list's condition while it is narrowed

    int m_currentRow = 0;
    int m_cardListTwips = 0;         // list pane width while the card is shown
    QTimer *m_layoutTimer = nullptr; // writes the widths a drag changed once it pauses
    bool m_paneMoved = false;
    bool m_columnsChanged = false;
    bool m_saving = false;
    WindowLayout m_layout;
    DialogLifecycle m_lifecycle{this, &m_layout};
};

} // namespace lumivox
