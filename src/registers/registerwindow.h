#pragma once

#include "app/appcontext.h"
#include "app/settingsfile.h"
#include "db/worktables.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <QVariantMap>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace lumivox {

class ReadingEdit;
class SpreadGrid;
class TableModel;
class ToolSet;

// One box of a register's card.
struct CardBox {
    enum Kind {
        Name,      // txtName: its input-method readings go to the Reading box
        Reading,   // txtFurigana
        Honorific, // cboDono: typeable, listed from T_敬称
        Mail,      // txtEmail: half-width letters, digits and symbols only
    };
    Kind kind;
    QString objectName;
    QString field;
    int maxLength;
    QString caption;
    QString note = {}; // a second label beside the box
};

// What tells one register from another: its table, key, capacity, card, the
// link rows that go with a deleted record and when its layout is written.
struct RegisterDesign {
    QString objectName;
    QString title;
    QString table;
    QString keyColumn;
    int capacity;
    QString section; // of the settings file
    QList<CardBox> boxes;
    QList<LinkTable> deleteLinks; // rows WHERE <keyColumn of the link> = key
    bool savesPaneWhenMoved;      // "SpreadW" whenever the splitter moves
    bool savesColumnsWhenResized; // "C1"… whenever the user resizes a column
    int designWidthTwips;
    int designHeightTwips;
    int designListTwips;
    QList<int> designColumnTwips; // column 2 onwards
};

// The register window: a list of a table's records beside a card showing one of
// them, with navigation, adding under an allocated key, deleting with the link
// rows, copying and pasting rows, the card and font-size switches and the input
// hint. Everything the card shows is written back by SaveRecord; everything typed
// in the list is written at once through the list's model.
class RegisterWindow : public QDialog
{
    Q_OBJECT
public:
    ~RegisterWindow() override;

    ToolSet *tools() const { return m_tools; }
    SpreadGrid *list() const { return fpSpread1; }
    TableModel *listModel() const { return m_list; }
    int currentRow() const { return m_currentRow; }

    void ShowRecord(int row);
    void SaveRecord();
    void AddRecord();
    void DeleteRecord();
    void CopyRows();
    void PasteRows();
    void ImportRecords();
    void ExportRecords();
    void ToggleCard();
    void ApplyFontSize();
    void ShowInputHint();
    void EnableCard();
    void CloseWindow();
    // The key a new record gets: free in the whole table, whatever the list shows.
    int NewRecordID() const;

protected:
    RegisterWindow(AppContext &context, RegisterDesign design, QWidget *parent);

    // The list's binding: rows, add tools at the capacity, pane and column widths,
    // column 1 hidden, row 1 active.
    void BindList();
    // Shows the table again after records were added to it from outside the list.
    virtual void reloadList();
    // The values a new record starts with.
    virtual QVariantMap newRecordValues(int key) const = 0;
    // Called by ShowRecord for a row in range, with its key.
    virtual void recordShown(qint64 key);
    // Called by EnableCard.
    virtual void cardEnabled(bool enabled);
    // A tool this window adds to the common ones; true when it was one.
    virtual bool handleTool(const QString &id);

    AppContext &context() const { return m_context; }
    const RegisterDesign &design() const { return m_design; }
    QString iniPath() const { return m_ini; }
    // Room in the card, below the boxes, for what only one register shows.
    QVBoxLayout *cardExtras() const { return m_cardExtras; }
    qint64 keyAt(int row) const;
    bool atCapacity() const;
    void reportFailure(const QString &what, const QString &reason);

    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

public:
    void done(int result) override;

private:
    void buildTools();
    void buildCard();
    void firstActivation();
    void onToolClick(const QString &id);
    void onFocusChanged(QWidget *old, QWidget *now);
    void onReading(const QString &reading);
    void navigate(int row);
    void showAddedRecords();
    void updateButtons();
    void updateAddTools();
    int listPaneTwips() const;
    void setListPaneTwips(int twips);
    void writeSpreadW();
    void writeColumnWidths();
    void writeChangedLayout();
    void unload();
    QString boxText(int i) const;
    void setBoxText(int i, const QString &text);
    int boxIndexOf(const QWidget *w) const;

    AppContext &m_context;
    RegisterDesign m_design;
    QString m_ini;
    SettingsFile m_profile;

    ToolSet *m_tools = nullptr;
    QSplitter *SSSplitter1 = nullptr;
    SpreadGrid *fpSpread1 = nullptr;
    QScrollArea *VSViewPort1 = nullptr;
    QVBoxLayout *m_cardExtras = nullptr;
    QList<QWidget *> m_boxes; // in the order of m_design.boxes
    QStringList m_shown;      // what ShowRecord put in each box
    ReadingEdit *m_nameBox = nullptr;
    QLineEdit *m_readingBox = nullptr;
    QLabel *lblRecord = nullptr;
    QToolButton *cmdTop = nullptr;
    QToolButton *cmdPrevious = nullptr;
    QToolButton *cmdNext = nullptr;
    QToolButton *cmdBottom = nullptr;
    QPushButton *cmdAdd = nullptr;
    QToolButton *cmdDel = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *m_panel1 = nullptr;
    QLabel *m_panel2 = nullptr;

    TableModel *m_list = nullptr;
    int m_currentRow = 0;
    int m_cardListTwips = 0; // list pane width while the card is shown
    QTimer *m_layoutTimer = nullptr; // writes the widths a drag changed once it pauses
    bool m_paneMoved = false;
    bool m_columnsChanged = false;
    bool m_activated = false;
    bool m_unloaded = false;
    bool m_saving = false;
};

} // namespace lumivox
