#pragma once
// The /wait of a command-line wake run as the run and the hand-over see it.
// The status checks own the wait (they probe, resend and end it); the run
// only asks whether one is on, arms it, and starts it when its packets are
// out. Found on the main window under kRunWaitProp.
#include <cstdint>

constexpr char kRunWaitProp[] = "CRunWait_Class";

class CRunWait {
public:
    virtual ~CRunWait() = default;
    // The command line asked to wait for up to `seconds`.
    virtual void ArmWait(uint32_t seconds) = 0;
    virtual bool WaitArmed() const = 0;
    // A wait is on: its resends use the wake sockets from the window's thread.
    virtual bool Waiting() const = 0;
    // At the end of a command-line wake run: true when the program now waits
    // and must stay open; false after it chose to close (nothing was sent).
    virtual bool BeginWaitAfterRun() = 0;
    // After a handed-over request's end: the next request starts afresh.
    virtual void EndWait() = 0;
};
