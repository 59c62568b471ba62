#pragma once
// Counts the saves of Ent.dat from outside while the program holds the file:
// each save renames a new file to "Ent.dat", and the folder reports it.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace e2e {

class SaveWatch {
public:
    explicit SaveWatch(const std::string& folder) {
        dir_ = CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (dir_ == INVALID_HANDLE_VALUE || !event_) return;
        // The first request is made before the constructor returns, so no
        // save after it goes unseen.
        if (!Request()) return;
        thread_ = std::thread([this] { Run(); });
    }
    ~SaveWatch() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (dir_ != INVALID_HANDLE_VALUE) CloseHandle(dir_);
        if (event_) CloseHandle(event_);
    }
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;

    bool Watching() const { return thread_.joinable(); }
    // Saves seen since the watch began.
    int Saves() const { return saves_; }

private:
    bool Request() {
        ResetEvent(event_);
        overlapped_ = {};
        overlapped_.hEvent = event_;
        return ReadDirectoryChangesW(dir_, buffer_, sizeof buffer_, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME, nullptr,
                                     &overlapped_, nullptr) != FALSE;
    }
    void Run() {
        for (;;) {
            while (!stop_ && WaitForSingleObject(event_, 20) == WAIT_TIMEOUT) {
            }
            if (stop_) {
                CancelIo(dir_);
                DWORD ignored = 0;
                GetOverlappedResult(dir_, &overlapped_, &ignored, TRUE);
                return;
            }
            DWORD got = 0;
            if (!GetOverlappedResult(dir_, &overlapped_, &got, FALSE)) return;
            for (const char* at = buffer_; got > 0;) {
                const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
                char name[MAX_PATH] = {};
                WideCharToMultiByte(CP_ACP, 0, info->FileName, static_cast<int>(info->FileNameLength / 2), name,
                                    sizeof name - 1, nullptr, nullptr);
                if (info->Action == FILE_ACTION_RENAMED_NEW_NAME && std::strcmp(name, "Ent.dat") == 0) ++saves_;
                if (!info->NextEntryOffset) break;
                at += info->NextEntryOffset;
            }
            if (!Request()) return;
        }
    }

    HANDLE dir_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr;
    OVERLAPPED overlapped_ = {};
    alignas(DWORD) char buffer_[64 * 1024];
    std::atomic<int> saves_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace e2e
