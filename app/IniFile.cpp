#include "app/IniFile.h"
#include "app/IntText.h"
#include "util/Exception.h"
// Values are kept as bytes, exactly as written: no character conversion.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <filesystem>

// CSimpleIniA matches section and key names without regard to case.
class TSimpleIniHolder : public CSimpleIniA {
public:
    TSimpleIniHolder() : CSimpleIniA(false, false, false) { SetSpaces(false); }
};

namespace kestrel {

TIniFile::TIniFile(std::string AFileName)
    : fFileName(std::move(AFileName)), fIni(std::make_unique<TSimpleIniHolder>()) {
    // A missing or unreadable file reads as an empty one: every value takes its default. A file that
    // exists but could not be read is not written over, or the keys we could not see would be lost.
    std::error_code ec;
    if (fIni->LoadFile(fFileName.c_str()) < 0) fUnreadable = std::filesystem::exists(fFileName, ec);
}

TIniFile::~TIniFile() = default;

std::string TIniFile::ReadString(const std::string& ASection, const std::string& AKey,
                                 const std::string& ADefault) const {
    const char* value = fIni->GetValue(ASection.c_str(), AKey.c_str(), nullptr);
    return value ? std::string(value) : ADefault;
}

int TIniFile::ReadInteger(const std::string& ASection, const std::string& AKey, int ADefault) const {
    const char* value = fIni->GetValue(ASection.c_str(), AKey.c_str(), nullptr);
    if (!value) return ADefault;
    return StrToIntDef(value, ADefault);
}

bool TIniFile::ReadBool(const std::string& ASection, const std::string& AKey, bool ADefault) const {
    return ReadInteger(ASection, AKey, ADefault ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& ASection, const std::string& AKey, const std::string& AValue) {
    if (fIni->SetValue(ASection.c_str(), AKey.c_str(), AValue.c_str()) < 0)
        throw vexo::Exception("Unable to write to " + fFileName);
}

void TIniFile::WriteInteger(const std::string& ASection, const std::string& AKey, int AValue) {
    WriteString(ASection, AKey, std::to_string(AValue));
}

void TIniFile::WriteBool(const std::string& ASection, const std::string& AKey, bool AValue) {
    WriteString(ASection, AKey, AValue ? "1" : "0");
}

void TIniFile::UpdateFile() {
    if (fUnreadable) throw vexo::Exception("Unable to write to " + fFileName);
    if (fIni->SaveFile(fFileName.c_str(), false) < 0)
        throw vexo::Exception("Unable to write to " + fFileName);
}

} // namespace kestrel
