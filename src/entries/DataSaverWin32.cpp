#include "entries/DataSaverWin32.h"

#include <new>
#include <string>
#include <system_error>
#include <utility>

#include "entries/EntList.h"
#include "log/CommandLogWin32.h"
#include "ui/ProgStbarWin32.h"
#include "ui/ShellWin32.h"
#include "ui/WindowPropWin32.h"

CDataSaver::CDataSaver(HWND mainWindow, CEntList& store)
    : mainWindow_(mainWindow), store_(store), place_(store.Place()), savedVersion_(store.ChangeCount()) {
    if (!place_) return;
    const size_t entries = static_cast<size_t>(store.EntryCount());
    try {
        thread_ = std::thread([this, entries] { Run(entries); });
    } catch (const std::system_error&) {
        // Without a thread every save runs on the window's thread instead.
    }
}

CDataSaver::~CDataSaver() {
    if (timerArmed_) KillTimer(mainWindow_, kDataSaveTimer);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void CDataSaver::Run(size_t entries) {
    // The window comes first wherever the two want the processor at once.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    // Memory for the first copy, with room for some more entries, touched
    // here and now rather than by the window's thread at the first save.
    std::vector<WakeEntry> first;
    try {
        first.resize(entries + entries / 8 + 64);
    } catch (const std::bad_alloc&) {
    }
    first.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (returnedCopy_.capacity() == 0) returnedCopy_ = std::move(first);
    }
    for (;;) {
        DataFileSnapshot job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return haveJob_ || stop_; });
            if (!haveJob_) return;
            job = std::move(job_);
            haveJob_ = false;
            busy_ = true;
        }
        SaveOutcome outcome = WriteDataFile(*place_, job);
        const uint64_t version = job.version;
        // The copy's memory goes back for the next copy.
        job.records.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            result_ = std::move(outcome);
            resultVersion_ = version;
            returnedCopy_ = std::move(job.records);
            haveResult_ = true;
            busy_ = false;
        }
        idle_.notify_all();
        PostMessageA(mainWindow_, WM_APP_DATA_SAVED, 0, 0);
    }
}

void CDataSaver::OnChange() {
    if (!place_) return;
    if (inFlight_) {
        changedInFlight_ = true;
        return;
    }
    if (timerArmed_) return;
    timerArmed_ = SetTimer(mainWindow_, kDataSaveTimer, kDataSaveDelayMs, nullptr) != 0;
    if (!timerArmed_) StartSave();
}

bool CDataSaver::TakeSnapshot(DataFileSnapshot& snapshot) {
    if (keptCopy_.capacity() == 0) {
        // The memory the thread made ready at start. No save is under way
        // here, so nothing else is in returnedCopy_.
        std::lock_guard<std::mutex> lock(mutex_);
        keptCopy_ = std::move(returnedCopy_);
        returnedCopy_ = std::vector<WakeEntry>();
    }
    snapshot.records = std::move(keptCopy_);
    keptCopy_ = std::vector<WakeEntry>();
    if (store_.TakeSnapshot(snapshot)) return true;
    SaveOutcome failed;
    failed.problem = SaveProblemText(kErrorNotEnoughMemory);
    Finish(failed, snapshot.version);
    return false;
}

void CDataSaver::StartSave() {
    if (inFlight_) {
        changedInFlight_ = true;
        return;
    }
    DataFileSnapshot snapshot;
    if (!TakeSnapshot(snapshot)) return;
    if (!thread_.joinable()) {
        Finish(WriteDataFile(*place_, snapshot), snapshot.version);
        snapshot.records.clear();
        keptCopy_ = std::move(snapshot.records);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = std::move(snapshot);
        haveJob_ = true;
    }
    inFlight_ = true;
    wake_.notify_one();
}

void CDataSaver::WaitIdle() {
    if (!inFlight_) return;
    {
        // The thread only ever posts to this one, so waiting here cannot
        // hold it up.
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return !haveJob_ && !busy_; });
    }
    TakeResult();
}

void CDataSaver::TakeResult() {
    SaveOutcome outcome;
    uint64_t version = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!haveResult_) return;
        outcome = std::move(result_);
        version = resultVersion_;
        keptCopy_ = std::move(returnedCopy_);
        returnedCopy_ = std::vector<WakeEntry>();
        haveResult_ = false;
    }
    inFlight_ = false;
    Finish(outcome, version);
}

bool CDataSaver::OnMessage(UINT message, WPARAM wParam) {
    if (message == WM_TIMER && wParam == kDataSaveTimer) {
        KillTimer(mainWindow_, kDataSaveTimer);
        timerArmed_ = false;
        StartSave();
        return true;
    }
    if (message == WM_APP_DATA_SAVED) {
        // A report that SaveNow already took finds nothing here.
        TakeResult();
        if (!inFlight_ && changedInFlight_) {
            changedInFlight_ = false;
            OnChange();
        }
        return true;
    }
    return false;
}

void CDataSaver::SaveNow(bool always) {
    if (!place_) return;
    if (timerArmed_) {
        KillTimer(mainWindow_, kDataSaveTimer);
        timerArmed_ = false;
    }
    WaitIdle();
    changedInFlight_ = false;
    if (!always && store_.ChangeCount() == savedVersion_ && !failing_) return;
    DataFileSnapshot snapshot;
    if (!TakeSnapshot(snapshot)) return;
    Finish(WriteDataFile(*place_, snapshot), snapshot.version);
}

void CDataSaver::Finish(const SaveOutcome& outcome, uint64_t version) {
    if (outcome.saved) {
        savedVersion_ = version;
        if (failing_) {
            failing_ = false;
            Report(kDataFileSavedText);
        }
        return;
    }
    // Once until a save succeeds again: the next change and the exit try
    // again, and a disk that stays full would otherwise say it every time.
    if (failing_) return;
    failing_ = true;
    Report(outcome.problem.c_str());
}

void CDataSaver::Report(const char* text) {
    if (CProgStbar* status = FindObject<CProgStbar>(mainWindow_, kProgStbarProp)) status->SetPartText(0, text);
    AppendCommandLog(mainWindow_, text);
}

bool OnDataSaverMessage(HWND mainWindow, UINT message, WPARAM wParam) {
    if (message != WM_APP_DATA_SAVED && message != WM_TIMER) return false;
    CDataSaver* saver = FindObject<CDataSaver>(mainWindow, kDataSaverProp);
    if (!saver) return message == WM_APP_DATA_SAVED;
    return saver->OnMessage(message, wParam);
}

void SaveEntriesNow(HWND mainWindow, bool always) {
    if (CDataSaver* saver = FindObject<CDataSaver>(mainWindow, kDataSaverProp)) {
        saver->SaveNow(always);
        return;
    }
    CEntList* store = FindObject<CEntList>(mainWindow, kEntListProp);
    if (!store || !always) return;
    const std::string problem = store->SaveDataFile();
    if (!problem.empty()) AppendCommandLog(mainWindow, problem.c_str());
}
