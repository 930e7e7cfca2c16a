// The USB id database and the names USB devices get from it.
#include "DeviceTestSupport.h"
#include "device/VexoWinUSBDevice.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace vexo;
using devtest::ErrorOf;

struct Found {
    bool ok = false;
    std::string vendor, model;
    int kind = -1, protocol = -1;
};

Found Find(TVexoUSBIDDataBase& ADb, const std::string& AVendor, const std::string& AProduct) {
    Found f;
    f.ok = ADb.FindDeviceByID(AVendor, AProduct, f.vendor, f.model, f.kind, f.protocol);
    return f;
}

TEST(USBIDDataBase, BuiltInTextAnswersTheKnownDevices) {
    TVexoUSBIDDataBase db;
    db.SetFileName(""); // never a stray file beside the test program
    EXPECT_EQ(db.Source(), "VexoUSBID");

    Found f = Find(db, "04b8", "0e03");
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.vendor, "Epson");
    EXPECT_EQ(f.model, "TM-T20");
    EXPECT_EQ(f.kind, htPOSPrinter);
    EXPECT_EQ(f.protocol, 1);

    f = Find(db, "0525", "A4A7"); // ids in any case
    EXPECT_EQ(f.vendor, "PLX Technology");
    EXPECT_EQ(f.model, "Tanca, TS-1000");
    EXPECT_EQ(f.kind, htFiscal);
    EXPECT_EQ(f.protocol, 2);

    f = Find(db, "1753", "0b00"); // kind and protocol left out mean 0
    EXPECT_EQ(f.model, "G250");
    EXPECT_EQ(f.kind, 0);
    EXPECT_EQ(f.protocol, 0);

    f = Find(db, "1753", "c902");
    EXPECT_EQ(f.vendor, "Gertec");
    EXPECT_EQ(f.model, "PPC930");

    f = Find(db, "067b", "2303"); // one field after the model
    EXPECT_EQ(f.model, "USB-to-Serial Comm Port");
    EXPECT_EQ(f.kind, 0);

    f = Find(db, "324f", "00d2");
    EXPECT_EQ(f.protocol, 12);

    f = Find(db, "1753", "ffff"); // vendor known, product not: still found
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.vendor, "Gertec");
    EXPECT_EQ(f.model, "");

    f = Find(db, "ffff", "0001");
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.vendor, "");
    EXPECT_EQ(f.kind, 0);
}

TEST(USBIDDataBase, EveryVendorOfTheBuiltInTextIsKnown) {
    TVexoUSBIDDataBase db;
    db.SetFileName("");
    for (const char* vendor : {"0483", "04b8", "0525", "067b", "0a5f", "0b1b", "0dd4", "0fe6", "154f", "1753",
                               "1cbe", "1c8a", "20d1", "23b8", "2d84", "3036", "324f"})
        EXPECT_TRUE(db.HasVendor(vendor)) << vendor;
    EXPECT_FALSE(db.HasVendor("2341"));
}

TEST(USBIDDataBase, BadIdsAreRefusedByName) {
    TVexoUSBIDDataBase db;
    std::string v, m;
    int k = 0, p = 0;
    EXPECT_EQ(ErrorOf([&] { db.FindDeviceByID("04g8", "0e03", v, m, k, p); }), "VendorID inválido [04g8]");
    EXPECT_EQ(ErrorOf([&] { db.FindDeviceByID("04b8", "0e0x", v, m, k, p); }), "ProductID inválido [0e0x]");
    EXPECT_EQ(ErrorOf([&] { db.FindDeviceByID("04 8", "0e03", v, m, k, p); }), "VendorID inválido [04 8]");
}

TEST(USBIDDataBase, AFileReplacesTheBuiltInTextCompletely) {
    devtest::TempDir dir;
    const std::string file = dir.File("VexoUSBID.ini");
    std::ofstream(file) << "; ours\n[VENDORS]\nABCD=Acme\n[abcd]\n0001=Widget;2;7\n";

    TVexoUSBIDDataBase db;
    db.SetFileName(file);
    EXPECT_EQ(db.Source(), file);
    Found f = Find(db, "abcd", "0001"); // section and key names ignore case
    EXPECT_EQ(f.vendor, "Acme");
    EXPECT_EQ(f.model, "Widget");
    EXPECT_EQ(f.kind, 2);
    EXPECT_EQ(f.protocol, 7);
    EXPECT_FALSE(Find(db, "04b8", "0e03").ok);

    // Changing the file reloads it; an empty name goes back to the built-in text.
    std::ofstream(file) << "[Vendors]\nabcd=Acme Two\n";
    db.SetFileName(file);
    EXPECT_EQ(Find(db, "abcd", "0001").vendor, "Acme Two");
    db.SetFileName("");
    EXPECT_TRUE(Find(db, "04b8", "0e03").ok);
    EXPECT_FALSE(Find(db, "abcd", "0001").ok);
}

TEST(USBIDDataBase, AMissingFileIsRefusedAndTheOldOneKept) {
    devtest::TempDir dir;
    TVexoUSBIDDataBase db;
    db.SetFileName("");
    const std::string missing = dir.File("nada.ini");
    EXPECT_EQ(ErrorOf([&] { db.SetFileName(missing); }), "Arquivo: " + missing + " não encontrado");
    EXPECT_EQ(db.FileName(), "");
    EXPECT_TRUE(Find(db, "04b8", "0e03").ok);
}

TEST(USBIDDataBase, TheDefaultFileLiesBesideTheProgram) {
    TVexoUSBIDDataBase db;
    const std::string name = db.FileName();
    EXPECT_EQ(name, TVexoUSBIDDataBase::DefaultFileName());
    ASSERT_GT(name.size(), 14u);
    EXPECT_EQ(name.substr(name.size() - 14), "/VexoUSBID.ini");
    EXPECT_TRUE(std::filesystem::exists(name.substr(0, name.size() - 14) + "/device_tests"));
}

// ---- device names

TVexoUSBWinDevice& Device(TVexoUSBWinDeviceList& AList, const std::string& AVendor,
                          const std::string& AProduct, const std::string& AFriendly) {
    TVexoUSBWinDevice& d = AList.Add();
    d.FVendorID = AVendor;
    d.FProductID = AProduct;
    d.FFrendlyName = AFriendly;
    return d;
}

TEST(USBDeviceName, VendorAndModelUnlessTheFriendlyNameSaysMore) {
    TVexoUSBWinDeviceList list;
    list.DataBase().SetFileName("");
    EXPECT_EQ(Device(list, "04b8", "0e03", "TM-T20").DeviceName(), "Epson, TM-T20");
    // The friendly name begins with the vendor's name: it is used.
    EXPECT_EQ(Device(list, "04b8", "0e03", "EPSON TM-T20 Receipt").DeviceName(), "EPSON TM-T20 Receipt");
    // A model with a comma is vendor and model already.
    EXPECT_EQ(Device(list, "0525", "a4a7", "").DeviceName(), "Tanca, TS-1000");
    EXPECT_EQ(Device(list, "0525", "a4a7", "Gadget Serial v2.4 (ttyACM3)").DeviceName(), "Tanca, TS-1000");
    EXPECT_EQ(Device(list, "0525", "a4a7", "Tanca SAT (ttyACM3)").DeviceName(), "Tanca SAT (ttyACM3)");
    // Unknown vendor: the two ids, or the friendly name when there is one.
    EXPECT_EQ(Device(list, "2341", "0043", "").DeviceName(), "2341, 0043");
    EXPECT_EQ(Device(list, "2341", "0043", "Arduino Uno (ttyACM1)").DeviceName(), "Arduino Uno (ttyACM1)");
    // Known vendor, unknown product: the vendor alone.
    EXPECT_EQ(Device(list, "1753", "ffff", "").DeviceName(), "Gertec");
}

TEST(USBDeviceName, PortPartsMatchWhateverNumberTheSystemGave) {
    EXPECT_EQ(USBNomeComparavel("Arduino Uno (ttyACM1)"), "ARDUINO UNO (VCOM)");
    EXPECT_EQ(USBNomeComparavel("Dispositivo Serial USB (COM12)"), "DISPOSITIVO SERIAL USB (VCOM)");
    EXPECT_EQ(USBNomeComparavel("x (ttyUSB0) (lp0) (COM) (tty0) (TTYACM2) (com3"),
              "X (VCOM) (LP0) (COM) (TTY0) (VCOM) (COM3");
    EXPECT_EQ(USBPortaDoNome("Arduino Uno (ttyACM1)"), "ttyACM1");
    EXPECT_EQ(USBPortaDoNome("Serial (com7)"), "COM7");
    EXPECT_EQ(USBPortaDoNome("Epson, TM-T20"), "");

    TVexoUSBWinDeviceList list;
    list.DataBase().SetFileName("");
    Device(list, "04b8", "0e03", "TM-T20");
    Device(list, "2341", "0043", "Arduino Uno (ttyACM1)").FDeviceInterface = "/dev/ttyACM1";
    EXPECT_EQ(list.IndexOfName("epson"), 0);
    EXPECT_EQ(list.IndexOfName("Arduino Uno (ttyACM4)"), 1);
    EXPECT_EQ(list.IndexOfName("ARDUINO UNO (COM3)"), 1);
    EXPECT_EQ(list.IndexOfName("Bematech"), -1);
    EXPECT_EQ(list.IndexOfPort("ttyacm1"), 1);
    EXPECT_EQ(list.IndexOfPort("ttyACM0"), -1);
    EXPECT_EQ(list.IndexOfInterface("/DEV/TTYACM"), 1);
}

} // namespace
