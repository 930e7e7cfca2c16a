#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace vexo {

// What a USB device is for; the protocol number of a device belongs to the component that drives it.
enum TVexoUSBHardwareType : uint8_t {
    htUnknown = 0,
    htPOSPrinter = 1,
    htLabelPrinter = 2,
    htFiscal = 3,
};

// Vendor and product names, kinds and protocols by USB id. The file FileName (VexoUSBID.ini beside
// the program by default) replaces the built-in text when it exists. Lookups ignore case.
class TVexoUSBIDDataBase {
public:
    TVexoUSBIDDataBase();
    ~TVexoUSBIDDataBase();
    TVexoUSBIDDataBase(const TVexoUSBIDDataBase&) = delete;
    TVexoUSBIDDataBase& operator=(const TVexoUSBIDDataBase&) = delete;

    // "VexoUSBID.ini" in the folder of the running program.
    static std::string DefaultFileName();
    // The built-in text.
    static const char* BuiltInText();

    const std::string& FileName() const { return FFileName; }
    // A different, non-empty name of a missing file fails with "Arquivo: %s não encontrado";
    // otherwise the database reloads.
    void SetFileName(const std::string& AValue);
    const std::string& ResourceName() const { return FResourceName; }
    bool Loaded() const { return FLoaded; }
    // Where the loaded text came from: FileName, or ResourceName for the built-in text.
    const std::string& Source() const { return FSource; }

    void Load();
    // True when a vendor name or a model was found. An id holding a character that is not
    // hexadecimal fails with "%S inválido [%s]".
    bool FindDeviceByID(const std::string& AVendorID, const std::string& AProductID, std::string& AVendorName,
                        std::string& AProductModel, int& ADeviceKind, int& AVexoProtocol);
    bool HasVendor(const std::string& AVendorID);

private:
    struct TIni;
    std::unique_ptr<TIni> FIni;
    std::string FFileName;
    std::string FResourceName = "VexoUSBID";
    std::string FSource;
    bool FLoaded = false;
};

} // namespace vexo
