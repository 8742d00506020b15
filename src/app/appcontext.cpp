#include "app/appcontext.h"

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

} // namespace lumivox
