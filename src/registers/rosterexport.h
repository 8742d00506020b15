#pragma once

#include "registers/csvtext.h"
#include "registers/rosterimport.h"

#include <QSqlDatabase>
#include <QString>

namespace lumivox {

// The register as a comma-separated text a spreadsheet opens and the import
// reads back to the same register (keys aside).
//
// Members: 名前, フリガナ, 敬称, E-Mail and their groups, in MemberID order; the
// groups in one cell separated by 、, or, when a group's name itself holds one of
// the separators the import splits a cell at, one column per group (グループ1,
// グループ2, at least two) so that no name is split on the way back.
// Groups: グループ名称, フリガナ, in GroupID order.
// False (with the reason) when the register cannot be read.
bool rosterCsv(const QSqlDatabase &db, RosterKind kind, QString *text, int *records,
               QString *error);

struct ExportResult {
    bool ok = false;
    int records = 0;
    QString error;              // why no file was written
    QList<char32_t> unencodable; // characters CP932 cannot carry (nothing written)
};

// Writes the register's text to a file in an encoding, whole or not at all.
ExportResult exportRoster(const QSqlDatabase &db, RosterKind kind, const QString &path,
                          TextEncoding encoding);

} // namespace lumivox
