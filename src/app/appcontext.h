#pragma once

#include "db/database.h"

#include <QSqlDatabase>
#include <QString>

namespace lumivox {

class KeywordHistory;

// What every window gets from its opener: the application folder, the shared
// database connection, the settings file and the keyword history. Built once by
// the start routine (and by each test for its own temporary folder).
struct AppContext {
    QString appDir;         // folder of the executable, no trailing separator
    QString connectionName; // the shared connection
    KeywordHistory *filterKeys = nullptr; // gcolFilterKey: the keyword history of this run

    QSqlDatabase db() const { return QSqlDatabase::database(connectionName, false); }
    QString iniPath() const;      // appDir/lumivox.INI
    QString databasePath() const; // appDir/Pennora.db
    QString helpPath() const;     // appDir/Help/index.htm

    // Where the register lives, as the settings file's section "Database" says:
    // Pennora.db beside the program unless Engine=PostgreSQL.
    DatabaseSettings databaseSettings() const;
};

// Keeps the choice of database in the settings file (section "Database": Engine,
// Host, Port, DatabaseName, User, SSLMode, Service). The SQLite file is not kept:
// it is always the one beside the program.
void saveDatabaseSettings(const QString &iniPath, const DatabaseSettings &settings);

inline constexpr auto kProductName = "Lumivox";
inline constexpr auto kSettingsFileName = "lumivox.INI";
inline constexpr auto kDatabaseFileName = "Pennora.db";

} // namespace lumivox
