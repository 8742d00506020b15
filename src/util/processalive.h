#pragma once

#include <QtGlobal>

namespace lumivox {

// Whether the process with this id is still running. The one platform-specific
// call of the shell launcher.
bool processAlive(qint64 pid);

} // namespace lumivox
