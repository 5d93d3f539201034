#pragma once

// A TCP proxy on the loopback in front of a test server, for a server that takes the
// connection and then goes silent, without stopping the server other tests share. Once armed
// it forwards until a client sends a chunk that holds the marker (a statement's text), which
// it keeps; from then on it forwards nothing in either direction, and accepts new connections
// (a driver's cancel request) without forwarding them either, until it thaws.

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rgtest {

class FreezingProxy {
public:
    // Forwards to the server the connection string names (its Server and Port).
    explicit FreezingProxy(const std::string& connectionString);
    ~FreezingProxy();
    FreezingProxy(const FreezingProxy&) = delete;
    FreezingProxy& operator=(const FreezingProxy&) = delete;

    // The connection string with its port turned to the proxy's.
    const std::string& connectionString() const { return proxied_; }
    // Freezes at the first chunk from a client that holds `marker`.
    void freezeOn(const std::string& marker);
    // Whether the proxy has frozen with a client's request held back. Does not wait.
    bool holdsTraffic();
    // Forwards again: what was held back, then everything as before.
    void thaw();

private:
    struct Pair {
        int client, server;
        std::string held; // client bytes kept back while frozen
        bool closed;      // one side hung up: both are closed
    };
    void loop();
    void wake();
    void forward(Pair& p, int from, int to);
    void freeze(Pair& p, std::string chunk);
    void thawPairs();

    std::string host_;
    int targetPort_ = 0;
    int port_ = 0;
    std::string proxied_;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    std::vector<Pair> pairs_;
    std::vector<int> held_; // accepted while frozen, not yet forwarded
    std::mutex mutex_;
    std::string marker_;
    bool frozen_ = false, thawing_ = false, stopping_ = false;
    std::thread thread_;
};

} // namespace rgtest
