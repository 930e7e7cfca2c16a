#include "monitor/RawRecording.h"
#include "util/Strings.h"

#include <cerrno>
#include <cstring>
#include <sstream>

namespace kestrel::monitor {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string_view Trimmed(std::string_view AText) {
    while (!AText.empty() && (AText.front() == ' ' || AText.front() == '\t'))
        AText.remove_prefix(1);
    while (!AText.empty() && (AText.back() == ' ' || AText.back() == '\t' || AText.back() == '\r'))
        AText.remove_suffix(1);
    return AText;
}

// A note is one line of text: line breaks inside it would start a record, and blanks around it
// are not kept.
std::string OneLine(std::string_view AText) {
    std::string line(AText);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return std::string(Trimmed(line));
}

} // namespace

std::string FormatRawTime(TraceClock::time_point AAt) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(AAt.time_since_epoch()).count();
    const long long us = micros < 0 ? 0 : static_cast<long long>(micros);
    char text[40];
    std::snprintf(text, sizeof text, "%lld.%06lld", us / 1000000, us % 1000000);
    return text;
}

bool ParseRawTime(std::string_view AText, TraceClock::time_point& AAt) {
    const size_t dot = AText.find('.');
    const std::string_view whole = AText.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : AText.substr(dot + 1);
    // Ten digits reach the year 2286; more would not fit the clock.
    if (whole.empty() || whole.size() > 10 || dot == std::string_view::npos || fraction.empty() ||
        fraction.size() > 9)
        return false;
    long long seconds = 0, nanos = 0;
    for (const char c : whole) {
        if (c < '0' || c > '9') return false;
        seconds = seconds * 10 + (c - '0');
    }
    if (seconds > 9'000'000'000LL) return false;
    for (size_t i = 0; i < 9; ++i) {
        const char c = i < fraction.size() ? fraction[i] : '0';
        if (c < '0' || c > '9') return false;
        nanos = nanos * 10 + (c - '0');
    }
    AAt = TraceClock::time_point(std::chrono::duration_cast<TraceClock::duration>(
        std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanos)));
    return true;
}

std::string FormatRawRecord(const RelayItem& AItem) {
    std::string line = FormatRawTime(AItem.At);
    switch (AItem.What) {
    case RelayItem::Kind::Bytes:
        line += AItem.Dir == Direction::HostToPinPad ? " -> " : " <- ";
        line += vexo::BytesParaHex(AItem.Bytes);
        break;
    case RelayItem::Kind::Note:
        line += " == " + OneLine(AItem.Text);
        break;
    case RelayItem::Kind::End:
        line += " end";
        break;
    }
    return line;
}

bool ParseRawRecord(std::string_view ALine, RelayItem& AItem, std::string& AError) {
    ALine = Trimmed(ALine);
    const size_t space = ALine.find(' ');
    if (space == std::string_view::npos) {
        AError = "a record is a time and what happened";
        return false;
    }
    RelayItem item;
    if (!ParseRawTime(ALine.substr(0, space), item.At)) {
        AError = "the time is not seconds with decimals";
        return false;
    }
    const std::string_view rest = Trimmed(ALine.substr(space + 1));
    const std::string_view op = rest.substr(0, rest.find(' '));
    const std::string_view payload = Trimmed(rest.substr(op.size()));
    if (op == "end" && payload.empty()) {
        item.What = RelayItem::Kind::End;
    } else if (op == "==") {
        item.What = RelayItem::Kind::Note;
        item.Text = std::string(payload);
    } else if (op == "->" || op == "<-") {
        item.What = RelayItem::Kind::Bytes;
        item.Dir = op == "->" ? Direction::HostToPinPad : Direction::PinPadToHost;
        int high = -1;
        for (const char c : payload) {
            if (c == ' ') continue;
            const int digit = HexDigit(c);
            if (digit < 0) {
                AError = "the bytes are not hexadecimal";
                return false;
            }
            if (high < 0) {
                high = digit;
            } else {
                item.Bytes += static_cast<char>(high << 4 | digit);
                high = -1;
            }
        }
        if (high >= 0 || item.Bytes.empty()) {
            AError = item.Bytes.empty() && high < 0 ? "no bytes" : "an odd number of hexadecimal digits";
            return false;
        }
    } else {
        AError = "expected ->, <-, == or end after the time";
        return false;
    }
    AItem = std::move(item);
    return true;
}

RawWriter::RawWriter(const std::string& APath, bool AMasked, int AResponseTimeoutMs) : fPath(APath) {
    fFile = std::fopen(APath.c_str(), "wb");
    if (!fFile) throw std::runtime_error("cannot create " + APath + ": " + std::strerror(errno));
    Put(std::string(kRawMagic));
    Put(AMasked ? "masked yes" : "masked no");
    Put("response-timeout " + std::to_string(AResponseTimeoutMs));
    Flush();
}

RawWriter::~RawWriter() {
    if (fFile) std::fclose(fFile);
}

void RawWriter::Put(const std::string& ALine) {
    if (!fError.empty()) return;
    if (std::fwrite(ALine.data(), 1, ALine.size(), fFile) != ALine.size() || std::fputc('\n', fFile) == EOF)
        fError = "cannot write " + fPath + ": " + std::strerror(errno);
}

void RawWriter::Write(const RelayItem& AItem) {
    Put(FormatRawRecord(AItem));
}

void RawWriter::Flush() {
    if (fError.empty() && std::fflush(fFile) != 0)
        fError = "cannot write " + fPath + ": " + std::strerror(errno);
}

// The next line that is neither empty nor a comment.
bool RawReader::NextLine(std::string_view& ALine) {
    if (fHeld) {
        fHeld = false;
        ALine = Trimmed(fText);
        return true;
    }
    while (std::getline(fIn, fText)) {
        ++fLine;
        ALine = Trimmed(fText);
        if (ALine.starts_with(kRawWireBytes)) WireBytes(ALine.substr(kRawWireBytes.size()));
        if (!ALine.empty() && ALine.front() != '#') return true;
    }
    return false;
}

// "N M": taken when it reads as two counts, skipped as a comment otherwise.
void RawReader::WireBytes(std::string_view AText) {
    std::array<uint64_t, 2> counts{};
    std::istringstream in{std::string(AText)};
    if (in >> counts[0] >> counts[1]) fWire = counts;
}

RawReader::RawReader(std::istream& AIn) : fIn(AIn) {
    std::string_view text;
    if (!NextLine(text)) Fail("the recording ends before its header does");
    if (text != kRawMagic) Fail("not a kestrel-monitor raw recording (version 1)");
    if (!NextLine(text)) Fail("the recording ends before its header does");
    if (text != "masked yes" && text != "masked no") Fail("expected \"masked yes\" or \"masked no\"");
    fMasked = text == "masked yes";
    if (!NextLine(text)) return;
    constexpr std::string_view key = "response-timeout ";
    if (!text.starts_with(key)) {
        fHeld = true;
        return;
    }
    const std::string_view value = Trimmed(text.substr(key.size()));
    int ms = 0;
    for (const char c : value) {
        if (c < '0' || c > '9' || ms > 100'000'000)
            Fail("the response timeout is not a number of milliseconds");
        ms = ms * 10 + (c - '0');
    }
    if (value.empty() || ms == 0) Fail("the response timeout is not a number of milliseconds");
    fResponseTimeout = ms;
}

bool RawReader::Next(RelayItem& AItem) {
    std::string_view text;
    if (!NextLine(text)) return false;
    std::string why;
    if (!ParseRawRecord(text, AItem, why)) Fail(why);
    if (AItem.What == RelayItem::Kind::End) AItem.Wire = fWire;
    return true;
}

void RawReader::Fail(const std::string& AWhy) const {
    throw ERawFormat("line " + std::to_string(fLine) + ": " + AWhy);
}

} // namespace kestrel::monitor
