#pragma once
// A benchmark's verdict on a target, as it prints it: every missed target,
// and every figure that could not be measured, is counted, and the program
// ends with 1 when any was, so a run whose figures miss cannot pass.
#include <cstdio>

inline int& MissedTargets() {
    static int missed = 0;
    return missed;
}

inline const char* Verdict(bool met) {
    if (!met) ++MissedTargets();
    return met ? "met" : "MISSED";
}

// A figure that could not be taken (no process, no sample, nothing counted)
// fails rather than reading as 0 or as met.
inline void NotMeasured(const char* what) {
    std::printf("%s: NOT MEASURED\n", what);
    ++MissedTargets();
}
