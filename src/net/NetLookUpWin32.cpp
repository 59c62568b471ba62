#include "net/NetLookUpWin32.h"

#include <ws2tcpip.h>

#include <cstring>
#include <vector>

#include "common/IpHelperWin32.h"
#include "common/NoInheritWin32.h"
#include "common/ScopedWin32.h"
#include "net/Neighbour.h"

namespace {

// Windows Sockets for the length of one look-up; the count is shared with
// the broadcast socket, so this never ends it for the rest of the program.
class WinsockScope {
public:
    WinsockScope() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockScope() { if (started_) WSACleanup(); }
    WinsockScope(const WinsockScope&) = delete;
    WinsockScope& operator=(const WinsockScope&) = delete;
    bool Started() const { return started_; }
private:
    bool started_ = false;
};

// As long as the kernel keeps trying an address that does not answer.
constexpr DWORD kNeighbourWaitMs = 3000;
constexpr DWORD kNeighbourPollMs = 50;
constexpr u_short kDiscardPort = 9;

std::vector<NeighbourRow> NeighbourTable() {
    std::vector<NeighbourRow> rows;
    ULONG size = 0;
    if (iphlp::GetIpNetTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0) return rows;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPNETTABLE*>(buffer.data());
    if (iphlp::GetIpNetTable(table, &size, FALSE) != NO_ERROR) return rows;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPNETROW& in = table->table[i];
        NeighbourRow row = {};
        row.address = in.dwAddr;
        row.type = in.dwType;
        row.physLength = in.dwPhysAddrLen;
        std::memcpy(row.phys, in.bPhysAddr, sizeof row.phys);
        rows.push_back(row);
    }
    return rows;
}

// Where the platform has no ARP request of its own (Wine): any datagram to
// the address makes the kernel resolve it, and its neighbour table then
// holds the answer. Port 9 discards, so the datagram itself gets no reply.
bool ResolveThroughNeighbourTable(uint32_t address, uint8_t mac[6], const std::function<bool()>& cancelled) {
    WinsockScope winsock;
    if (!winsock.Started()) return false;
    ScopedSocket s(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!s.IsValid()) return false;
    KeepSocketOutOfChildren(s.Get());
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = address;
    const char probe = 0;
    int sent = sendto(s.Get(), &probe, 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    s.Close();
    if (sent != 1) return false;

    const DWORD start = GetTickCount();
    for (;;) {
        if (FindNeighbourMac(NeighbourTable(), address, mac)) return true;
        if (GetTickCount() - start >= kNeighbourWaitMs || cancelled()) return false;
        Sleep(kNeighbourPollMs);
    }
}

}  // namespace

bool LookUpHardwareAddress(uint32_t address, uint8_t mac[6]) {
    return LookUpHardwareAddress(address, mac, [] { return false; });
}

bool LookUpHardwareAddress(uint32_t address, uint8_t mac[6], const std::function<bool()>& cancelled) {
    ULONG answer[2] = {};
    ULONG length = 6;
    DWORD rc = iphlp::SendARP(address, 0, answer, &length);
    if (rc == NO_ERROR) {
        std::memcpy(mac, answer, 6);
        return true;
    }
    if (rc == ERROR_NOT_SUPPORTED) return ResolveThroughNeighbourTable(address, mac, cancelled);
    return false;
}

bool LookUpHostName(uint32_t address, std::string& name) {
    WinsockScope winsock;
    if (!winsock.Started()) return false;
    const hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
    if (!host || !host->h_name) return false;
    name = host->h_name;
    return true;
}
