#pragma once

#include <QtGlobal>

namespace lumivox {

// The two socket calls the SMTP transport makes itself, on the platform's own
// API (the one place of the program that calls it): ending a connection at
// once from another thread, and closing a socket libcurl opened.

// Shuts both directions of a connected socket: whatever waits on it (a read
// for the server's reply) returns at once.
void shutDownSocket(qintptr socket);
// Closes a socket. Returns 0 on success.
int closeSocket(qintptr socket);
// Waits at most `ms` milliseconds for the socket to be readable (or writable);
// a closed or failed connection counts as ready. Returns 1 when ready, 0 when
// the time ran out, -1 when the socket cannot be waited on.
int waitForSocket(qintptr socket, bool forWriting, int ms);

} // namespace lumivox
