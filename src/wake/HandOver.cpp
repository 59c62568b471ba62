#include "wake/HandOver.h"

#include <cstring>

namespace {

void PutU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t GetU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

std::string EncodeHandOverRequest(const HandOverRequest& request) {
    std::string out(kHandOverRequestMagic, sizeof kHandOverRequestMagic);
    PutU32(out, kHandOverVersion);
    PutU32(out, request.callerPid);
    PutU32(out, static_cast<uint32_t>(request.text.size()));
    out += request.text;
    return out;
}

HandOverFault DecodeHandOverRequest(const void* bytes, size_t size, HandOverRequest* request) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    if (!p || size < kHandOverHeaderSize) return HandOverFault::kShort;
    if (std::memcmp(p, kHandOverRequestMagic, sizeof kHandOverRequestMagic) != 0) return HandOverFault::kMagic;
    if (GetU32(p + 4) != kHandOverVersion) return HandOverFault::kVersion;
    const uint32_t length = GetU32(p + 12);
    if (length > kHandOverTextMax) return HandOverFault::kTooLong;
    if (size < kHandOverHeaderSize + length) return HandOverFault::kShort;
    if (size > kHandOverHeaderSize + length) return HandOverFault::kExtraBytes;
    const char* text = reinterpret_cast<const char*>(p + kHandOverHeaderSize);
    if (std::memchr(text, 0, length)) return HandOverFault::kNul;
    request->callerPid = GetU32(p + 8);
    request->text.assign(text, length);
    return HandOverFault::kNone;
}

std::string HandOverFaultText(HandOverFault fault) {
    const char* why = "";
    switch (fault) {
    case HandOverFault::kNone: return std::string();
    case HandOverFault::kShort: why = "途中で切れています"; break;
    case HandOverFault::kMagic: why = "Nodelarkの依頼ではありません"; break;
    case HandOverFault::kVersion: why = "読めない版です"; break;
    case HandOverFault::kTooLong: why = "長すぎます"; break;
    case HandOverFault::kExtraBytes: why = "余分なﾃﾞｰﾀがあります"; break;
    case HandOverFault::kNul: why = "NUL文字を含みます"; break;
    }
    return std::string("他の起動からの実行依頼を拒否しました: 形式が正しくありません(") + why + ")";
}

std::string EncodeHandOverReply(const HandOverReply& reply) {
    std::string out(kHandOverReplyMagic, sizeof kHandOverReplyMagic);
    PutU32(out, static_cast<uint32_t>(reply.kind));
    PutU32(out, reply.value);
    return out;
}

bool DecodeHandOverReply(const void* bytes, size_t size, HandOverReply* reply) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    if (!p || size != kHandOverReplySize) return false;
    if (std::memcmp(p, kHandOverReplyMagic, sizeof kHandOverReplyMagic) != 0) return false;
    const uint32_t kind = GetU32(p + 4);
    if (kind < static_cast<uint32_t>(HandOverReplyKind::kQueued) || kind > static_cast<uint32_t>(HandOverReplyKind::kDone))
        return false;
    reply->kind = static_cast<HandOverReplyKind>(kind);
    reply->value = GetU32(p + 8);
    return true;
}

bool HandOverProgress::Take(const HandOverReply& reply) {
    if (done_) return false;
    switch (reply.kind) {
    case HandOverReplyKind::kQueued:
        return !started_;
    case HandOverReplyKind::kStarted:
        started_ = true;
        return true;
    case HandOverReplyKind::kSent:
        if (!started_) return false;
        sent_ = true;
        return true;
    case HandOverReplyKind::kDone:
        if (reply.value > 2) return false;
        done_ = true;
        exitCode_ = static_cast<int>(reply.value);
        return true;
    }
    return false;
}

int HandOverProgress::ExitCode() const {
    if (done_) return exitCode_;
    return sent_ ? 1 : 2;
}

std::string HandOverPipeName(uint32_t sessionId, const std::string& userSid) {
    return "\\\\.\\pipe\\Nodelark-" + std::to_string(sessionId) + "-" + userSid;
}
