#include "DeviceTestSupport.h"
#include "PrivateCupsd.h"
#include "device/VexoDevice.h"
#include "device/VexoDeviceRaw.h"
#include "util/CodePage.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

using namespace vexo;
using devtest::ErrorOf;

namespace {

std::string SocketUri(const devtest::Listener& AListener) {
    return "socket://127.0.0.1:" + std::to_string(AListener.Port());
}

std::string AllBytes() {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    return all;
}

// A scheduler of the test's own, each queue a raw queue whose device is a listener of the test.
struct CupsFixture : ::testing::Test {
    std::unique_ptr<devtest::PrivateCupsd> cupsd;

    void SetUp() override {
        if (devtest::PrivateCupsd::Binary().empty())
            GTEST_SKIP()
                << "cupsd is not installed (package cups-daemon): the raw printer queue tests need it";
        cupsd = std::make_unique<devtest::PrivateCupsd>();
    }
    void TearDown() override { cupsd.reset(); }
};

// Three queues added out of order; the middle one is named as CUPS names a queue on another server.
struct ThreeQueues : CupsFixture {
    devtest::Listener zebra, epson, bematech;
    TVexoDevice device;
    void SetUp() override {
        CupsFixture::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(std::filesystem::exists("/usr/lib/cups/backend/socket"))
            << "the socket backend of CUPS is missing (package cups): no job could reach a queue's device";
        cupsd->AddRawQueue("Zebra_Label", SocketUri(zebra));
        cupsd->AddRawQueue("Epson@printsrv", SocketUri(epson));
        cupsd->AddRawQueue("bematech", SocketUri(bematech));
    }
};

} // namespace

TEST_F(ThreeQueues, ListsTheQueuesInTheSpoolersOrderAndKnowsTheirNames) {
    std::vector<std::string> list = {"COM1"};
    device.AcharPortasRAW(list);
    EXPECT_EQ(list,
              (std::vector<std::string>{"COM1", "RAW:bematech", "RAW:Epson@printsrv", "RAW:Zebra_Label"}));
    device.SetPorta("Zebra_Label"); // a bare installed name is a raw printer port
    EXPECT_EQ(device.DeviceType(), dtRawPrinter);
    device.SetPorta("ZEBRA_LABEL"); // the spooler takes printer names in any case
    EXPECT_EQ(device.DeviceType(), dtRawPrinter);
    device.SetPorta("Zebra");
    EXPECT_EQ(device.DeviceType(), dtNenhum);
}

TEST_F(ThreeQueues, EachSendIsOneRawJobWithEveryByteIntactAndTheDocumentName) {
    devtest::TempDir dir;
    device.SetArqLOG(dir.File("raw.log"));
    device.SetPorta("RAW:bematech");
    device.SetNomeDocumento("Cupom 42 – caixa");
    device.Ativar();
    const std::string first = std::string("\x1B@\x00\x00", 4) + AllBytes() +
                              "\x1B"
                              "d\x03";
    device.EnviaString(first);
    EXPECT_EQ(devtest::RecordJob(bematech), first);
    device.EnviaString({}); // nothing to print: no job
    device.EnviaByte(0x00);
    EXPECT_EQ(devtest::RecordJob(bematech), std::string(1, '\0'));

    const auto jobs = cupsd->JobNames("bematech");
    ASSERT_EQ(jobs.size(), 2u);
    for (const auto& [id, name] : jobs)
        EXPECT_EQ(name, "Cupom 42 – caixa") << id;
    const auto lines = devtest::LogTexts(dir.File("raw.log"));
    const std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{"  TVexoDeviceRaw.EnviaStringWindows", "GetPrinterIndex", "  0"}));
}

TEST_F(ThreeQueues, StarIsTheDefaultPrinterElseTheFirst) {
    TVexoDeviceRaw& raw = device.DeviceRaw();
    device.SetPorta("*");
    ASSERT_EQ(&device.DeviceAtivo(), &raw);
    EXPECT_EQ(raw.GetPrinterIndex("*"), 0); // none set as default
    device.Ativar();
    device.EnviaString("first");
    EXPECT_EQ(devtest::RecordJob(bematech), "first");
    device.Desativar();

    cupsd->SetDefault("Zebra_Label");
    EXPECT_EQ(raw.GetPrinterIndex("*"), 2);
    EXPECT_EQ(raw.GetPrinterIndex("raw:*"), 2);
    device.Ativar();
    device.EnviaString("default");
    EXPECT_EQ(devtest::RecordJob(zebra), "default");
    // Without a document name the job is named after the facade.
    EXPECT_EQ(cupsd->JobNames("Zebra_Label"), (std::map<int, std::string>{{2, "TVexoDevice"}}));
}

TEST_F(ThreeQueues, AQueueOnAnotherServerIsFoundByItsShareNameInAnyCase) {
    device.SetPorta("RAW:EPSON");
    device.Ativar();
    EXPECT_EQ(device.DeviceRaw().GetPrinterIndex("RAW:EPSON"), 1);
    device.EnviaString(std::string("\x1B"
                                   "t\x00",
                                   3));
    EXPECT_EQ(devtest::RecordJob(epson), std::string("\x1B"
                                                     "t\x00",
                                                     3));
}

TEST_F(ThreeQueues, AMissingNameFailsTheActivationAndIsLogged) {
    devtest::TempDir dir;
    device.SetArqLOG(dir.File("raw.log"));
    device.SetPorta("RAW:Daruma");
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Impressora não encontrada [Daruma]");
    EXPECT_FALSE(device.Ativo());
    device.SetPorta("RAW:printsrv"); // the server part is no share name
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Impressora não encontrada [printsrv]");
    const auto lines = devtest::LogTexts(dir.File("raw.log"));
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), TextToAnsi("Exception: Impressora não encontrada [Daruma]")),
        lines.end());
}

// A send never reports success for a job the spooler did not take.
TEST_F(ThreeQueues, AQueueThatGoesAwayOrRefusesJobsFailsTheSend) {
    device.SetPorta("RAW:bematech");
    device.Ativar();
    cupsd->RejectJobs("bematech");
    EXPECT_EQ(ErrorOf([&] { device.EnviaString("x"); }), "Impressora não encontrada [bematech]");
    cupsd->Delete("bematech");
    EXPECT_EQ(ErrorOf([&] { device.EnviaString("x"); }), "Impressora não encontrada [bematech]");
    EXPECT_FALSE(devtest::RecordJob(bematech, 300));
}

TEST_F(CupsFixture, StarWithNoPrinterAtAllFails) {
    TVexoDevice device;
    device.SetPorta("*");
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Erro Nenhuma impressora Padrão foi detectada");
    EXPECT_FALSE(device.Ativo());
    std::vector<std::string> list;
    device.AcharPortasRAW(list);
    EXPECT_TRUE(list.empty());
}

// Names the spooler cannot hold (backslashes) reach the lookup through the list seam.
struct PrinterListSeam : ::testing::Test {
    TVexoDevice device;
    void SetUp() override {
        TVexoDeviceRaw::ImpressorasInstaladas = [] {
            return TVexoImpressoras{
                {"\\\\srv", "\\\\printsrv\\Epson", "C:\\out\\cupom.prn", "epson_local", "Epson"},
                "epson_local"};
        };
    }
    void TearDown() override { TVexoDeviceRaw::ImpressorasInstaladas = nullptr; }
};

TEST_F(PrinterListSeam, LookupRulesInOrder) {
    TVexoDeviceRaw& raw = device.DeviceRaw();
    EXPECT_EQ(raw.GetPrinterIndex("RAW:Epson"), 4);       // the exact name first
    EXPECT_EQ(raw.GetPrinterIndex("RAW:EPSON_LOCAL"), 3); // then the name in another case
    EXPECT_EQ(raw.GetPrinterIndex("*"), 3);               // the default
    EXPECT_EQ(raw.GetPrinterIndex("RAW:\\\\srv"), 0);
    EXPECT_EQ(ErrorOf([&] { raw.GetPrinterIndex("RAW:"); }), "Impressora não encontrada []");

    TVexoDeviceRaw::ImpressorasInstaladas = [] {
        return TVexoImpressoras{{"\\\\srv", "\\\\printsrv\\Epson"}, ""};
    };
    EXPECT_EQ(raw.GetPrinterIndex("RAW:epson"), 1); // a network printer by its share part
    EXPECT_EQ(raw.GetPrinterIndex("*"), 0);         // no default: the first
    EXPECT_EQ(ErrorOf([&] { raw.GetPrinterIndex("RAW:srv"); }), "Impressora não encontrada [srv]");
}

TEST_F(PrinterListSeam, AnInstalledNameWithABackslashIsARawPrinterElseAFile) {
    EXPECT_EQ(device.DeduzirTipoPorta("C:\\out\\cupom.prn"), dtRawPrinter);
    EXPECT_EQ(device.DeduzirTipoPorta("C:\\out\\outro.prn"), dtFile);
    EXPECT_EQ(device.DeduzirTipoPorta("Epson"), dtRawPrinter);
    EXPECT_EQ(device.DeduzirTipoPorta("Epsonx"), dtNenhum);
}
