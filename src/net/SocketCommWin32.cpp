#include "net/SocketCommWin32.h"

#include <windows.h>

#include <utility>

#include "common/NoInheritWin32.h"
#include "net/MagicPacket.h"
#include "net/NetInfoWin32.h"

namespace {

// A UDP socket bound to `address`, port `port`, that may broadcast and that
// no child process inherits; none with `error` set otherwise.
ScopedSocket OpenBound(uint32_t address, uint16_t port, int32_t& error) {
    ScopedSocket s(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!s.IsValid()) {
        error = WSAGetLastError();
        return s;
    }
    KeepSocketOutOfChildren(s.Get());
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = address;
    local.sin_port = htons(port);
    int on = 1;
    if (bind(s.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
        setsockopt(s.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == SOCKET_ERROR) {
        error = WSAGetLastError();
        s.Close();
    }
    return s;
}

int SendBytes(SOCKET s, uint32_t destination, uint16_t port, const uint8_t* payload, size_t size, int32_t& error) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    to.sin_port = htons(port);
    WSASetLastError(0);
    int sent = sendto(s, reinterpret_cast<const char*>(payload), static_cast<int>(size), 0,
                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == SOCKET_ERROR) {
        error = WSAGetLastError();
        return -1;
    }
    return sent;
}

}  // namespace

CSocketComm::~CSocketComm() { Close(); }

void CSocketComm::Open() {
    // There is no reopening: a second start would only leak a reference.
    if (started_) return;
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        MessageBoxA(nullptr, "このｺﾝﾋﾟｭｰﾀはﾈｯﾄﾜｰｸを使用できません", "Error", MB_SYSTEMMODAL | MB_ICONHAND);
        return;
    }
    if (data.wVersion != MAKEWORD(2, 2)) {
        WSACleanup();  // it did start; Close will not know to end it
        MessageBoxA(nullptr, "WinSockのﾊﾞｰｼﾞｮﾝが古いです", "Error", MB_SYSTEMMODAL | MB_ICONHAND);
        return;
    }
    started_ = 1;

    NetInfo info{};
    CollectNetInfo(info);
    LocalSubnet subnet = ChooseLocalSubnet(info);
    localAddress_ = subnet.address;
    localMask_ = subnet.mask;

    OpenSocket();
}

void CSocketComm::OpenSocket() {
    // Bound to the subnet's own address rather than to any: the packet leaves
    // from the same address and port as before, and a wake run can bind the
    // other local addresses to port 7 beside it.
    ScopedSocket s = OpenBound(localAddress_, kWakePort, lastError_);
    if (!s.IsValid()) return;
    socket_ = std::move(s);
    boundAddress_ = localAddress_;
    defaultPort_ = kWakePort;
}

int CSocketComm::SendPacket(const uint8_t* packet, int port) {
    if (!started_ || !packet) return -1;
    WSASetLastError(0);
    const uint32_t destination = BroadcastDestination(localAddress_, localMask_);
    const uint16_t to = DestinationPort(static_cast<uint32_t>(port), defaultPort_);
    if (!socket_.IsValid()) return -1;
    return SendBytes(socket_.Get(), destination, to, packet, kMagicPacketSize, lastError_);
}

void CSocketComm::BeginRun() {
    runSockets_.clear();
    routeSources_.clear();
    runInfoRead_ = false;
}

uint32_t CSocketComm::RouteSource(uint32_t destination) {
    auto known = routeSources_.find(destination);
    if (known != routeSources_.end()) return known->second;
    // A connected datagram socket sends nothing: connecting only asks the
    // routing table which local address the packet would leave from.
    uint32_t source = 0;
    int32_t error = 0;
    ScopedSocket probe = OpenBound(0, 0, error);
    if (probe.IsValid()) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = destination;
        to.sin_port = htons(kWakePort);
        sockaddr_in local{};
        int length = sizeof local;
        if (connect(probe.Get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
            getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&local), &length) == 0)
            source = local.sin_addr.s_addr;
    }
    routeSources_[destination] = source;
    return source;
}

std::vector<WakeSend> CSocketComm::PlanFor(uint32_t entryAddress, uint32_t entryMask) {
    // Read at the first entry that is sent to: a run that skips every row
    // costs no look-up at all.
    if (!runInfoRead_) {
        CollectNetInfo(runInfo_);
        runInfoRead_ = true;
    }
    return PlanWakeSends(runInfo_, entryAddress, entryMask,
                         [this](uint32_t destination) { return RouteSource(destination); });
}

SOCKET CSocketComm::SocketFor(uint32_t source) {
    if (socket_.IsValid() && boundAddress_ == source) return socket_.Get();
    auto known = runSockets_.find(source);
    if (known != runSockets_.end()) return known->second.Get();
    // A socket bound to any address holds port 7 on every address: it gives
    // way to sockets bound to single addresses.
    if (socket_.IsValid() && boundAddress_ == 0 && source != 0) socket_.Close();
    ScopedSocket& s = runSockets_[source];
    s = OpenBound(source, kWakePort, lastError_);
    return s.Get();
}

int CSocketComm::SendFrom(const WakeSend& send, uint16_t port, const uint8_t* payload, size_t size) {
    if (!started_ || !payload) return -1;
    SOCKET s = SocketFor(send.source);
    if (s == INVALID_SOCKET) return -1;
    return SendBytes(s, send.destination, port, payload, size, lastError_);
}

void CSocketComm::Close() {
    runSockets_.clear();
    socket_.Close();
    defaultPort_ = 0;
    if (started_) {
        WSACleanup();
        started_ = 0;
    }
}
