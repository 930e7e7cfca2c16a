#include "device/BlockChannel.h"
#include <exception>
#include <thread>

namespace vexo {

TBlockChannel::Clock::time_point TBlockChannel::After(int AMs) {
    return Clock::now() + std::chrono::milliseconds(AMs < 0 ? 0 : AMs);
}

int TBlockChannel::RemainingMs(Clock::time_point ADeadline) {
    return TDeadline(ADeadline).RemainingMs();
}

void TBlockChannel::BandwidthWait(int ALength) {
    if (MaxSendBandwidth <= 0) return;
    const int wait = RemainingMs(fNextSend);
    if (wait > 0) {
        BandwidthWaiting(wait);
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    fNextSend = After(static_cast<int>(static_cast<long long>(ALength) * 1000 / MaxSendBandwidth));
}

void TBlockChannel::SetError(int ACode) {
    fLastError = ACode;
    fLastErrorDesc = ErrorText(ACode);
}

void TBlockChannel::SetError(int ACode, const std::string& ADetail) {
    fLastError = ACode;
    fLastErrorDesc = ErrorText(ACode) + ": " + ADetail;
}

void TBlockChannel::ExceptCheck() {
    if (RaiseExcept && fLastError != 0) RaiseError();
}

void TBlockChannel::RaiseLastError() {
    RaiseError();
    std::terminate();
}

void TBlockChannel::RaiseGone(int ACode) {
    SetError(ACode);
    RaiseError();
    // The compiler cannot see through the virtual call that every transport's RaiseError throws.
    std::terminate();
}

uint8_t TBlockChannel::RecvByte(int ATimeOut) {
    // A byte taken from LineBuffer must not carry the error of an earlier call.
    ClearError();
    if (LineBuffer.empty()) LineBuffer = RecvPacket(ATimeOut);
    if (LineBuffer.empty()) return 0;
    const auto b = static_cast<uint8_t>(LineBuffer.front());
    LineBuffer.erase(0, 1);
    return b;
}

// A packet that came with an error (a damaged byte) is dropped: the error says so, and handing its
// bytes out later as good ones would not.
TDeadlineReader TBlockChannel::PacketReader() {
    return TDeadlineReader([this](ByteString& AInto, size_t, int AMs) -> TReadStatus {
        const ByteString packet = RecvPacket(AMs);
        if (LastError() == TimeoutCode()) return {TReadEnd::reTimeout, 0};
        if (LastError() != 0) return {TReadEnd::reError, LastError()};
        AInto += packet;
        return {};
    });
}

// Bytes already collected go back to LineBuffer however a read ends, so a timeout never loses data
// that did arrive; the next read returns them first.
template <class F> TReadResult TBlockChannel::ReadThrough(F ARead) {
    TDeadlineReader reader = PacketReader();
    try {
        TReadResult result = ARead(reader);
        LineBuffer = reader.Take() + LineBuffer;
        return result;
    } catch (...) {
        LineBuffer = reader.Take() + LineBuffer;
        throw;
    }
}

ByteString TBlockChannel::RecvBufferStr(int ALength, int ATimeOut) {
    ClearError();
    if (ALength <= 0) return {};
    const auto deadline = TDeadline::After(ATimeOut);
    return ReadThrough([&](TDeadlineReader& AReader) {
               return AReader.ReadExactly(static_cast<size_t>(ALength), deadline);
           })
        .Data;
}

// Position and length of the line end in AWork, for a CR LF terminator under ConvertLineEnd.
static bool FindLineEnd(const ByteString& AWork, size_t& APos, size_t& ALen) {
    APos = AWork.find_first_of("\r\n");
    if (APos == ByteString::npos) return false;
    ALen = 1;
    if (APos + 1 < AWork.size()) {
        const char pair = AWork[APos] == '\r' ? '\n' : '\r';
        if (AWork[APos + 1] == pair) ALen = 2;
    }
    return true;
}

ByteString TBlockChannel::RecvTerminated(int ATimeOut, const ByteString& ATerminator) {
    ClearError();
    if (ATerminator.empty()) return {};
    const bool lineEnd = ConvertLineEnd && ATerminator == "\r\n";
    const auto deadline = TDeadline::After(ATimeOut);
    const size_t limit = MaxLineLength > 0 ? static_cast<size_t>(MaxLineLength) : 0;
    TReadResult got = ReadThrough([&](TDeadlineReader& AReader) {
        return lineEnd ? AReader.ReadUntil(FindLineEnd, deadline, limit)
                       : AReader.ReadUntil(ATerminator, deadline, limit);
    });
    if (got.End == TReadEnd::reOverflow) SetError(MaxBufferCode());
    if (got.Complete()) return std::move(got.Data);
    ExceptCheck();
    return {};
}

} // namespace vexo
