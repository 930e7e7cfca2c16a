// Card data kept out of every output of a session however the bytes were cut: the trace (with
// its bytes), the JSON Lines and the recording, whole and in every split, with the numbers in
// the places where they used to slip through.
#include "MonitorTestSupport.h"

#include "pinpad/VexoAbecsPacket.h"

#include <cstdio>

namespace kestrel::monitor::test {
namespace {

using namespace std::string_literals;
constexpr auto H = Direction::HostToPinPad;
constexpr auto P = Direction::PinPadToHost;
const auto T0 = TraceClock::time_point(std::chrono::seconds(1'718'031'600));

const std::string kPan16 = "4421312626999017", kPan13 = "4929123456782";
const std::string kName = "KESTREL/TEST CARD";

ByteString Frame(const ByteString& AData) {
    return vexo::TVexoAbecsPacket(AData).AsString();
}

std::string Padded(std::string AText, size_t AWidth, char AFill = ' ') {
    AText.resize(AWidth, AFill);
    return AText;
}

// A classic GCR response block: card type, chip status, application type, acquirer and record
// indexes, tracks 1 to 3 after their lengths, the card number after its length, its sequence
// number, the label, the service code, the cardholder's name and the expiry date.
ByteString GcrBlock(bool ATrackOne) {
    const std::string track1 = ATrackOne ? "B" + kPan16 + "^" + kName + "^30122011000000000000" : "";
    const std::string track2 = kPan16 + "=30122011000000000000";
    char lengths[3][8];
    std::snprintf(lengths[0], sizeof lengths[0], "%02zu", track1.size());
    std::snprintf(lengths[1], sizeof lengths[1], "%02zu", track2.size());
    std::snprintf(lengths[2], sizeof lengths[2], "%02zu", kPan16.size());
    return "00"
           "0"
           "01"
           "02"
           "03" +
           std::string(lengths[0]) + Padded(track1, 76) + lengths[1] + Padded(track2, 37) + "000" +
           Padded("", 104) + lengths[2] + Padded(kPan16, 19) + "00" + Padded("CREDITO", 16) + "201" +
           Padded(kName, 26) + "301231";
}

struct Case {
    const char* Name;
    Direction Dir;
    ByteString Bytes;
    std::vector<std::string> Secrets; // none of these may show
};

std::vector<Case> Cases() {
    char gcrLength[8];
    std::snprintf(gcrLength, sizeof gcrLength, "%03zu", GcrBlock(true).size());
    const ByteString value = "\x80\x04\x00\x10"s + kPan16; // PP_VALUE, 16 bytes
    return {
        {"a response whose SYN was lost", P, Frame("GCD000020" + value).substr(1), {kPan16}},
        {"16 digits right after the return code", P, Frame("GCD000" + kPan16), {kPan16}},
        {"13 digits right after the return code", P, Frame("GCD000" + kPan13), {kPan13}},
        {"a classic GCR with tracks and a name",
         P,
         Frame("GCR000" + std::string(gcrLength) + GcrBlock(true)),
         {kPan16, "KESTREL", "TEST CARD"}},
        {"a chip card's GCR, the name in its field only",
         P,
         Frame("GCR000" + std::string(gcrLength) + GcrBlock(false)),
         {kPan16, "KESTREL", "TEST CARD"}},
        {"a DSP text with the number in groups",
         H,
         Frame("DSP032" + Padded("4421 3126 2699 9017", 32)),
         {kPan16, "4421 3126", "3126 2699", "2699 9017"}},
        {"a DEX text with dashes",
         H,
         Frame("DEX" + ByteString("019") + "4421-3126-2699-9017"),
         {"4421-3126", "3126-2699", "2699-9017"}},
    };
}

// Every window of 7 digits of a number (first 6 and last 4 are kept, so each holds one that is
// not), and any longer text as it is; as text, spaced and packed hexadecimal.
std::vector<std::string> Forms(const std::string& ASecret) {
    std::vector<std::string> plain;
    const bool digits = ASecret.find_first_not_of("0123456789") == std::string::npos;
    if (digits)
        for (size_t at = 0; at + 7 <= ASecret.size(); ++at)
            plain.push_back(ASecret.substr(at, 7));
    else
        plain.push_back(ASecret);
    std::vector<std::string> forms;
    for (const std::string& text : plain) {
        std::string spaced, packed;
        for (const char c : text) {
            char pair[4];
            std::snprintf(pair, sizeof pair, "%02X", static_cast<uint8_t>(c));
            spaced += (spaced.empty() ? "" : " ") + std::string(pair);
            packed += pair;
        }
        forms.insert(forms.end(), {text, spaced, packed});
    }
    return forms;
}

std::string Found(const std::string& AText, const std::vector<std::string>& ASecrets) {
    for (const std::string& secret : ASecrets)
        for (const std::string& form : Forms(secret))
            if (AText.find(form) != std::string::npos) return form;
    return {};
}

// The session of one case, its bytes cut into the given reads, with every file output and the
// trace showing bytes too; what the outputs wrote, all together.
std::string Outputs(const Case& ACase, const std::vector<size_t>& ACuts, bool AMask, const TempDir& ADir) {
    const fs::path trace = ADir / "trace", jsonl = ADir / "s.jsonl", raw = ADir / "s.raw";
    const int fd = ::open(trace.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    {
        TraceTextOutput text(fd, true, true);
        JsonLinesOutput json(jsonl.string());
        RawOutput record(raw.string(), AMask, 10000);
        SessionOptions options;
        options.Mask = AMask;
        Session session(options, {&text, &json, &record});
        // A command first for a response to answer, then the pieces 5 ms apart.
        if (ACase.Dir == P) session.Take(RelayItem::Chunk(H, T0, Frame("GCD")));
        size_t from = 0;
        auto at = T0 + 100ms;
        for (size_t cut : ACuts) {
            session.Take(RelayItem::Chunk(ACase.Dir, at, ACase.Bytes.substr(from, cut - from)));
            from = cut;
            at += 5ms;
        }
        session.Take(RelayItem::Chunk(ACase.Dir, at, ACase.Bytes.substr(from)));
        session.Take(RelayItem::Ending(at + 20s));
    }
    ::close(fd);
    std::string all = ReadFile(trace) + ReadFile(jsonl) + ReadFile(raw);
    // The recording's bytes, joined across records, as a replay would see them.
    std::ifstream in(raw, std::ios::binary);
    RawReader reader(in);
    RelayItem item;
    ByteString bytes[2];
    while (reader.Next(item))
        if (item.What == RelayItem::Kind::Bytes) bytes[item.Dir == H ? 0 : 1] += item.Bytes;
    return all + "\n" + bytes[0] + "\n" + bytes[1];
}

TEST(Masking, NoCardNumberOrNameShowsHoweverTheBytesWereCut) {
    TempDir dir;
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.Name);
        // Whole, cut in two at every offset, and in reads of three bytes.
        std::vector<std::vector<size_t>> splits{{}};
        for (size_t k = 1; k < c.Bytes.size(); ++k)
            splits.push_back({k});
        std::vector<size_t> threes;
        for (size_t k = 3; k < c.Bytes.size(); k += 3)
            threes.push_back(k);
        splits.push_back(threes);
        for (const auto& cuts : splits) {
            const std::string found = Found(Outputs(c, cuts, true, dir), c.Secrets);
            EXPECT_EQ(found, "") << "cut at " << (cuts.empty() ? 0 : cuts[0]) << " of " << cuts.size();
            if (!found.empty()) break;
        }
        // Without masking the same session shows them, so the search above would have found them.
        EXPECT_NE(Found(Outputs(c, threes, false, dir), c.Secrets), "");
    }
}

} // namespace
} // namespace kestrel::monitor::test
