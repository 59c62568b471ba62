#pragma once
// The first check of every benchmark that starts Nodelark.exe (which checks
// its entries' status over the network, and may wake or scan): it runs only
// where its runner says it made the namespaces (NL_BENCH_NAMESPACE) and
// beside addresses of the networks that runner makes. Run by hand anywhere
// else it would probe or wake on the machine's own network. Reads the
// adapter list only; nothing is sent before it has passed.
#include <vector>

#include "NetworkGuard.h"

// bench/run.sh: the veth link (10.77.0.0/24), the second subnet of the wake
// run over several subnets (10.78.0.0/24, nl_ns_add_subnets) and the status
// benchmark's /16 (10.80.0.0/16).
inline bool BenchMayRun(const char* program) {
    return testnet::MayRun(program, "NL_BENCH_NAMESPACE", "bench/run.sh",
                           {{{10, 77, 0, 0}, 24}, {{10, 78, 0, 0}, 24}, {{10, 80, 0, 0}, 16}});
}

// bench/net_scan_run.sh: the veth link every namespace pair has and the
// switch the scan sweeps (172.20.0.0/20).
inline bool ScanBenchMayRun(const char* program) {
    return testnet::MayRun(program, "NL_BENCH_NAMESPACE", "bench/net_scan_run.sh",
                           {{{10, 77, 0, 0}, 24}, {{172, 20, 0, 0}, 20}});
}
