#pragma once
// Owns the buffered read with a deadline: every port kind that reads a byte stream (a descriptor
// it polls, or a source that hands out chunks) waits, buffers and cuts its reads here, so "how long
// a read may take" and "what a read that ran out of time gives back" exist once.
#include "util/Types.h"
#include <chrono>
#include <cstddef>
#include <functional>
#include <string_view>

namespace vexo {

// A point in time a whole read must end by; its waits take what is left of it, never a fresh span.
class TDeadline {
public:
    using Clock = std::chrono::steady_clock;
    // AMs from now; a negative AMs is now.
    static TDeadline After(int AMs);
    explicit TDeadline(Clock::time_point AAt) : fAt(AAt) {}
    // Rounded up, so a wait of this length never ends before the deadline; 0 once it has passed.
    int RemainingMs() const;
    bool Passed() const { return Clock::now() >= fAt; }

private:
    Clock::time_point fAt;
};

// How a read or one step of it ended. reOverflow: no terminator within the length allowed.
enum class TReadEnd { reData, reTimeout, reError, reEndOfFile, reOverflow };

struct TReadStatus {
    TReadEnd End = TReadEnd::reData;
    int Error = 0; // with reError: errno for a descriptor, the source's own code otherwise
};

struct TReadResult {
    ByteString Data;
    TReadEnd End = TReadEnd::reData;
    int Error = 0;
    bool Complete() const { return End == TReadEnd::reData; }
};

// A read fills its buffer and cuts what the caller asked for out of it. A read that does not
// complete consumes nothing: the bytes that did arrive stay buffered for the next read (Take gives
// them to a caller that wants what came of a counted read). A timeout is never a byte.
class TDeadlineReader {
public:
    // One step of a source without a descriptor: append what it has to AInto, waiting at most
    // ATimeOutMs. AWanted is how many more bytes would finish the read (1 when that is not known);
    // it may append more. A step that appends nothing is a timeout; the reader asks again while time
    // is left, so a source that answers at once with nothing must pause before it returns.
    using TFill = std::function<TReadStatus(ByteString& AInto, size_t AWanted, int ATimeOutMs)>;
    // Finds the end of a line in ABuffer: its position and length.
    using TFindEnd = std::function<bool(const ByteString& ABuffer, size_t& APos, size_t& ALength)>;

    // Reads from AFd (-1: none yet) at most AChunk bytes a step. The descriptor stays the caller's.
    explicit TDeadlineReader(int AFd = -1, size_t AChunk = 4096);
    explicit TDeadlineReader(TFill AFill);

    void SetFd(int AFd) { fFd = AFd; }
    int Fd() const { return fFd; }

    // Told after every step that reached the source, with the bytes that step brought.
    std::function<void(const TReadStatus& AStatus, std::string_view AReceived)> OnStep;

    const ByteString& Buffered() const { return fBuffer; }
    // Up to AMax buffered bytes, without reading.
    ByteString Take(size_t AMax = ByteString::npos);
    // Puts AData back in front of what is buffered.
    void Unread(const ByteString& AData) { fBuffer.insert(0, AData); }
    void Clear() { fBuffer.clear(); }

    // Up to AMax bytes: what is buffered, else what the first step that brings anything brings.
    TReadResult ReadSome(size_t AMax, TDeadline ADeadline);
    // Exactly ACount bytes; bytes beyond them stay buffered.
    TReadResult ReadExactly(size_t ACount, TDeadline ADeadline);
    // The bytes before ATerminator, which is consumed; what follows stays buffered. With AMaxBefore
    // above 0, more than AMaxBefore buffered bytes without a terminator end the read (reOverflow).
    TReadResult ReadUntil(const ByteString& ATerminator, TDeadline ADeadline, size_t AMaxBefore = 0);
    TReadResult ReadUntil(const TFindEnd& AFindEnd, TDeadline ADeadline, size_t AMaxBefore = 0);

private:
    // Steps until one brings bytes or ends otherwise, or the deadline passes; at least one step.
    TReadStatus Fill(size_t AWanted, TDeadline ADeadline);
    TReadStatus Step(size_t AWanted, TDeadline ADeadline);
    TReadStatus StepFd(TDeadline ADeadline);

    int fFd;
    size_t fChunk;
    TFill fFill;
    ByteString fBuffer;
};

} // namespace vexo
