#pragma once

#include <QSqlDatabase>
#include <QString>

namespace lumivox {

class KeywordHistory;

// What every window gets from its opener: the program's folder, the data folder,
// the shared database connection, the settings file and the keyword history.
// Built once by the start routine (and by each test for its own temporary folder).
struct AppContext {
    QString appDir;         // folder of the executable, no trailing separator
    QString dataDir;        // folder of Pennora.db, lumivox.INI and the lock (dataFolderFor); appDir when empty
    QString connectionName; // the shared connection
    KeywordHistory *filterKeys = nullptr; // gcolFilterKey: the keyword history of this run

    QSqlDatabase db() const { return QSqlDatabase::database(connectionName, false); }
    QString iniPath() const;      // dataDir/lumivox.INI
    QString databasePath() const; // dataDir/Pennora.db
    QString lockPath() const;     // dataDir/lumivox.lock
    QString dataFolder() const;   // dataDir, or appDir when it is not set
    QString helpPath() const;     // programFilesDir(appDir)/Help/index.htm
};

inline constexpr auto kProductName = "Lumivox";
inline constexpr auto kSettingsFileName = "lumivox.INI";
inline constexpr auto kDatabaseFileName = "Pennora.db";

// The folder of the program's own files (Help/): the program's folder when they
// are beside it (a built tree, a portable copy), <prefix>/share/lumivox for a
// program installed as <prefix>/bin/lumivox.
QString programFilesDir(const QString &appDir);

// Where the data lives: beside a program that keeps its own files beside it, in
// a folder it may write (a built tree, a portable copy); otherwise (an installed
// program, a read-only copy) in <userDataDir>/lumivox, userDataDir being the
// user's data folder ($XDG_DATA_HOME, normally ~/.local/share).
QString dataFolderFor(const QString &appDir, const QString &userDataDir);

// The database a data folder apart from the program starts from: the empty one
// an installed program ships (<prefix>/share/lumivox/empty/Pennora.db), or the
// one beside a read-only copy.
QString startingDatabaseFor(const QString &appDir);

// Makes a data folder apart from the program ready: created when missing, with
// a copy of the starting database when it holds none yet (an existing database
// is never replaced). False, with the reason, when that cannot be done.
bool prepareDataFolder(const QString &dataDir, const QString &startingDatabase, QString *error);

} // namespace lumivox
