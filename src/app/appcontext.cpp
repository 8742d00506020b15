#include "app/appcontext.h"

#include "app/settingsfile.h"

namespace lumivox {

QString AppContext::iniPath() const
{
    return appDir + u'/' + QLatin1String(kSettingsFileName);
}

QString AppContext::databasePath() const
{
    return appDir + u'/' + QLatin1String(kDatabaseFileName);
}

QString AppContext::helpPath() const
{
    return appDir + QStringLiteral("/Help/index.htm");
}

namespace {

const QString kSection = QStringLiteral("Database");
const QString kPostgreSQL = QStringLiteral("PostgreSQL");

} // namespace

DatabaseSettings AppContext::databaseSettings() const
{
    const SettingsFile ini;
    const QString path = iniPath();
    DatabaseSettings settings;
    settings.file = databasePath();
    if (ini.GetValueString(path, kSection, QStringLiteral("Engine")).compare(kPostgreSQL, Qt::CaseInsensitive)
        == 0)
        settings.engine = Engine::PostgreSQL;
    settings.host = ini.GetValueString(path, kSection, QStringLiteral("Host"));
    if (const int port = ini.GetValueLong(path, kSection, QStringLiteral("Port")); port > 0)
        settings.port = port;
    settings.databaseName = ini.GetValueString(path, kSection, QStringLiteral("DatabaseName"));
    settings.user = ini.GetValueString(path, kSection, QStringLiteral("User"));
    settings.sslMode = ini.GetValueString(path, kSection, QStringLiteral("SSLMode"));
    settings.service = ini.GetValueString(path, kSection, QStringLiteral("Service"));
    return settings;
}

void saveDatabaseSettings(const QString &iniPath, const DatabaseSettings &settings)
{
    const SettingsFile ini;
    const auto put = [&](const char *key, const QString &value) {
        ini.SetValueString(iniPath, kSection, QLatin1String(key), value);
    };
    put("Engine", settings.engine == Engine::PostgreSQL ? kPostgreSQL : QStringLiteral("SQLite"));
    put("Host", settings.host);
    put("Port", QString::number(settings.port));
    put("DatabaseName", settings.databaseName);
    put("User", settings.user);
    put("SSLMode", settings.sslMode);
    put("Service", settings.service);
}

} // namespace lumivox
