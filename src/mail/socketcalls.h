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

} // namespace lumivox
