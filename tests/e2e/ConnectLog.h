#pragma once
// What reached the simulated computers' link, dropped there or not: one line
// per TCP connect and per echo request (tests/net/connect_log.py).
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "AppDriver.h"

namespace e2e {

class ConnectLog {
public:
    static std::string LogPath() {
        const char* path = std::getenv("NL_E2E_CONNECT_LOG");
        return path ? path : "";
    }
    bool Available() const { return !LogPath().empty(); }
    // Everything that arrives from now on counts.
    void Mark() { skip_ = Lines().size(); }

    // The port of each connect to `address` since the mark; a SYN sent
    // again keeps its source port and is one connect.
    std::multiset<int> ConnectsTo(const std::string& address) const {
        std::multiset<int> ports;
        std::set<std::string> sources;
        for (const Arrival& a : Since())
            if (a.kind == "tcp" && a.to == address && sources.insert(a.sourcePort).second) ports.insert(a.port);
        return ports;
    }
    size_t EchoesTo(const std::string& address) const {
        size_t n = 0;
        for (const Arrival& a : Since()) n += a.kind == "echo" && a.to == address;
        return n;
    }
    // Connects since the mark to addresses that start with `prefix`.
    size_t ConnectsToPrefix(const std::string& prefix) const {
        size_t n = 0;
        for (const Arrival& a : Since()) n += a.kind == "tcp" && a.to.compare(0, prefix.size(), prefix) == 0;
        return n;
    }

private:
    struct Arrival {
        std::string kind, to, sourcePort;
        int port = 0;
    };
    static std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        std::string text = ReadFileBytes(LogPath());
        // A line still being written counts once it is whole.
        text.erase(text.find_last_of('\n') == std::string::npos ? 0 : text.find_last_of('\n') + 1);
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::vector<Arrival> Since() const {
        std::vector<Arrival> arrivals;
        const std::vector<std::string> lines = Lines();
        for (size_t i = skip_; i < lines.size(); ++i) {
            std::istringstream fields(lines[i]);
            Arrival a;
            std::string port, source;
            if (!(fields >> a.kind >> a.to >> port >> source >> a.sourcePort)) continue;
            a.port = std::atoi(port.c_str());
            arrivals.push_back(a);
        }
        return arrivals;
    }
    size_t skip_ = 0;
};

}  // namespace e2e
