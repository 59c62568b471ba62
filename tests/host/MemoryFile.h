#pragma once
// A file in memory behind the record-file interface, with the failures a
// disk can have: reads that fail from some offset on, writes that fail or
// run out of room.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
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
        if (failWrites) return false;
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
        return done == size;
    }
    bool Size(uint64_t& size) override {
        size = bytes.size();
        return tellsSize;
    }
    bool Truncate() override {
        bytes.resize(pos);
        return true;
    }

    std::string bytes;
    size_t pos = 0;
    bool failSeek = false;
    bool failWrites = false;
    size_t writeRoom = SIZE_MAX;
    // Room left on the disk for the file to grow; and whether the file tells
    // its size (a save grows the file first only when it does).
    size_t diskRoom = SIZE_MAX;
    bool tellsSize = false;
    // Some systems say "nothing written" for a write that ran out of room
    // part of the way.
    bool reportsNothingOnFailure = false;
    // The next `failingReads` reads that would deliver a byte at or past
    // this offset fail and deliver nothing.
    size_t failReadsFrom = SIZE_MAX;
    int failingReads = 1 << 30;
};
