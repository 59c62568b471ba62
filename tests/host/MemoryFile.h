#pragma once
// A file in memory behind the record-file interface, with the failures a
// disk can have: reads that fail from some offset on, writes that fail or
// run out of room; and a data file's place in memory, whose saves write such
// a file and put it in place.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include "entries/DataFileSave.h"
#include "entries/RecordFile.h"

class MemoryFile : public RecordFile {
public:
    explicit MemoryFile(std::string bytes = std::string()) : bytes(std::move(bytes)) {}
    bool Seek(uint64_t offset) override {
        if (failSeek) return false;
        pos = static_cast<size_t>(offset);
        return true;
    }
    bool Read(void* buffer, uint32_t size, uint32_t& done) override {
        done = 0;
        if (pos >= bytes.size()) return true;
        size_t end = std::min(bytes.size(), pos + size);
        if (end > failReadsFrom && failingReads > 0) {
            --failingReads;
            return false;
        }
        done = static_cast<uint32_t>(end - pos);
        std::memcpy(buffer, bytes.data() + pos, done);
        pos = end;
        return true;
    }
    bool Write(const void* data, uint32_t size, uint32_t& done) override {
        done = 0;
        if (failWrites) {
            error = failError;
            return false;
        }
        // A disk charges only for bytes past the end of the file.
        const size_t inPlace = pos < bytes.size() ? std::min<size_t>(size, bytes.size() - pos) : 0;
        const size_t grown = std::min<size_t>(size - inPlace, diskRoom);
        diskRoom -= grown;
        const uint32_t allowed = static_cast<uint32_t>(inPlace + grown);
        done = static_cast<uint32_t>(std::min<size_t>(allowed, writeRoom));
        writeRoom -= done;
        if (bytes.size() < pos + done) bytes.resize(pos + done);
        std::memcpy(&bytes[pos], data, done);
        pos += done;
        if (done < size && reportsNothingOnFailure) done = 0;
        if (done < size) error = grown < size - inPlace ? kDiskFull : failError;
        return done == size;
    }
    bool Truncate() override {
        bytes.resize(pos);
        return true;
    }
    uint32_t LastError() const override { return error; }

    // The system's codes the tests use.
    static constexpr uint32_t kDiskFull = 112, kWriteFault = 29;

    std::string bytes;
    size_t pos = 0;
    bool failSeek = false;
    bool failWrites = false;
    size_t writeRoom = SIZE_MAX;
    // Room left on the disk for the file to grow; and whether the file tells
    // its size (a save grows the file first only when it does).
    size_t diskRoom = SIZE_MAX;
    // Some systems say "nothing written" for a write that ran out of room
    // part of the way.
    bool reportsNothingOnFailure = false;
    // The next `failingReads` reads that would deliver a byte at or past
    // this offset fail and deliver nothing.
    size_t failReadsFrom = SIZE_MAX;
    int failingReads = 1 << 30;
    // What a failed write says when it is not the disk's room.
    uint32_t failError = kWriteFault;
    uint32_t error = 0;
};

// The data file's place in memory: `file` is the held data file, and a save
// that is put in place leaves its bytes there (the object stays the same, so
// a test keeps its pointer). The next file's disk has `diskRoom` bytes.
class MemoryPlace : public DataFilePlace {
public:
    explicit MemoryPlace(std::unique_ptr<MemoryFile> held) : held_(std::move(held)) { file = held_.get(); }
    explicit MemoryPlace(std::string bytes = std::string())
        : MemoryPlace(std::make_unique<MemoryFile>(std::move(bytes))) {}

    RecordFile* Held() override { return held_.get(); }
    std::unique_ptr<RecordFile> CreateNext() override {
        if (failCreate) {
            error = kPathNotFound;
            return nullptr;
        }
        auto next = std::make_unique<MemoryFile>();
        next->diskRoom = diskRoom;
        next->writeRoom = writeRoom;
        next->failWrites = failWrites;
        next->reportsNothingOnFailure = reportsNothingOnFailure;
        ++created;
        nextOpen = true;
        return next;
    }
    bool Replace(std::unique_ptr<RecordFile> next) override {
        nextOpen = false;
        if (failReplace) {
            error = kSharingViolation;
            return false;
        }
        file->bytes = static_cast<MemoryFile&>(*next).bytes;
        file->pos = 0;
        ++replaced;
        return true;
    }
    void Discard(std::unique_ptr<RecordFile>) override {
        nextOpen = false;
        ++discarded;
    }
    uint32_t LastError() const override { return error; }

    static constexpr uint32_t kPathNotFound = 3, kSharingViolation = 32;

    MemoryFile* file = nullptr;
    // What the next file's disk does.
    size_t diskRoom = SIZE_MAX;
    size_t writeRoom = SIZE_MAX;
    bool failWrites = false;
    bool reportsNothingOnFailure = false;
    bool failCreate = false;
    bool failReplace = false;
    // What the saves did: new files made, put in place, thrown away; and
    // whether one is still open.
    int created = 0, replaced = 0, discarded = 0;
    bool nextOpen = false;
    uint32_t error = 0;

private:
    std::unique_ptr<MemoryFile> held_;
};
