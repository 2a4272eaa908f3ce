#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A loopback port free a moment ago, asked of the system, or 0 if none could be had: a port
// picked by hand (from the process id, say) may be held by another program or be some
// connection's local end.
inline int FreeLoopbackPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    if (s >= 0) close(s);
    return bound ? ntohs(address.sin_port) : 0;
}
