#pragma once
// Finds the computers of an address range. The probe engine asks every
// address at once (up to its cap); a few look-up threads then learn each
// answering computer's hardware address and name. Nothing here blocks the
// window that owns the scan: it gets a short notice message whenever there
// is something new and takes it with Take.
#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "entries/NetScan.h"
#include "wake/ProbeEngineWin32.h"

// The routing table, for the subnet the default route leaves through.
std::vector<RouteRow> CollectRoutes();

struct ScanProgress {
    size_t asked;   // addresses the engine has decided
    size_t total;
    bool running;   // false once every address and every look-up has ended
};

class CNetScan {
public:
    // Notices go to `window` as `message`; at most one waits at a time.
    CNetScan(HWND window, UINT message);
    // Ends the scan and waits for every thread: after this, nothing posts
    // to the window any more.
    ~CNetScan();
    CNetScan(const CNetScan&) = delete;
    CNetScan& operator=(const CNetScan&) = delete;

    // Starts the engine and the look-up threads; false when it cannot.
    bool Open();
    // Asks these addresses (network order), dropping whatever an earlier
    // scan still had going. Hardware addresses are looked for only in
    // `onLink`, where the neighbour table can know them.
    void Start(const std::vector<uint32_t>& targets, const std::vector<ScanSubnet>& onLink);
    // Ends the scan at once; nothing more of it is reported.
    void Stop();
    // The computers found since the last call, and where the scan stands.
    ScanProgress Take(std::vector<ScanFound>* found);

private:
    struct Lookup {
        uint32_t address;
        uint64_t generation;
    };
    void OnReport(const ProbeReport& report);
    void LookupThread();
    ScanFound LookUp(uint32_t address, uint64_t generation);
    bool Stale(uint64_t generation);
    void NotifyLocked();
    bool FinishedLocked() const;

    HWND window_;
    UINT message_;
    CProbeEngine engine_;
    std::vector<std::thread> lookups_;

    std::mutex mutex_;
    std::condition_variable work_;
    bool closing_ = false;
    bool active_ = false;
    bool notified_ = false;
    uint64_t generation_ = 0;
    uint32_t batch_ = 0;
    size_t asked_ = 0;
    size_t total_ = 0;
    size_t busy_ = 0;
    std::vector<ScanSubnet> onLink_;
    std::vector<Lookup> queue_;
    std::vector<ScanFound> found_;
};
