#include "device/VexoUSBIDDataBase.h"
#include "device/VexoUSBIDText.h"
#include "util/Exception.h"
#include "util/SettingsFolder.h"
#include "util/Strings.h"
// Names and values are bytes as they stand; only the ASCII ids and names are looked up.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace vexo {

struct TVexoUSBIDDataBase::TIni {
    CSimpleIniA Ini{false, false, false};
};

namespace {

bool FileExists(const std::string& AName) {
    std::error_code ec;
    return !AName.empty() && std::filesystem::is_regular_file(AName, ec);
}

int IntOrZero(const std::string& AText) {
    const std::string t = Trim(AText);
    int value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    return ec == std::errc() && end == t.data() + t.size() ? value : 0;
}

void CheckHexID(const char* AName, const std::string& AValue) {
    if (!EhHexadecimal(AValue)) throw Exception(std::string(AName) + " inválido [" + AValue + "]");
}

} // namespace

TVexoUSBIDDataBase::TVexoUSBIDDataBase() : FIni(std::make_unique<TIni>()), FFileName(DefaultFileName()) {}

TVexoUSBIDDataBase::~TVexoUSBIDDataBase() = default;

// Beside the settings file: beside the program when it runs from a folder it can write, otherwise
// in the user's settings folder, since an installed program's folder is the package manager's.
std::string TVexoUSBIDDataBase::DefaultFileName() {
    return SettingsFolder() + "/VexoUSBID.ini";
}

const char* TVexoUSBIDDataBase::BuiltInText() {
    return kVexoUSBIDText;
}

void TVexoUSBIDDataBase::SetFileName(const std::string& AValue) {
    if (AValue != FFileName && !AValue.empty() && !FileExists(AValue))
        throw Exception("Arquivo: " + AValue + " não encontrado");
    FFileName = AValue;
    Load();
}

void TVexoUSBIDDataBase::Load() {
    FIni->Ini.Reset();
    // A file that cannot be read leaves the database empty rather than half the built-in text.
    if (FileExists(FFileName)) {
        FSource = FFileName;
        FIni->Ini.LoadFile(FFileName.c_str());
    } else {
        FSource = FResourceName;
        FIni->Ini.LoadData(kVexoUSBIDText);
    }
    FLoaded = true;
}

bool TVexoUSBIDDataBase::HasVendor(const std::string& AVendorID) {
    if (!FLoaded) Load();
    const char* name = FIni->Ini.GetValue("Vendors", Trim(AVendorID).c_str(), nullptr);
    return name && *name;
}

bool TVexoUSBIDDataBase::FindDeviceByID(const std::string& AVendorID, const std::string& AProductID,
                                        std::string& AVendorName, std::string& AProductModel,
                                        int& ADeviceKind, int& AVexoProtocol) {
    CheckHexID("VendorID", AVendorID);
    CheckHexID("ProductID", AProductID);
    if (!FLoaded) Load();
    AVendorName = Trim(FIni->Ini.GetValue("Vendors", AVendorID.c_str(), ""));
    AProductModel.clear();
    ADeviceKind = 0;
    AVexoProtocol = 0;
    const std::string line = FIni->Ini.GetValue(AVendorID.c_str(), AProductID.c_str(), "");
    const size_t first = line.find(';');
    AProductModel = Trim(line.substr(0, first));
    if (first != std::string::npos) {
        const size_t second = line.find(';', first + 1);
        ADeviceKind = IntOrZero(
            line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
        if (second != std::string::npos) {
            const size_t third = line.find(';', second + 1);
            AVexoProtocol = IntOrZero(
                line.substr(second + 1, third == std::string::npos ? std::string::npos : third - second - 1));
        }
    }
    return !AVendorName.empty() || !AProductModel.empty();
}

} // namespace vexo
