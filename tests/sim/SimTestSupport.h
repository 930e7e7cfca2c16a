#pragma once
// Helpers shared by the simulator tests: building data fields and frames as a host would.
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTLV.h"
#include "sim/MemoryChannel.h"
#include "sim/PinPadModel.h"
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace kestrel::sim::test {

using vexo::ByteString;
using namespace std::chrono_literals;

inline ByteString Block(const ByteString& AData) {
    char length[8];
    std::snprintf(length, sizeof length, "%03zu", AData.size());
    return length + AData;
}

inline ByteString TLV(uint16_t ATag, const ByteString& AValue) {
    return vexo::TVexoAbecsTLV(ATag, AValue).AsString();
}

inline ByteString Frame(const ByteString& AData) {
    return vexo::TVexoAbecsPacket(AData).AsString();
}

inline ByteString Hex(const std::string& AHex) {
    ByteString bytes;
    for (size_t i = 0; i + 1 < AHex.size();) {
        if (AHex[i] == ' ') {
            ++i;
            continue;
        }
        bytes += static_cast<char>(std::stoi(AHex.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return bytes;
}

// Runs one data field on a model and returns the reply's data field ("" while it waits).
inline std::string Exec(PinPadModel& AModel, const ByteString& AData) {
    SimCommand command;
    // As the simulator answers a command it cannot take apart.
    if (!SimCommand::Parse(AData, command)) return AData.substr(0, 3) + "011";
    const auto reply = AModel.Execute(command);
    return reply ? reply->DataField() : std::string();
}

inline ByteString U16(uint16_t AValue) {
    return ByteString{static_cast<char>(AValue >> 8), static_cast<char>(AValue & 0xFF)};
}

// Polls until ACondition holds; false when AFor passed first.
template <class F> bool Eventually(F ACondition, std::chrono::milliseconds AFor = 3000ms) {
    const auto deadline = std::chrono::steady_clock::now() + AFor;
    while (!ACondition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Adds to AGot what comes until it holds a whole frame (ETB and the CRC after it), or ATimeout passed.
inline void ReadFrame(MemoryChannel::HostEnd& AHost, ByteString& AGot, std::chrono::milliseconds ATimeout) {
    const auto deadline = std::chrono::steady_clock::now() + ATimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        AGot += AHost.Read(1, 100ms);
        const auto etb = AGot.find('\x17');
        if (etb != std::string::npos && AGot.size() >= etb + 3) break;
    }
}

// Reads the answer to one command frame: the ACK byte and a whole response frame.
inline ByteString ReadAnswer(MemoryChannel::HostEnd& AHost, std::chrono::milliseconds ATimeout = 2000ms) {
    ByteString got = AHost.Read(1, ATimeout);
    if (got != "\x06") return got;
    ReadFrame(AHost, got, ATimeout);
    return got;
}

} // namespace kestrel::sim::test

#include "sim/SimulatorRunner.h"
#include <gtest/gtest.h>
#include <memory>

namespace kestrel::sim::test {

// A simulator on an in-memory channel and the host's end of it.
class SimLinkFixture : public ::testing::Test {
public:
    void Start(Profile AProfile = Profile::Graphic()) {
        fRunner = std::make_unique<SimulatorRunner>(std::move(AProfile));
        fRunner->SetTimeScale(0.01);
        fHost.emplace(fRunner->StartInProcess());
    }
    void SetUp() override { Start(); }

    MemoryChannel::HostEnd& Host() { return *fHost; }
    SimulatorRunner& Sim() { return *fRunner; }

    // Sends a command and returns the response's data field, or what came instead (prefixed
    // "raw:" in hexadecimal) when it was not ACK and a good frame.
    std::string Command(const ByteString& AData, std::chrono::milliseconds ATimeout = 2000ms) {
        Host().Write(Frame(AData));
        return Unwrap(ReadAnswer(Host(), ATimeout));
    }
    static std::string Unwrap(const ByteString& AAnswer) {
        vexo::TVexoAbecsPacket packet;
        try {
            if (AAnswer.size() > 1 && AAnswer[0] == '\x06') {
                packet.SetAsString(AAnswer.substr(1));
                return packet.Data();
            }
        } catch (const std::exception&) {
        }
        return "raw:" + HexOf(AAnswer);
    }
    static std::string HexOf(const ByteString& ABytes) {
        std::string text;
        char digits[4];
        for (unsigned char c : ABytes) {
            std::snprintf(digits, sizeof digits, "%02X ", c);
            text += digits;
        }
        return text;
    }
    // Nothing more arrives within a short while.
    void ExpectSilence(std::chrono::milliseconds AFor = 150ms) {
        EXPECT_EQ(HexOf(Host().ReadUntilQuiet(AFor, AFor)), "");
    }
    // Sends a command that waits for the cardholder and takes its ACK; the response is left to come.
    // The simulator thread starts the wait and then takes down the processing indicator, so both are
    // waited for before the display is looked at.
    void Begin(const ByteString& AData) {
        Host().Write(Frame(AData));
        ASSERT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
        ASSERT_TRUE(Eventually([&] {
            return Sim().WaitingFor() == AData.substr(0, 3) &&
                   Sim().Display().What != VirtualDisplay::Mode::Processing;
        }));
    }
    // The response to a command begun with Begin, whose ACK was taken already.
    std::string Response(std::chrono::milliseconds ATimeout = 3000ms) {
        ByteString got;
        ReadFrame(Host(), got, ATimeout);
        return Unwrap("\x06" + got);
    }

    std::unique_ptr<SimulatorRunner> fRunner;
    std::optional<MemoryChannel::HostEnd> fHost;
};

// The same with a session open.
class SimSessionFixture : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        ASSERT_EQ(Command("OPN"), "OPN000");
    }
};

} // namespace kestrel::sim::test
