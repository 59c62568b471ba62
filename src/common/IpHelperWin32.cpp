#include "common/IpHelperWin32.h"

#include "common/SystemLibraryWin32.h"

namespace iphlp {
namespace {

struct Functions {
    HMODULE module = nullptr;
    decltype(&::GetAdaptersInfo) getAdaptersInfo = nullptr;
    decltype(&::GetNetworkParams) getNetworkParams = nullptr;
    decltype(&::GetIfEntry) getIfEntry = nullptr;
    decltype(&::GetIpNetTable) getIpNetTable = nullptr;
    decltype(&::GetIpForwardTable) getIpForwardTable = nullptr;
    decltype(&::SendARP) sendArp = nullptr;
    decltype(&::IcmpCreateFile) icmpCreateFile = nullptr;
    decltype(&::IcmpCloseHandle) icmpCloseHandle = nullptr;
    decltype(&::IcmpSendEcho2) icmpSendEcho2 = nullptr;
    decltype(&::IcmpParseReplies) icmpParseReplies = nullptr;
};

// Loaded once, by whichever thread asks first; kept until the process ends,
// since the status checks, the scan and the wake run all use it.
const Functions& Get() {
    static const Functions functions = [] {
        Functions f;
        f.module = LoadSystemLibrary("iphlpapi.dll");
        f.getAdaptersInfo = SystemProc<decltype(f.getAdaptersInfo)>(f.module, "GetAdaptersInfo");
        f.getNetworkParams = SystemProc<decltype(f.getNetworkParams)>(f.module, "GetNetworkParams");
        f.getIfEntry = SystemProc<decltype(f.getIfEntry)>(f.module, "GetIfEntry");
        f.getIpNetTable = SystemProc<decltype(f.getIpNetTable)>(f.module, "GetIpNetTable");
        f.getIpForwardTable = SystemProc<decltype(f.getIpForwardTable)>(f.module, "GetIpForwardTable");
        f.sendArp = SystemProc<decltype(f.sendArp)>(f.module, "SendARP");
        f.icmpCreateFile = SystemProc<decltype(f.icmpCreateFile)>(f.module, "IcmpCreateFile");
        f.icmpCloseHandle = SystemProc<decltype(f.icmpCloseHandle)>(f.module, "IcmpCloseHandle");
        f.icmpSendEcho2 = SystemProc<decltype(f.icmpSendEcho2)>(f.module, "IcmpSendEcho2");
        f.icmpParseReplies = SystemProc<decltype(f.icmpParseReplies)>(f.module, "IcmpParseReplies");
        return f;
    }();
    return functions;
}

DWORD Missing() {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return ERROR_PROC_NOT_FOUND;
}

}  // namespace

HMODULE Module() { return Get().module; }

DWORD GetAdaptersInfo(PIP_ADAPTER_INFO info, PULONG size) {
    auto fn = Get().getAdaptersInfo;
    return fn ? fn(info, size) : Missing();
}

DWORD GetNetworkParams(PFIXED_INFO info, PULONG size) {
    auto fn = Get().getNetworkParams;
    return fn ? fn(info, size) : Missing();
}

DWORD GetIfEntry(PMIB_IFROW row) {
    auto fn = Get().getIfEntry;
    return fn ? fn(row) : Missing();
}

DWORD GetIpNetTable(PMIB_IPNETTABLE table, PULONG size, BOOL sort) {
    auto fn = Get().getIpNetTable;
    return fn ? fn(table, size, sort) : Missing();
}

DWORD GetIpForwardTable(PMIB_IPFORWARDTABLE table, PULONG size, BOOL sort) {
    auto fn = Get().getIpForwardTable;
    return fn ? fn(table, size, sort) : Missing();
}

DWORD SendARP(IPAddr destination, IPAddr source, PVOID mac, PULONG length) {
    auto fn = Get().sendArp;
    return fn ? fn(destination, source, mac, length) : Missing();
}

HANDLE IcmpCreateFile() {
    auto fn = Get().icmpCreateFile;
    if (fn) return fn();
    Missing();
    return INVALID_HANDLE_VALUE;
}

BOOL IcmpCloseHandle(HANDLE icmp) {
    auto fn = Get().icmpCloseHandle;
    if (fn) return fn(icmp);
    Missing();
    return FALSE;
}

// Returns 0 with the error set, as the function itself does when it fails.
DWORD IcmpSendEcho2(HANDLE icmp, HANDLE event, FARPROC apc, PVOID context, IPAddr destination,
                    LPVOID data, WORD size, PIP_OPTION_INFORMATION options, LPVOID reply, DWORD replySize,
                    DWORD timeout) {
    auto fn = Get().icmpSendEcho2;
    if (fn) return fn(icmp, event, apc, context, destination, data, size, options, reply, replySize, timeout);
    Missing();
    return 0;
}

DWORD IcmpParseReplies(LPVOID reply, DWORD size) {
    auto fn = Get().icmpParseReplies;
    if (fn) return fn(reply, size);
    Missing();
    return 0;
}

}  // namespace iphlp
