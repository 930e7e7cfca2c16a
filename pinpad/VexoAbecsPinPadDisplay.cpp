#include "pinpad/VexoAbecsPinPad.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCommandLimits.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/Strings.h"


namespace vexo {
namespace {

constexpr char CR = '\r';

void Reset(TVexoAbecsCommand& ACommand, const char* AID, bool ABlocking) {
    ACommand.Clear();
    ACommand.SetID(AID);
    ACommand.SetIsBlocking(ABlocking);
}

// Numbers and single bytes are binary values: the text form would run them through the code page
// and turn every byte from 80h up into '?'.
void AddBinaryParam(TVexoAbecsCommand& ACommand, uint16_t ATag, const ByteString& AValue) {
    ACommand.AddParamFromTagData(ATag, AValue);
}

ByteString OneByte(uint8_t AValue) {
    return ByteString(1, static_cast<char>(AValue));
}

bool AllDigits(const std::string& AText, size_t ALength) {
    return AText.size() == ALength && EhNumerico(AText);
}

const char* Flag(bool AValue) {
    return AValue ? "-1" : "0";
}

} // namespace

void TVexoAbecsPinPad::DSP(const std::string& DSP_MSG) {
    LogText("DSP( " + DSP_MSG + " )");
    Reset(*fCommand, "DSP", false);
    fCommand->AddParamFromData(TextToAnsi(FormatMSG_S32(DSP_MSG)));
    ExecCommand(true);
}

void TVexoAbecsPinPad::DSP(const std::string& Line1, const std::string& Line2) {
    DSP(Line1 + CR + Line2);
}

void TVexoAbecsPinPad::DEX(const std::string& DEX_MSG) {
    GetPinPadCapabilities();
    LogText("DEX( " + DEX_MSG + " )");
    Reset(*fCommand, "DEX", false);
    const ByteString text = TextToAnsi(FormatSPE_DSPMSG(DEX_MSG));
    fCommand->AddParamFromData(Format("%.3d", static_cast<int>(text.size())) + text);
    ExecCommand(true);
}

void TVexoAbecsPinPad::RMC(const std::string& RMC_MSG) {
    LogText("RMC( " + RMC_MSG + " )");
    Reset(*fCommand, "RMC", true);
    fCommand->AddParamFromData(TextToAnsi(FormatMSG_S32(RMC_MSG)));
    ExecCommand(true);
}

void TVexoAbecsPinPad::RMC(const std::string& Line1, const std::string& Line2) {
    RMC(Line1 + CR + Line2);
}

// The key code is the answer itself, so no return code is turned into an error here.
int32_t TVexoAbecsPinPad::GKY() {
    LogText("GKY");
    Reset(*fCommand, "GKY", true);
    ExecCommand(false);
    return fResponse->STAT();
}

std::string TVexoAbecsPinPad::GCD(uint16_t ASPE_MSGIDX, uint8_t ASPE_MINDIG, uint8_t ASPE_MAXDIG,
                                  uint8_t ASPE_TIMEOUT) {
    LogText(Format("GCD( %d, %d, %d, %d) ", ASPE_MSGIDX, ASPE_MINDIG, ASPE_MAXDIG, ASPE_TIMEOUT));
    Reset(*fCommand, "GCD", true);
    AddBinaryParam(*fCommand, SPE_MSGIDX, InteiroParaBytes(ASPE_MSGIDX, 2));
    if (ASPE_MINDIG > 0) AddBinaryParam(*fCommand, SPE_MINDIG, OneByte(ASPE_MINDIG));
    if (ASPE_MAXDIG > 0) AddBinaryParam(*fCommand, SPE_MAXDIG, OneByte(ASPE_MAXDIG));
    if (ASPE_TIMEOUT > 0) AddBinaryParam(*fCommand, SPE_TIMEOUT, OneByte(ASPE_TIMEOUT));
    ExecCommand(true);
    return AnsiToText(fResponse->GetResponseFromTagValue(PP_VALUE));
}

// A value outside the 53 prompts (a caller casting "nothing selected") has no name and no limits;
// it is refused before anything is sent rather than read past the end of the tables.
std::string TVexoAbecsPinPad::GCD(TVexoAbecsMSGIDX MSGIDX, uint8_t ASPE_TIMEOUT) {
    const auto index = static_cast<size_t>(MSGIDX);
    const bool known = index < kVexoAbecsMSGIDXCount;
    const std::string name = known ? MSGIDXNames[index] : std::to_string(index);
    LogText(Format("GCD( %s, %d )", name.c_str(), ASPE_TIMEOUT));
    if (!known) DoException(Format("Invalid value for %s param", "SPE_MSGIDX"));
    const TVexoAbecsGCDPromptLimits limits = GCDPromptTable[index];
    return GCD(static_cast<uint16_t>(index + 1), limits.MinDig, limits.MaxDig, ASPE_TIMEOUT);
}

std::string TVexoAbecsPinPad::MNU(const std::vector<std::string>& ASPE_MNUOPT, const std::string& ASPE_DSPMSG,
                                  uint8_t ASPE_TIMEOUT) {
    return MNU(std::span<const std::string>(ASPE_MNUOPT), ASPE_DSPMSG, ASPE_TIMEOUT);
}

std::string TVexoAbecsPinPad::MNU(std::span<const std::string> ASPE_MNUOPT, const std::string& ASPE_DSPMSG,
                                  uint8_t ASPE_TIMEOUT) {
    GetPinPadCapabilities();
    std::string options;
    for (const std::string& option : ASPE_MNUOPT)
        options += option;
    LogText("MNU( " + std::to_string(ASPE_TIMEOUT) + ", " + ASPE_DSPMSG + ", " + options + " )");
    Reset(*fCommand, "MNU", true);
    if (ASPE_TIMEOUT > 0) AddBinaryParam(*fCommand, SPE_TIMEOUT, OneByte(ASPE_TIMEOUT));
    fCommand->AddParamFromTagValue(SPE_DSPMSG, FormatSPE_DSPMSG(ASPE_DSPMSG));
    // Cut after the code-page conversion, so 24 characters are 24 bytes on the wire.
    for (const std::string& option : ASPE_MNUOPT)
        AddBinaryParam(*fCommand, SPE_MNUOPT, TextToAnsi(option).substr(0, kMaxMenuOptionSize));
    ExecCommand(true);
    return AnsiToText(fResponse->GetResponseFromTagValue(PP_VALUE));
}

void TVexoAbecsPinPad::CEX(const std::string& ASPE_CEXOPT, uint8_t ASPE_TIMEOUT,
                           const std::string& ASPE_PANMASK_LLRR) {
    LogText("CEX( " + ASPE_CEXOPT + ", " + std::to_string(ASPE_TIMEOUT) + ", " + ASPE_PANMASK_LLRR + " )");
    Reset(*fCommand, "CEX", true);
    const std::string options = Trim(ASPE_CEXOPT);
    // "000000" asks for no event at all: the PIN pad would wait for nothing.
    if (!AllDigits(options, 6) || options == "000000")
        DoException(Format("Invalid value for %s param", "SPE_CEXOPT"));
    fCommand->AddParamFromTagValue(SPE_CEXOPT, options);
    if (ASPE_TIMEOUT > 0) AddBinaryParam(*fCommand, SPE_TIMEOUT, OneByte(ASPE_TIMEOUT));
    if (!ASPE_PANMASK_LLRR.empty()) {
        const std::string mask = Trim(ASPE_PANMASK_LLRR);
        if (!AllDigits(mask, 4)) DoException(Format("Invalid value for %s param", "SPE_PANMASK"));
        fCommand->AddParamFromTagValue(SPE_PANMASK, mask);
    }
    ExecCommand(true);
}

void TVexoAbecsPinPad::CEX(bool VerifyKey, bool VerifyMagnetic, bool VerifyICCInsertion,
                           bool VerifyICCRemoval, bool VerifyCTLSPresence, uint8_t ASPE_TIMEOUT,
                           const std::string& ASPE_PANMASK_LLRR) {
    LogText(std::string("CEX: VerifyKey: ") + Flag(VerifyKey) + ", VerifyMagnetic: " + Flag(VerifyMagnetic) +
            ", VerifyICCInsertion: " + Flag(VerifyICCInsertion) + ", VerifyICCRemoval: " +
            Flag(VerifyICCRemoval) + ", VerifyCTLSPresence: " + Flag(VerifyCTLSPresence) +
            ", SPE_TIMEOUT: " + std::to_string(ASPE_TIMEOUT) + ", SPE_PANMASK_LLRR: " + ASPE_PANMASK_LLRR);
    std::string options;
    options += VerifyKey ? '1' : '0';
    options += VerifyMagnetic ? '1' : '0';
    // Insertion and removal share one position; insertion wins when both are asked for.
    options += VerifyICCInsertion ? '1' : VerifyICCRemoval ? '2' : '0';
    options += VerifyCTLSPresence ? '1' : '0';
    options += "00";
    CEX(options, ASPE_TIMEOUT, ASPE_PANMASK_LLRR);
}

} // namespace vexo
