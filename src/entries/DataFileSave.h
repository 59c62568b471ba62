#pragma once
// Saving the data file without ever tearing it: every save writes a whole new
// file beside it, makes that durable, and only then puts it in the data
// file's place in one step. A save that fails anywhere leaves the data file
// as it was, byte for byte.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "entries/RecordFile.h"
#include "entries/WakeEntry.h"

// What one save writes: every entry in order, copied whole on the window's
// thread, so the write needs nothing the window may change meanwhile.
struct DataFileSnapshot {
    std::vector<WakeEntry> records;
    // The store's change count when the copy was taken.
    uint64_t version = 0;
};

// Where the data file lives: the file held for this run and the way a new
// version takes its place. The Win32 part holds Ent.dat and writes Ent.new;
// the tests keep both in memory.
class DataFilePlace {
public:
    virtual ~DataFilePlace() = default;
    // The data file as held now; null when it is not held any more.
    virtual RecordFile* Held() = 0;
    // A new, empty file beside the data file for the next version; null when
    // it cannot be made (LastError says why).
    virtual std::unique_ptr<RecordFile> CreateNext() = 0;
    // Makes the written file durable and puts it in the data file's place in
    // one step, then holds the data file again. False: the data file is as it
    // was, and the new file is gone.
    virtual bool Replace(std::unique_ptr<RecordFile> next) = 0;
    // Removes a new file that will not be used.
    virtual void Discard(std::unique_ptr<RecordFile> next) = 0;
    // The system's code for the last failure of this place.
    virtual uint32_t LastError() const = 0;

    // When the load stopped early: where, in the held file, the whole
    // records start that the load never reached. Every save copies them
    // after the entries, so no save drops what was never read.
    static constexpr uint64_t kNoTail = UINT64_MAX;
    uint64_t tailFrom = kNoTail;
};

struct SaveOutcome {
    bool saved = false;
    // Why not, in the words the status bar and the log use.
    std::string problem;
};

// One save: the snapshot's records, then the records the load left behind,
// into a new file that then takes the data file's place.
SaveOutcome WriteDataFile(DataFilePlace& place, const DataFileSnapshot& snapshot);

// The system's code for memory that could not be had (a snapshot too big).
constexpr uint32_t kErrorNotEnoughMemory = 8;
// The text for a save that failed with this system error code (0: unknown).
std::string SaveProblemText(uint32_t error);
// Said once a save succeeds after one that failed.
extern const char kDataFileSavedText[];
