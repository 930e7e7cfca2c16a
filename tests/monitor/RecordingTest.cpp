// The pieces between the relay and the outputs: the raw recording's format, the masking queue
// that holds a chunk until its frame is whole and the session's independence from when it is called.
#include "MonitorTestSupport.h"

#include "monitor/MaskingQueue.h"
#include "monitor/RawRecording.h"
#include "monitor/RecordingFile.h"
#include "pinpad/VexoAbecsPacket.h"
#include "trace/TraceText.h"

#include <cstdio>
#include <random>

namespace kestrel::monitor::test {
namespace {

using namespace std::string_literals;
constexpr auto H = Direction::HostToPinPad;
constexpr auto P = Direction::PinPadToHost;
const auto T0 = TraceClock::time_point(std::chrono::seconds(1'718'031'600));

ByteString Frame(const ByteString& AData) {
    return vexo::TVexoAbecsPacket(AData).AsString();
}

ByteString Tlv(uint16_t ATag, const ByteString& AValue) {
    return ByteString{char(ATag >> 8), char(ATag & 0xFF), char(AValue.size() >> 8),
                      char(AValue.size() & 0xFF)} +
           AValue;
}

ByteString Block(const ByteString& AData) {
    char length[8];
    std::snprintf(length, sizeof length, "%03zu", AData.size());
    return length + AData;
}

const ByteString kTrack2 = "4761739001010010=30122011000000000000";
const ByteString kSwipe = Frame("CEX000" + Block(Tlv(vexo::PP_EVENT, "90") + Tlv(vexo::PP_TRK2INC, kTrack2)));

TEST(RawRecording, RecordsReadBackAsTheyWereWritten) {
    const std::vector<RelayItem> items{
        RelayItem::Note(T0, "waiting for the POS application on /tmp/pos"),
        RelayItem::Chunk(H, T0 + 1234567us, Frame("OPN")),
        RelayItem::Chunk(P, T0 + 1300000us, "\x06\x00\xFF"s),
        RelayItem::Note(T0 + 2s, "two\nlines"),
        RelayItem::Ending(T0 + 3s),
    };
    TempDir dir;
    {
        RawWriter writer((dir / "r.raw").string(), true, 700);
        for (const auto& item : items)
            writer.Write(item);
    }
    const std::string text = ReadFile(dir / "r.raw");
    EXPECT_EQ(Lines(text)[0], "kestrel-monitor raw 1");
    EXPECT_EQ(Lines(text)[1], "masked yes");
    EXPECT_EQ(Lines(text)[2], "response-timeout 700");
    EXPECT_EQ(Lines(text)[4], "1718031601.234567 -> 164F504E17A8A9");

    std::istringstream in(text);
    RawReader reader(in);
    EXPECT_TRUE(reader.Masked());
    EXPECT_EQ(reader.ResponseTimeout(), 700);
    RelayItem item;
    for (const auto& want : items) {
        ASSERT_TRUE(reader.Next(item));
        EXPECT_EQ(item.What, want.What);
        EXPECT_EQ(item.At, want.At);
        EXPECT_EQ(item.Bytes, want.Bytes);
        if (item.What == RelayItem::Kind::Bytes) {
            EXPECT_EQ(item.Dir, want.Dir);
        }
    }
    EXPECT_EQ(items[3].Text, "two\nlines");
    EXPECT_FALSE(reader.Next(item));
}

TEST(RawRecording, HandWrittenRecordsAreReadAndBadOnesNamedByLine) {
    std::istringstream good("# a comment\nkestrel-monitor raw 1\nmasked no\n\n"
                            "  1.5 -> 16 4f 50 4e 17 a8 a9\r\n10.000000001 <- 06\n12.0 end\n");
    RawReader reader(good);
    EXPECT_FALSE(reader.Masked());
    EXPECT_FALSE(reader.ResponseTimeout());
    RelayItem item;
    ASSERT_TRUE(reader.Next(item));
    EXPECT_EQ(item.At, TraceClock::time_point(1500ms));
    EXPECT_EQ(item.Bytes, Frame("OPN"));
    ASSERT_TRUE(reader.Next(item));
    EXPECT_EQ(item.At, TraceClock::time_point(10s + 1ns));
    ASSERT_TRUE(reader.Next(item));
    EXPECT_EQ(item.What, RelayItem::Kind::End);

    const auto error = [](const std::string& AText) {
        try {
            std::istringstream in(AText);
            RawReader r(in);
            RelayItem i;
            while (r.Next(i)) {
            }
        } catch (const ERawFormat& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    const std::string header = "kestrel-monitor raw 1\nmasked yes\n";
    EXPECT_EQ(error("something else\n"), "line 1: not a kestrel-monitor raw recording (version 1)");
    EXPECT_EQ(error("kestrel-monitor raw 1\nmasked maybe\n"),
              "line 2: expected \"masked yes\" or \"masked no\"");
    EXPECT_EQ(error("kestrel-monitor raw 1\n"), "line 1: the recording ends before its header does");
    EXPECT_EQ(error(header + "1.0 -> 0\n"), "line 3: an odd number of hexadecimal digits");
    EXPECT_EQ(error(header + "1.0 -> 0G\n"), "line 3: the bytes are not hexadecimal");
    EXPECT_EQ(error(header + "1.0 ->\n"), "line 3: no bytes");
    EXPECT_EQ(error(header + "\n-1.0 end\n"), "line 4: the time is not seconds with decimals");
    EXPECT_EQ(error(header + "1 end\n"), "line 3: the time is not seconds with decimals");
    EXPECT_EQ(error(header + "1.0 => 06\n"), "line 3: expected ->, <-, == or end after the time");
    EXPECT_EQ(error(header + "response-timeout soon\n"),
              "line 3: the response timeout is not a number of milliseconds");
    EXPECT_EQ(error(header + "1.0 end\nresponse-timeout 5\n"),
              "line 4: the time is not seconds with decimals");
}

TEST(RecordingFile, JsonTimesAreReadOnlyInTheirOneFormAndOnlyWhereTheClockReaches) {
    TraceClock::time_point at;
    ASSERT_TRUE(ParseIsoTime("2024-06-10T12:00:00.123-03:00", at));
    EXPECT_EQ(at, T0 + 123ms);
    ASSERT_TRUE(ParseIsoTime("2024-06-10T15:00:00.000+00:00", at));
    EXPECT_EQ(at, T0);
    // Signs and spaces inside a field, fields out of range, and years the clock cannot hold
    // (the last one once overflowed it) are refused rather than read as some other time.
    for (const char* bad :
         {"2024-06-10T14:20:00.123", "2024-6-10T14:20:00.123-03:00", "2024-06-10T14:20:00.123-03:00 ",
          "-999-06-10T14:20:00.123-03:00", "2024-13-10T14:20:00.123-03:00", "2024-06-10T24:20:00.123-03:00",
          "2024-06-10T14:20:00.-12-03:00", "2024-06-10T14:20:00.123*03:00", "2024-06-10T14: 0:00.123-03:00",
          "1969-12-31T23:59:59.000+00:00", "9999-12-31T23:59:59.999+00:00", "1014-01-01T00:00:00.000+00:00"})
        EXPECT_FALSE(ParseIsoTime(bad, at)) << bad;
    std::istringstream json(R"({"time":"0999-01-01T00:00:00.000+00:00","dir":"to-pinpad","bytes":"06"})");
    EXPECT_THROW(ReadRecording(json, "old.jsonl"), std::runtime_error);
}

TEST(MaskingQueue, AChunkWaitsForItsFrameAndEverythingAfterItWaitsBehind) {
    MaskingQueue queue(true, 1000ms);
    const size_t cut1 = 8, cut2 = 30;
    queue.Push(RelayItem::Chunk(P, T0, kSwipe.substr(0, cut1)));
    queue.Push(RelayItem::Chunk(H, T0 + 1ms, "\x18"s)); // the host's CAN, meanwhile
    queue.Push(RelayItem::Note(T0 + 2ms, "a note"));
    RelayItem item;
    EXPECT_FALSE(queue.Pop(item)) << "the first chunk ends inside a frame";
    EXPECT_EQ(queue.FrontTime(), T0);
    EXPECT_EQ(queue.NextExpiry(), T0 + 1000ms);
    queue.Push(RelayItem::Chunk(P, T0 + 3ms, kSwipe.substr(cut1, cut2 - cut1)));
    queue.Push(RelayItem::Chunk(P, T0 + 4ms, kSwipe.substr(cut2) + "\x04"));

    std::vector<RelayItem> out;
    while (queue.Pop(item))
        out.push_back(item);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].Bytes.size(), cut1); // each chunk as long as it was, at its own time
    EXPECT_EQ(out[1].Bytes, "\x18");
    EXPECT_EQ(out[2].Text, "a note");
    EXPECT_EQ(out[3].Bytes.size(), cut2 - cut1);
    EXPECT_EQ(out[4].At, T0 + 4ms);
    const ByteString joined = out[0].Bytes + out[3].Bytes + out[4].Bytes;
    EXPECT_EQ(joined.back(), '\x04');
    EXPECT_EQ(joined.find("4761739"), std::string::npos);
    EXPECT_NE(joined.find("476173******0010"), std::string::npos);
    EXPECT_FALSE(queue.FrontTime());
}

TEST(MaskingQueue, AFrameThatNeverEndsIsLetGoAfterTheGap) {
    MaskingQueue queue(true, 1000ms);
    const ByteString half = kSwipe.substr(0, kSwipe.size() / 2);
    queue.Push(RelayItem::Chunk(P, T0, half));
    queue.Expire(T0 + 999ms);
    RelayItem item;
    EXPECT_FALSE(queue.Pop(item));
    queue.Expire(T0 + 1000ms);
    ASSERT_TRUE(queue.Pop(item));
    EXPECT_EQ(item.Bytes.size(), half.size());
    EXPECT_EQ(item.Bytes.find("4761739"), std::string::npos) << "masked as loose bytes";

    MaskingQueue plain(false, 1000ms);
    plain.Push(RelayItem::Chunk(P, T0, half));
    ASSERT_TRUE(plain.Pop(item));
    EXPECT_EQ(item.Bytes, half);
}

TEST(MaskingQueue, AFrameThatMaskingShortensStillEndsInItsLastChunk) {
    // Packed digit pairs 13h are escaped on the wire; masked, they are not.
    const ByteString emv = "\x5A\x08\x41\x13\x13\x13\x13\x13\x13\x11"s;
    const ByteString frame = Frame("GOX000" + Block(Tlv(vexo::PP_EMVDATA, emv)));
    MaskingQueue queue(true, 1000ms);
    queue.Push(RelayItem::Chunk(P, T0, frame.substr(0, 14)));
    queue.Push(RelayItem::Chunk(P, T0 + 1ms, frame.substr(14)));
    RelayItem first, second;
    ASSERT_TRUE(queue.Pop(first));
    ASSERT_TRUE(queue.Pop(second));
    const ByteString joined = first.Bytes + second.Bytes;
    EXPECT_LT(joined.size(), frame.size());
    trace::FrameDecoder decoder;
    std::vector<trace::LinkUnit> units;
    decoder.Feed(joined, units);
    ASSERT_EQ(units.size(), 1u);
    EXPECT_TRUE(units[0].CrcOk);
}

// Masking that drops an escape: the summary counts the bytes that crossed the line, says what the
// recording holds beside them, and a replay of the recording says the same.
TEST(RawRecording, TheSummaryCountsWireBytesAndAReplaySaysTheSame) {
    TempDir dir;
    const ByteString emv = "\x5A\x08\x41\x13\x13\x13\x13\x13\x13\x11"s;
    const ByteString frame = Frame("GOX000" + Block(Tlv(vexo::PP_EMVDATA, emv)));
    const auto summary = [](const fs::path& APath) {
        const std::string text = ReadFile(APath);
        return text.substr(text.find("== summary"));
    };
    {
        const int fd = ::open((dir / "live").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        {
            TraceTextOutput trace(fd, true, false);
            RawOutput raw((dir / "r.raw").string(), true, 10000);
            Session session({}, {&trace, &raw});
            session.Take(RelayItem::Chunk(H, T0, Frame("GOX")));
            session.Take(RelayItem::Chunk(P, T0 + 5ms, frame));
            session.Take(RelayItem::Ending(T0 + 1s));
        }
        ::close(fd);
    }
    const std::string live = summary(dir / "live");
    EXPECT_NE(live.find("bytes: " + std::to_string(Frame("GOX").size()) + " to the PIN pad, " +
                        std::to_string(frame.size()) + " to the host"),
              std::string::npos)
        << live;
    EXPECT_NE(live.find("recorded: "), std::string::npos) << live;
    {
        std::ifstream in(dir / "r.raw", std::ios::binary);
        RawReader reader(in);
        const int fd = ::open((dir / "replay").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        {
            TraceTextOutput trace(fd, true, false);
            Session session({}, {&trace});
            RelayItem item;
            while (reader.Next(item))
                session.Take(item);
        }
        ::close(fd);
    }
    EXPECT_EQ(summary(dir / "replay"), live);
}

// Items of a session with a damaged response, a resend, a command left without answer and a
// frame cut off: everything that makes the tracker look at the clock.
std::vector<RelayItem> Eventful() {
    ByteString bad = kSwipe;
    bad.back() = static_cast<char>(bad.back() ^ 1);
    return {
        RelayItem::Note(T0, "start"),
        RelayItem::Chunk(H, T0 + 10ms, Frame("CEX" + Block(Tlv(vexo::SPE_CEXOPT, "010000"))).substr(0, 5)),
        RelayItem::Chunk(H, T0 + 12ms, Frame("CEX" + Block(Tlv(vexo::SPE_CEXOPT, "010000"))).substr(5)),
        RelayItem::Chunk(P, T0 + 15ms, "\x06"s),
        RelayItem::Chunk(P, T0 + 900ms, bad.substr(0, 20)),
        RelayItem::Chunk(P, T0 + 950ms, bad.substr(20)),
        RelayItem::Chunk(H, T0 + 1500ms, "\x15"s),
        RelayItem::Chunk(P, T0 + 1510ms, kSwipe),
        RelayItem::Chunk(H, T0 + 2s, Frame("GIN" + Block("00"))),
        RelayItem::Chunk(P, T0 + 2010ms, "\x06"s + Frame("GIN000").substr(0, 4)),
        RelayItem::Note(T0 + 20s, "later"),
        RelayItem::Chunk(H, T0 + 21s, Frame("OPN")),
        RelayItem::Ending(T0 + 30s),
    };
}

std::vector<std::string> Trace(const Collector& ACollector) {
    std::vector<std::string> lines;
    for (const auto& e : ACollector.Events)
        for (const auto& line : trace::FormatEvent(e, {false, true}))
            lines.push_back(line);
    for (const auto& line : trace::FormatStats(ACollector.Stats))
        lines.push_back(line);
    return lines;
}

TEST(Session, WhatItReportsDependsOnTheItemsAloneNotOnWhenItIsCalled) {
    for (const bool mask : {true, false}) {
        SCOPED_TRACE(mask ? "masked" : "in clear");
        SessionOptions options;
        options.Mask = mask;
        Collector once;
        {
            Session session(options, {&once});
            for (auto item : Eventful())
                session.Take(item);
        }
        const auto reference = Trace(once);
        EXPECT_NE(std::find_if(once.Events.begin(), once.Events.end(),
                               [](const TraceEvent& e) { return e.What == TraceEvent::Kind::Timeout; }),
                  once.Events.end());
        std::mt19937 random(11);
        for (int round = 0; round < 20; ++round) {
            Collector often;
            Session session(options, {&often});
            auto now = T0;
            for (auto item : Eventful()) {
                // The live loop wakes when it likes, never later than an item's arrival.
                while (random() % 3 != 0) {
                    const auto wake = session.NextWake();
                    now += std::chrono::milliseconds(random() % 700);
                    if (wake && random() % 2) now = std::max(now, *wake);
                    if (now >= item.At) break;
                    session.Idle(now);
                }
                now = std::max(now, item.At);
                session.Take(item);
            }
            EXPECT_EQ(Trace(often), reference) << "round " << round;
        }
    }
}

} // namespace
} // namespace kestrel::monitor::test
