#pragma once
// Keeps Ent.dat in step with the entries while the program runs: a change
// starts a short timer; when it fires, the window's thread copies the entries
// and one saver thread writes them (a new file put in place in one step), so
// the window never waits for the disk. A burst of changes made inside one
// command (an import, a scan's additions) is over before the timer can fire,
// and makes one save.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "entries/DataFileSave.h"

class CEntList;

// Posted by the saver thread when a save has ended.
constexpr UINT WM_APP_DATA_SAVED = WM_APP + 0x2C0;
constexpr UINT_PTR kDataSaveTimer = 0x2C0;
// From the first change to the copy that is saved.
constexpr UINT kDataSaveDelayMs = 500;
constexpr char kDataSaverProp[] = "CDataSaver_Class";

class CDataSaver {
public:
    // Window thread only, as every member but the thread's own.
    CDataSaver(HWND mainWindow, CEntList& store);
    // Waits for a save under way, then ends the thread; saves nothing more.
    ~CDataSaver();
    CDataSaver(const CDataSaver&) = delete;
    CDataSaver& operator=(const CDataSaver&) = delete;

    // The store changed: a save follows within kDataSaveDelayMs (after the
    // one under way, if any). Later changes do not put it off further.
    void OnChange();
    // The timer and the thread's report; false for any other message.
    bool OnMessage(UINT message, WPARAM wParam);
    // Saves on this thread once a save under way has ended: at exit with
    // `always` (the file is rewritten even when nothing changed), and before
    // the session ends without it (only what is not yet on disk).
    void SaveNow(bool always);

private:
    void StartSave();
    // Copies the entries into the memory of the last copy (or, the first
    // time, memory the thread made ready at start). Kept from one save to
    // the next, as much again as the entries take: under Wine a copy into
    // fresh memory pays a page fault for every page first, 100,000 entries
    // a quarter of a second here, which the window would wait for. False,
    // with the failure reported as a save's, when there was no memory.
    bool TakeSnapshot(DataFileSnapshot& snapshot);
    // Waits for the thread to finish a save under way, and takes its result.
    void WaitIdle();
    void TakeResult();
    // Counts the save and tells the user about a failure once, and about the
    // first success after one.
    void Finish(const SaveOutcome& outcome, uint64_t version);
    void Report(const char* text);
    // The thread; `entries` sizes the memory of the first copy.
    void Run(size_t entries);

    HWND mainWindow_;
    CEntList& store_;
    DataFilePlace* place_;

    // Window thread only.
    bool timerArmed_ = false;
    bool inFlight_ = false;
    bool changedInFlight_ = false;
    bool failing_ = false;
    uint64_t savedVersion_ = 0;
    std::vector<WakeEntry> keptCopy_;

    // Shared with the thread, under mutex_.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool haveJob_ = false;
    bool busy_ = false;
    bool haveResult_ = false;
    bool stop_ = false;
    DataFileSnapshot job_;
    SaveOutcome result_;
    uint64_t resultVersion_ = 0;
    std::vector<WakeEntry> returnedCopy_;
    std::thread thread_;
};

// The main window's share: routes the saver's timer and report. True when
// the message was one of these.
bool OnDataSaverMessage(HWND mainWindow, UINT message, WPARAM wParam);
// Writes what is not yet on disk now (before the session ends), or
// everything (at exit, `always`); without a saver, through the store itself.
void SaveEntriesNow(HWND mainWindow, bool always);
