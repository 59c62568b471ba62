// The entry files on 100,000 entries, in a shown stand-in window: the import
// against filling the Wake List from the same entries (RefreshEntryList), and
// the CSV listing and the export against a plain write of as many bytes. A
// second thread watches the screen during an import and keeps the picture
// nearest to half way, to show the progress bar moving.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchVerdict.h"
#include "StandInWindow.h"
#include "common/FixedText.h"
#include "entries/EntList.h"
#include "entries/EntryCommandsWin32.h"
#include "entries/EntryFiles.h"
#include "entries/WakeEntry.h"
#include "entries/WakeListWin32.h"
#include "ui/ShellWin32.h"

namespace {

constexpr int kEntries = 100000;
constexpr int kRuns = 3;

WakeEntry MakeEntry(int n) {
    WakeEntry entry;
    InitNewEntry(entry);
    char text[64];
    snprintf(text, sizeof text, "端末%06d", n);
    SetField(entry.name, text);
    const uint8_t ip[4] = {10, static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
    std::copy(ip, ip + 4, entry.ipAddress);
    const uint8_t mask[4] = {255, 0, 0, 0};
    std::copy(mask, mask + 4, entry.subnetMask);
    const uint8_t mac[6] = {0x00, 0x1B, 0x21, static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                            static_cast<uint8_t>(n)};
    std::copy(mac, mac + 6, entry.macAddress);
    entry.port = 9;
    snprintf(text, sizeof text, "PC-%05X", n);
    SetField(entry.hostName, text);
    static const char* const places[] = {"東京本社 3階", "大阪支社", "名古屋営業所", "札幌データセンター"};
    SetField(entry.place, places[n % 4]);
    SetField(entry.comment, "ベンチマーク");
    entry.registeredTime = {2024, 4, 0, 1, 9, 30, 0, 0};
    entry.updatedTime = entry.registeredTime;
    return entry;
}

std::string TempPath(const char* name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Creating, writing in 256 KB pieces and closing a file of `size` bytes from
// a buffer already in memory: the least any writer of that file pays.
double PlainWrite(const std::string& path, uint64_t size) {
    static std::vector<char> buffer;
    buffer.assign(static_cast<size_t>(size), 'x');
    const double start = BenchSeconds();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    constexpr size_t kPiece = 256 * sizeof(WakeEntry);
    for (size_t at = 0; at < buffer.size(); at += kPiece) {
        DWORD done = 0;
        WriteFile(file, buffer.data() + at, static_cast<DWORD>(std::min(kPiece, buffer.size() - at)), &done, nullptr);
    }
    CloseHandle(file);
    return BenchSeconds() - start;
}

template <class Work>
double Fastest(Work work) {
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) best = std::min(best, work());
    return best;
}

// The share of the progress bar's middle row drawn in the bar's fill colour.
double FillOf(const std::vector<COLORREF>& row) {
    if (row.size() < 8) return 0;
    // The fill starts at the left edge; its colour is the one just inside.
    const COLORREF fill = row[3];
    size_t filled = 0;
    for (size_t i = 2; i + 2 < row.size(); ++i) filled += row[i] == fill ? 1 : 0;
    return static_cast<double>(filled) / static_cast<double>(row.size() - 4);
}

struct Watcher {
    RECT bar = {};
    std::atomic<bool> stop{false};
    double bestFill = -1;
    std::vector<double> seen;
    HBITMAP bestShot = nullptr;

    void Run() {
        HDC screen = GetDC(nullptr);
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        HDC memory = CreateCompatibleDC(screen);
        while (!stop) {
            HBITMAP shot = CreateCompatibleBitmap(screen, width, height);
            HGDIOBJ old = SelectObject(memory, shot);
            BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
            std::vector<COLORREF> row;
            const int y = (bar.top + bar.bottom) / 2;
            for (int x = bar.left; x < bar.right; ++x) row.push_back(GetPixel(memory, x, y));
            SelectObject(memory, old);
            const double fill = FillOf(row);
            if (seen.empty() || fill != seen.back()) seen.push_back(fill);
            if (fill > 0.02 && fill < 0.98 && std::abs(fill - 0.5) < std::abs(bestFill - 0.5)) {
                if (bestShot) DeleteObject(bestShot);
                bestShot = shot;
                bestFill = fill;
            } else {
                DeleteObject(shot);
            }
            Sleep(15);
        }
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
};

bool SaveBitmap(HBITMAP bitmap, const std::string& path) {
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = info.bmWidth;
    header.biHeight = info.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    const DWORD stride = ((info.bmWidth * 3 + 3) & ~3);
    std::vector<char> pixels(stride * info.bmHeight);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, info.bmHeight, pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    WriteFile(out, &file, sizeof file, &done, nullptr);
    WriteFile(out, &header, sizeof header, &done, nullptr);
    WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &done, nullptr);
    CloseHandle(out);
    return true;
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    StandInWindow window(0);
    HWND main = window.Main();
    auto* store = new CEntList();
    AttachObject(main, kEntListProp, store);
    for (int i = 0; i < kEntries; ++i) {
        WakeEntry entry = MakeEntry(i);
        store->AddEntry(entry);
    }
    const std::string csv = TempPath("nl_bench_listing.csv");
    const std::string ent = TempPath("nl_bench_export.ent");
    const std::string plain = TempPath("nl_bench_plain.bin");

    const double refresh = Fastest([&] {
        const double start = BenchSeconds();
        RefreshEntryList(main);
        const double seconds = BenchSeconds() - start;
        PumpMessages();
        return seconds;
    });
    printf("RefreshEntryList, %d entries: %.3f s (fastest of %d)\n", kEntries, refresh, kRuns);

    const double listing = Fastest([&] {
        const double start = BenchSeconds();
        const int lines = WriteEntryListing(main, csv.c_str());
        const double seconds = BenchSeconds() - start;
        if (lines != kEntries) {
            printf("listing wrote %d lines\n", lines);
            ++MissedTargets();
        }
        return seconds;
    });
    const double listingPlain = Fastest([&] { return PlainWrite(plain, FileSize(csv)); });
    printf("CSV listing, %d entries (%.1f MB): %.1f ms; plain write %.1f ms (ratio %.2f)  target <= 2: %s\n", kEntries,
           FileSize(csv) / 1e6, listing * 1e3, listingPlain * 1e3, listing / listingPlain,
           Verdict(FileSize(csv) > 0 && listing / listingPlain <= 2));
    // What the listing costs before any byte reaches a file: reading the
    // scattered records and formatting their lines.
    struct NoFile : RecordFile {
        bool Seek(uint64_t) override { return true; }
        bool Read(void*, uint32_t, uint32_t& done) override { return (done = 0), true; }
        bool Write(const void*, uint32_t size, uint32_t& done) override { return (done = size), true; }
        bool Truncate() override { return true; }
    };
    const double formatting = Fastest([&] {
        NoFile none;
        const double start = BenchSeconds();
        WriteListing(*store, none, nullptr, [] {});
        return BenchSeconds() - start;
    });
    printf("CSV listing lines formatted, no file: %.1f ms\n", formatting * 1e3);

    const double exportTime = Fastest([&] {
        const double start = BenchSeconds();
        const int records = ExportEntries(main, ent.c_str());
        const double seconds = BenchSeconds() - start;
        if (records != kEntries) {
            printf("export wrote %d records\n", records);
            ++MissedTargets();
        }
        return seconds;
    });
    const double exportPlain = Fastest([&] { return PlainWrite(plain, FileSize(ent)); });
    printf("Export, %d entries (%.1f MB): %.1f ms; plain write %.1f ms (ratio %.2f)  target <= 2: %s\n", kEntries,
           FileSize(ent) / 1e6, exportTime * 1e3, exportPlain * 1e3, exportTime / exportPlain,
           Verdict(FileSize(ent) > 0 && exportTime / exportPlain <= 2));

    // Each import starts from an empty store and list, as a fresh run would.
    auto emptyStore = [&] {
        delete DetachObject<CEntList>(main, kEntListProp);
        store = new CEntList();
        AttachObject(main, kEntListProp, store);
        RefreshEntryList(main);
        PumpMessages();
    };
    const double import = Fastest([&] {
        emptyStore();
        const double start = BenchSeconds();
        const int added = ImportEntries(main, ent.c_str());
        const double seconds = BenchSeconds() - start;
        if (added != kEntries) {
            printf("import added %d entries\n", added);
            ++MissedTargets();
        }
        PumpMessages();
        return seconds;
    });
    printf("Import, %d entries: %.3f s; RefreshEntryList %.3f s (ratio %.2f)  target <= 1.5: %s\n", kEntries, import,
           refresh, import / refresh, Verdict(refresh > 0 && import / refresh <= 1.5));

    // The progress bar, watched from another thread during one more import.
    emptyStore();
    Watcher watcher;
    CProgStbar* status = FindObject<CProgStbar>(main, kProgStbarProp);
    HWND bar = status ? status->ProgressBar() : nullptr;
    std::thread thread;
    if (bar) {
        // Its place while shown; the import shows it at the same place.
        status->BeginProgress(1);
        PumpMessages();
        GetWindowRect(bar, &watcher.bar);
        status->EndProgress();
        PumpMessages();
        thread = std::thread([&] { watcher.Run(); });
        Sleep(100);
        ImportEntries(main, ent.c_str());
        Sleep(100);
        watcher.stop = true;
        thread.join();
    }
    printf("Progress bar fill seen during an import:");
    for (double fill : watcher.seen) printf(" %.0f%%", fill * 100);
    printf("\n");
    if (watcher.bestFill < 0) NotMeasured("progress bar part filled during an import");
    const char* shots = getenv("NL_BENCH_SHOTS");
    if (watcher.bestShot && shots && *shots) {
        const std::string path = std::string(shots) + "\\import-progress.bmp";
        if (SaveBitmap(watcher.bestShot, path))
            printf("Screenshot at %.0f%% of the import: %s\n", watcher.bestFill * 100, path.c_str());
    }
    DeleteFileA(csv.c_str());
    DeleteFileA(ent.c_str());
    DeleteFileA(plain.c_str());
    delete DetachObject<CEntList>(main, kEntListProp);
    return MissedTargets() ? 1 : 0;
}
