#pragma once
// The sockets every magic packet leaves through, all bound to local port 7:
// the one opened at start (the local Ethernet subnet's address), and during a
// wake run one per local address that a packet has to leave from.
#include <winsock2.h>

#include <cstdint>
#include <map>
#include <vector>

#include "common/ScopedWin32.h"
#include "net/NetInfo.h"
#include "net/WakeRoute.h"

class CSocketComm {
public:
    CSocketComm() = default;
    ~CSocketComm();
    CSocketComm(const CSocketComm&) = delete;
    CSocketComm& operator=(const CSocketComm&) = delete;

    // Starts Windows Sockets, picks the subnet and opens the socket. Only a
    // failed start leaves IsStarted() false; a socket that cannot be opened
    // just makes every later send fail.
    void Open();
    // Sends the 102 bytes at `packet` to the subnet's broadcast address on
    // `port` (low 16 bits; 0 for the default). Bytes sent, or -1.
    int SendPacket(const uint8_t* packet, int port);
    void Close();

    // A wake run reads the adapters once, so an adapter that came up or a
    // new lease since the last run counts.
    void BeginRun();
    // Where one entry's packets go, by the adapters BeginRun read.
    std::vector<WakeSend> PlanFor(uint32_t entryAddress, uint32_t entryMask);
    // True when the plan is what the start-up rule alone would have sent.
    bool IsLegacy(const std::vector<WakeSend>& plan) const { return IsLegacySend(runInfo_, plan); }
    // Sends `size` bytes from send.source port 7 to send.destination on
    // `port`; bytes sent, or -1 (also when no socket could be bound there).
    int SendFrom(const WakeSend& send, uint16_t port, const uint8_t* payload, size_t size);

    bool IsStarted() const { return started_ != 0; }
    bool IsOpen() const { return socket_.IsValid(); }
    uint32_t LocalAddress() const { return localAddress_; }
    uint32_t LocalMask() const { return localMask_; }
    uint16_t DefaultPort() const { return defaultPort_; }
    int LastError() const { return lastError_; }

private:
    void OpenSocket();
    SOCKET SocketFor(uint32_t source);
    uint32_t RouteSource(uint32_t destination);

    ScopedSocket socket_;
    uint16_t defaultPort_ = 0;
    int32_t started_ = 0;
    uint32_t localAddress_ = 0;
    uint32_t localMask_ = 0;
    int32_t lastError_ = 0;
    uint32_t boundAddress_ = 0;  // what socket_ is bound to (0: any)

    NetInfo runInfo_{};
    bool runInfoRead_ = false;
    std::map<uint32_t, ScopedSocket> runSockets_;   // empty: the bind failed in this run
    std::map<uint32_t, uint32_t> routeSources_;
};
