#include "pinpad/VexoAbecsPinPad.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/Strings.h"

#include <charconv>

namespace vexo {
namespace {

constexpr char CR = '\r';

// The capability items asked for, in the order they go in the request (PP_SOVER is not wanted).
constexpr uint16_t kCapabilityIds[] = {PP_SERNUM,  PP_PARTNBR,  PP_MODEL,   PP_MNNAME, PP_CAPAB,
                                       PP_SPECVER, PP_DSPTXTSZ, PP_DSPGRSZ, PP_MFSUP};

std::string TrimLeft(std::string_view AText) {
    size_t b = 0;
    while (b < AText.size() && static_cast<unsigned char>(AText[b]) <= ' ')
        ++b;
    return std::string(AText.substr(b));
}

// Characters AFrom..ATo (1-based) as a decimal number; absent or unreadable gives 0.
uint32_t DigitsAt(const ByteString& AValue, size_t AFrom, size_t ATo) {
    if (AFrom > AValue.size()) return 0;
    const std::string_view part = std::string_view(AValue).substr(AFrom - 1, ATo - AFrom + 1);
    if (!EhNumerico(part)) return 0;
    uint32_t n = 0;
    const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), n);
    return ec == std::errc() && end == part.data() + part.size() ? n : 0;
}

bool CharIsOne(const ByteString& AValue, size_t APos) {
    return APos <= AValue.size() && AValue[APos - 1] == '1';
}

// Both decimal separators are accepted; with several, only the last one counts.
double ParseVersion(ByteString AValue) {
    for (char& c : AValue)
        if (c == ',') c = '.';
    const size_t last = AValue.rfind('.');
    ByteString s;
    for (size_t i = 0; i < AValue.size(); ++i)
        if (AValue[i] != '.' || i == last) s += AValue[i];
    if (s.empty()) return 0;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() ? v : 0;
}

TVexoAbecsPinPadCapabilities ReadCapabilities(const TVexoAbecsResponse& AResponse) {
    auto item = [&AResponse](uint16_t ATag) { return Trim(AResponse.GetResponseFromTagValue(ATag)); };
    TVexoAbecsPinPadCapabilities c;
    c.SerialNumber = AnsiToText(item(PP_SERNUM));
    c.PartNumber = AnsiToText(item(PP_PARTNBR));
    const ByteString model = item(PP_MODEL);
    const size_t semi = model.find(';');
    c.Model = AnsiToText(model.substr(0, semi));
    c.Memory = semi == ByteString::npos ? std::string() : AnsiToText(model.substr(semi + 1));
    c.Manufacturer = AnsiToText(item(PP_MNNAME));
    ByteString capab = item(PP_CAPAB);
    capab.resize(10, '0');
    c.SupportContactless = capab[0] == '1';
    const int display = capab[1] >= '0' && capab[1] <= '9' ? capab[1] - '0' : 0;
    c.DisplayIsGraphic = display > 0;
    c.DisplayIsColor = display > 1;
    c.SpecificationVersion = ParseVersion(item(PP_SPECVER));
    const ByteString text = item(PP_DSPTXTSZ);
    c.DisplayTextModeDimensions = {DigitsAt(text, 1, 2), DigitsAt(text, 3, 4)};
    const ByteString graphic = item(PP_DSPGRSZ);
    c.DisplayGraphicPixels = {DigitsAt(graphic, 1, 4), DigitsAt(graphic, 5, 8)};
    const ByteString media = item(PP_MFSUP);
    c.MediaPNGisSupported = CharIsOne(media, 1);
    c.MediaJPGisSupported = CharIsOne(media, 2);
    c.MediaGIFisSupported = CharIsOne(media, 3);
    return c;
}

} // namespace

void TVexoAbecsPinPad::OPN() {
    LogText("OPN");
    fCommand->Clear();
    fCommand->SetID("OPN");
    ExecCommand(true);
    GetPinPadCapabilities();
}

void TVexoAbecsPinPad::OPN(const std::string& /*OPN_MOD*/, const std::string& /*OPN_EXP*/) {
    DoException(Format("%s is not implemented yet", "OPN Secure"));
}

void TVexoAbecsPinPad::CLO(const std::string& CLO_MSG) {
    LogText("CLO( " + CLO_MSG + " )");
    fCommand->Clear();
    fCommand->SetID("CLO");
    if (!CLO_MSG.empty()) fCommand->AddParamFromData(TextToAnsi(FormatMSG_S32(CLO_MSG)));
    ExecCommand(true);
    ClearSecureData();
    ClearCapabilities();
}

void TVexoAbecsPinPad::CLO(const std::string& Line1, const std::string& Line2) {
    CLO(Line1 + CR + Line2);
}

void TVexoAbecsPinPad::CLX(const std::string& SPE_DSPMSG_or_SPE_MFNAME) {
    GetPinPadCapabilities();
    LogText("CLX( " + SPE_DSPMSG_or_SPE_MFNAME + " )");
    fCommand->Clear();
    fCommand->SetID("CLX");
    const std::string s = TrimLeft(SPE_DSPMSG_or_SPE_MFNAME);
    if (s.size() == 8 && EhAlfanumerico(s))
        fCommand->AddParamFromTagValue(SPE_MFNAME, s);
    else if (!s.empty())
        fCommand->AddParamFromTagValue(SPE_DSPMSG, FormatSPE_DSPMSG(s));
    ExecCommand(true);
    ClearSecureData();
    ClearCapabilities();
}

void TVexoAbecsPinPad::GIN(uint8_t GIN_ACQIDX) {
    LogText(Format("GIN( %d )", GIN_ACQIDX));
    fCommand->Clear();
    fCommand->SetID("GIN");
    fCommand->AddParamFromData(Format("%.2d", GIN_ACQIDX));
    ExecCommand(true);
}

void TVexoAbecsPinPad::GIX() {
    GIX(std::vector<uint16_t>{});
}

void TVexoAbecsPinPad::GIX(const std::vector<uint16_t>& PP_DATA) {
    LogText("GIX");
    fCommand->Clear();
    fCommand->SetID("GIX");
    ByteString list;
    for (uint16_t id : PP_DATA)
        list += InteiroParaBytes(id, 2);
    if (!list.empty()) {
        LogData(2, "   ", list);
        // The ids are raw bytes, not text.
        fCommand->AddParamFromTagData(SPE_IDLIST, list);
    }
    ExecCommand(true);
}

TVexoAbecsPinPadCapabilities TVexoAbecsPinPad::GetPinPadCapabilities() {
    if (!fPinPadCapabilities.SerialNumber.empty()) return fPinPadCapabilities;
    ClearCapabilities();
    Log(2, "- GetPinPadCapabilities");
    GIX(std::vector<uint16_t>(std::begin(kCapabilityIds), std::end(kCapabilityIds)));
    fPinPadCapabilities = ReadCapabilities(*fResponse);
    return fPinPadCapabilities;
}

} // namespace vexo
