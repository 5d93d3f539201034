#include "freezingproxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>
#include <stdexcept>

namespace rgtest {

namespace {

std::string valueOf(const std::string& cs, const char* key) {
    const std::regex pattern(std::string("(^|;)\\s*") + key + "\\s*=([^;]*)", std::regex::icase);
    std::smatch m;
    return std::regex_search(cs, m, pattern) ? m[2].str() : std::string();
}

int connectTo(const std::string& host, int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &a.sin_addr);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return -1;
    }
    return s;
}

bool sendAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        const ssize_t sent = send(fd, data, n, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

} // namespace

FreezingProxy::FreezingProxy(const std::string& connectionString) {
    host_ = valueOf(connectionString, "Server");
    targetPort_ = std::stoi(valueOf(connectionString, "Port"));
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 16) != 0)
        throw std::runtime_error("the proxy cannot listen");
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    std::smatch m;
    std::regex_search(connectionString, m,
                      std::regex("(^|;)\\s*Port\\s*=([^;]*)", std::regex::icase));
    proxied_ = connectionString;
    proxied_.replace(static_cast<size_t>(m.position(2)), static_cast<size_t>(m.length(2)),
                     std::to_string(port_));
    if (pipe(wake_) != 0)
        throw std::runtime_error("the proxy has no pipe");
    thread_ = std::thread([this] { loop(); });
}

FreezingProxy::~FreezingProxy() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
    for (const Pair& p : pairs_) {
        close(p.client);
        close(p.server);
    }
    for (int c : held_)
        close(c);
    close(listen_);
    close(wake_[0]);
    close(wake_[1]);
}

void FreezingProxy::wake() {
    const char c = 0;
    [[maybe_unused]] const ssize_t n = write(wake_[1], &c, 1);
}

void FreezingProxy::freezeOn(const std::string& marker) {
    std::lock_guard lock(mutex_);
    marker_ = marker;
}

bool FreezingProxy::holdsTraffic() {
    std::lock_guard lock(mutex_);
    return frozen_;
}

void FreezingProxy::thaw() {
    {
        std::lock_guard lock(mutex_);
        marker_.clear();
        thawing_ = true;
    }
    wake();
}

void FreezingProxy::freeze(Pair& p, std::string chunk) {
    p.held = std::move(chunk);
    std::lock_guard lock(mutex_);
    frozen_ = true;
}

// Sends what each frozen pair held back and connects what was accepted while frozen.
void FreezingProxy::thawPairs() {
    for (Pair& p : pairs_) {
        sendAll(p.server, p.held.data(), p.held.size());
        p.held.clear();
    }
    for (int c : held_) {
        const int s = connectTo(host_, targetPort_);
        if (s < 0)
            close(c);
        else
            pairs_.push_back({c, s, {}, false});
    }
    held_.clear();
    std::lock_guard lock(mutex_);
    frozen_ = thawing_ = false;
}

void FreezingProxy::forward(Pair& p, int from, int to) {
    char buf[65536];
    const ssize_t n = recv(from, buf, sizeof buf, 0);
    if (n <= 0) {
        p.closed = true;
        return;
    }
    std::string chunk(buf, static_cast<size_t>(n));
    if (from == p.client) {
        std::unique_lock lock(mutex_);
        if (!marker_.empty() && chunk.find(marker_) != std::string::npos) {
            lock.unlock();
            freeze(p, std::move(chunk));
            return;
        }
    }
    if (!sendAll(to, chunk.data(), chunk.size()))
        p.closed = true;
}

void FreezingProxy::loop() {
    for (;;) {
        bool frozen = false, thawing = false;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            frozen = frozen_;
            thawing = thawing_;
        }
        if (thawing) {
            thawPairs();
            frozen = false;
        }
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listen_, POLLIN, 0}};
        if (!frozen)
            for (const Pair& p : pairs_) {
                fds.push_back({p.client, POLLIN, 0});
                fds.push_back({p.server, POLLIN, 0});
            }
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents) {
            char drain[64];
            [[maybe_unused]] const ssize_t n = read(wake_[0], drain, sizeof drain);
            continue;
        }
        if (fds[1].revents & POLLIN) {
            const int c = accept(listen_, nullptr, nullptr);
            const int s = c < 0 || frozen ? -1 : connectTo(host_, targetPort_);
            if (c >= 0 && frozen)
                held_.push_back(c);
            else if (s >= 0)
                pairs_.push_back({c, s, {}, false});
            else if (c >= 0)
                close(c);
        }
        // Forwarding may freeze the proxy: what comes after that stays in the sockets.
        for (size_t i = 2; i < fds.size() && !holdsTraffic(); i += 2) {
            Pair& p = pairs_[(i - 2) / 2];
            if (fds[i].revents)
                forward(p, p.client, p.server);
            if (fds[i + 1].revents && !p.closed && !holdsTraffic())
                forward(p, p.server, p.client);
        }
        for (auto it = pairs_.begin(); it != pairs_.end();) {
            if (!it->closed) {
                ++it;
                continue;
            }
            close(it->client);
            close(it->server);
            it = pairs_.erase(it);
        }
    }
}

} // namespace rgtest
