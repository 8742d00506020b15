#pragma once

#include <QSqlDatabase>
#include <QString>

namespace lumivox {

// What a copy moved: its tables and rows.
struct CopySummary {
    int tables = 0;
    int rows = 0;
};

// Copies the register kept in an SQLite file (a Pennora.db) into a database that
// holds none yet, typically the shared PostgreSQL server: every table but the
// work tables, every row with its keys and links as they are, and the rows in
// their order. It all happens in one transaction: on any failure the target is
// left as it was and *error names the table and row that could not be written.
//
// Refuses a target that already holds data (any row in any of these tables but
// T_敬称, whose ready-made choices give way to the file's) or lacks one of the
// file's tables. The file is only read.
bool copyRegister(const QString &sqliteFile, const QSqlDatabase &target,
                  CopySummary *summary = nullptr, QString *error = nullptr);

} // namespace lumivox
