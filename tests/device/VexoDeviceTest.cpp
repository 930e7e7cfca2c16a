#include "device/VexoDevice.h"
#include "DeviceTestSupport.h"
#include <gtest/gtest.h>

using namespace vexo;
using devtest::ErrorOf;

TEST(DeduzirTipoPorta, FollowsTheNameRulesInOrder) {
    devtest::Pty pty; // a character device outside the usual serial folders
    const struct {
        std::string name;
        TVexoDeviceType type;
    } rows[] = {
        {"*", dtRawPrinter},
        {"NULL", dtNenhum},
        {"null:anything", dtNenhum},
        {"tcp:10.0.0.5:4000", dtTCP},
        {"RAW:Epson", dtRawPrinter},
        {"bth:MPT", dtBlueTooth},
        {"C:\\out\\cupom.txt", dtFile},
        {"FILE:saida", dtFile},
        {"file:com1", dtFile},
        {"LPT1", dtParallel},
        {"COM3", dtSerial},
        {"com12", dtSerial},
        {"\\\\.\\ttyUSB0", dtSerial},
        {"DLL:hook", dtHook},
        {"USB:Epson", dtUSB},
        {"\\\\?\\usb#vid_04b8", dtUSB},
        {"\\\\?\\USB#vid_04b8", dtUSB},
        {"C:\\out\\cupom.prn", dtFile},
        {"/dev/lp0", dtParallel},
        {"/dev/usb/lp1", dtParallel},
        {"/dev/ttyUSB7", dtSerial},
        {"/dev/ttyACM0", dtSerial},
        {"/dev/serial/by-id/usb-Gertec_PPC930", dtSerial},
        {"/dev/rfcomm0", dtSerial},
        {pty.Name(), dtSerial},
        {"/dev/null", dtSerial}, // a character device, wherever it lives
        {"/tmp/saida.prn", dtFile},
        {"relative/path", dtFile},
        {"xyz", dtNenhum},
        {"", dtNenhum},
    };
    TVexoDevice device;
    for (const auto& row : rows)
        EXPECT_EQ(device.DeduzirTipoPorta(row.name), row.type) << row.name;
}

TEST(Porta, StoresTrimmedAndUpperCasesCOMAndLPT) {
    TVexoDevice device;
    device.SetPorta(" com3 ");
    EXPECT_EQ(device.Porta(), "COM3");
    EXPECT_EQ(device.DeviceType(), dtSerial);
    EXPECT_TRUE(device.IsSerialPort());
    device.SetPorta("lpt1");
    EXPECT_EQ(device.Porta(), "LPT1");
    EXPECT_TRUE(device.IsParallelPort());
    device.SetPorta("tcp:Host.Local:4000");
    EXPECT_EQ(device.Porta(), "tcp:Host.Local:4000");
    EXPECT_TRUE(device.IsTCPPort());
    device.SetPorta("xyz");
    EXPECT_EQ(device.DeviceType(), dtNenhum);
}

TEST(Porta, IsFrozenWhileActive) {
    TVexoDevice device;
    device.SetPorta("NULL");
    device.Ativar();
    EXPECT_EQ(ErrorOf([&] { device.SetPorta("COM1"); }),
              "Não é possível mudar a Porta com o Dispositivo Ativo");
    EXPECT_EQ(device.Porta(), "NULL");
    device.SetPorta("NULL"); // the same name is no change
    device.Desativar();
    device.SetPorta("COM1");
    EXPECT_EQ(device.Porta(), "COM1");
}

TEST(DeviceType, MustAgreeWithThePortName) {
    TVexoDevice device;
    device.SetPorta("COM1");
    device.SetDeviceType(dtFile);
    EXPECT_EQ(device.DeviceType(), dtFile);
    EXPECT_EQ(ErrorOf([&] { device.SetDeviceType(dtTCP); }),
              "Tipo de dispositivo informado não condiz com o valor da Porta");
    EXPECT_EQ(device.DeviceType(), dtFile);
    device.SetDeviceType(dtParallel);
    EXPECT_EQ(device.DeviceType(), dtParallel);
    device.SetDeviceType(dtSerial);
    EXPECT_EQ(&device.DeviceAtivo(), &device.DeviceSerial());
    device.SetDeviceType(dtNenhum);
    EXPECT_STREQ(device.DeviceAtivo().ClassName(), "TVexoDeviceClass");
}

TEST(Ativar, NeedsANamedPort) {
    for (const std::string name : {"", "xyz"}) {
        TVexoDevice device;
        device.SetPorta(name);
        EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Porta não definida") << name;
        EXPECT_FALSE(device.Ativo());
    }
}

TEST(NullPort, AcceptsEverythingAndReadsNothing) {
    TVexoDevice device;
    device.SetPorta("NULL");
    device.SetAtivo(true);
    ASSERT_TRUE(device.Ativo());
    device.EnviaString("abc");
    device.EnviaByte(0x02);
    EXPECT_EQ(device.LeString(10, 0, {}), "");
    EXPECT_EQ(device.LeByte(10), 0);
    EXPECT_EQ(device.BytesParaLer(), 0);
    EXPECT_TRUE(device.EmLinha(1));
    EXPECT_TRUE(device.PedirPermissoes());
    device.Limpar();
    device.SetAtivo(false);
    EXPECT_FALSE(device.Ativo());
}

TEST(KindOwner, MustBeADevice) {
    TComponent other;
    EXPECT_EQ(ErrorOf([&] { TVexoDeviceClass kind(&other); }),
              "Dono de TVexoDeviceClass deve ser TVexoDevice");
    EXPECT_EQ(ErrorOf([&] { TVexoDeviceClass kind(nullptr); }),
              "Dono de TVexoDeviceClass deve ser TVexoDevice");
}

TEST(TimeOut, SecondsAndMillisecondsAreOneValue) {
    TVexoDevice device;
    EXPECT_EQ(device.TimeOutMilissegundos(), 3000);
    device.SetTimeOut(0);
    EXPECT_EQ(device.TimeOutMilissegundos(), 1000);
    device.SetTimeOutMilissegundos(2500);
    EXPECT_EQ(device.TimeOut(), 2);
    device.SetTimeOutMilissegundos(300);
    EXPECT_EQ(device.TimeOut(), 1);
}

TEST(Settings, DefaultsAndSimpleProperties) {
    TVexoDevice device;
    EXPECT_EQ(device.Baud(), 9600);
    EXPECT_EQ(device.Data(), 8);
    EXPECT_EQ(device.Parity(), pNone);
    EXPECT_EQ(device.Stop(), s1);
    EXPECT_EQ(device.HandShake(), hsNenhum);
    EXPECT_TRUE(device.ProcessMessages());
    EXPECT_EQ(device.NomeDocumento(), "TVexoDevice");
    device.SetNomeDocumento("  Cupom  ");
    EXPECT_EQ(device.NomeDocumento(), "Cupom");
    // Only the serial and TCP kinds keep a bandwidth; the null kind reads 0.
    device.SetMaxBandwidth(100);
    EXPECT_EQ(device.MaxBandwidth(), 0);
    device.SetPorta("COM1");
    device.SetMaxBandwidth(100);
    EXPECT_EQ(device.MaxBandwidth(), 100);
}

TEST(Assign, CopiesParametersButNotPortTimeoutsOrLog) {
    TVexoDevice source, target;
    source.SetPorta("COM2");
    source.SetParamsString(
        "BAUD=115200 DATA=7 PARITY=E STOP=2 HARDFLOW SENDBYTESCOUNT=10 SENDBYTESINTERVAL=5");
    source.SetProcessMessages(false);
    source.SetTimeOutMilissegundos(1234);
    source.SetArqLOG("/nonexistent/x.log");
    int called = 0;
    source.SetHookEnviaString([&](const ByteString&) { ++called; });
    source.SetOnStatus([&](TBlockSerial*, THookSerialReason, const std::string&) { ++called; });
    target.SetPorta("COM1");
    target.Assign(source);
    EXPECT_EQ(target.ParamsString(),
              "BAUD=115200 DATA=7 PARITY=E STOP=2 HANDSHAKE=RTS/CTS HARDFLOW SENDBYTESCOUNT=10 "
              "SENDBYTESINTERVAL=5");
    EXPECT_FALSE(target.ProcessMessages());
    EXPECT_EQ(target.Porta(), "COM1");
    EXPECT_EQ(target.TimeOutMilissegundos(), 3000);
    EXPECT_EQ(target.ArqLOG(), "");
    ASSERT_TRUE(target.HookEnviaString());
    ASSERT_TRUE(target.OnStatus());
    target.HookEnviaString()("x");
    target.OnStatus()(nullptr, HR_Wait, "1");
    EXPECT_EQ(called, 2);
}

TEST(ImprimePos, MovesWithLineFeedsBlanksAndFormFeed) {
    devtest::Pty pty;
    TVexoDevice device;
    device.SetPorta(pty.Name());
    device.Ativar();
    device.ImprimePos(2, 5, "X");
    EXPECT_EQ(pty.Read(8), "\n\n     X");
    EXPECT_EQ(device.PosImp(), (TVexoPoint{2, 6}));
    device.ImprimePos(1, 0, "Y"); // back a line: a new page, down to line 1, back to column 0
    EXPECT_EQ(pty.Read(4), "\f\n\rY");
    EXPECT_EQ(device.PosImp(), (TVexoPoint{1, 1}));
    device.ImprimePos(-1, 0, "Z");
    device.ImprimePos(0, 0, "");
    EXPECT_EQ(pty.ReadBurst(50), "");
    EXPECT_EQ(device.PosImp(), (TVexoPoint{1, 1}));
}
