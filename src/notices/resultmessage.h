#pragma once

#include "app/messages.h"
#include "db/storeresult.h"

namespace lumivox {

// Tells the user why a store did not make a change: a refusal as its own
// message, a database failure as a write failure. Nothing for a change made.
inline void tellUser(QWidget *window, const StoreResult &result)
{
    if (result.status == StoreResult::Refused)
        informUser(window, result.reason);
    else if (result.status == StoreResult::Failed)
        reportWriteFailure(window, result.what, result.reason);
}

} // namespace lumivox
