#pragma once
// A command-line request handed from a new start to the Nodelark that
// already runs, and the answers that come back: the bytes on the pipe
// between them. Portable, so that the reader of outside bytes is tested and
// fuzzed on any platform.
#include <cstddef>
#include <cstdint>
#include <string>

// The request: "NLRQ", the format's version, the caller's process id, the
// text's length, then the command-line text (code page 932, no NUL), all
// numbers little-endian. One pipe message.
constexpr char kHandOverRequestMagic[4] = {'N', 'L', 'R', 'Q'};
constexpr uint32_t kHandOverVersion = 1;
constexpr size_t kHandOverHeaderSize = 16;
// Longer than any command line Windows passes on (32,767 characters is the
// limit, but a request names one entry and a few options).
constexpr size_t kHandOverTextMax = 2048;
constexpr size_t kHandOverRequestMax = kHandOverHeaderSize + kHandOverTextMax;

struct HandOverRequest {
    uint32_t callerPid = 0;
    std::string text;
};

std::string EncodeHandOverRequest(const HandOverRequest& request);

enum class HandOverFault {
    kNone,
    kShort,       // fewer bytes than the header, or than the header says
    kMagic,       // not this program's request
    kVersion,     // a version this program does not read
    kTooLong,     // the text is longer than any request may be
    kExtraBytes,  // bytes after the text
    kNul,         // a NUL inside the text
};

// Reads one whole pipe message. kNone fills `request`.
HandOverFault DecodeHandOverRequest(const void* bytes, size_t size, HandOverRequest* request);
// What the log says about a refused request: "形式が正しくありません(...)".
std::string HandOverFaultText(HandOverFault fault);

// An answer: "NLRS", its kind, a value. One pipe message of 12 bytes.
constexpr char kHandOverReplyMagic[4] = {'N', 'L', 'R', 'S'};
constexpr size_t kHandOverReplySize = 12;

enum class HandOverReplyKind : uint32_t {
    kQueued = 1,   // value: requests ahead of this one
    kStarted = 2,  // its turn has come
    kSent = 3,     // a packet of its run went out
    kDone = 4,     // value: the exit code the request earned
};

struct HandOverReply {
    HandOverReplyKind kind = HandOverReplyKind::kQueued;
    uint32_t value = 0;
};

std::string EncodeHandOverReply(const HandOverReply& reply);
bool DecodeHandOverReply(const void* bytes, size_t size, HandOverReply* reply);

// What the caller has heard so far, and the exit code it ends with.
class HandOverProgress {
public:
    // False for an answer that makes no sense at this point (the caller
    // then ends as if the pipe broke).
    bool Take(const HandOverReply& reply);
    bool Done() const { return done_; }
    bool Started() const { return started_; }
    // The code of a finished request; otherwise what is known: 1 when its
    // packets went out, 2 when nothing was sent.
    int ExitCode() const;

private:
    bool started_ = false;
    bool sent_ = false;
    bool done_ = false;
    int exitCode_ = 2;
};

// "\\.\pipe\Nodelark-<session>-<user SID>": one pipe for each user in each
// session, so another user's or session's Nodelark is never reached.
std::string HandOverPipeName(uint32_t sessionId, const std::string& userSid);
