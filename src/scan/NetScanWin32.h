#pragma once
// Finds the computers of an address range. The probe engine asks every
// address at once (up to its cap); look-up threads then learn each answering
// computer's hardware address, which makes its row, and afterwards its name,
// which fills the row in. Nothing here blocks the window that owns the scan:
// it gets a short notice message whenever there is something new and takes
// it with Take.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "net/ProbeEngineWin32.h"
#include "scan/NetScan.h"

// The routing table, for the subnet the default route leaves through.
std::vector<RouteRow> CollectRoutes();

// How long a computer's name may take; a name server that has not answered
// by then is not waited for.
constexpr uint32_t kNameLookUpDeadlineMs = 2000;

struct ScanProgress {
    size_t asked;   // addresses the engine has decided
    size_t total;
    // False once every address is decided and every answering computer's
    // row is made; names may still come after that.
    bool running;
    // The scan ended early: one of its threads, or the engine's, failed.
    bool failed;
};

class CNetScan {
public:
    // Notices go to `window` as `message`; at most one waits at a time.
    CNetScan(HWND window, UINT message);
    // Ends the scan without waiting for a look-up: a thread still inside one
    // keeps what it writes into, and nothing posts to the window afterwards.
    ~CNetScan();
    CNetScan(const CNetScan&) = delete;
    CNetScan& operator=(const CNetScan&) = delete;

    // Starts the engine and the look-up threads; false when it cannot.
    bool Open();
    // Asks these addresses (network order), dropping whatever an earlier
    // scan still had going. Hardware addresses are looked for only in
    // `onLink`, where the neighbour table can know them.
    void Start(const std::vector<uint32_t>& targets, const std::vector<ScanSubnet>& onLink);
    // Ends the scan at once; nothing more of it is reported, names included.
    void Stop();
    // The computers found and the names learnt since the last call, and
    // where the scan stands.
    ScanProgress Take(std::vector<ScanFound>* found, std::vector<ScanName>* names);

private:
    struct Core;
    std::shared_ptr<Core> core_;
    CProbeEngine engine_;
};
