#include "net/NetInfo.h"

#include <cstring>

void ResetNetInfo(NetInfo& info) {
    std::memset(info.hostName, 0, sizeof info.hostName);
    std::memset(info.domainName, 0, sizeof info.domainName);
    info.nodeType = 0;
    info.enableRouting = 0;
    info.enableProxy = 0;
    info.enableDns = 0;
    info.dnsServers.clear();
    info.adapters.clear();
}
