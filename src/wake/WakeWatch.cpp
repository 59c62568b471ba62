#include "wake/WakeWatch.h"

#include <algorithm>
#include <cstdio>

#include "common/TextFormat.h"
#include "entries/WakeEntry.h"

const char* VerdictCellText(ProbeVerdict verdict) {
    switch (verdict) {
    case ProbeVerdict::Answers: return "応答あり";
    case ProbeVerdict::Silent: return "応答なし";
    default: return "";
    }
}

std::string EntryLabel(const WakeEntry& entry) {
    return "[" + EntryName(entry) + "(" + FormatIPv4(entry.ipAddress) + ")]";
}

std::string ConfirmedText(const std::string& label, uint64_t elapsedMs) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " (%llu秒)", static_cast<unsigned long long>(elapsedMs / 1000));
    return label + "の起動を確認しました" + seconds;
}

std::string NotConfirmedText(const std::string& label) { return label + "の起動を確認できませんでした"; }

std::string AnsweringBeforeText(const std::string& label) { return label + "は送信前から応答があります"; }

std::string ResentText(const std::string& label) { return label + "に再送信しました"; }

std::string WaitingText(const std::string& firstLabel, size_t others, uint64_t leftMs) {
    char tail[96];
    const unsigned long long left = (leftMs + 999) / 1000;
    if (others > 0)
        std::snprintf(tail, sizeof tail, " ほか%u台の応答を待っています (残り%llu秒)", static_cast<unsigned>(others), left);
    else
        std::snprintf(tail, sizeof tail, "の応答を待っています (残り%llu秒)", left);
    return firstLabel + tail;
}

int WaitExitCode(WaitEnd end) {
    switch (end) {
    case WaitEnd::AllAnswered: return 0;
    case WaitEnd::NothingSent: return 2;
    default: return 1;
    }
}

WakeWatch::Item* WakeWatch::Find(int32_t id) {
    for (Item& item : items_)
        if (item.id == id) return &item;
    return nullptr;
}

std::string WakeWatch::Sent(int32_t id, uint32_t address, const std::string& label, bool answeringBefore,
                            uint64_t now) {
    const bool waited = armed_ || waiting_;
    if (Item* item = Find(id)) {
        // Sent again (a resend, or another run): the watch keeps its first
        // send, so the time to answer counts from there.
        item->lastSend = now;
        if (item->address != address) {
            item->address = address;
            item->label = label;
        }
        // A run that waits counts what is known now, not an answer of long ago.
        if (waited && !item->waited) {
            item->waited = true;
            item->answered = answeringBefore;
        }
        return std::string();
    }
    items_.push_back(Item{id, address, label, now, now, !answeringBefore, answeringBefore, waited});
    return answeringBefore ? AnsweringBeforeText(label) : std::string();
}

std::vector<std::string> WakeWatch::Result(int32_t id, ProbeVerdict verdict, uint64_t now) {
    std::vector<std::string> lines;
    Item* item = Find(id);
    if (!item || verdict != ProbeVerdict::Answers || item->answered) return lines;
    item->answered = true;
    if (item->watching) {
        item->watching = false;
        lines.push_back(ConfirmedText(item->label, now >= item->sentAt ? now - item->sentAt : 0));
    }
    return lines;
}

std::vector<std::string> WakeWatch::Expire(uint64_t now) {
    std::vector<std::string> lines;
    if (waiting_) return lines;
    for (Item& item : items_) {
        if (!item.watching || now < item.sentAt + kConfirmLimitMs) continue;
        item.watching = false;
        lines.push_back(NotConfirmedText(item.label));
    }
    // Entries no longer watched nor waited for are forgotten.
    if (!waiting_)
        items_.erase(std::remove_if(items_.begin(), items_.end(), [](const Item& i) { return !i.watching; }),
                     items_.end());
    return lines;
}

std::vector<ProbeTarget> WakeWatch::ToProbe() const {
    std::vector<ProbeTarget> targets;
    for (const Item& item : items_)
        if (item.watching || (waiting_ && item.waited && !item.answered))
            targets.push_back({item.address, static_cast<uint32_t>(item.id)});
    return targets;
}

bool WakeWatch::Busy() const { return !ToProbe().empty(); }

void WakeWatch::PrepareWait() {
    armed_ = true;
    for (Item& item : items_) item.waited = false;
}

void WakeWatch::BeginWait(uint64_t now, uint64_t limitMs) {
    armed_ = false;
    waiting_ = true;
    waitStart_ = now;
    waitLimit_ = limitMs;
}

void WakeWatch::EndWait(uint64_t now) {
    armed_ = false;
    if (!waiting_) return;
    waiting_ = false;
    for (Item& item : items_) {
        item.waited = false;
        if (now >= item.sentAt + kConfirmLimitMs) item.watching = false;
    }
    items_.erase(std::remove_if(items_.begin(), items_.end(), [](const Item& i) { return !i.watching; }),
                 items_.end());
}

WaitEnd WakeWatch::WaitState(uint64_t now) const {
    if (std::none_of(items_.begin(), items_.end(), [](const Item& i) { return i.waited; })) return WaitEnd::NothingSent;
    if (std::all_of(items_.begin(), items_.end(), [](const Item& i) { return !i.waited || i.answered; }))
        return WaitEnd::AllAnswered;
    if (now >= waitStart_ + waitLimit_) return WaitEnd::TimedOut;
    return WaitEnd::Waiting;
}

std::vector<int32_t> WakeWatch::DueForResend(uint64_t now) {
    std::vector<int32_t> due;
    if (!waiting_) return due;
    for (Item& item : items_) {
        if (!item.waited || item.answered || now < item.lastSend + kResendIntervalMs) continue;
        item.lastSend = now;
        due.push_back(item.id);
    }
    return due;
}

std::string WakeWatch::WaitText(uint64_t now) const {
    const Item* first = nullptr;
    size_t others = 0;
    for (const Item& item : items_) {
        if (!item.waited || item.answered) continue;
        if (!first) first = &item;
        else ++others;
    }
    if (!first) return std::string();
    const uint64_t end = waitStart_ + waitLimit_;
    return WaitingText(first->label, others, end > now ? end - now : 0);
}
