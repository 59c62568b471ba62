// Loading and saving a large data file against reading and writing the same
// bytes plainly. Prints the best of a few rounds.
#include <windows.h>
#include "BenchClock.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include "common/FixedText.h"
#include "entries/EntList.h"

namespace {

constexpr int kEntries = 100000;
constexpr int kRounds = 5;
constexpr DWORD kPlainChunk = 1 << 20;

double PlainWrite(const std::string& path, const unsigned char* data, size_t size) {
    const double start = BenchSeconds();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    for (size_t at = 0; at < size;) {
        DWORD done = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(kPlainChunk, size - at));
        if (!WriteFile(h, data + at, want, &done, nullptr) || done == 0) break;
        at += done;
    }
    SetEndOfFile(h);
    CloseHandle(h);
    return BenchSeconds() - start;
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

    double bestLoad = 1e9, bestSave = 1e9, bestRead = 1e9, bestFreshRead = 1e9, bestWrite = 1e9;
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
        }
        bestWrite = std::min(bestWrite, PlainWrite(plainFile, plain.get(), bytes));
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
    DeleteFileA(dataFile.c_str());
    DeleteFileA(plainFile.c_str());
    RemoveDirectoryA(folder.c_str());
    RemoveDirectoryA(root.c_str());

    std::printf("data file: %d entries, %zu bytes; best of %d rounds\n", kEntries, bytes, kRounds);
    std::printf("load  (OpenDataFile) %8.2f ms   plain read  %8.2f ms   ratio %.2f\n", bestLoad * 1e3,
                bestRead * 1e3, bestLoad / bestRead);
    std::printf("load  (OpenDataFile) %8.2f ms   plain read into fresh memory %8.2f ms   ratio %.2f\n",
                bestLoad * 1e3, bestFreshRead * 1e3, bestLoad / bestFreshRead);
    std::printf("save  (SaveDataFile) %8.2f ms   plain write %8.2f ms   ratio %.2f\n", bestSave * 1e3,
                bestWrite * 1e3, bestSave / bestWrite);
    return 0;
}
