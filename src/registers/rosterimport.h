#pragma once

#include "registers/csvtext.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

namespace lumivox {

// Bringing members (with their groups) or groups in from rows of text: a file
// read by csvtext, or rows pasted into a register's list. The rows are mapped to
// fields, normalised and checked, and become a plan the user sees as counts and
// problems; nothing is written until the plan is confirmed, and then all of it
// in one transaction.

enum class RosterKind { Members, Groups };

enum class RosterField { Ignore, Name, Reading, Honorific, Mail, Group };

// The fields a kind takes, Ignore first: what a column may be mapped to.
QList<RosterField> rosterFields(RosterKind kind);
// The name of a field as the register shows it (名前, グループ名称, E-Mail …);
// Ignore is （取り込まない）.
QString rosterFieldName(RosterField field, RosterKind kind);
// The longest value the register keeps for a field (名前 10, フリガナ 20, 敬称 10,
// E-Mail 64, a group's name and reading 50).
int rosterFieldLength(RosterField field, RosterKind kind);

// The fields of a heading row, recognised by their names (名前/氏名/お名前,
// フリガナ/ふりがな/よみ/読み, 敬称, E-Mail/メール/メールアドレス/mail,
// グループ/所属/クラス, numbered or not), or an empty list when the row is not a
// heading: it names no name column, or holds an address. Every field but Group
// is taken from its first column only.
QList<RosterField> recogniseHeading(const QStringList &cells, RosterKind kind);
// A first guess for rows without a heading, from their contents: the column of
// addresses, a column of kana, a column of honorifics, the first other column
// as the name.
QList<RosterField> guessMapping(const QList<CsvRecord> &rows, RosterKind kind);
// The columns in the order the register's list shows them (and its export
// writes them): the mapping of rows pasted into the list.
QList<RosterField> listOrderMapping(RosterKind kind, int columns);

// One problem, by the line of the file (or the pasted row) it is on.
struct RosterProblem {
    int line = 0;
    QString message;
};

// A file's bytes as the import reads them: in the encoding given, or else the
// one detected; separated by tabs or commas; the heading recognised in the first
// record (empty when it is none).
struct RosterText {
    TextEncoding encoding = TextEncoding::Utf8;
    int undecodable = 0; // bytes that are not of the encoding
    QChar separator = u',';
    CsvTable table;
    QList<RosterField> heading;
    // The rows to import (without the heading when there is one), and the read
    // problem (a quote left open) as a problem by its line.
    QList<CsvRecord> rows(bool withHeading) const { return table.records.mid(withHeading ? 1 : 0); }
    QList<RosterProblem> problems() const;
};
RosterText readRosterText(const QByteArray &bytes, RosterKind kind,
                          std::optional<TextEncoding> encoding = std::nullopt);

// What to do with a row whose address (a group: its name) is already in the
// register or in an earlier row.
enum class DuplicateChoice { Update, Skip, AddNew };

// One row ready to be written, its values normalised.
struct RosterEntry {
    int line = 0;
    qint64 key = 0; // the record it updates; 0 for a new one
    QString name;
    QString reading;
    QString honorific;
    QString mail;
    QStringList groups; // names, each once
};

struct RosterPlan {
    RosterKind kind = RosterKind::Members;
    // Which fields the rows carry: an update writes only those, a new record
    // takes the register's defaults for the others.
    bool hasReading = false;
    bool hasHonorific = false;
    bool hasMail = false;
    QList<RosterEntry> entries; // new records and updates, in the order of the rows
    QStringList newGroups;      // named in the rows and missing from the register
    int added = 0;              // rows that add a record
    int updated = 0;            // rows that update one (or a record an earlier row adds)
    int duplicates = 0;         // rows that met a duplicate, whatever was chosen
    QList<RosterProblem> skipped;
    QList<RosterProblem> errors; // every problem, a row with two problems twice
    int errorRows = 0;
    bool isEmpty() const { return entries.isEmpty(); }
};

// The rows of a source, mapped and checked against the register: a missing
// name, an address that is not plain, a value longer than its column, the
// capacities (999 members, 99 groups), duplicates by address (a group: by
// name) within the rows and against the register, handled as chosen. Blank
// rows are passed over. `readProblems` (a quote left open) are listed as errors.
RosterPlan planRoster(const QSqlDatabase &db, RosterKind kind, const QList<CsvRecord> &rows,
                      const QList<RosterField> &mapping, DuplicateChoice duplicates,
                      const QList<RosterProblem> &readProblems = {});

struct RosterWriteResult {
    bool ok = false;
    QString error; // why nothing was written
    int added = 0;
    int updated = 0;
    int groupsCreated = 0;
};

// Writes a plan in one transaction: the missing groups first, then the new
// members (keys by the program's key rule) and the updates, then the
// memberships the rows name (added, never removed). A failure rolls everything
// back and says why; the register is then exactly as it was.
RosterWriteResult writeRoster(const QSqlDatabase &db, const RosterPlan &plan);

} // namespace lumivox
