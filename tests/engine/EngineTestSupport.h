#pragma once
// Shared set-up of the engine tests: a component wired to a scripted peer, with its log captured.

#include "ScriptedPeer.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTLV.h"
#include "pinpad/VexoAbecsTables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kestrel::test {

// Opens the protected steps that multi-packet and blocking tests drive directly.
class TestPinPad : public vexo::TVexoAbecsPinPad {
public:
    using vexo::TVexoAbecsPinPad::ExecCommand;
    using vexo::TVexoAbecsPinPad::FormatMsg;
};

inline Bytes Tlv(uint16_t ATag, const Bytes& AValue) {
    return vexo::TVexoAbecsTLV(ATag, AValue).AsString();
}

inline Bytes Block(const Bytes& AData) {
    char len[8];
    std::snprintf(len, sizeof len, "%03zu", AData.size());
    return len + AData;
}

// The capability request the component makes after OPN or when its cache is empty.
inline Bytes CapabilityRequest() {
    return Bytes("GIX022\x00\x01\x00\x12", 10) +
           Bytes("\x80\x01\x80\x02\x80\x03\x80\x04\x80\x05\x80\x07\x80\x20\x80\x21\x80\x22", 18);
}

inline Bytes CapabilityResponse(const Bytes& ASerial = "SN123", const Bytes& ATextSize = "0216") {
    using namespace vexo;
    return "GIX000" +
           Block(Tlv(PP_SERNUM, ASerial) + Tlv(PP_PARTNBR, "PN-9") + Tlv(PP_MODEL, "XYZ-100;512KB") +
                 Tlv(PP_MNNAME, "ACME") + Tlv(PP_CAPAB, "12") + Tlv(PP_SPECVER, "2.12") +
                 Tlv(PP_DSPTXTSZ, ATextSize) + Tlv(PP_DSPGRSZ, "00640128") + Tlv(PP_MFSUP, "101"));
}

// Runs ACall and returns the message of the E it raises ("" when none).
template <class E = vexo::EVexoAbecsPinPadError, typename F> std::string ErrorOf(F ACall) {
    try {
        ACall();
    } catch (const E& e) {
        return e.Message();
    }
    return "";
}

class PinPadTest : public ::testing::Test {
protected:
    void SetUp() override {
        pinpad.SetOnWriteLog([this](const std::string& ALine, bool&) {
            log.push_back(ALine.size() >= kStampLength ? ALine.substr(kStampLength) : ALine);
        });
        pinpad.SetPort(peer.Path());
    }
    // A test's handlers may capture its locals, which are gone by now: drop them before the last log line.
    void TearDown() override {
        pinpad.SetOnWriteLog({});
        pinpad.SetOnStartCommand({});
        pinpad.SetOnWaitForResponse({});
        pinpad.SetOnEndCommand({});
        pinpad.SetOnProgress({});
        pinpad.Disable();
    }

    // Starts the script and opens the port.
    void Go() {
        peer.Start();
        pinpad.Enable();
        log.clear();
    }

    // The peer's answer to one command: acknowledge, then the response frame.
    void Answer(const Bytes& ACommand, const Bytes& AResponse) {
        peer.Expect(Frame(ACommand)).Send(kACK).Send(Frame(AResponse));
    }

    static constexpr size_t kStampLength = 24; // "-- dd/mm hh:nn:ss:zzz - "
    ScriptedPeer peer;
    TestPinPad pinpad;
    std::vector<std::string> log;
};

} // namespace kestrel::test
