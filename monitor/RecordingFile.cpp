#include "monitor/RecordingFile.h"
#include "monitor/RawRecording.h"
#include "util/Strings.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string_view>

namespace kestrel::monitor {

namespace {

Recording LoadRaw(std::istream& AIn) {
    RawReader reader(AIn);
    Recording recording;
    recording.Masked = reader.Masked();
    recording.MaskKnown = true;
    for (RelayItem item; reader.Next(item);)
        recording.Items.push_back(std::move(item));
    return recording;
}

// One JSON Lines record: a link unit with its bytes becomes a chunk, a relay note a note, and
// everything else (commands paired, timeouts, the summary) is what decoding the chunks gives again.
void TakeJsonLine(const nlohmann::json& ALine, Recording& ARecording) {
    if (!ALine.is_object()) throw std::runtime_error("not a JSON object");
    const auto time = ALine.find("time");
    TraceClock::time_point at{};
    if (time == ALine.end() || !time->is_string() || !ParseIsoTime(time->get<std::string>(), at))
        throw std::runtime_error("no \"time\" of the form 2024-06-10T14:20:00.123-03:00");
    const std::string event = ALine.value("event", "");
    if (event == "relay") {
        ARecording.Items.push_back(RelayItem::Note(at, ALine.value("note", "")));
        return;
    }
    const auto bytes = ALine.find("bytes");
    if (bytes == ALine.end()) return;
    const std::string dir = ALine.value("dir", "");
    if (!bytes->is_string() || (dir != "to-pinpad" && dir != "to-host"))
        throw std::runtime_error("\"bytes\" without a \"dir\" of to-pinpad or to-host");
    std::string hex = bytes->get<std::string>();
    std::erase(hex, ' ');
    ByteString data;
    if (hex.empty() || !vexo::HexParaBytes(hex, data))
        throw std::runtime_error("\"bytes\" is not hexadecimal");
    ARecording.Items.push_back(RelayItem::Chunk(
        dir == "to-pinpad" ? Direction::HostToPinPad : Direction::PinPadToHost, at, std::move(data)));
}

Recording LoadJsonLines(std::istream& AIn, const std::string& APath) {
    Recording recording;
    std::string text;
    for (size_t line = 1; std::getline(AIn, text); ++line) {
        if (vexo::Trim(text).empty()) continue;
        try {
            TakeJsonLine(nlohmann::json::parse(text), recording);
        } catch (const std::exception& e) {
            throw std::runtime_error(APath + ": line " + std::to_string(line) + ": " + e.what());
        }
    }
    return recording;
}

} // namespace

bool ParseIsoTime(const std::string& AText, TraceClock::time_point& AAt) {
    // sscanf alone takes signs, spaces and any number in each field, and a year far from now
    // overflows the clock when it becomes nanoseconds: the form is checked digit by digit first.
    static constexpr std::string_view kForm = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
    if (AText.size() != kForm.size()) return false;
    for (size_t i = 0; i < kForm.size(); ++i) {
        const char c = AText[i];
        const bool ok = kForm[i] == 'd'   ? (c >= '0' && c <= '9')
                        : kForm[i] == '+' ? (c == '+' || c == '-')
                                          : c == kForm[i];
        if (!ok) return false;
    }
    std::tm when{};
    int millis = 0, zoneHours = 0, zoneMinutes = 0;
    char sign = 0;
    if (std::sscanf(AText.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c%2d:%2d", &when.tm_year, &when.tm_mon,
                    &when.tm_mday, &when.tm_hour, &when.tm_min, &when.tm_sec, &millis, &sign, &zoneHours,
                    &zoneMinutes) != 10)
        return false;
    if (when.tm_mon < 1 || when.tm_mon > 12 || when.tm_mday < 1 || when.tm_mday > 31 || when.tm_hour > 23 ||
        when.tm_min > 59 || when.tm_sec > 60 || zoneHours > 23 || zoneMinutes > 59)
        return false;
    when.tm_year -= 1900;
    when.tm_mon -= 1;
    const std::time_t utc = timegm(&when);
    const long offset = (sign == '-' ? -1 : 1) * (zoneHours * 3600L + zoneMinutes * 60L);
    // The raw form's bound: from 1970 to 2255, which the clock holds.
    const long long seconds = static_cast<long long>(utc) - offset;
    if (seconds < 0 || seconds > 9'000'000'000LL) return false;
    AAt = TraceClock::time_point(
              std::chrono::duration_cast<TraceClock::duration>(std::chrono::seconds(seconds))) +
          std::chrono::milliseconds(millis);
    return true;
}

Recording LoadRecording(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + APath);
    return ReadRecording(in, APath);
}

Recording ReadRecording(std::istream& AIn, const std::string& AName) {
    // JSON Lines start with an object; anything else had better be a raw recording.
    const auto start = AIn.tellg();
    std::string first;
    while (first.empty() && AIn.peek() != EOF)
        first = vexo::Trim(std::string(1, static_cast<char>(AIn.get())));
    AIn.clear();
    AIn.seekg(start);
    if (first == "{") return LoadJsonLines(AIn, AName);
    try {
        return LoadRaw(AIn);
    } catch (const ERawFormat& e) {
        throw std::runtime_error(AName + ": " + e.what());
    }
}

} // namespace kestrel::monitor
