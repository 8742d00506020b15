#pragma once

#include "app/messages.h"
#include "db/storeresult.h"

namespace lumivox {

// Tells the user why a store did not make a change: a refusal as its own
// message, a database failure as `what` not stored. Nothing for a change made.
inline void tellUser(QWidget *window, const QString &what, const StoreResult &result)
{
    if (result.refused)
        informUser(window, result.error);
    else if (!result.ok)
        reportWriteFailure(window, what, result.error);
}

} // namespace lumivox
