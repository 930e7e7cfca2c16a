#include "DeviceTestSupport.h"
#include "device/VexoDevice.h"
#include "util/CodePage.h"
#include <filesystem>
#include <gtest/gtest.h>

using namespace vexo;
using devtest::LogTexts;

TEST(DeviceLog, ShortSerialSessionWritesTheseLines) {
    devtest::TempDir dir;
    devtest::Pty pty;
    const std::string log = dir.File("device.log");
    const std::string p = pty.Name();
    {
        TVexoDevice device;
        device.SetArqLOG(log);
        device.SetPorta(p);
        device.Ativar();
        device.EnviaString("\x02"
                           "AB\x03");
        EXPECT_EQ(pty.Read(4), "\x02"
                               "AB\x03");
        pty.Write("\x06"
                  "OK");
        EXPECT_EQ(device.LeByte(500), 6);
        EXPECT_EQ(device.LeString(500, 2, {}), "OK");
        device.Limpar();
        device.Desativar();
    }
    const std::vector<std::string> expected = {
        "SetPorta(" + p + ")",
        "DeduzirTipoPorta(" + p + ")",
        "  dtSerial",
        "SetDeviceType(dtSerial)",
        "DeduzirTipoPorta(" + p + ")",
        "  dtSerial",
        "Ativar - Porta Serial: " + p,
        "   TVexoDeviceSerial.Conectar(" + p + ", 3000)",
        "   TVexoDeviceSerial.Desconectar(True)",
        "  ConfigurarSerial",
        "EnviaString([STX]AB[ETX])",
        "  TVexoDeviceSerial.EnviaString",
        "  BytesToSend:4",
        "LeByte(500)",
        "  6",
        "LeString(500, 2, )",
        "  OK",
        "Limpar",
        "Desativar",
        "   TVexoDeviceSerial.Desconectar(True)",
        "Destroy",
    };
    EXPECT_EQ(LogTexts(log), expected);
}

TEST(DeviceLog, RendersControlBytesAndWritesTheCodePage) {
    devtest::TempDir dir;
    const std::string log = dir.File("device.log");
    TVexoDevice device;
    device.SetArqLOG(log);
    device.SetPorta("NULL");
    device.Ativar();
    device.EnviaString(std::string("\x00\x01\x04\x11\x16\x1B\x7F\xC8", 8));
    device.LeString(0, 0, "\x03");
    EXPECT_THROW(device.SetPorta("xyz"), Exception);
    device.SetTimeOut(2);
    device.SetMaxBandwidth(7);
    device.SetNomeDocumento("Cupom");
    device.EmLinha(0);
    device.DeviceToString(false);
    const auto lines = LogTexts(log);
    auto has = [&](const std::string& AText) {
        return std::find(lines.begin(), lines.end(), AText) != lines.end();
    };
    EXPECT_TRUE(has("EnviaString([NUL][SOH][4][WAK][22][ESC][127][200])"));
    EXPECT_TRUE(has("LeString(3000, 0, [ETX])"));
    EXPECT_TRUE(has("SetPorta(xyz)"));
    // Errors are logged before the caller sees them, in the log's code page.
    EXPECT_TRUE(has(TextToAnsi("Exception: Não é possível mudar a Porta com o Dispositivo Ativo")));
    EXPECT_TRUE(has("SetTimeOut(2)"));
    EXPECT_TRUE(has("SetMaxBandwidth(7)"));
    EXPECT_TRUE(has("SetNomeDocumento(Cupom)"));
    EXPECT_TRUE(has("EmLinha(0)"));
    EXPECT_TRUE(has("  True"));
    EXPECT_TRUE(
        has("  DeviceToString: BAUD=9600 DATA=8 PARITY=N STOP=1 HANDSHAKE= MAXBANDWIDTH=0 SENDBYTESCOUNT=0 "
            "SENDBYTESINTERVAL=0"));
}

TEST(DeviceLog, SilentWithoutAFileAndHarmlessWithAMissingFolder) {
    devtest::TempDir dir;
    const std::string missing = dir.File("no/such/folder/device.log");
    for (const std::string& log : {std::string(), missing}) {
        TVexoDevice device;
        device.SetArqLOG(log);
        device.SetPorta("NULL");
        device.Ativar();
        device.EnviaString("abc");
        EXPECT_EQ(device.LeByte(10), 0);
        device.Desativar();
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("")));
}
