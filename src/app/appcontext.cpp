#include "app/appcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace lumivox {

namespace {

QString installedFilesDir(const QString &appDir)
{
    return QDir::cleanPath(appDir + QStringLiteral("/../share/lumivox"));
}

} // namespace

QString AppContext::iniPath() const
{
    return dataFolder() + u'/' + QLatin1String(kSettingsFileName);
}

QString AppContext::databasePath() const
{
    return dataFolder() + u'/' + QLatin1String(kDatabaseFileName);
}

QString AppContext::lockPath() const
{
    return dataFolder() + QStringLiteral("/lumivox.lock");
}

QString AppContext::dataFolder() const
{
    return dataDir.isEmpty() ? appDir : dataDir;
}

QString AppContext::helpPath() const
{
    return programFilesDir(appDir) + QStringLiteral("/Help/index.htm");
}

QString programFilesDir(const QString &appDir)
{
    const QString installed = installedFilesDir(appDir);
    if (QFileInfo(appDir + QStringLiteral("/Help")).isDir() || !QFileInfo(installed).isDir())
        return appDir;
    return installed;
}

QString dataFolderFor(const QString &appDir, const QString &userDataDir)
{
    if (programFilesDir(appDir) == appDir && QFileInfo(appDir).isWritable())
        return appDir;
    return userDataDir + QStringLiteral("/lumivox");
}

QString startingDatabaseFor(const QString &appDir)
{
    const QString files = programFilesDir(appDir);
    if (files == appDir)
        return appDir + u'/' + QLatin1String(kDatabaseFileName);
    return files + QStringLiteral("/empty/") + QLatin1String(kDatabaseFileName);
}

bool prepareDataFolder(const QString &dataDir, const QString &startingDatabase, QString *error)
{
    if (!QDir().mkpath(dataDir)) {
        *error = QStringLiteral("データの保存場所 %1 を作成できません。").arg(dataDir);
        return false;
    }
    const QString target = dataDir + u'/' + QLatin1String(kDatabaseFileName);
    if (QFileInfo::exists(target))
        return true;
    QFile source(startingDatabase);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("最初のデータベース %1 を読めません（%2）。")
                     .arg(startingDatabase, source.errorString());
        return false;
    }
    // Copied under another name first, so that a copy cut short is never taken
    // for the database; only this user may read it (it holds mail addresses).
    QTemporaryFile copy(target + QStringLiteral(".XXXXXX"));
    if (!copy.open() || copy.write(source.readAll()) != source.size() || !copy.flush()) {
        *error = QStringLiteral("%1 を作成できません（%2）。").arg(target, copy.errorString());
        return false;
    }
    // Renaming never replaces a file: another start may have been first.
    if (copy.rename(target)) {
        copy.setAutoRemove(false);
        return true;
    }
    if (QFileInfo::exists(target))
        return true;
    *error = QStringLiteral("%1 を作成できません（%2）。").arg(target, copy.errorString());
    return false;
}

} // namespace lumivox
