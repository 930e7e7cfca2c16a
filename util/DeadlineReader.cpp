#include "util/DeadlineReader.h"
#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace vexo {

TDeadline TDeadline::After(int AMs) {
    return TDeadline(Clock::now() + std::chrono::milliseconds(std::max(AMs, 0)));
}

int TDeadline::RemainingMs() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(fAt - Clock::now()).count();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

TDeadlineReader::TDeadlineReader(int AFd, size_t AChunk) : fFd(AFd), fChunk(std::max<size_t>(AChunk, 1)) {}

TDeadlineReader::TDeadlineReader(TFill AFill) : fFd(-1), fChunk(1), fFill(std::move(AFill)) {}

ByteString TDeadlineReader::Take(size_t AMax) {
    ByteString result = fBuffer.substr(0, AMax);
    fBuffer.erase(0, result.size());
    return result;
}

// A descriptor that polls readable and then has nothing (another reader was quicker, a spurious
// wake-up) is polled again with what is left of the time.
TReadStatus TDeadlineReader::StepFd(TDeadline ADeadline) {
    for (;;) {
        pollfd p{fFd, POLLIN, 0};
        const int r = ::poll(&p, 1, ADeadline.RemainingMs());
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return {TReadEnd::reError, errno};
        if (r == 0) return {TReadEnd::reTimeout, 0};
        // Read straight onto the end of the buffer, then cut it back to what came.
        const size_t before = fBuffer.size();
        fBuffer.resize(before + fChunk);
        const ssize_t n = ::read(fFd, fBuffer.data() + before, fChunk);
        const int err = errno;
        fBuffer.resize(before + (n > 0 ? static_cast<size_t>(n) : 0));
        if (n > 0) return {};
        if (n == 0) return {TReadEnd::reEndOfFile, 0};
        if (err == EINTR || err == EAGAIN || err == EWOULDBLOCK) {
            if (ADeadline.Passed()) return {TReadEnd::reTimeout, 0};
            continue;
        }
        return {TReadEnd::reError, err};
    }
}

TReadStatus TDeadlineReader::Step(size_t AWanted, TDeadline ADeadline) {
    const size_t before = fBuffer.size();
    TReadStatus status;
    if (fFill) {
        status = fFill(fBuffer, std::max<size_t>(AWanted, 1), ADeadline.RemainingMs());
        if (status.End == TReadEnd::reData && fBuffer.size() == before) status.End = TReadEnd::reTimeout;
    } else if (fFd < 0) {
        status = {TReadEnd::reError, EBADF};
    } else {
        status = StepFd(ADeadline);
    }
    if (OnStep) OnStep(status, std::string_view(fBuffer).substr(before));
    return status;
}

TReadStatus TDeadlineReader::Fill(size_t AWanted, TDeadline ADeadline) {
    for (;;) {
        const TReadStatus status = Step(AWanted, ADeadline);
        if (status.End != TReadEnd::reTimeout || ADeadline.Passed()) return status;
    }
}

TReadResult TDeadlineReader::ReadSome(size_t AMax, TDeadline ADeadline) {
    if (AMax == 0) return {};
    if (fBuffer.empty()) {
        const TReadStatus status = Fill(1, ADeadline);
        if (status.End != TReadEnd::reData) return {{}, status.End, status.Error};
    }
    return {Take(AMax), TReadEnd::reData, 0};
}

TReadResult TDeadlineReader::ReadExactly(size_t ACount, TDeadline ADeadline) {
    while (fBuffer.size() < ACount) {
        const TReadStatus status = Fill(ACount - fBuffer.size(), ADeadline);
        if (status.End != TReadEnd::reData) return {{}, status.End, status.Error};
    }
    return {Take(ACount), TReadEnd::reData, 0};
}

TReadResult TDeadlineReader::ReadUntil(const ByteString& ATerminator, TDeadline ADeadline,
                                       size_t AMaxBefore) {
    if (ATerminator.empty()) return {};
    return ReadUntil(
        [&](const ByteString& ABuffer, size_t& APos, size_t& ALength) {
            APos = ABuffer.find(ATerminator);
            ALength = ATerminator.size();
            return APos != ByteString::npos;
        },
        ADeadline, AMaxBefore);
}

TReadResult TDeadlineReader::ReadUntil(const TFindEnd& AFindEnd, TDeadline ADeadline, size_t AMaxBefore) {
    for (;;) {
        size_t pos = 0, length = 0;
        if (AFindEnd(fBuffer, pos, length)) {
            ByteString result = Take(pos);
            fBuffer.erase(0, length);
            return {std::move(result), TReadEnd::reData, 0};
        }
        if (AMaxBefore > 0 && fBuffer.size() > AMaxBefore) return {{}, TReadEnd::reOverflow, 0};
        const TReadStatus status = Fill(1, ADeadline);
        if (status.End != TReadEnd::reData) return {{}, status.End, status.Error};
    }
}

} // namespace vexo
