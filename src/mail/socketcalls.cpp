// Platform-specific: Windows sockets or POSIX.
#include "mail/socketcalls.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <cerrno>
#include <poll.h>
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

int waitForSocket(qintptr socket, bool forWriting, int ms)
{
#ifdef Q_OS_WIN
    WSAPOLLFD p{static_cast<SOCKET>(socket), static_cast<SHORT>(forWriting ? POLLWRNORM : POLLRDNORM), 0};
    const int ready = ::WSAPoll(&p, 1, ms);
    return ready < 0 ? -1 : ready > 0 ? 1 : 0;
#else
    pollfd p{static_cast<int>(socket), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    const int ready = ::poll(&p, 1, ms);
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    return ready > 0 ? 1 : 0;
#endif
}

} // namespace lumivox
