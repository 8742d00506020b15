// Platform-specific: Windows sockets or POSIX.
#include "mail/socketcalls.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace lumivox {

void shutDownSocket(qintptr socket)
{
#ifdef Q_OS_WIN
    ::shutdown(static_cast<SOCKET>(socket), SD_BOTH);
#else
    ::shutdown(static_cast<int>(socket), SHUT_RDWR);
#endif
}

int closeSocket(qintptr socket)
{
#ifdef Q_OS_WIN
    return ::closesocket(static_cast<SOCKET>(socket));
#else
    return ::close(static_cast<int>(socket));
#endif
}

} // namespace lumivox
