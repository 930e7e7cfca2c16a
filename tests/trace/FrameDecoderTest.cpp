#include "trace/FrameDecoder.h"
#include "TraceTestSupport.h"

#include <gtest/gtest.h>
#include <random>

using namespace kestrel::trace;
using namespace kestrel::trace::test;
using namespace std::string_literals;
using K = LinkUnit::Kind;

namespace {

std::vector<LinkUnit> DecodeInChunks(const ByteString& AStream, size_t AChunk) {
    FrameDecoder decoder;
    std::vector<LinkUnit> units;
    for (size_t at = 0; at < AStream.size(); at += AChunk)
        decoder.Feed(std::string_view(AStream).substr(at, AChunk), units);
    decoder.Flush(units);
    return units;
}

ByteString Joined(const std::vector<LinkUnit>& AUnits) {
    ByteString all;
    for (const auto& u : AUnits)
        all += u.Raw;
    return all;
}

} // namespace

TEST(FrameDecoder, FramesAndControlBytesComeOutTheSameInAnyChunks) {
    // Data with every byte that needs escaping, and a CRC check on the unescaped data.
    const ByteString data = "DSP032"s + "\x13\x16\x17" + std::string(29, 'A');
    const ByteString stream = "\x06"s + Frame(data) + "\x15\x18\x04" + Frame("GKY");
    for (size_t chunk : {size_t{1}, size_t{2}, size_t{5}, stream.size()}) {
        const auto units = DecodeInChunks(stream, chunk);
        ASSERT_EQ(units.size(), 6u) << "chunk " << chunk;
        EXPECT_EQ(units[0].What, K::Ack);
        EXPECT_EQ(units[1].What, K::Frame);
        EXPECT_EQ(units[1].Data, data);
        EXPECT_TRUE(units[1].CrcOk);
        EXPECT_EQ(units[2].What, K::Nak);
        EXPECT_EQ(units[3].What, K::Can);
        EXPECT_EQ(units[4].What, K::Eot);
        EXPECT_EQ(units[5].Data, "GKY");
        EXPECT_EQ(Joined(units), stream);
    }
}

TEST(FrameDecoder, ABadCrcIsFlaggedWithBothValues) {
    ByteString frame = Frame("OPN");
    frame.back() = static_cast<char>(frame.back() ^ 0x01);
    const auto units = DecodeInChunks(frame, 3);
    ASSERT_EQ(units.size(), 1u);
    EXPECT_FALSE(units[0].CrcOk);
    EXPECT_EQ(units[0].CrcGot ^ units[0].CrcWant, 0x0001);
    EXPECT_EQ(units[0].Data, "OPN");
}

TEST(FrameDecoder, CrcBytesMayLookLikeSynOrEtb) {
    // Search for data fields whose CRC holds SYN or ETB: they must not end or restart the frame.
    int found = 0;
    for (int i = 0; i < 5000 && found < 4; ++i) {
        const ByteString data = "GIX" + std::to_string(i);
        const ByteString frame = Frame(data);
        const auto hi = static_cast<uint8_t>(frame[frame.size() - 2]),
                   lo = static_cast<uint8_t>(frame.back());
        if (hi != 0x16 && hi != 0x17 && lo != 0x16 && lo != 0x17) continue;
        ++found;
        const auto units = DecodeInChunks(frame + "\x06", 1);
        ASSERT_EQ(units.size(), 2u) << data;
        EXPECT_TRUE(units[0].CrcOk) << data;
        EXPECT_EQ(units[0].Data, data);
        EXPECT_EQ(units[1].What, K::Ack);
    }
    EXPECT_GT(found, 0);
}

TEST(FrameDecoder, StrayBytesRestartsAndUnfinishedFramesKeepEveryByte) {
    const ByteString cut = Frame("GIN00").substr(0, 5);
    const ByteString stream = "\x00\xFF\x41"s + cut + Frame("OPN") + "\x33" + "\x16GK";
    const auto units = DecodeInChunks(stream, 4);
    ASSERT_EQ(units.size(), 5u);
    EXPECT_EQ(units[0].What, K::Stray);
    EXPECT_EQ(units[0].Raw, "\x00\xFF\x41"s);
    EXPECT_EQ(units[0].Abandoned, LinkUnit::Cut::None);
    EXPECT_EQ(units[1].What, K::Stray); // the frame that a SYN broke off
    EXPECT_EQ(units[1].Raw, cut);
    EXPECT_EQ(units[1].Abandoned, LinkUnit::Cut::Restarted);
    EXPECT_EQ(units[2].Data, "OPN");
    EXPECT_EQ(units[3].Raw, "\x33");
    EXPECT_EQ(units[3].Abandoned, LinkUnit::Cut::None);
    EXPECT_EQ(units[4].Raw, "\x16GK"); // flushed at the end
    EXPECT_EQ(units[4].Abandoned, LinkUnit::Cut::Unfinished);
    EXPECT_EQ(Joined(units), stream);
}

TEST(FrameDecoder, RandomStreamsLoseAndAddNoByte) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        ByteString stream;
        for (int piece = 0; piece < 6; ++piece) {
            if (random() % 2) {
                ByteString data(random() % 40 + 3, '\0');
                for (char& c : data)
                    c = static_cast<char>(random());
                stream += Frame(data);
            } else {
                stream += static_cast<char>(random());
            }
        }
        const auto units = DecodeInChunks(stream, random() % 7 + 1);
        EXPECT_EQ(Joined(units), stream);
    }
}

TEST(FrameDecoder, AnEndlessFrameIsCutOffAsStray) {
    const ByteString stream = "\x16"s + std::string(FrameDecoder::kMaxFrame + 10, 'A');
    const auto units = DecodeInChunks(stream, 1000);
    ASSERT_GE(units.size(), 2u);
    EXPECT_EQ(units[0].What, K::Stray);
    EXPECT_EQ(units[0].Abandoned, LinkUnit::Cut::TooLong);
    EXPECT_EQ(units[1].Abandoned, LinkUnit::Cut::None); // what followed was never a frame
    EXPECT_EQ(Joined(units), stream);
}

TEST(FrameDecoder, AFullPacketOfEscapedBytesIsOneFrame) {
    // Every data byte escaped: twice the packet limit on the wire, and still a packet.
    ByteString data;
    while (data.size() < vexo::MaxPacketData)
        data += "\x13\x16\x17"[data.size() % 3];
    const ByteString frame = Frame(data);
    ASSERT_EQ(frame.size(), FrameDecoder::kMaxFrame);
    const auto units = DecodeInChunks(frame, 700);
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].What, K::Frame);
    EXPECT_TRUE(units[0].CrcOk);
    EXPECT_EQ(units[0].Data, data);
}
