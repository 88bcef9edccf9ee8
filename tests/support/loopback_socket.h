#pragma once

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A plain blocking socket to a server on 127.0.0.1, for the tests and the
// benchmark that talk to the gateway's HTTP server below any Qt class: idle
// peers, half-sent requests, scrapes timed to the byte.
namespace testsupport {

// A socket connected to port on the loopback address; -1 when it could not
// be made or connected. The caller closes it.
inline int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0)
        return fd;
    ::close(fd);
    return -1;
}

} // namespace testsupport
