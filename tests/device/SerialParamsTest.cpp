#include "DeviceTestSupport.h"
#include "device/VexoDevice.h"
#include <gtest/gtest.h>

using namespace vexo;
using devtest::ErrorOf;

namespace {

const char* const BaudError = "Valor deve estar na faixa de 50 a 4000000.\n"
                              "Normalmente os equipamentos Seriais utilizam: 9600";
const char* const DataError = "Valor deve estar na faixa de 5 a 8.\n"
                              "Normalmente os equipamentos Seriais utilizam: 7 ou 8";

} // namespace

TEST(ParamsString, DefaultsRenderEmptyOrInFull) {
    TVexoDevice device;
    device.SetParamsString("");
    EXPECT_EQ(device.ParamsString(), "");
    EXPECT_EQ(device.DeviceToString(false), "BAUD=9600 DATA=8 PARITY=N STOP=1 HANDSHAKE= MAXBANDWIDTH=0 "
                                            "SENDBYTESCOUNT=0 SENDBYTESINTERVAL=0");
}

TEST(ParamsString, ParsesAndRendersBack) {
    const struct {
        std::string in, out;
    } rows[] = {
        {"baud=19200 parity=e stop=2", "BAUD=19200 PARITY=E STOP=2"},
        {"BAUD = 115200 HANDSHAKE=RTS/CTS", "BAUD=115200 HANDSHAKE=RTS/CTS HARDFLOW"},
        {"BAUD 4800 DATA=7 STOP=1,5", "BAUD=4800 DATA=7 STOP=1,5"},
        {"HARDFLOW", "HANDSHAKE=RTS/CTS HARDFLOW"},
        {"HARDFLOW SOFTFLOW", "HANDSHAKE=XON/XOFF SOFTFLOW"},
        {"HANDSHAKE=DTR/DSR", "HANDSHAKE=DTR/DSR"},
        {"HANDSHAKE=XON/XOFF", "HANDSHAKE=XON/XOFF SOFTFLOW"},
        {"BAUD=abc PARITY=X STOP=3 HANDSHAKE=FOO", ""},
        {"PARITY=MARK", "PARITY=M"},
    };
    for (const auto& row : rows) {
        TVexoDevice device;
        device.SetParamsString(row.in);
        EXPECT_EQ(device.ParamsString(), row.out) << row.in;
        TVexoDevice again; // what is rendered parses back to the same parameters
        again.SetParamsString(row.out);
        EXPECT_EQ(again.ParamsString(), row.out) << row.in;
    }
}

TEST(ParamsString, MissingKeysMeanDefaultsButChunkingIsKept) {
    TVexoDevice device;
    device.SetPorta("COM1");
    device.SetParamsString("BAUD=2400 PARITY=O SENDBYTESCOUNT=10 SENDBYTESINTERVAL=50 MAXBANDWIDTH=960");
    EXPECT_EQ(device.Parity(), pOdd);
    device.SetParamsString("DATA=7");
    EXPECT_EQ(device.Baud(), 9600);
    EXPECT_EQ(device.Parity(), pNone);
    EXPECT_EQ(device.Data(), 7);
    EXPECT_EQ(device.SendBytesCount(), 10);
    EXPECT_EQ(device.SendBytesInterval(), 50);
    EXPECT_EQ(device.MaxBandwidth(), 960);
    EXPECT_EQ(device.ParamsString(), "DATA=7 MAXBANDWIDTH=960 SENDBYTESCOUNT=10 SENDBYTESINTERVAL=50");
}

TEST(SerialParameters, RangeChecksKeepTheOldValue) {
    TVexoDevice device;
    EXPECT_EQ(ErrorOf([&] { device.SetBaud(40); }), BaudError);
    EXPECT_EQ(ErrorOf([&] { device.SetBaud(4000001); }), BaudError);
    EXPECT_EQ(ErrorOf([&] { device.SetParamsString("BAUD=40"); }), BaudError);
    EXPECT_EQ(device.Baud(), 9600);
    EXPECT_EQ(ErrorOf([&] { device.SetData(9); }), DataError);
    EXPECT_EQ(ErrorOf([&] { device.SetParamsString("DATA=4"); }), DataError);
    EXPECT_EQ(device.Data(), 8);
    device.SetBaud(50);
    device.SetBaud(4000000);
    device.SetData(5);
    EXPECT_EQ(device.Baud(), 4000000);
    EXPECT_EQ(device.Data(), 5);
}

TEST(SerialParameters, FlowFlagsFollowTheHandshake) {
    TVexoDevice device;
    const auto check = [&](TVexoHandShake AHandShake) {
        EXPECT_EQ(device.HandShake(), AHandShake);
        EXPECT_EQ(device.HardFlow(), AHandShake == hsRTS_CTS);
        EXPECT_EQ(device.SoftFlow(), AHandShake == hsXON_XOFF);
    };
    device.SetHardFlow(true);
    check(hsRTS_CTS);
    device.SetSoftFlow(false); // not the soft handshake: nothing changes
    check(hsRTS_CTS);
    device.SetSoftFlow(true);
    check(hsXON_XOFF);
    device.SetHandShake(hsDTR_DSR);
    check(hsDTR_DSR);
    device.SetHardFlow(false);
    check(hsDTR_DSR);
    device.SetHandShake(hsRTS_CTS);
    device.SetHardFlow(false);
    check(hsNenhum);
    device.SetParamsString("SOFTFLOW HANDSHAKE=RTS/CTS");
    check(hsRTS_CTS);
    device.SetDefaultValues();
    check(hsNenhum);
}
