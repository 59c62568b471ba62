#pragma once
// After a wake run: which computers are watched until they answer, what the
// Command Log says about them, and the waiting of the /wait option. Times are
// milliseconds on any steady clock; the window part feeds the probe results.
#include <cstdint>
#include <string>
#include <vector>

#include "net/Probe.h"

struct WakeEntry;

constexpr uint64_t kConfirmLimitMs = 300000;   // a woken computer has five minutes
constexpr uint64_t kResendIntervalMs = 30000;  // while waiting, the packet goes again this often
constexpr uint64_t kStatusSweepMs = 30000;     // the status column is checked this often

// The status column's text: "応答あり", "応答なし", or empty for never checked.
const char* VerdictCellText(ProbeVerdict verdict);

// "[name(address)]": how the Command Log names an entry.
std::string EntryLabel(const WakeEntry& entry);
std::string ConfirmedText(const std::string& label, uint64_t elapsedMs);  // "...の起動を確認しました (N秒)"
std::string NotConfirmedText(const std::string& label);                   // "...の起動を確認できませんでした"
std::string AnsweringBeforeText(const std::string& label);                // "...は送信前から応答があります"
std::string ResentText(const std::string& label);                         // "...に再送信しました"
// What dialog 130 says while the program waits: the first entry still
// waited for, how many more there are, and the seconds left.
std::string WaitingText(const std::string& firstLabel, size_t others, uint64_t leftMs);

enum class WaitEnd { Waiting, AllAnswered, TimedOut, NothingSent };

// Process exit code of a command-line wake with /wait: 0 every computer
// answered, 1 one or more did not in time, 2 nothing was sent.
int WaitExitCode(WaitEnd end);

class WakeWatch {
public:
    // A packet went to an entry. `answeringBefore` is what the last check of
    // it said; such an entry is not watched, and the line to write says so.
    // Returns the Command Log line to write now, or empty.
    std::string Sent(int32_t id, uint32_t address, const std::string& label, bool answeringBefore, uint64_t now);
    // A probe result for an entry; the lines to write.
    std::vector<std::string> Result(int32_t id, ProbeVerdict verdict, uint64_t now);
    // Watches past their five minutes; the lines to write. While a wait is
    // on, nothing expires: the wait's end says how it went, and a computer
    // that answers late still counts.
    std::vector<std::string> Expire(uint64_t now);
    // The addresses to ask now: every watched entry, and every waited one
    // that has not answered.
    std::vector<ProbeTarget> ToProbe() const;
    bool Busy() const;

    // A run with /wait is about to send: the wait will be for the entries
    // sent to from now on, not for those of earlier runs still watched.
    void PrepareWait();
    // Waiting for every entry sent to since PrepareWait (the /wait option).
    void BeginWait(uint64_t now, uint64_t limitMs);
    // The wait is over and has said how it went: entries past their five
    // minutes are let go without a line of their own, the others are
    // watched on as after any run.
    void EndWait(uint64_t now);
    bool IsWaiting() const { return waiting_; }
    WaitEnd WaitState(uint64_t now) const;
    // Waited entries that still do not answer and were last sent to at least
    // kResendIntervalMs ago; they count as sent to at `now`.
    std::vector<int32_t> DueForResend(uint64_t now);
    // Dialog 130's text for `now`.
    std::string WaitText(uint64_t now) const;
    size_t SentCount() const { return items_.size(); }

private:
    struct Item {
        int32_t id;
        uint32_t address;
        std::string label;
        uint64_t sentAt;
        uint64_t lastSend;
        bool watching;  // the confirm line is still to be written
        bool answered;
        bool waited;    // sent to by the run that waits
    };
    Item* Find(int32_t id);

    std::vector<Item> items_;
    bool waiting_ = false;
    bool armed_ = false;
    uint64_t waitStart_ = 0;
    uint64_t waitLimit_ = 0;
};
