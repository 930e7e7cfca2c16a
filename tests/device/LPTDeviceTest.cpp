#include "DeviceTestSupport.h"
#include "device/VexoDevice.h"
#include "device/VexoDeviceLPT.h"
#include "util/CodePage.h"
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace vexo;

namespace {

const auto ErrorOf = devtest::ClassAndErrorOf;

std::string Contents(const std::string& AFile) {
    std::ifstream in(AFile, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const std::string& AFile, const std::string& AData) {
    std::ofstream(AFile, std::ios::binary) << AData;
}

bool IsFifo(const std::string& APath) {
    struct stat st {};
    return ::stat(APath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// The far end of a FIFO that plays a printer port: it reads what the device writes.
class FifoReader {
public:
    explicit FifoReader(const std::string& APath) {
        if (::mkfifo(APath.c_str(), 0600) != 0 && errno != EEXIST) throw std::runtime_error("mkfifo");
        fFd = ::open(APath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fFd < 0) throw std::runtime_error("open fifo");
    }
    ~FifoReader() { Close(); }
    std::string Read(size_t ACount, int ATimeOutMs = 2000) const {
        return devtest::ReadSome(fFd, ACount, ATimeOutMs);
    }
    void Close() {
        if (fFd >= 0) ::close(fFd);
        fFd = -1;
    }

private:
    int fFd = -1;
};

const std::string kEscBytes = std::string("A\x00\x1B@\x1B"
                                          "d\x02\xFF",
                                          8);

} // namespace

TEST(TextFile, StartsEmptyAtEveryActivationAndHoldsWhatWasSent) {
    devtest::TempDir dir;
    const std::string file = dir.File("CUPOM.TXT");
    Write(file, "from an earlier run");
    TVexoDevice device;
    device.SetPorta(file);
    ASSERT_EQ(device.DeviceType(), dtFile);
    device.Ativar();
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(Contents(file), "");
    device.EnviaString("ABC");
    device.EnviaString("DEF");
    EXPECT_EQ(Contents(file), "ABCDEF");
    device.EnviaString(kEscBytes);
    device.EnviaByte(0x00);
    EXPECT_EQ(Contents(file), "ABCDEF" + kEscBytes + std::string(1, '\0'));
    // Nothing is ever read from a printer port or a text file.
    EXPECT_EQ(device.LeString(10, 0, {}), "");
    EXPECT_EQ(device.LeByte(10), 0);
    EXPECT_EQ(device.BytesParaLer(), 0);
    device.Limpar();
    device.Desativar();
    EXPECT_EQ(Contents(file), "ABCDEF" + kEscBytes + std::string(1, '\0'));
    device.Ativar();
    EXPECT_EQ(Contents(file), "");
    device.EnviaString("again");
    EXPECT_EQ(Contents(file), "again");
}

TEST(TextFile, AMissingFolderFailsTheActivationWithTheFailuresClassAndMessage) {
    devtest::TempDir dir;
    const std::string log = dir.File("device.log");
    const std::string file = dir.File("no/such/folder/x.txt");
    TVexoDevice device;
    device.SetArqLOG(log);
    device.SetPorta("FILE:" + file);
    const std::string expected = "EInOutError: Cannot open \"" + file + "\": No such file or directory";
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Exception: " + expected);
    EXPECT_FALSE(device.Ativo());
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
    const auto lines = devtest::LogTexts(log);
    EXPECT_EQ(lines.back(), "Exception: " + expected);
}

TEST(TextFile, AWindowsPathFailsTheActivationAndCreatesNothing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"FILE:C:\\saida\\x", "C:\\saida\\x"},
        {"C:\\saida\\cupom.txt", "C:\\saida\\cupom.txt"},
        {"saida\\cupom.prn", "saida\\cupom.prn"},
        {"FILE:d:cupom", "d:cupom"},
    };
    for (const auto& [porta, arquivo] : cases) {
        SCOPED_TRACE(porta);
        TVexoDevice device;
        device.SetPorta(porta);
        ASSERT_EQ(device.DeviceType(), dtFile);
        EXPECT_EQ(ErrorOf([&] { device.Ativar(); }),
                  "Exception: Caminho de arquivo do Windows não é aceito neste sistema [" + arquivo + "]");
        EXPECT_FALSE(device.Ativo());
        EXPECT_FALSE(std::filesystem::exists(arquivo));
    }
    // A Linux path with a colon in a file's name is no drive letter.
    devtest::TempDir dir;
    TVexoDevice device;
    device.SetPorta("FILE:" + dir.File("a:b"));
    device.Ativar();
    EXPECT_TRUE(std::filesystem::exists(dir.File("a:b")));
}

TEST(TextFile, ActivationAndChunkedSendsWriteTheseLogLines) {
    devtest::TempDir dir;
    const std::string log = dir.File("device.log");
    const std::string file = dir.File("out.txt");
    Write(file, "old");
    {
        TVexoDevice device;
        device.SetPorta(file);
        device.SetArqLOG(log);
        device.SetSendBytesCount(4);
        device.SetSendBytesInterval(1);
        device.Ativar();
        device.EnviaString("0123456789");
        device.Desativar();
    }
    EXPECT_EQ(Contents(file), "0123456789");
    const std::vector<std::string> expected = {
        "Ativar - Porta File: " + file,
        "   TVexoDeviceLPT.Conectar(" + file + ", 3000)",
        "  NomeArq: " + file,
        "  DeleteFile(" + file + ")",
        "EnviaString(0123456789)",
        "  TVexoDeviceLPT.EnviaString ",
        "  BytesToSend:4",
        "  Sleep(1)",
        "  BytesToSend:4",
        "  Sleep(1)",
        "  BytesToSend:4",
        "  Sleep(1)",
        "Desativar",
        "   TVexoDeviceLPT.Desconectar(True)",
        "Destroy",
    };
    EXPECT_EQ(devtest::LogTexts(log), expected);
}

// A file name may point at something that is not a plain file; it is written to, never removed.
TEST(TextFile, AFifoNamedAsAFileIsKeptAndWritten) {
    devtest::TempDir dir;
    const std::string fifo = dir.File("fifo");
    FifoReader reader(fifo);
    TVexoDevice device;
    device.SetPorta("FILE:" + fifo);
    device.Ativar();
    EXPECT_TRUE(IsFifo(fifo));
    device.EnviaString(kEscBytes);
    EXPECT_EQ(reader.Read(kEscBytes.size()), kEscBytes);
}

TEST(PrinterPort, LPTNamesTheNumberedPortFromZero) {
    const std::string saved = TVexoDeviceLPT::PrefixoLPT;
    EXPECT_EQ(saved, "/dev/lp");
    EXPECT_EQ(TVexoDeviceLPT::NomeArquivo("LPT1"), "/dev/lp0");
    EXPECT_EQ(TVexoDeviceLPT::NomeArquivo("lpt12"), "/dev/lp11");
    EXPECT_EQ(TVexoDeviceLPT::NomeArquivo("/dev/usb/lp0"), "/dev/usb/lp0");
    EXPECT_EQ(TVexoDeviceLPT::NomeArquivo("LPT0"), "LPT0");
    EXPECT_EQ(TVexoDeviceLPT::NomeArquivo("LPTX"), "LPTX");
    EXPECT_EQ(TVexoDeviceLPT::NomeArquivo("FILE:LPT1"), "LPT1");
    EXPECT_EQ(TVexoDeviceLPT::NomeArquivo("File:/tmp/a b.txt"), "/tmp/a b.txt");
}

// The printer ports live in a folder of the test's own: each one a FIFO whose far end the test reads.
struct PortFixture : ::testing::Test {
    devtest::TempDir dir;
    TVexoDevice device;
    std::string saved = TVexoDeviceLPT::PrefixoLPT;
    void SetUp() override { TVexoDeviceLPT::PrefixoLPT = dir.File("lp"); }
    void TearDown() override { TVexoDeviceLPT::PrefixoLPT = saved; }
};

TEST_F(PortFixture, LPT1WritesEveryByteToItsPort) {
    FifoReader port(dir.File("lp0"));
    device.SetPorta("lpt1");
    ASSERT_EQ(device.DeviceType(), dtParallel);
    device.Ativar();
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    device.SetSendBytesCount(100);
    device.EnviaString(all);
    EXPECT_EQ(port.Read(256), all);
    EXPECT_TRUE(IsFifo(dir.File("lp0")));
}

TEST_F(PortFixture, APortThatIsNotThereFailsAndIsNeverCreated) {
    device.SetPorta("LPT2");
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }),
              "Exception: EInOutError: Cannot open \"" + dir.File("lp1") + "\": No such file or directory");
    EXPECT_FALSE(device.Ativo());
    EXPECT_FALSE(std::filesystem::exists(dir.File("lp1")));
}

// No reader on the port, a reader that goes away, or one that takes nothing: each fails, none hangs.
TEST_F(PortFixture, APortNobodyTakesFromFailsInsteadOfHanging) {
    ::mkfifo(dir.File("lp0").c_str(), 0600);
    device.SetPorta("LPT1");
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }),
              "Exception: EInOutError: Cannot open \"" + dir.File("lp0") + "\": No such device or address");

    FifoReader port(dir.File("lp0"));
    device.SetTimeOutMilissegundos(200);
    device.Ativar();
    const std::string big(512 * 1024, 'x'); // more than the pipe holds
    EXPECT_EQ(ErrorOf([&] { device.EnviaString(big); }),
              "EInOutError: Cannot write \"" + dir.File("lp0") + "\": no room within 200 ms");
    port.Close();
    EXPECT_EQ(ErrorOf([&] { device.EnviaString("x"); }),
              "EInOutError: Cannot open \"" + dir.File("lp0") + "\": No such device or address");
}

TEST_F(PortFixture, AReaderThatLeavesMidSendFailsTheSendAndNotTheProgram) {
    auto port = std::make_unique<FifoReader>(dir.File("lp0"));
    device.SetPorta("LPT1");
    device.Ativar();
    // A reader that saw the trial open come and go reads end-of-file at once; a fresh one waits for
    // the send's first byte.
    port = std::make_unique<FifoReader>(dir.File("lp0"));
    // One byte every 5 ms; the reader leaves after the first.
    device.SetSendBytesCount(1);
    device.SetSendBytesInterval(5);
    std::thread leaver([&] {
        port->Read(1);
        port.reset();
    });
    const std::string result = ErrorOf([&] { device.EnviaString(std::string(64, 'y')); });
    leaver.join();
    EXPECT_EQ(result, "EInOutError: Cannot write \"" + dir.File("lp0") + "\": Broken pipe");
}
