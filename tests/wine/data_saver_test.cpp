// The saver between the entries and Ent.dat, in-process with a stand-in main
// window and a real data file: a change is on disk within about a second, a
// burst of changes makes one save, a failure is said once, the first success
// after it says so, and a save now waits for the one under way.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "StandInWindow.h"
#include "TempFolder.h"
#include "entries/DataSaverWin32.h"
#include "entries/EntListWin32.h"

namespace {

constexpr char kDiskFullText[] = "ディスクの空きが足りないためデータファイルを更新しませんでした";

// The real place of the data file, counting what the saves do; it can make
// the next file's creation fail as a full disk would.
class CountingPlace : public DataFilePlace {
public:
    HeldDataFile inner;
    std::atomic<int> attempts{0}, replaced{0};
    std::atomic<bool> diskFull{false};

    RecordFile* Held() override { return inner.Held(); }
    std::unique_ptr<RecordFile> CreateNext() override {
        ++attempts;
        if (diskFull) return nullptr;
        return inner.CreateNext();
    }
    bool Replace(std::unique_ptr<RecordFile> next) override {
        const bool ok = inner.Replace(std::move(next));
        if (ok) ++replaced;
        return ok;
    }
    void Discard(std::unique_ptr<RecordFile> next) override { inner.Discard(std::move(next)); }
    uint32_t LastError() const override { return diskFull ? ERROR_DISK_FULL : inner.LastError(); }
};

WakeEntry Entry(int n) {
    WakeEntry e;
    InitNewEntry(e);
    e.port = n;
    return e;
}

class DataSaverTest : public StandInWindow {
protected:
    void SetUp() override {
        StandInWindow::SetUp();
        folder_ = MakeTempFolder("saver");
        ASSERT_FALSE(folder_.empty());
        path_ = folder_ + "\\Ent.dat";
        auto place = std::make_unique<CountingPlace>();
        place_ = place.get();
        ASSERT_TRUE(place_->inner.Open(path_));
        store_ = new CEntList;
        store_->AttachDataFile(std::move(place));
        AttachObject(main_, kEntListProp, store_);
        saver_ = new CDataSaver(main_, *store_);
        AttachObject(main_, kDataSaverProp, saver_);
        store_->SetChangeHook([this] { saver_->OnChange(); });
    }
    void TearDown() override {
        store_->SetChangeHook(nullptr);
        StandInWindow::TearDown();
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    void Add(int n) {
        WakeEntry e = Entry(n);
        ASSERT_GE(store_->AddEntry(e), 0);
    }
    // The file's length as the folder tells it: the file itself stays held.
    uint64_t FileSize() const {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &data)) return UINT64_MAX;
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    int LinesSaying(const std::string& text) const {
        const std::vector<std::string> lines = LogLines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), text));
    }
    // Runs the message loop for a while, as the window would while idle.
    void PumpFor(DWORD ms) {
        const DWORD start = GetTickCount();
        PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
    }

    std::string folder_, path_;
    CountingPlace* place_ = nullptr;
    CEntList* store_ = nullptr;
    CDataSaver* saver_ = nullptr;
};

TEST_F(DataSaverTest, ABurstOfChangesIsOnDiskSoonInOneSave) {
    const DWORD start = GetTickCount();
    for (int i = 0; i < 1000; ++i) Add(i);
    store_->RemoveEntry(0);
    ASSERT_TRUE(PumpUntil([&] { return place_->replaced == 1; }, 3000)) << "no save within 3 s";
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, kDataSaveDelayMs - 50) << "saved before the burst could end";
    EXPECT_LT(took, 1500u) << "not on disk within about a second";
    EXPECT_EQ(FileSize(), 999u * sizeof(WakeEntry));
    PumpFor(1500);
    EXPECT_EQ(place_->attempts, 1) << "one save for the whole burst";
    EXPECT_EQ(GetFileAttributesA((folder_ + "\\Ent.new").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(LogLines().empty()) << "a save that works says nothing";
}

TEST_F(DataSaverTest, AChangeWhileASaveIsUnderWayIsSavedNext) {
    for (int i = 0; i < 20000; ++i) Add(i);  // about 20 MB: a save that takes a while
    ASSERT_TRUE(PumpUntil([&] { return place_->attempts == 1; }, 3000));
    Add(-1);
    ASSERT_TRUE(PumpUntil([&] { return place_->replaced == 2; }, 5000));
    EXPECT_EQ(FileSize(), 20001u * sizeof(WakeEntry));
    PumpFor(1000);
    EXPECT_EQ(place_->attempts, 2);
}

TEST_F(DataSaverTest, AFailedSaveIsSaidOnceUntilASaveWorksAgain) {
    Add(1);
    ASSERT_TRUE(PumpUntil([&] { return place_->replaced == 1; }, 3000));
    const uint64_t before = FileSize();

    place_->diskFull = true;
    Add(2);
    ASSERT_TRUE(PumpUntil([&] { return LinesSaying(kDiskFullText) == 1; }, 3000)) << "the failure was not said";
    EXPECT_EQ(Status(0), kDiskFullText);
    // Tried again at the next change, and silent about it.
    Add(3);
    ASSERT_TRUE(PumpUntil([&] { return place_->attempts == 3; }, 3000)) << "no second try at the next change";
    PumpFor(1000);
    EXPECT_EQ(place_->attempts, 3) << "no try without a change";
    EXPECT_EQ(LinesSaying(kDiskFullText), 1) << "said once";
    EXPECT_EQ(FileSize(), before) << "the file stays as it was";

    place_->diskFull = false;
    Add(4);
    ASSERT_TRUE(PumpUntil([&] { return LinesSaying(kDataFileSavedText) == 1; }, 3000));
    EXPECT_EQ(Status(0), kDataFileSavedText);
    EXPECT_EQ(FileSize(), 4u * sizeof(WakeEntry));
    // And a later failure is said again.
    place_->diskFull = true;
    Add(5);
    ASSERT_TRUE(PumpUntil([&] { return LinesSaying(kDiskFullText) == 2; }, 3000));
    place_->diskFull = false;
}

TEST_F(DataSaverTest, SavingNowWritesWhatIsNotOnDiskAndNothingTwice) {
    Add(1);
    // Before the timer fires: saved at once, and the timer is off.
    saver_->SaveNow(false);
    EXPECT_EQ(place_->replaced, 1);
    EXPECT_EQ(FileSize(), sizeof(WakeEntry));
    PumpFor(1000);
    EXPECT_EQ(place_->attempts, 1);
    saver_->SaveNow(false);
    EXPECT_EQ(place_->attempts, 1) << "nothing changed, nothing written";
    // At exit the file is written all the same.
    saver_->SaveNow(true);
    EXPECT_EQ(place_->replaced, 2);

    // A save under way is waited for, then what changed after its copy.
    for (int i = 0; i < 20000; ++i) Add(i);
    ASSERT_TRUE(PumpUntil([&] { return place_->attempts == 3; }, 3000));
    Add(-1);
    saver_->SaveNow(false);
    EXPECT_EQ(place_->replaced, 4);
    EXPECT_EQ(FileSize(), 20002u * sizeof(WakeEntry));
    PumpFor(1000);
    EXPECT_EQ(place_->attempts, 4) << "the late report of the save under way starts nothing";
}

}  // namespace
