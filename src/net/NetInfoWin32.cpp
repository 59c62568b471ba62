#include "net/NetInfoWin32.h"

#include <winsock2.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/FixedText.h"
#include "common/IpHelperWin32.h"

namespace {

// The platform's address texts are 16-byte fields; never trust the terminator.
uint32_t AddressValue(const IP_ADDRESS_STRING& text) {
    char buf[sizeof text.String + 1] = {};
    std::memcpy(buf, text.String, sizeof text.String);
    return inet_addr(buf);
}

template <size_t N, size_t M>
void CopyText(char (&to)[N], const char (&from)[M]) {
    SetField(to, std::string(from, FieldLength(from)));
}

void AppendChain(std::vector<uint32_t>& list, const IP_ADDR_STRING* entry) {
    for (; entry; entry = entry->Next) list.push_back(AddressValue(entry->IpAddress));
}

// IP Helper's two-call protocol: the first call, without a buffer, must ask
// for more room; anything else means there is nothing to read.
template <class Call>
bool QueryBuffer(std::vector<uint8_t>& buffer, Call call) {
    ULONG size = 0;
    if (call(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return false;
    buffer.assign(size, 0);
    return call(buffer.data(), &size) == ERROR_SUCCESS;
}

void CollectParams(NetInfo& info) {
    std::vector<uint8_t> buffer;
    bool ok = QueryBuffer(buffer, [](uint8_t* data, ULONG* size) {
        return iphlp::GetNetworkParams(reinterpret_cast<FIXED_INFO*>(data), size);
    });
    if (!ok) return;
    const FIXED_INFO* fixed = reinterpret_cast<const FIXED_INFO*>(buffer.data());
    CopyText(info.hostName, fixed->HostName);
    CopyText(info.domainName, fixed->DomainName);
    info.nodeType = fixed->NodeType;
    info.enableRouting = fixed->EnableRouting;
    info.enableProxy = fixed->EnableProxy;
    info.enableDns = fixed->EnableDns;
    AppendChain(info.dnsServers, &fixed->DnsServerList);
}

void CollectAdapters(NetInfo& info) {
    std::vector<uint8_t> buffer;
    bool ok = QueryBuffer(buffer, [](uint8_t* data, ULONG* size) {
        return iphlp::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(data), size);
    });
    if (!ok) return;
    for (const IP_ADAPTER_INFO* p = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); p;
         p = p->Next) {
        NetAdapter a{};
        a.index = p->Index;
        CopyText(a.adapterName, p->AdapterName);
        CopyText(a.description, p->Description);
        a.addressLength = p->AddressLength < sizeof a.hardwareAddress ? p->AddressLength
                                                                      : sizeof a.hardwareAddress;
        std::memcpy(a.hardwareAddress, p->Address, a.addressLength);
        a.type = p->Type;
        a.dhcpEnabled = p->DhcpEnabled;
        for (const IP_ADDR_STRING* e = &p->IpAddressList; e; e = e->Next) {
            a.ipAddresses.push_back(AddressValue(e->IpAddress));
            a.subnetMasks.push_back(AddressValue(e->IpMask));
        }
        AppendChain(a.gateways, &p->GatewayList);
        AppendChain(a.dhcpServers, &p->DhcpServer);
        // Unplugged or disabled: its addresses lead nowhere. When the
        // platform cannot tell, the adapter counts as up.
        MIB_IFROW row{};
        row.dwIndex = p->Index;
        if (iphlp::GetIfEntry(&row) == NO_ERROR) a.up = row.dwOperStatus > MIB_IF_OPER_STATUS_DISCONNECTED;
        info.adapters.push_back(std::move(a));
    }
}

}  // namespace

size_t CollectNetInfo(NetInfo& info) {
    ResetNetInfo(info);
    CollectParams(info);
    CollectAdapters(info);
    return info.adapters.size();
}
