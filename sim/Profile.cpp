#include "sim/Profile.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/NumberText.h"
#include "util/Strings.h"
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kestrel::sim {

using namespace vexo;

namespace {

std::string Digits(int AValue, int AWidth) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", AWidth, AValue);
    return text;
}

std::map<uint16_t, ByteString> CommonItems() {
    return {
        {PP_MNNAME, "KESTREL"},
        {PP_SOVER, "KSIM OS 1.0"},
        {PP_SPECVER, "2.12"},
        {PP_MANVERS, "1.0.0"},
        {PP_APPVERS, "1.0.0"},
        {PP_GENVERS, "1.0.0"},
        {PP_KRNLVER, "EMV 4.3"},
        {PP_MKTDESP, std::string(100, '0')},
        {PP_MKTDESD, std::string(100, '0')},
        {PP_DKPTTDESP, std::string(100, '0')},
        {PP_DKPTTDESD, std::string(100, '0')},
        {PP_DEVTYPE, "1"},
        {static_cast<uint16_t>(PP_TABVER00 + 1), "0000000001"},
    };
}

bool ParseBool(const std::string& AValue, bool& AOut) {
    const std::string v = UpperCase(AValue);
    if (v == "YES" || v == "TRUE" || v == "1" || v == "ON") return AOut = true, true;
    if (v == "NO" || v == "FALSE" || v == "0" || v == "OFF") return AOut = false, true;
    return false;
}

// The media memory a profile may give: the size of a file is announced in 32 bits.
constexpr int64_t kMaxMediaMemory = int64_t{4} * 1024 * 1024 * 1024;

// A number of a profile key; raises vexo::Exception naming the key and the range.
int Whole(const std::string& AKey, const std::string& AValue, int AMax) {
    return static_cast<int>(ParseInteger(AValue, AKey, 0, AMax));
}

std::vector<std::string> Words(const std::string& AText) {
    std::vector<std::string> words;
    std::istringstream in(AText);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// One "key = value" line into the profile; false when the key or value is not understood.
bool Apply(Profile& AProfile, const std::string& AKey, const std::string& AValue) {
    const std::string key = UpperCase(AKey);
    if (key == "NAME") return AProfile.Name = AValue, true;
    if (key.starts_with("PP_")) {
        const auto tag = PPNameToTag(key);
        if (!tag) return false;
        AProfile.Items[*tag] = TextToAnsi(AValue);
        return true;
    }
    if (key == "TEXT_ROWS") return AProfile.TextRows = Whole(key, AValue, 99), true;
    if (key == "TEXT_COLS") return AProfile.TextCols = Whole(key, AValue, 99), true;
    if (key == "PIXEL_HEIGHT") return AProfile.PixelRows = Whole(key, AValue, 9999), true;
    if (key == "PIXEL_WIDTH") return AProfile.PixelCols = Whole(key, AValue, 9999), true;
    if (key == "MEDIA_MEMORY") {
        const int64_t size = ParseInteger(AValue, key, 0, kMaxMediaMemory, TNumberSuffix::Size);
        return AProfile.MediaMemory = static_cast<uint64_t>(size), true;
    }
    if (key == "DEFAULT_TIMEOUT") return AProfile.DefaultTimeout = Whole(key, AValue, 255), true;
    if (key == "CONTACTLESS") return ParseBool(AValue, AProfile.Contactless);
    if (key == "CONTACTLESS_TIMEOUT") return AProfile.ContactlessTimeout = Whole(key, AValue, 3600), true;
    if (key == "SESSION") {
        const std::string v = UpperCase(AValue);
        if (v != "STRICT" && v != "IMPLICIT") return false;
        AProfile.StrictSession = v == "STRICT";
        return true;
    }
    if (key == "BREAK_NO_EOT") return ParseBool(AValue, AProfile.Breaks.NoEotAfterCan);
    if (key == "BREAK_IGNORE_NAK") return ParseBool(AValue, AProfile.Breaks.IgnoreNak);
    if (key == "BREAK_MLE_CRC") return ParseBool(AValue, AProfile.Breaks.AcceptBadMleCrc);
    if (key == "BREAK_LEFTOVER") return ParseBool(AValue, AProfile.Breaks.LeftoverAfterAbort);
    if (key == "BREAK_LATE_EOT") return ParseBool(AValue, AProfile.Breaks.LateEot);
    if (key == "BREAK_ANSWER_AFTER_EOT") return ParseBool(AValue, AProfile.Breaks.AnswerAfterEot);
    if (key == "ANSWER_DELAY") {
        // "GIX-ALL:8000 MLE:200"; "none" clears them.
        std::map<std::string, int> delays;
        for (const auto& word : Words(UpperCase(AValue))) {
            if (word == "NONE") continue;
            const auto colon = word.find(':');
            if (colon == std::string::npos) return false;
            const std::string name = word.substr(0, colon);
            if (name.size() != 3 && name != "GIX-ALL") return false;
            delays[name] = Whole(key + " " + name, word.substr(colon + 1), 600000);
        }
        AProfile.AnswerDelayMs = std::move(delays);
        return true;
    }
    if (key == "DISPLAY") {
        const std::string v = UpperCase(AValue);
        if (v == "TEXT")
            AProfile.Display = Profile::Screen::Text;
        else if (v == "MONO")
            AProfile.Display = Profile::Screen::Mono;
        else if (v == "COLOR" || v == "COLOUR")
            AProfile.Display = Profile::Screen::Color;
        else
            return false;
        return true;
    }
    if (key == "MEDIA_FORMATS") {
        AProfile.Png = AProfile.Jpeg = AProfile.Gif = false;
        for (const auto& word : Words(UpperCase(AValue))) {
            if (word == "PNG")
                AProfile.Png = true;
            else if (word == "JPEG" || word == "JPG")
                AProfile.Jpeg = true;
            else if (word == "GIF")
                AProfile.Gif = true;
            else if (word != "NONE")
                return false;
        }
        return true;
    }
    if (key == "PNG_FORM") {
        const std::string v = UpperCase(AValue);
        if (v != "SMALLEST" && v != "RGB8") return false;
        AProfile.PngTruecolourOnly = v == "RGB8";
        return true;
    }
    if (key == "OPEN_COMMANDS") {
        AProfile.OpenCommands.clear();
        for (const auto& word : Words(UpperCase(AValue)))
            AProfile.OpenCommands.insert(word);
        return true;
    }
    return false;
}

} // namespace

ByteString Profile::Item(uint16_t AID) const {
    if (auto it = Items.find(AID); it != Items.end()) return it->second;
    switch (AID) {
    case PP_CAPAB: {
        std::string capab(10, '0');
        capab[0] = Contactless ? '1' : '0';
        capab[1] = Display == Screen::Color ? '2' : Display == Screen::Mono ? '1' : '0';
        return capab;
    }
    case PP_DSPTXTSZ:
        return Digits(TextRows, 2) + Digits(TextCols, 2);
    case PP_DSPGRSZ:
        return IsGraphic() ? Digits(PixelRows, 4) + Digits(PixelCols, 4) : "00000000";
    case PP_MFSUP:
        return std::string(Png ? "1" : "0") + (Jpeg ? "1" : "0") + (Gif ? "1" : "0");
    default:
        return {};
    }
}

int Profile::AnswerDelay(const std::string& ACommand, bool AEveryItem) const {
    if (AEveryItem && ACommand == "GIX")
        if (auto it = AnswerDelayMs.find("GIX-ALL"); it != AnswerDelayMs.end()) return it->second;
    const auto it = AnswerDelayMs.find(ACommand);
    return it == AnswerDelayMs.end() ? 0 : it->second;
}

std::vector<uint16_t> Profile::ItemIds() const {
    std::set<uint16_t> ids{PP_CAPAB, PP_DSPTXTSZ, PP_DSPGRSZ, PP_MFSUP};
    for (const auto& [id, value] : Items)
        ids.insert(id);
    return {ids.begin(), ids.end()};
}

Profile Profile::Graphic() {
    Profile p;
    p.Items = CommonItems();
    p.Items[PP_SERNUM] = "KS20260000000001";
    p.Items[PP_PARTNBR] = "KSIM-G-320";
    p.Items[PP_MODEL] = "KESTREL SIM G320;8MB";
    // Contactless kernels: only a PIN pad with an antenna reports them.
    for (uint16_t id : {PP_CTLSVER, PP_MCTLSVER, PP_VCTLSVER, PP_AECTLSVER, PP_DPCTLSVER, PP_PUREVER})
        p.Items[id] = "1.0";
    return p;
}

Profile Profile::GraphicGif() {
    Profile p = Graphic();
    p.Name = "graphic-gif";
    p.Gif = true;
    return p;
}

// What a Gertec PPC-930 reports of itself; it needs about 8 s to answer a GIX of every item.
Profile Profile::Ppc930() {
    Profile p;
    p.Name = "ppc930";
    p.Items = CommonItems();
    p.Items[PP_MNNAME] = "GERTEC";
    p.Items[PP_MODEL] = "PPC-930;192MB";
    p.Items[PP_SERNUM] = "KS20260000000930";
    p.Items[PP_PARTNBR] = "PPC930";
    p.Items[PP_SPECVER] = "2.12";
    p.Items[PP_CAPAB] = "1200000000";
    p.Items[PP_DSPTXTSZ] = "0816";
    p.Items[PP_DSPGRSZ] = "03200240";
    p.Items[PP_MFSUP] = "11";
    for (uint16_t id : {PP_CTLSVER, PP_MCTLSVER, PP_VCTLSVER, PP_AECTLSVER, PP_DPCTLSVER, PP_PUREVER})
        p.Items[id] = "1.0";
    p.TextRows = 8;
    p.TextCols = 16;
    p.PixelRows = 320; // a portrait screen: 320 rows of 240 pixels
    p.PixelCols = 240;
    p.AnswerDelayMs["GIX-ALL"] = 8000;
    return p;
}

Profile Profile::RuleBreaker() {
    Profile p = Graphic();
    p.Name = "rule-breaker";
    // The late kinds of a broken abort stay off: with no EOT at all they would have nothing to delay.
    p.Breaks = {true, true, true, true, false, false};
    return p;
}

std::vector<std::string> Profile::BreakNames() {
    return {"no_eot", "ignore_nak", "mle_crc", "leftover", "late_eot", "answer_after_eot"};
}

void Profile::Set(const std::string& AKey, const std::string& AValue) {
    try {
        if (Apply(*this, Trim(AKey), Trim(AValue))) return;
    } catch (const vexo::Exception& e) {
        throw std::runtime_error(std::string("profile: ") + e.what());
    }
    throw std::runtime_error("profile: cannot use " + AKey + " = " + AValue);
}

Profile Profile::TextOnly() {
    Profile p;
    p.Name = "text";
    p.Items = CommonItems();
    p.Items[PP_SERNUM] = "KS20260000000002";
    p.Items[PP_PARTNBR] = "KSIM-T-216";
    p.Items[PP_MODEL] = "KESTREL SIM T216;2MB";
    p.TextRows = 2;
    p.TextCols = 16;
    p.PixelRows = p.PixelCols = 0;
    p.Display = Screen::Text;
    p.Contactless = false;
    p.Png = p.Jpeg = p.Gif = false;
    p.MediaMemory = 0;
    return p;
}

std::vector<std::string> Profile::BuiltinNames() {
    return {"graphic", "graphic-gif", "text", "ppc930", "rule-breaker"};
}

Profile Profile::Load(const std::string& ANameOrPath) {
    if (ANameOrPath.empty() || ANameOrPath == "graphic") return Graphic();
    if (ANameOrPath == "graphic-gif") return GraphicGif();
    if (ANameOrPath == "text") return TextOnly();
    if (ANameOrPath == "ppc930") return Ppc930();
    if (ANameOrPath == "rule-breaker") return RuleBreaker();
    std::ifstream in(ANameOrPath);
    if (!in) throw std::runtime_error("no built-in profile and no readable file named " + ANameOrPath);
    std::stringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

Profile Profile::Parse(const std::string& AText) {
    std::istringstream in(AText);
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string base = "graphic";
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            throw std::runtime_error("profile line " + std::to_string(number) + ": expected key = value");
        std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
        if (UpperCase(key) == "BASE")
            base = value;
        else
            pairs.emplace_back(key + "\n" + std::to_string(number), value);
    }
    const auto builtins = BuiltinNames();
    if (std::find(builtins.begin(), builtins.end(), base) == builtins.end())
        throw std::runtime_error("profile: unknown base " + base);
    Profile profile = Load(base);
    for (const auto& [keyLine, value] : pairs) {
        const auto cut = keyLine.find('\n');
        const std::string where = "profile line " + keyLine.substr(cut + 1) + ": ";
        try {
            if (Apply(profile, keyLine.substr(0, cut), value)) continue;
        } catch (const vexo::Exception& e) {
            throw std::runtime_error(where + e.what());
        }
        throw std::runtime_error(where + "cannot use " + keyLine.substr(0, cut) + " = " + value);
    }
    return profile;
}

} // namespace kestrel::sim
