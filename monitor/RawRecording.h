#pragma once
#include "monitor/RelayItem.h"
#include <cstdio>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrel::monitor {

// The raw recording: a text file, one record a line, that a replay turns back into the same
// trace. Documented in kestrel-monitor --help and the README:
//
//     kestrel-monitor raw 1
//     masked yes
//     response-timeout 10000
//     1718031600.123456 -> 164F504E17A8A9
//     1718031600.125002 <- 06
//     1718031601.000000 == the POS application closed /tmp/pos
//     1718031605.500000 end
//
// The first line names the format and its version; "masked yes" or "masked no" says whether card
// data was masked in the bytes (frames rebuilt with their CRC as right or wrong as it was);
// "response-timeout MS", which may be missing, how long the decoder let a command go unanswered
// before it reported a timeout, so that a replay reports the same. Each
// record starts with the time it happened, in seconds since 1970-01-01 UTC with six decimals; then
// "->" and the bytes the host sent to the PIN pad, "<-" and the bytes the PIN pad sent to the host,
// as hexadecimal pairs, one record per chunk exactly as the relay read it; "==" and a note of the
// relay; or "end", the last record. Empty lines and lines starting with '#' are comments, but
// for one: "# wire-bytes N M" before the end gives the bytes to the PIN pad and to the host as
// they crossed the line, which masking may have changed by an escape (a reader that does not
// know it skips it as a comment).
constexpr std::string_view kRawMagic = "kestrel-monitor raw 1";
constexpr std::string_view kRawWireBytes = "# wire-bytes";

class ERawFormat : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string FormatRawTime(TraceClock::time_point AAt);
// Seconds with one to nine decimals; false for anything else.
bool ParseRawTime(std::string_view AText, TraceClock::time_point& AAt);

// One record line; false with AError set when it is not one.
bool ParseRawRecord(std::string_view ALine, RelayItem& AItem, std::string& AError);
std::string FormatRawRecord(const RelayItem& AItem);

// Appends records to a file, flushing each batch so that nothing is lost if the program is killed.
class RawWriter {
public:
    // Raises std::runtime_error when the file cannot be created.
    RawWriter(const std::string& APath, bool AMasked, int AResponseTimeoutMs);
    ~RawWriter();
    RawWriter(const RawWriter&) = delete;
    RawWriter& operator=(const RawWriter&) = delete;

    void Write(const RelayItem& AItem);
    void Flush();
    // The first write error, or empty.
    const std::string& Error() const { return fError; }

private:
    void Put(const std::string& ALine);

    std::FILE* fFile = nullptr;
    std::string fPath, fError;
};

// Reads a recording record by record. Raises ERawFormat ("line N: ...") on a line that is not a
// record, or when the file does not start like a recording.
class RawReader {
public:
    explicit RawReader(std::istream& AIn);
    bool Masked() const { return fMasked; }
    // The decoder's response timeout of the live session, when the recording says.
    std::optional<int> ResponseTimeout() const { return fResponseTimeout; }
    // The next record; false at the end of the file.
    bool Next(RelayItem& AItem);

private:
    [[noreturn]] void Fail(const std::string& AWhy) const;

    bool NextLine(std::string_view& ALine);
    void WireBytes(std::string_view AText);

    std::istream& fIn;
    std::string fText;
    bool fHeld = false; // fText is a record line the header reading looked at
    size_t fLine = 0;
    bool fMasked = true;
    std::optional<int> fResponseTimeout;
    std::optional<std::array<uint64_t, 2>> fWire;
};

} // namespace kestrel::monitor
