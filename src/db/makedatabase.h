#pragma once

#include <QString>

namespace lumivox {

extern const char *const kSchemaSql;

// Creates a new database file holding every table of schema.sql. Refuses (and
// returns false) when the file already exists: an existing database is never
// overwritten. Used by the build and by the tests, never by the program.
bool makeDatabase(const QString &path, QString *error = nullptr);

} // namespace lumivox
