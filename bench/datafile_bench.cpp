// Loading and saving a large data file against reading and writing the same
// bytes plainly; and the save that follows one edit of 10,000 entries, part
// by part (the copy on the window's thread, then the new file written,
// flushed and put in place) against plain writes of the same bytes: over
// the old bytes in place (as the save before did), over the old file as a
// new one (CREATE_ALWAYS), and to a file that did not exist; each with and
// without a flush. Prints the best of a few rounds, and for the edit the
// median too.
#include <windows.h>
#include "BenchClock.h"
#include "BenchVerdict.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "common/FixedText.h"
#include "entries/DataFileSave.h"
#include "entries/EntList.h"

namespace {

constexpr int kEntries = 100000;
constexpr int kRounds = 5;
constexpr int kEditEntries = 10000;
constexpr int kEditRounds = 15;
constexpr DWORD kPlainChunk = 1 << 20;

enum class Plain {
    InPlace,   // over the file's old bytes, as the save before this one did
    Over,      // the old file emptied and written anew (CREATE_ALWAYS)
    Fresh,     // a file that did not exist
};

// `size` bytes into `path`, closed; flushed first when asked. The file holds
// `size` bytes before, except for Fresh.
double PlainWrite(const std::string& path, const unsigned char* data, size_t size, Plain how, bool flush) {
    if (how == Plain::Fresh) DeleteFileA(path.c_str());
    const double start = BenchSeconds();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, how == Plain::InPlace ? OPEN_ALWAYS : CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    for (size_t at = 0; at < size;) {
        DWORD done = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(kPlainChunk, size - at));
        if (!WriteFile(h, data + at, want, &done, nullptr) || done == 0) break;
        at += done;
    }
    if (how == Plain::InPlace) SetEndOfFile(h);
    if (flush) FlushFileBuffers(h);
    CloseHandle(h);
    return BenchSeconds() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// With `data` null the bytes go to memory taken for this read, as a load's
// records do; otherwise to a buffer already in use.
double PlainRead(const std::string& path, unsigned char* data, size_t size) {
    const double start = BenchSeconds();
    std::unique_ptr<unsigned char[]> fresh;
    if (!data) {
        fresh.reset(new unsigned char[size]);
        data = fresh.get();
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    for (size_t at = 0; at < size;) {
        DWORD done = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(kPlainChunk, size - at));
        if (!ReadFile(h, data + at, want, &done, nullptr) || done == 0) break;
        at += done;
    }
    CloseHandle(h);
    return BenchSeconds() - start;
}

}  // namespace

int main() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "nl-datafile-bench-" + std::to_string(GetCurrentProcessId());
    const std::string folder = root + "\\Morrowbel";
    const std::string dataFile = folder + "\\Ent.dat";
    const std::string plainFile = root + "\\plain.bin";
    CreateDirectoryA(root.c_str(), nullptr);

    WakeEntry entry;
    InitNewEntry(entry);
    SetField(entry.comment, "bench");
    const size_t bytes = static_cast<size_t>(kEntries) * sizeof(WakeEntry);
    std::unique_ptr<unsigned char[]> plain(new unsigned char[bytes]);
    std::memset(plain.get(), 0x5A, bytes);

    double bestLoad = 1e9, bestSave = 1e9, bestRead = 1e9, bestFreshRead = 1e9, bestWrite = 1e9, bestFlushed = 1e9;
    double bestFreshCopy = 1e9, bestKeptCopy = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        DeleteFileA(dataFile.c_str());
        DeleteFileA(plainFile.c_str());
        {
            CEntList store;
            store.OpenDataFileIn(folder.c_str());
            for (int i = 0; i < kEntries; ++i) store.AddEntry(entry);
            const double start = BenchSeconds();
            store.SaveDataFile();
            bestSave = std::min(bestSave, BenchSeconds() - start);
            // The saver's copy: the first into fresh memory, the next into
            // the memory it kept.
            DataFileSnapshot snapshot;
            double at = BenchSeconds();
            store.TakeSnapshot(snapshot);
            bestFreshCopy = std::min(bestFreshCopy, BenchSeconds() - at);
            at = BenchSeconds();
            store.TakeSnapshot(snapshot);
            bestKeptCopy = std::min(bestKeptCopy, BenchSeconds() - at);
        }
        bestWrite = std::min(bestWrite, PlainWrite(plainFile, plain.get(), bytes, Plain::Fresh, false));
        bestFlushed = std::min(bestFlushed, PlainWrite(plainFile, plain.get(), bytes, Plain::Fresh, true));
        {
            // The store's open includes creating the handle, so the plain read does too.
            CEntList store;
            const double start = BenchSeconds();
            store.OpenDataFileIn(folder.c_str());
            bestLoad = std::min(bestLoad, BenchSeconds() - start);
            if (store.EntryCount() != kEntries) {
                std::printf("loaded %d entries, expected %d\n", store.EntryCount(), kEntries);
                return 1;
            }
        }
        bestRead = std::min(bestRead, PlainRead(plainFile, plain.get(), bytes));
        bestFreshRead = std::min(bestFreshRead, PlainRead(plainFile, nullptr, bytes));
    }
    // One edit, then its save: what the window's thread does (the copy) and
    // what the saver thread does (write, flush, put in place).
    const size_t editBytes = static_cast<size_t>(kEditEntries) * sizeof(WakeEntry);
    std::vector<double> copies, writes, saves;
    // [how][flushed]
    std::vector<double> plains[3][2];
    {
        DeleteFileA(dataFile.c_str());
        CEntList store;
        store.OpenDataFileIn(folder.c_str());
        for (int i = 0; i < kEditEntries; ++i) store.AddEntry(entry);
        store.SaveDataFile();
        // The saver keeps its copy's memory from one save to the next.
        DataFileSnapshot snapshot;
        store.TakeSnapshot(snapshot);
        for (int round = 0; round < kEditRounds; ++round) {
            WakeEntry edited = *store.FindEntry(round % kEditEntries);
            edited.port = round;
            store.ReplaceEntry(edited);
            const double start = BenchSeconds();
            store.TakeSnapshot(snapshot);
            const double copied = BenchSeconds();
            const SaveOutcome outcome = WriteDataFile(*store.Place(), snapshot);
            const double written = BenchSeconds();
            if (!outcome.saved) {
                std::printf("save failed: %s\n", outcome.problem.c_str());
                return 1;
            }
            copies.push_back(copied - start);
            writes.push_back(written - copied);
            saves.push_back(written - start);
            for (Plain how : {Plain::InPlace, Plain::Over, Plain::Fresh})
                for (bool flush : {false, true})
                    plains[static_cast<int>(how)][flush].push_back(
                        PlainWrite(plainFile, plain.get(), editBytes, how, flush));
        }
    }
    DeleteFileA(dataFile.c_str());
    DeleteFileA(plainFile.c_str());
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA(root.c_str());

    std::printf("data file: %d entries, %zu bytes; best of %d rounds\n", kEntries, bytes, kRounds);
    std::printf("load  (OpenDataFile) %8.2f ms   plain read  %8.2f ms   ratio %.2f\n", bestLoad * 1e3,
                bestRead * 1e3, bestLoad / bestRead);
    std::printf("load  (OpenDataFile) %8.2f ms   plain read into fresh memory %8.2f ms   ratio %.2f\n",
                bestLoad * 1e3, bestFreshRead * 1e3, bestLoad / bestFreshRead);
    std::printf("save  (SaveDataFile) %8.2f ms   plain write, new file %8.2f ms   ratio %.2f\n", bestSave * 1e3,
                bestWrite * 1e3, bestSave / bestWrite);
    std::printf("save  (SaveDataFile) %8.2f ms   plain write and flush %8.2f ms   ratio %.2f\n", bestSave * 1e3,
                bestFlushed * 1e3, bestSave / bestFlushed);
    std::printf("copy for a save on the window's thread: into fresh memory %.2f ms, into the memory kept from the "
                "last save %.2f ms\n",
                bestFreshCopy * 1e3, bestKeptCopy * 1e3);

    const double save = Median(saves);
    std::printf("\nsave after one edit: %d entries, %zu bytes; median (best) of %d rounds\n", kEditEntries, editBytes,
                kEditRounds);
    std::printf("  copy on the window's thread   %7.2f ms (%.2f)\n", Median(copies) * 1e3,
                *std::min_element(copies.begin(), copies.end()) * 1e3);
    std::printf("  write, flush, put in place    %7.2f ms (%.2f)\n", Median(writes) * 1e3,
                *std::min_element(writes.begin(), writes.end()) * 1e3);
    std::printf("  whole save                    %7.2f ms (%.2f)\n", save * 1e3,
                *std::min_element(saves.begin(), saves.end()) * 1e3);
    static const char* const kHow[] = {"in place", "over the old file", "to a new file"};
    for (int how = 0; how < 3; ++how) {
        const double bare = Median(plains[how][0]), flushed = Median(plains[how][1]);
        std::printf("  plain write %-17s %7.2f ms, ratio %5.2f;  with a flush %7.2f ms, ratio %5.2f (target <= 1.5: %s)\n",
                    kHow[how], bare * 1e3, save / bare, flushed * 1e3, save / flushed,
                    Verdict(save / flushed <= 1.5));
    }
    return MissedTargets() ? 1 : 0;
}
