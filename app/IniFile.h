#pragma once
#include <memory>
#include <string>

class TSimpleIniHolder;

namespace kestrel {

// The settings file: section and key names match without regard to case, values are kept as written,
// and every other section and key survives a write. The file is loaded and released on each use.
class TIniFile {
public:
    explicit TIniFile(std::string AFileName);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return fFileName; }

    std::string ReadString(const std::string& ASection, const std::string& AKey,
                           const std::string& ADefault) const;
    // A missing value or one that is not a valid integer yields the default.
    int ReadInteger(const std::string& ASection, const std::string& AKey, int ADefault) const;
    bool ReadBool(const std::string& ASection, const std::string& AKey, bool ADefault) const;

    // Writes change the loaded copy only; UpdateFile stores it. Raises "Unable to write to %s".
    void WriteString(const std::string& ASection, const std::string& AKey, const std::string& AValue);
    void WriteInteger(const std::string& ASection, const std::string& AKey, int AValue);
    void WriteBool(const std::string& ASection, const std::string& AKey, bool AValue);
    void UpdateFile();

private:
    std::string fFileName;
    std::unique_ptr<TSimpleIniHolder> fIni;
    bool fUnreadable = false;
};

} // namespace kestrel
