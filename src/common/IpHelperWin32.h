#pragma once
// IP Helper, loaded from the system folder on first use instead of imported:
// it is no known DLL, so an import would be looked for beside the program
// first. Each call has the signature of its namesake; when the library or
// the function is missing it fails as that function fails (ERROR_PROC_NOT_FOUND,
// or INVALID_HANDLE_VALUE for IcmpCreateFile) and callers take their usual
// failure path.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

namespace iphlp {

// Null when the library could not be loaded.
HMODULE Module();

DWORD GetAdaptersInfo(PIP_ADAPTER_INFO info, PULONG size);
DWORD GetNetworkParams(PFIXED_INFO info, PULONG size);
DWORD GetIfEntry(PMIB_IFROW row);
DWORD GetIpNetTable(PMIB_IPNETTABLE table, PULONG size, BOOL sort);
DWORD GetIpForwardTable(PMIB_IPFORWARDTABLE table, PULONG size, BOOL sort);
DWORD SendARP(IPAddr destination, IPAddr source, PVOID mac, PULONG length);
HANDLE IcmpCreateFile();
BOOL IcmpCloseHandle(HANDLE icmp);
DWORD IcmpSendEcho2(HANDLE icmp, HANDLE event, FARPROC apc, PVOID context, IPAddr destination,
                    LPVOID data, WORD size, PIP_OPTION_INFORMATION options, LPVOID reply, DWORD replySize,
                    DWORD timeout);
DWORD IcmpParseReplies(LPVOID reply, DWORD size);

}  // namespace iphlp
