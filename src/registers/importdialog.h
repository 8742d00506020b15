#pragma once

#include "registers/rosterimport.h"

#include <QByteArray>
#include <QDialog>
#include <QSqlDatabase>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;

namespace lumivox {

// Bringing rows into a register. For a file: the file's encoding (detected, and
// open to change), whether its first line is a heading, and the field each
// column goes to, shown over the first rows; then, as for pasted rows, the
// summary: 追加, 更新, スキップ and エラー with every problem by its line, and the
// choice for duplicates. The dialog writes nothing: accepted means the user
// confirmed plan().
class ImportDialog : public QDialog
{
    Q_OBJECT
public:
    ImportDialog(const QSqlDatabase &db, RosterKind kind, QWidget *parent = nullptr);

    // Reads a file and shows its first page; false (with the reason) when it
    // cannot be read.
    bool openFile(const QString &path, QString *error = nullptr);
    // Rows pasted into the list, in the list's column order: the summary at once.
    void setPastedRows(const CsvTable &rows);

    TextEncoding encoding() const;
    const RosterPlan &plan() const { return m_plan; }
    // The summary page (after the mapping, or at once for pasted rows).
    void showSummary();

private:
    void readText();
    void fillMapping();
    void replan();
    void setPage(int page);

    QSqlDatabase m_db;
    RosterKind m_kind;
    QByteArray m_bytes;
    RosterText m_text;
    bool m_pasted = false;
    QList<RosterField> m_mapping;
    RosterPlan m_plan;

    QStackedWidget *m_pages = nullptr;
    QLabel *lblFile = nullptr;
    QComboBox *cboEncoding = nullptr;
    QLabel *lblEncodingNote = nullptr;
    QCheckBox *chkHeading = nullptr;
    QTableWidget *tblMapping = nullptr;
    QLabel *lblCounts = nullptr;
    QLabel *lblDuplicates = nullptr;
    QButtonGroup *m_duplicates = nullptr;
    QPlainTextEdit *txtProblems = nullptr;
    QPushButton *cmdBack = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdOk = nullptr;
};

// The kind of records a register's table holds.
RosterKind rosterKindOf(const QString &table);

// The register commands that bring records in and take them out. Each shows what
// the user must know (a write that failed, characters an encoding cannot carry)
// and returns true when records were written.

// 取込: a file chosen by the user, through ImportDialog, written on confirmation.
bool importRosterFile(QWidget *parent, const QSqlDatabase &db, RosterKind kind);
// 書出: the register to a CSV file, in UTF-8 with BOM or CP932 as chosen by the
// file type of the save dialog.
void exportRosterFile(QWidget *parent, const QSqlDatabase &db, RosterKind kind);
// A paste into the list: the clipboard's rows beyond the list's last row (the
// list has `room` rows from the first pasted one, which the list itself pastes
// over) become new records through the summary of an import.
bool pasteRosterRows(QWidget *parent, const QSqlDatabase &db, RosterKind kind, const QString &clipboard,
                     int room);

} // namespace lumivox
