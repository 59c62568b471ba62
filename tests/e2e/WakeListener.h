#pragma once
// What the peer's listener logged: one line per datagram that reached the
// app's directed broadcast address (tests/net/wake_listener.py).
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "AppDriver.h"

namespace e2e {

struct Datagram {
    std::string source;
    int sourcePort = 0;
    int destinationPort = 0;
    int length = 0;
    std::string payload;  // upper-case hex
    long long ms = 0;     // arrival, monotonic milliseconds
};

// The datagrams a listener's log holds, one per line.
inline std::vector<Datagram> ReadDatagrams(const std::string& path) {
    std::vector<Datagram> datagrams;
    std::istringstream lines(ReadFileBytes(path));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Datagram d;
        if (fields >> d.source >> d.sourcePort >> d.destinationPort >> d.length >> d.payload >> d.ms)
            datagrams.push_back(d);
    }
    return datagrams;
}

// NL_E2E_SUBNET_LISTENERS as tests/lib/netns.sh's nl_ns_add_subnets sets it
// up, "ADDRESS=LOG;..." with Windows paths: each listener's log by its
// address; empty outside that topology.
inline std::map<std::string, std::string> SubnetListenerLogs() {
    std::map<std::string, std::string> logs;
    const char* text = std::getenv("NL_E2E_SUBNET_LISTENERS");
    std::istringstream pairs(text ? text : "");
    std::string pair;
    while (std::getline(pairs, pair, ';')) {
        const size_t at = pair.find('=');
        if (at != std::string::npos) logs[pair.substr(0, at)] = pair.substr(at + 1);
    }
    return logs;
}

class WakeListener {
public:
    static std::string LogPath() {
        const char* path = std::getenv("NL_E2E_LISTENER_LOG");
        return path ? path : "";
    }
    // Everything that arrives from now on counts.
    void Mark() { skip_ = All().size(); }
    std::vector<Datagram> Since() const {
        std::vector<Datagram> all = All();
        return std::vector<Datagram>(all.begin() + static_cast<long>(std::min(skip_, all.size())), all.end());
    }
    size_t Count() const { return Since().size(); }

    static std::vector<Datagram> All() { return ReadDatagrams(LogPath()); }

private:
    size_t skip_ = 0;
};

// Six 0xFF bytes, then the MAC sixteen times, then the SecureOn password
// when there is one, as hex.
inline std::string MagicPayload(const uint8_t mac[6], const uint8_t* password = nullptr) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex(12, 'F');
    auto add = [&](const uint8_t* bytes) {
        for (int b = 0; b < 6; ++b) {
            hex += digits[bytes[b] >> 4];
            hex += digits[bytes[b] & 15];
        }
    };
    for (int i = 0; i < 16; ++i) add(mac);
    if (password) add(password);
    return hex;
}

}  // namespace e2e
