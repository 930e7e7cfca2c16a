#pragma once
#include "cli/Result.h"
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexo {
class TVexoAbecsPinPad;
}

namespace kestrel::cli {

// Arguments refused before anything is sent.
class BadArguments : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file named on the command line that cannot serve (missing, unreadable, not a picture, a picture
// that cannot be made): refused before anything is sent, with the status of any other failure.
class UnusableFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CommandContext {
    vexo::TVexoAbecsPinPad& PinPad;
    bool Mask = true;          // card data masked in every result
    bool ShowProgress = false; // upload progress bar on standard error
};

// A subcommand whose arguments have been checked and turned into the values the component takes.
// Making one never touches a port, so a refused argument sends nothing.
struct PreparedCommand {
    std::string Name;
    bool UsesPort = true; // false: runs without opening the PIN pad's port (ports, detect)
    std::function<void(CommandContext&, CommandResult&)> Run;
};

// One maker per subcommand. Each raises BadArguments with a sentence a person can act on.
PreparedCommand MakeOpn();
// AStrict: a text that the display layout would cut is refused (status 2) instead of sent with a warning.
PreparedCommand MakeClo(const std::vector<std::string>& ATexts, bool AStrict = false);
PreparedCommand MakeClx(const std::string& ATextOrName);
PreparedCommand MakeGin(int AIndex);
PreparedCommand MakeGix(const std::vector<std::string>& AIds);
PreparedCommand MakeCaps();
PreparedCommand MakeDsp(const std::vector<std::string>& ATexts, bool AStrict = false);
PreparedCommand MakeDex(const std::string& AText, bool AStrict = false);
PreparedCommand MakeRmc(const std::vector<std::string>& ATexts, bool AStrict = false);
PreparedCommand MakeGky();
struct GcdArgs {
    std::string Prompt;     // a prompt name (msgDigiteCPF, DigiteCPF) or an ABECS prompt number
    int Min = -1, Max = -1; // -1: not given
    int Wait = 0;
};
PreparedCommand MakeGcd(const GcdArgs& AArgs);
PreparedCommand MakeMnu(const std::vector<std::string>& AOptions, const std::string& ATitle, int AWait);
struct CexArgs {
    bool Key = false, Mag = false, Insert = false, Remove = false, Ctls = false;
    int Wait = 0;
    std::string PanMask;
};
PreparedCommand MakeCex(const CexArgs& AArgs);
PreparedCommand MakeLmf();
PreparedCommand MakeDsi(const std::string& AName);
PreparedCommand MakeDmf(const std::vector<std::string>& ANames);
// How a picture goes: the PNG form ("smallest" or "rgb8", --png-form) and, for a file, whether it goes
// as it is (--as-is) rather than scaled to the display and in the smallest of PNG and JPEG.
struct MediaForm {
    std::string PngForm = "smallest";
    bool AsIs = false;
};
PreparedCommand MakeUpload(const std::string& AFile, const std::string& AName, bool AShow,
                           const MediaForm& AForm = {});
PreparedCommand MakeQr(const std::string& AText, const std::string& AName, bool AShow,
                       const MediaForm& AForm = {});
PreparedCommand MakePorts();
PreparedCommand MakeDetect();

// A media name must keep at least one ASCII letter or digit once the component formats it.
void CheckMediaName(const std::string& AName, const char* AWhat);
// A media name the user typed goes to the PIN pad as typed or not at all: 1 to 8 ASCII letters and
// digits (blanks after it aside), never shortened or stripped.
void CheckExplicitMediaName(const std::string& AName, const std::string& AWhat);

// An identifier as the CLI prints it: 0x8001.
std::string Hex4(uint16_t AID);

// Id of GIX: a PP_ name (PP_SERNUM or SERNUM, any case), 0x8001 or 8001h.
uint16_t ParseInformationId(const std::string& AText);

} // namespace kestrel::cli
