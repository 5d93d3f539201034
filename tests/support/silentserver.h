#pragma once

// A server that takes connections and never says a word: the TCP handshake completes in the
// listening queue, and a database driver then waits for the server's greeting.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace rgtest {

// A socket listening on a free port of the loopback; sets `port`.
inline int listenOnLoopback(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 8);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

class SilentServer {
public:
    SilentServer() { fd_ = listenOnLoopback(port_); }
    ~SilentServer() { hangUp(); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int port() const { return port_; }
    // Closes every connection and stops listening, so that abandoned connects end.
    void hangUp() {
        for (int c : taken_)
            close(c);
        taken_.clear();
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }
    // Whether a client has connected since the last call: it is then waiting for a greeting
    // that never comes. Does not wait.
    bool takeWaitingConnection() {
        if (fd_ < 0)
            return false;
        pollfd pending{fd_, POLLIN, 0};
        if (poll(&pending, 1, 0) <= 0)
            return false;
        const int c = accept(fd_, nullptr, nullptr);
        if (c < 0)
            return false;
        taken_.push_back(c);
        return true;
    }

private:
    int fd_ = -1;
    int port_ = 0;
    std::vector<int> taken_; // accepted and never answered
};

} // namespace rgtest
