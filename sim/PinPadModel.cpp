#include "sim/PinPadModel.h"
#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsCommandSet.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTLV.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/Strings.h"
#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kestrel::sim {

using namespace vexo;

namespace {

constexpr size_t kMaxBlock = 999;
constexpr size_t kShortMessage = 32;   // DSP, RMC and CLO: two lines of 16
constexpr size_t kMaxDexMessage = 160; // whatever the display's size
constexpr size_t kMaxMenuOption = 24;
constexpr int kMaxGcdDigits = 32;
constexpr int kPromptCount = 53;
constexpr int kBigRandomSize = 900; // PP_BIGRAND

// The PIN pad's own texts for the GCD prompts, by prompt number from 1.
const char* const kPrompts[kPromptCount] = {
    "DIGITE O DDD",
    "REDIGITE O DDD",
    "DIGITE O TELEFONE",
    "REDIGITE O TELEFONE",
    "DIGITE DDD E TELEFONE",
    "REDIGITE DDD E TELEFONE",
    "DIGITE O CPF",
    "REDIGITE O CPF",
    "DIGITE O RG",
    "REDIGITE O RG",
    "DIGITE OS 4 ULTIMOS DIGITOS",
    "DIGITE O CODIGO DE SEGURANCA",
    "DIGITE O CNPJ",
    "REDIGITE O CNPJ",
    "DIGITE A DATA (DDMMAAAA)",
    "DIGITE A DATA (DDMMAA)",
    "DIGITE A DATA (DDMM)",
    "DIGITE O DIA (DD)",
    "DIGITE O MES (MM)",
    "DIGITE O ANO (AA)",
    "DIGITE O ANO (AAAA)",
    "DATA DE NASCIMENTO (DDMMAAAA)",
    "DATA DE NASCIMENTO (DDMMAA)",
    "DATA DE NASCIMENTO (DDMM)",
    "DIA DE NASCIMENTO (DD)",
    "MES DE NASCIMENTO (MM)",
    "ANO DE NASCIMENTO (AA)",
    "ANO DE NASCIMENTO (AAAA)",
    "DIGITE A IDENTIFICACAO",
    "CODIGO DE FIDELIDADE",
    "NUMERO DA MESA",
    "QUANTIDADE DE PESSOAS",
    "QUANTIDADE",
    "NUMERO DA BOMBA",
    "NUMERO DA VAGA",
    "NUMERO DO GUICHE",
    "CODIGO DO VENDEDOR",
    "CODIGO DO GARCOM",
    "NOTA DO ATENDIMENTO",
    "NUMERO DA NOTA FISCAL",
    "NUMERO DA COMANDA",
    "PLACA DO VEICULO",
    "DIGITE A QUILOMETRAGEM",
    "QUILOMETRAGEM INICIAL",
    "QUILOMETRAGEM FINAL",
    "DIGITE A PORCENTAGEM",
    "PESQUISA DE SATISFACAO 0 A 10",
    "AVALIE O ATENDIMENTO 0 A 10",
    "DIGITE O TOKEN",
    "DIGITE O NUMERO DO CARTAO",
    "NUMERO DE PARCELAS",
    "CODIGO DO PLANO",
    "CODIGO DO PRODUTO",
};

// A text cut into rows of AWidth at blanks where it can be.
std::vector<std::string> Wrap(const std::string& AText, size_t AWidth) {
    std::vector<std::string> rows;
    std::string rest = AText;
    while (AWidth > 0 && rest.size() > AWidth) {
        size_t cut = rest.rfind(' ', AWidth);
        if (cut == std::string::npos || cut == 0) cut = AWidth;
        rows.push_back(Trim(rest.substr(0, cut)));
        rest = Trim(rest.substr(cut));
    }
    rows.push_back(rest);
    return rows;
}

// The TLV items of a command, in order.
struct Params {
    std::vector<std::pair<uint16_t, ByteString>> Items;

    const ByteString* Find(uint16_t ATag) const {
        for (const auto& [tag, value] : Items)
            if (tag == ATag) return &value;
        return nullptr;
    }
    std::vector<ByteString> All(uint16_t ATag) const {
        std::vector<ByteString> values;
        for (const auto& [tag, value] : Items)
            if (tag == ATag) values.push_back(value);
        return values;
    }
};

// Every block must be a whole run of TLVs: a device cannot guess at a truncated parameter.
bool ParseParams(const SimCommand& ACommand, Params& AParams) {
    std::vector<TVexoAbecsTLVSpan> items;
    for (const auto& block : ACommand.Blocks) {
        items.clear();
        if (SplitTLVs(block, items)) return false;
        for (const TVexoAbecsTLVSpan& item : items)
            AParams.Items.emplace_back(item.Tag, ByteString(item.Value));
    }
    return true;
}

std::string Fixed(std::string_view AText, size_t AWidth) {
    std::string text(AText.substr(0, AWidth));
    text.resize(AWidth, ' ');
    return text;
}

// A media name as hosts send it: 8 bytes, letters and digits, then blanks, at least one letter
// or digit.
bool ValidMediaName(const ByteString& AName) {
    if (AName.size() != 8) return false;
    size_t end = AName.find_last_not_of(' ');
    if (end == std::string::npos) return false;
    for (size_t i = 0; i <= end; ++i)
        if (!std::isalnum(static_cast<unsigned char>(AName[i])) || static_cast<unsigned char>(AName[i]) > 127)
            return false;
    return true;
}

std::string MediaKey(std::string_view AName) {
    return UpperCase(Trim(AName));
}

bool LooksLike(const ByteString& AData, int AType) {
    switch (AType) {
    case 1:
        return AData.rfind("\x89PNG\r\n\x1A\n", 0) == 0;
    case 2:
        return AData.size() >= 3 && AData.compare(0, 3, "\xFF\xD8\xFF") == 0;
    case 3:
        return AData.rfind("GIF87a", 0) == 0 || AData.rfind("GIF89a", 0) == 0;
    default:
        return false;
    }
}

// A PNG whose IHDR chunk declares 8-bit truecolour (colour type 2 or 6), the only form the decoders of
// some PIN pads take.
bool TruecolourPng(const ByteString& AData) {
    if (AData.size() < 26 || AData.compare(12, 4, "IHDR") != 0) return false;
    const int depth = static_cast<unsigned char>(AData[24]), type = static_cast<unsigned char>(AData[25]);
    return depth == 8 && (type == 2 || type == 6);
}

// The lines of a display message: each ended by CR; a last line without CR counts too.
std::vector<std::string> SplitLines(std::string_view AText) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < AText.size()) {
        const size_t cr = AText.find('\r', start);
        if (cr == std::string_view::npos) {
            lines.emplace_back(AText.substr(start));
            break;
        }
        lines.emplace_back(AText.substr(start, cr - start));
        start = cr + 1;
    }
    return lines;
}

// Two lines of 16 from a DSP, RMC or CLO block.
std::vector<std::string> ShortMessageLines(const ByteString& ABlock) {
    std::vector<std::string> lines;
    if (!ABlock.empty()) lines.push_back(AnsiToText(ABlock.substr(0, 16)));
    if (ABlock.size() > 16) lines.push_back(AnsiToText(ABlock.substr(16)));
    return lines;
}

// The PAN of a track keeps its first LL and last RR digits; the others become '*'.
std::string MaskTrack(const std::string& ATrack, const std::string& AMask) {
    if (ATrack.empty()) return ATrack;
    const int left = std::stoi(AMask.substr(0, 2)), right = std::stoi(AMask.substr(2, 2));
    const size_t start = ATrack[0] == 'B' || ATrack[0] == 'b' ? 1 : 0;
    size_t end = ATrack.find_first_of("^=", start);
    if (end == std::string::npos) end = ATrack.size();
    std::string masked = ATrack;
    const int length = static_cast<int>(end - start);
    for (int i = 0; i < length; ++i)
        if (i >= left && i < length - right) masked[start + size_t(i)] = '*';
    return masked;
}

bool SingleByte(const ByteString* AValue, int& AOut) {
    if (!AValue) return true;
    if (AValue->size() != 1) return false;
    AOut = static_cast<unsigned char>((*AValue)[0]);
    return true;
}

} // namespace

// --- SimCommand and SimReply ---------------------------------------------------------------

bool SimCommand::Parse(std::string_view AData, SimCommand& ACommand) {
    ACommand = {};
    if (AData.size() < 3) {
        ACommand.Fault = TVexoAbecsCodecFault{0, "no command name"}.Describe();
        return false;
    }
    ACommand.Name = std::string(AData.substr(0, 3));
    std::vector<TVexoAbecsBlockSpan> blocks;
    auto fault = SplitBlocks(AData.substr(3), blocks, 3);
    if (!fault && UsesTLVItems(ACommand.Name)) {
        std::vector<TVexoAbecsTLVSpan> items;
        for (const TVexoAbecsBlockSpan& block : blocks)
            if ((fault = SplitTLVs(block.Data, items, block.Offset + 3))) break;
    }
    if (fault) {
        ACommand.Fault = fault->Describe();
        return false;
    }
    for (const TVexoAbecsBlockSpan& block : blocks)
        ACommand.Blocks.emplace_back(block.Data);
    return true;
}

SimReply& SimReply::AddData(ByteString AData) {
    Blocks.push_back(std::move(AData));
    return *this;
}

SimReply& SimReply::AddTLV(uint16_t ATag, const ByteString& AValue) {
    // Values longer than one TLV go as several items of the same tag, as hosts join them.
    size_t p = 0;
    do {
        const ByteString piece = AValue.substr(p, TVexoAbecsTLV::MaxDataSize);
        const ByteString wire = TLVWireForm(ATag, piece);
        if (Blocks.empty() || Blocks.back().size() + wire.size() > kMaxBlock) Blocks.emplace_back();
        Blocks.back() += wire;
        p += piece.size();
    } while (p < AValue.size());
    return *this;
}

ByteString SimReply::DataField() const {
    char status[8];
    std::snprintf(status, sizeof status, "%03d", Status % 1000);
    ByteString data = Name + status;
    for (const auto& block : Blocks)
        data += BlockWireForm(block);
    return data;
}

// --- model ---------------------------------------------------------------------------------

PinPadModel::PinPadModel(Profile AProfile) : fProfile(std::move(AProfile)), fRandom(std::random_device{}()) {
    fDisplay.Rows = fProfile.TextRows;
    fDisplay.Cols = fProfile.TextCols;
    fDisplay.Clear(fProfile.TextRows);
}

void PinPadModel::Reset(Profile AProfile) {
    std::lock_guard lock(fMutex);
    fProfile = std::move(AProfile);
    fDisplay = VirtualDisplay{};
    fDisplay.Rows = fProfile.TextRows;
    fDisplay.Cols = fProfile.TextCols;
    fDisplay.Clear(fProfile.TextRows);
    fMedia.clear();
    fSession = false;
    fCardInserted = false;
    fLoad.reset();
    fWait.reset();
    Touch();
}

// An error response is the name and the status, nothing more.
std::optional<SimReply> PinPadModel::Bare(std::optional<SimReply> AReply) {
    if (AReply && AReply->Status != ST_OK) AReply->Blocks.clear();
    return AReply;
}

std::optional<SimReply> PinPadModel::Execute(const SimCommand& ACommand) {
    std::lock_guard lock(fMutex);
    fWait.reset();
    Touch();
    return Bare(Run(ACommand.Name, ACommand));
}

int PinPadModel::AnswerDelay(const SimCommand& ACommand) const {
    std::lock_guard lock(fMutex);
    bool everyItem = false;
    if (ACommand.Name == "GIX") {
        Params params;
        everyItem = !ParseParams(ACommand, params) || !params.Find(SPE_IDLIST);
    }
    return fProfile.AnswerDelay(ACommand.Name, everyItem);
}

std::optional<SimReply> PinPadModel::Run(const std::string& AName, const SimCommand& ACommand) {
    using Handler = std::optional<SimReply> (*)(PinPadModel&, const SimCommand&);
    struct Entry {
        const char* Name;
        Handler Run;
        bool Media;
    };
    static const Entry kCommands[] = {
        {"OPN", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.OPN(c); },
         false},
        {"CLO", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.CLO(c); },
         false},
        {"CLX", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.CLX(c); },
         false},
        {"GIN", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.GIN(c); },
         false},
        {"GIX", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.GIX(c); },
         false},
        {"DSP", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.DSP(c); },
         false},
        {"DEX", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.DEX(c); },
         false},
        {"RMC", [](PinPadModel& m, const SimCommand& c) { return m.RMC(c); }, false},
        {"GKY", [](PinPadModel& m, const SimCommand& c) { return m.GKY(c); }, false},
        {"GCD", [](PinPadModel& m, const SimCommand& c) { return m.GCD(c); }, false},
        {"MNU", [](PinPadModel& m, const SimCommand& c) { return m.MNU(c); }, false},
        {"CEX", [](PinPadModel& m, const SimCommand& c) { return m.CEX(c); }, false},
        {"LMF", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.LMF(c); },
         true},
        {"DSI", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.DSI(c); },
         true},
        {"DMF", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.DMF(c); },
         true},
        {"MLI", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.MLI(c); },
         true},
        {"MLR", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.MLR(c); },
         true},
        {"MLE", [](PinPadModel& m, const SimCommand& c) -> std::optional<SimReply> { return m.MLE(c); },
         true},
    };
    for (const auto& entry : kCommands) {
        if (AName != entry.Name) continue;
        // A PIN pad without media memory does not know the media commands at all.
        if (entry.Media && !fProfile.HasMedia()) break;
        if (!fSession && !fProfile.OpenCommands.count(AName)) {
            if (fProfile.StrictSession) return SimReply(AName, ST_INVCALL);
            fSession = true; // ABECS 2.03 on: a command before OPN opens the session itself
        }
        return entry.Run(*this, ACommand);
    }
    return SimReply("ERR", ST_INVCALL);
}

void PinPadModel::ShowLines(const std::vector<std::string>& ALines) {
    std::lock_guard lock(fMutex);
    ShowText(ALines);
}

bool PinPadModel::ShowMedia(const std::string& AName) {
    std::lock_guard lock(fMutex);
    const auto file = FindMedia(AName);
    if (file == fMedia.end()) return false;
    ShowText({}, VirtualDisplay::Mode::Picture);
    fDisplay.Picture = file->Name;
    return true;
}

void PinPadModel::HoldFor(const std::string& AName, const CardholderAction& AAction, SimReply AReply) {
    std::lock_guard lock(fMutex);
    StartWait(AName, 0);
    fWait->Hold.emplace(AAction, std::move(AReply));
}

std::optional<SimReply> PinPadModel::OfferHeld(const CardholderAction& AAction, std::string& ANote) {
    const auto& [cue, reply] = *fWait->Hold;
    const bool keys = cue.PressedKey().has_value();
    if (keys ? AAction.PressedKey() != cue.PressedKey() : AAction.What != cue.What) return std::nullopt;
    ANote = AAction.Describe() + " answers " + fWait->Name;
    return reply;
}

void PinPadModel::ShowText(const std::vector<std::string>& ALines, VirtualDisplay::Mode AMode) {
    fDisplay.Clear(fProfile.TextRows);
    fDisplay.Beneath = AMode;
    for (size_t i = 0; i < ALines.size() && i < fDisplay.Lines.size(); ++i)
        fDisplay.Lines[i] = ALines[i];
    Touch();
}

// The prompt on the rows above, the digits on the last row in clear, right-aligned, as PIN pads
// show them; past the width only the last digits fit.
void PinPadModel::ShowPrompt() {
    const size_t cols = size_t(std::max(1, fProfile.TextCols));
    std::vector<std::string> lines = Wrap(fDisplay.Prompt, cols);
    const size_t rows = std::max<size_t>(2, size_t(std::max(0, fProfile.TextRows)));
    if (lines.size() > rows - 1) lines.resize(rows - 1);
    const std::string& typed = fDisplay.Typed;
    const std::string shown = typed.size() > cols ? typed.substr(typed.size() - cols) : typed;
    lines.push_back(std::string(cols - shown.size(), ' ') + shown);
    for (size_t i = 0; i < fDisplay.Lines.size(); ++i)
        fDisplay.Lines[i] = i < lines.size() ? lines[i] : std::string();
    // A display of one row still shows the digits.
    if (fDisplay.Lines.size() == 1) fDisplay.Lines[0] = lines.back();
    Touch();
}

void PinPadModel::ShowMenu() {
    std::vector<std::string> lines = fDisplay.MenuTitle;
    for (size_t i = 0; i < fDisplay.MenuOptions.size(); ++i)
        lines.push_back(std::to_string(i + 1) + " " + fDisplay.MenuOptions[i]);
    for (size_t i = 0; i < fDisplay.Lines.size(); ++i)
        fDisplay.Lines[i] = i < lines.size() ? lines[i] : std::string();
    Touch();
}

void PinPadModel::StartWait(const std::string& AName, int ATimeoutSeconds) {
    fWait = Wait{};
    fWait->Name = AName;
    if (ATimeoutSeconds > 0) fWait->Deadline = After(ATimeoutSeconds);
    Touch();
}

PinPadModel::Clock::time_point PinPadModel::After(int ASeconds) const {
    const auto span = std::chrono::duration<double>(ASeconds * fTimeScale);
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(span);
}

SimReply PinPadModel::OPN(const SimCommand& ACommand) {
    // The secure opening (a public key in the parameters) is not offered; an empty block, as
    // some hosts send, asks for nothing and opens in clear.
    if (ACommand.Blocks.size() > 1 || (ACommand.Blocks.size() == 1 && !ACommand.Blocks[0].empty()))
        return {"OPN", ST_INVPAR};
    fSession = true;
    return {"OPN", ST_OK};
}

SimReply PinPadModel::CLO(const SimCommand& ACommand) {
    if (ACommand.Blocks.size() > 1 ||
        (ACommand.Blocks.size() == 1 && ACommand.Blocks[0].size() > kShortMessage))
        return {"CLO", ST_INVPAR};
    fSession = false;
    fLoad.reset();
    // Without a message the PIN pad goes back to its idle screen.
    if (ACommand.Blocks.empty() || ACommand.Blocks[0].empty())
        ShowText({}, VirtualDisplay::Mode::Idle);
    else
        ShowText(ShortMessageLines(ACommand.Blocks[0]));
    return {"CLO", ST_OK};
}

SimReply PinPadModel::CLX(const SimCommand& ACommand) {
    Params params;
    if (!ParseParams(ACommand, params)) return {"CLX", ST_INVPAR};
    const ByteString* message = params.Find(SPE_DSPMSG);
    const ByteString* media = params.Find(SPE_MFNAME);
    if (message && media) return {"CLX", ST_INVPAR};
    if (media) {
        if (!ValidMediaName(*media)) return {"CLX", ST_INVPAR};
        if (FindMedia(*media) == fMedia.end()) return {"CLX", ST_MFNFOUND};
    }
    std::vector<std::string> lines;
    if (message) {
        for (const auto& line : SplitLines(*message)) {
            if (line.size() > size_t(fProfile.TextCols)) return {"CLX", ST_INVPAR};
            lines.push_back(AnsiToText(line));
        }
        if (lines.size() > size_t(fProfile.TextRows)) return {"CLX", ST_INVPAR};
    }
    fSession = false;
    fLoad.reset();
    if (media) {
        ShowText({}, VirtualDisplay::Mode::Picture);
        fDisplay.Picture = FindMedia(*media)->Name;
    } else {
        ShowText(lines, message ? VirtualDisplay::Mode::Text : VirtualDisplay::Mode::Idle);
    }
    return {"CLX", ST_OK};
}

SimReply PinPadModel::GIN(const SimCommand& ACommand) {
    if (ACommand.Blocks.empty()) return {"GIN", ST_MANDAT};
    const ByteString& index = ACommand.Blocks[0];
    if (ACommand.Blocks.size() > 1 || index.size() < 2 || index.size() > 3 || !EhNumerico(index))
        return {"GIN", ST_INVPAR};
    const auto item = [&](uint16_t AID) { return fProfile.Item(AID); };
    const std::string model = item(PP_MODEL).substr(0, item(PP_MODEL).find(';'));
    switch (std::stoi(index)) {
    case 0:
        return SimReply("GIN", ST_OK)
            .AddData(Fixed(item(PP_MNNAME), 20) + Fixed(model, 19) + (fProfile.Contactless ? "C" : " ") +
                     Fixed(item(PP_SOVER), 20) + Fixed(item(PP_SPECVER), 4) + Fixed(item(PP_MANVERS), 16) +
                     Fixed(item(PP_SERNUM), 20));
    case 1:
        return SimReply("GIN", ST_OK)
            .AddData(Fixed("KESTREL ACQUIRER", 20) + Fixed(item(PP_APPVERS), 13) +
                     Fixed(item(PP_SPECVER), 4) + Fixed("", 16));
    default:
        return {"GIN", ST_INVPAR};
    }
}

namespace {
// GIX may ask for named items and for the per-index ranges whose last two hex digits are a
// decimal index 00 to 63.
bool KnownInformationId(uint16_t AID) {
    if (PPNameToTag(PPParamName(AID))) return true;
    const uint16_t base = AID & 0xFF00, low = AID & 0xFF;
    if (base != 0x9100 && base != 0x9200 && base != 0x9300) return false;
    const int tens = low >> 4, units = low & 0xF;
    return tens <= 9 && units <= 9 && tens * 10 + units <= 63;
}
} // namespace

SimReply PinPadModel::GIX(const SimCommand& ACommand) {
    Params params;
    if (!ParseParams(ACommand, params)) return {"GIX", ST_INVPAR};
    std::vector<uint16_t> ids;
    if (const ByteString* list = params.Find(SPE_IDLIST)) {
        if (list->empty() || list->size() % 2 != 0) return {"GIX", ST_INVPAR};
        for (size_t i = 0; i < list->size(); i += 2) {
            const uint16_t id = uint16_t((static_cast<unsigned char>((*list)[i]) << 8) |
                                         static_cast<unsigned char>((*list)[i + 1]));
            // An id the PIN pad does not know is passed over, as ABECS 2.x PIN pads do.
            if (KnownInformationId(id)) ids.push_back(id);
        }
    } else {
        ids = fProfile.ItemIds();
    }
    SimReply reply("GIX", ST_OK);
    // Items go in the order asked, a repeated id as often as asked; an item this PIN pad does
    // not have is left out, as the host reads a missing item as empty.
    for (uint16_t id : ids) {
        ByteString value = fProfile.Item(id);
        // Fresh random bytes on every request: a large binary value for hosts to be tested on.
        if (id == PP_BIGRAND && value.empty())
            for (int i = 0; i < kBigRandomSize; ++i)
                value += static_cast<char>(fRandom() & 0xFF);
        if (!value.empty()) reply.AddTLV(id, value);
    }
    return reply;
}

SimReply PinPadModel::DSP(const SimCommand& ACommand) {
    if (ACommand.Blocks.empty()) return {"DSP", ST_MANDAT};
    if (ACommand.Blocks.size() > 1 || ACommand.Blocks[0].size() > kShortMessage) return {"DSP", ST_INVPAR};
    ShowText(ShortMessageLines(ACommand.Blocks[0]));
    return {"DSP", ST_OK};
}

SimReply PinPadModel::DEX(const SimCommand& ACommand) {
    if (ACommand.Blocks.empty()) return {"DEX", ST_MANDAT};
    const ByteString& block = ACommand.Blocks[0];
    if (ACommand.Blocks.size() > 1 || block.size() < 3 || !EhNumerico(block.substr(0, 3)) ||
        size_t(std::stoi(block.substr(0, 3))) != block.size() - 3 || block.size() - 3 > kMaxDexMessage)
        return {"DEX", ST_INVPAR};
    std::vector<std::string> lines;
    for (const auto& line : SplitLines(std::string_view(block).substr(3))) {
        if (line.size() > size_t(fProfile.TextCols)) return {"DEX", ST_INVPAR};
        lines.push_back(AnsiToText(line));
    }
    if (lines.size() > size_t(fProfile.TextRows)) return {"DEX", ST_INVPAR};
    ShowText(lines);
    return {"DEX", ST_OK};
}

std::optional<SimReply> PinPadModel::RMC(const SimCommand& ACommand) {
    if (ACommand.Blocks.empty()) return SimReply("RMC", ST_MANDAT);
    if (ACommand.Blocks.size() > 1 || ACommand.Blocks[0].size() > kShortMessage)
        return SimReply("RMC", ST_INVPAR);
    ShowText(ShortMessageLines(ACommand.Blocks[0]));
    if (!fCardInserted) return SimReply("RMC", ST_OK);
    StartWait("RMC", 0);
    return std::nullopt;
}

std::optional<SimReply> PinPadModel::GKY(const SimCommand& ACommand) {
    if (!ACommand.Blocks.empty()) return SimReply("GKY", ST_INVPAR);
    StartWait("GKY", 0);
    return std::nullopt;
}

std::optional<SimReply> PinPadModel::GCD(const SimCommand& ACommand) {
    Params params;
    if (!ParseParams(ACommand, params)) return SimReply("GCD", ST_INVPAR);
    const ByteString* index = params.Find(SPE_MSGIDX);
    if (!index) return SimReply("GCD", ST_MANDAT);
    int minDigits = 1, maxDigits = kMaxGcdDigits, timeout = fProfile.DefaultTimeout;
    if (index->size() != 2 || !SingleByte(params.Find(SPE_MINDIG), minDigits) ||
        !SingleByte(params.Find(SPE_MAXDIG), maxDigits) || !SingleByte(params.Find(SPE_TIMEOUT), timeout))
        return SimReply("GCD", ST_INVPAR);
    const int prompt =
        (static_cast<unsigned char>((*index)[0]) << 8) | static_cast<unsigned char>((*index)[1]);
    if (prompt < 1 || prompt > kPromptCount || maxDigits < 1 || maxDigits > kMaxGcdDigits ||
        minDigits > maxDigits)
        return SimReply("GCD", ST_INVPAR);
    ShowText({}, VirtualDisplay::Mode::Prompt);
    fDisplay.Prompt = kPrompts[prompt - 1];
    fDisplay.MinDigits = minDigits;
    fDisplay.MaxDigits = maxDigits;
    ShowPrompt();
    StartWait("GCD", timeout);
    return std::nullopt;
}

std::optional<SimReply> PinPadModel::MNU(const SimCommand& ACommand) {
    Params params;
    if (!ParseParams(ACommand, params)) return SimReply("MNU", ST_INVPAR);
    int timeout = fProfile.DefaultTimeout;
    if (!SingleByte(params.Find(SPE_TIMEOUT), timeout)) return SimReply("MNU", ST_INVPAR);
    const auto options = params.All(SPE_MNUOPT);
    if (options.empty()) return SimReply("MNU", ST_MANDAT);
    for (const auto& option : options)
        if (option.empty() || option.size() > kMaxMenuOption) return SimReply("MNU", ST_INVPAR);
    ShowText({}, VirtualDisplay::Mode::Menu);
    if (const ByteString* title = params.Find(SPE_DSPMSG))
        for (const auto& line : SplitLines(*title))
            fDisplay.MenuTitle.push_back(AnsiToText(line));
    for (const auto& option : options)
        fDisplay.MenuOptions.push_back(AnsiToText(option));
    fDisplay.Highlight = 0;
    ShowMenu();
    StartWait("MNU", timeout);
    return std::nullopt;
}

std::optional<SimReply> PinPadModel::CEX(const SimCommand& ACommand) {
    Params params;
    if (!ParseParams(ACommand, params)) return SimReply("CEX", ST_INVPAR);
    const ByteString* options = params.Find(SPE_CEXOPT);
    if (!options) return SimReply("CEX", ST_MANDAT);
    int timeout = fProfile.DefaultTimeout;
    const ByteString* mask = params.Find(SPE_PANMASK);
    const ByteString& o = *options;
    const bool valid = o.size() == 6 && EhNumerico(o) && o[0] <= '1' && o[1] <= '1' && o[2] <= '2' &&
                       o[3] <= '1' && o.substr(0, 4) != "0000" &&
                       (!mask || (mask->size() == 4 && EhNumerico(*mask))) &&
                       SingleByte(params.Find(SPE_TIMEOUT), timeout) && (o[3] == '0' || fProfile.Contactless);
    if (!valid) return SimReply("CEX", ST_INVPAR);
    // The card slot answers at once when it already is in the state asked for.
    if (o[2] == '1' && fCardInserted) return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, "92");
    if (o[2] == '2' && !fCardInserted) return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, "91");
    StartWait("CEX", timeout);
    if (o[3] == '1') fWait->CtlsDeadline = After(fProfile.ContactlessTimeout);
    fWait->CexOptions = o;
    fWait->PanMask = mask ? *mask : "0604";
    return std::nullopt;
}

bool PinPadModel::Waiting() const {
    std::lock_guard lock(fMutex);
    return fWait.has_value();
}

std::string PinPadModel::WaitingFor() const {
    std::lock_guard lock(fMutex);
    return fWait ? fWait->Name : std::string();
}

std::optional<PinPadModel::Clock::time_point> PinPadModel::Deadline() const {
    std::lock_guard lock(fMutex);
    if (!fWait) return std::nullopt;
    if (fWait->Deadline && fWait->CtlsDeadline) return std::min(*fWait->Deadline, *fWait->CtlsDeadline);
    return fWait->Deadline ? fWait->Deadline : fWait->CtlsDeadline;
}

SimReply PinPadModel::Expire() {
    std::lock_guard lock(fMutex);
    const std::string name = fWait ? fWait->Name : "ERR";
    // The contactless reader gives up on its own: nothing was presented, which is an event.
    const bool ctls =
        fWait && fWait->CtlsDeadline && (!fWait->Deadline || *fWait->CtlsDeadline <= *fWait->Deadline);
    fWait.reset();
    Touch();
    if (ctls) return SimReply(name, ST_OK).AddTLV(PP_EVENT, "93");
    return {name, ST_TIMEOUT};
}

void PinPadModel::Abandon() {
    std::lock_guard lock(fMutex);
    if (fWait) Touch();
    fWait.reset();
}

void PinPadModel::SetProcessing(const std::string& ACommand) {
    std::lock_guard lock(fMutex);
    if (fDisplay.Busy == ACommand) return;
    fDisplay.Busy = ACommand;
    Touch();
}

uint64_t PinPadModel::Revision() const {
    std::lock_guard lock(fMutex);
    return fRevision;
}

std::optional<SimReply> PinPadModel::Offer(const CardholderAction& AAction, std::string& ANote) {
    std::lock_guard lock(fMutex);
    // The card slot follows the card whatever the command is waiting for.
    const bool inserting = AAction.What == CardholderAction::Kind::Insert;
    if ((inserting || AAction.What == CardholderAction::Kind::Remove) && fCardInserted != inserting) {
        fCardInserted = inserting;
        Touch();
    }
    auto reply = Bare(OfferLocked(AAction, ANote));
    if (reply) {
        fWait.reset();
        Touch();
    }
    return reply;
}

std::optional<SimReply> PinPadModel::OfferLocked(const CardholderAction& AAction, std::string& ANote) {
    using Kind = CardholderAction::Kind;
    if (!fWait) {
        if (AAction.What == Kind::Insert)
            ANote = "card in the slot";
        else if (AAction.What == Kind::Remove)
            ANote = "the slot is empty";
        else
            ANote = AAction.Describe() + " dropped: nothing waits for it";
        return std::nullopt;
    }
    const Wait& wait = *fWait;
    ANote = AAction.Describe() + " ignored by " + wait.Name;
    if (wait.Hold) return OfferHeld(AAction, ANote);
    if (const auto key = AAction.PressedKey()) return OfferKey(*key, ANote);
    // A code no key of the keypad gives still reaches GKY as it is: a test of the host's handling.
    if (wait.Name == "GKY" && AAction.What == Kind::Key) return SimReply("GKY", AAction.Number);

    if (wait.Name == "RMC" && AAction.What == Kind::Remove) return SimReply("RMC", ST_OK);
    if (wait.Name == "GCD" && AAction.What == Kind::Digits) {
        // Typed afresh: the keypad stops taking digits at the maximum.
        fDisplay.Typed = AAction.Text.substr(0, size_t(fDisplay.MaxDigits));
        ShowPrompt();
        return OfferKey(Key::Enter, ANote);
    }
    if (wait.Name == "MNU" && AAction.What == Kind::Choice) return ChooseMenu(AAction.Number, ANote);
    if (wait.Name == "CEX") {
        const std::string& o = wait.CexOptions;
        if (AAction.What == Kind::Swipe && o[1] == '1') {
            SimReply reply("CEX", ST_OK);
            reply.AddTLV(PP_EVENT, "90");
            const uint16_t tags[3] = {PP_TRK1INC, PP_TRK2INC, PP_TRK3INC};
            for (int i = 0; i < 3; ++i)
                if (!AAction.Tracks[i].empty())
                    reply.AddTLV(tags[i], MaskTrack(AAction.Tracks[i], wait.PanMask));
            return reply;
        }
        if (AAction.What == Kind::Insert && o[2] == '1') return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, "92");
        if (AAction.What == Kind::Remove && o[2] == '2') return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, "91");
        if (AAction.What == Kind::Tap && o[3] == '1') return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, "94");
    }
    return std::nullopt;
}

std::optional<SimReply> PinPadModel::OfferKey(Key AKey, std::string& ANote) {
    const std::string& name = fWait->Name;
    const auto code = KeyEventCode(AKey);
    ANote = std::string("press ") + KeyName(AKey) + " ignored by " + name;
    if (name == "GKY") {
        // GKY reads the function keys, ENTER, CLEAR and CANCEL; digits and arrows are not its business.
        if (!code || *code == 2 || *code == 3) return std::nullopt;
        return SimReply("GKY", *code);
    }
    if (name == "CEX") {
        if (fWait->CexOptions[0] != '1' || !code) return std::nullopt;
        char event[4];
        std::snprintf(event, sizeof event, "%02d", *code);
        return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, event);
    }
    if (name == "GCD") {
        std::string& typed = fDisplay.Typed;
        if (AKey == Key::Cancel) return SimReply("GCD", ST_CANCEL);
        if (const int digit = KeyDigit(AKey); digit >= 0) {
            if (int(typed.size()) >= fDisplay.MaxDigits) {
                ANote = "digit refused: " + std::to_string(typed.size()) + " digits, the maximum";
                return std::nullopt;
            }
            typed += char('0' + digit);
            ShowPrompt();
            ANote = std::to_string(typed.size()) + " digits typed";
            return std::nullopt;
        }
        if (AKey == Key::Clear) {
            if (typed.empty()) return std::nullopt;
            typed.pop_back();
            ShowPrompt();
            ANote = "one digit cleared, " + std::to_string(typed.size()) + " left";
            return std::nullopt;
        }
        if (AKey != Key::Enter) return std::nullopt;
        // ENTER below the minimum is refused and the entry goes on.
        if (int(typed.size()) < fDisplay.MinDigits) {
            ANote = "entry of " + std::to_string(typed.size()) + " digits refused, minimum " +
                    std::to_string(fDisplay.MinDigits);
            return std::nullopt;
        }
        return SimReply("GCD", ST_OK).AddTLV(PP_VALUE, typed);
    }
    if (name == "MNU") {
        const int count = int(fDisplay.MenuOptions.size());
        if (AKey == Key::Cancel) return SimReply("MNU", ST_CANCEL);
        if (AKey == Key::Enter) return ChooseMenu(fDisplay.Highlight + 1, ANote);
        if (AKey == Key::Up || AKey == Key::Down) {
            // The highlight goes round: down from the last option is the first again.
            const int step = AKey == Key::Down ? 1 : count - 1;
            fDisplay.Highlight = (fDisplay.Highlight + step) % count;
            Touch();
            ANote = "option " + std::to_string(fDisplay.Highlight + 1) + " highlighted";
            return std::nullopt;
        }
        if (const int digit = KeyDigit(AKey); digit >= 0) {
            // The option that begins with the digit; the first of them when several do.
            for (int i = 0; i < count; ++i)
                if (!fDisplay.MenuOptions[size_t(i)].empty() &&
                    fDisplay.MenuOptions[size_t(i)][0] == '0' + digit)
                    return ChooseMenu(i + 1, ANote);
            ANote = std::string("press ") + KeyName(AKey) + ": no option begins with it";
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<SimReply> PinPadModel::ChooseMenu(int AOption, std::string& ANote) {
    if (AOption < 1 || AOption > int(fDisplay.MenuOptions.size())) {
        ANote = "choice " + std::to_string(AOption) + " is not in the menu";
        return std::nullopt;
    }
    if (fDisplay.Highlight != AOption - 1) {
        fDisplay.Highlight = AOption - 1;
        Touch();
    }
    // Two digits, "01" for the first option, as PIN pads answer.
    char value[16];
    std::snprintf(value, sizeof value, "%02d", AOption);
    return SimReply("MNU", ST_OK).AddTLV(PP_VALUE, value);
}

// --- media ---------------------------------------------------------------------------------

std::vector<MediaFile>::iterator PinPadModel::FindMedia(std::string_view AName) {
    const std::string key = MediaKey(AName);
    return std::find_if(fMedia.begin(), fMedia.end(),
                        [&](const MediaFile& f) { return MediaKey(f.Name) == key; });
}

uint64_t PinPadModel::MediaUsed() const {
    uint64_t used = 0;
    for (const auto& file : fMedia)
        used += file.Data.size();
    return used;
}

SimReply PinPadModel::LMF(const SimCommand& ACommand) {
    if (!ACommand.Blocks.empty()) return {"LMF", ST_INVPAR};
    SimReply reply("LMF", ST_OK);
    for (const auto& file : fMedia)
        reply.AddTLV(PP_MFNAME, file.Name);
    return reply;
}

SimReply PinPadModel::DSI(const SimCommand& ACommand) {
    Params params;
    if (!ParseParams(ACommand, params)) return {"DSI", ST_INVPAR};
    const ByteString* name = params.Find(SPE_MFNAME);
    if (!name) return {"DSI", ST_MANDAT};
    if (!ValidMediaName(*name)) return {"DSI", ST_INVPAR};
    const auto file = FindMedia(*name);
    if (file == fMedia.end()) return {"DSI", ST_MFNFOUND};
    ShowText({}, VirtualDisplay::Mode::Picture);
    fDisplay.Picture = file->Name;
    return {"DSI", ST_OK};
}

SimReply PinPadModel::DMF(const SimCommand& ACommand) {
    Params params;
    if (!ParseParams(ACommand, params)) return {"DMF", ST_INVPAR};
    const auto names = params.All(SPE_MFNAME);
    if (names.empty()) return {"DMF", ST_MANDAT};
    // All or nothing: a list with an unknown name deletes none of the others.
    for (const auto& name : names) {
        if (!ValidMediaName(name)) return {"DMF", ST_INVPAR};
        if (FindMedia(name) == fMedia.end()) return {"DMF", ST_MFNFOUND};
    }
    for (const auto& name : names) {
        const auto file = FindMedia(name);
        if (file == fMedia.end()) continue; // named twice
        if (MediaKey(fDisplay.Picture) == MediaKey(file->Name)) ShowText({}, VirtualDisplay::Mode::Idle);
        fMedia.erase(file);
    }
    return {"DMF", ST_OK};
}

SimReply PinPadModel::MLI(const SimCommand& ACommand) {
    Params params;
    if (!ParseParams(ACommand, params)) return {"MLI", ST_INVPAR};
    const ByteString* name = params.Find(SPE_MFNAME);
    const ByteString* info = params.Find(SPE_MFINFO);
    if (!name || !info) return {"MLI", ST_MANDAT};
    if (!ValidMediaName(*name) || info->size() != 10) return {"MLI", ST_INVPAR};
    const auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>((*info)[i])); };
    Load load;
    load.Name = *name;
    load.Size = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    load.CRC = uint16_t(byte(4) << 8 | byte(5));
    load.Type = int(byte(6));
    fLoad.reset();
    const bool supported = (load.Type == 1 && fProfile.Png) || (load.Type == 2 && fProfile.Jpeg) ||
                           (load.Type == 3 && fProfile.Gif);
    if (!supported) return {"MLI", ST_MFERRFMT};
    if (load.Size == 0) return {"MLI", ST_INVPAR};
    uint64_t freed = 0;
    if (const auto old = FindMedia(*name); old != fMedia.end()) freed = old->Data.size();
    if (MediaUsed() - freed + load.Size > fProfile.MediaMemory) return {"MLI", ST_MFERR};
    fLoad = std::move(load);
    return {"MLI", ST_OK};
}

SimReply PinPadModel::MLR(const SimCommand& ACommand) {
    if (!fLoad) return {"MLR", ST_INVCALL};
    Params params;
    if (!ParseParams(ACommand, params)) {
        fLoad.reset();
        return {"MLR", ST_INVPAR};
    }
    const auto pieces = params.All(SPE_DATAIN);
    if (pieces.empty()) return {"MLR", ST_MANDAT};
    for (const auto& piece : pieces)
        fLoad->Data += piece;
    if (fLoad->Data.size() > fLoad->Size) {
        fLoad.reset();
        return {"MLR", ST_MFERR};
    }
    return {"MLR", ST_OK};
}

SimReply PinPadModel::MLE(const SimCommand& ACommand) {
    if (!fLoad) return {"MLE", ST_INVCALL};
    if (!ACommand.Blocks.empty()) return {"MLE", ST_INVPAR};
    Load load = std::move(*fLoad);
    fLoad.reset();
    if (load.Data.size() != load.Size) return {"MLE", ST_MFERR};
    if (TVexoAbecsPacket::UpdateCRC(0, load.Data) != load.CRC && !fProfile.Breaks.AcceptBadMleCrc)
        return {"MLE", ST_MFERR};
    if (!LooksLike(load.Data, load.Type)) return {"MLE", ST_MFERRFMT};
    if (load.Type == 1 && fProfile.PngTruecolourOnly && !TruecolourPng(load.Data))
        return {"MLE", ST_MFERRFMT};
    if (auto old = FindMedia(load.Name); old != fMedia.end()) {
        old->Name = load.Name;
        old->Data = std::move(load.Data);
        old->Type = load.Type;
    } else {
        fMedia.push_back({load.Name, std::move(load.Data), load.Type});
    }
    return {"MLE", ST_OK};
}

// --- snapshots -----------------------------------------------------------------------------

void PinPadModel::SetTimeScale(double AScale) {
    std::lock_guard lock(fMutex);
    fTimeScale = AScale > 0 ? AScale : 1.0;
}

double PinPadModel::TimeScale() const {
    std::lock_guard lock(fMutex);
    return fTimeScale;
}

Profile PinPadModel::GetProfile() const {
    std::lock_guard lock(fMutex);
    return fProfile;
}

Profile::RuleBreaks PinPadModel::Breaks() const {
    std::lock_guard lock(fMutex);
    return fProfile.Breaks;
}

VirtualDisplay PinPadModel::Display() const {
    std::lock_guard lock(fMutex);
    VirtualDisplay display = fDisplay;
    display.What = display.Busy.empty() ? display.Beneath : VirtualDisplay::Mode::Processing;
    return display;
}

std::vector<std::string> PinPadModel::MediaNames() const {
    std::lock_guard lock(fMutex);
    std::vector<std::string> names;
    for (const auto& file : fMedia)
        names.push_back(file.Name);
    return names;
}

std::optional<MediaFile> PinPadModel::Media(const std::string& AName) const {
    std::lock_guard lock(fMutex);
    const std::string key = MediaKey(AName);
    for (const auto& file : fMedia)
        if (MediaKey(file.Name) == key) return file;
    return std::nullopt;
}

bool PinPadModel::SessionOpen() const {
    std::lock_guard lock(fMutex);
    return fSession;
}

bool PinPadModel::CardInserted() const {
    std::lock_guard lock(fMutex);
    return fCardInserted;
}

} // namespace kestrel::sim
