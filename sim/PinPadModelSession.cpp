// Session and information: OPN, CLO, CLX, GIN, GIX.
#include "pinpad/VexoAbecsTables.h"
#include "sim/PinPadModel.h"
#include "util/CodePage.h"
#include "util/Strings.h"

namespace kestrel::sim {

using namespace vexo;

namespace {

constexpr size_t kShortMessage = 32;   // CLO: two rows of 16
constexpr size_t kBigRandomSize = 900; // PP_BIGRAND

std::string Fixed(std::string_view AText, size_t AWidth) {
    std::string text(AText.substr(0, AWidth));
    text.resize(AWidth, ' ');
    return text;
}

// GIX may ask for named items and for the per-index ranges whose last two hex digits are a
// decimal index 00 to 63.
bool KnownInformationId(uint16_t AID) {
    if (PPNameToTag(PPParamName(AID))) return true;
    const int base = AID & 0xFF00, low = AID & 0xFF;
    if (base != 0x9100 && base != 0x9200 && base != 0x9300) return false;
    const int tens = low >> 4, units = low & 0xF;
    return tens <= 9 && units <= 9 && tens * 10 + units <= 63;
}

// The ids of SPE_IDLIST, two bytes each; none when the list is empty or cut in the middle of an id.
std::optional<std::vector<uint16_t>> IdList(const ByteString& AList) {
    if (AList.empty() || AList.size() % 2 != 0) return std::nullopt;
    std::vector<uint16_t> ids;
    for (size_t i = 0; i < AList.size(); i += 2)
        ids.push_back(static_cast<uint16_t>((static_cast<unsigned char>(AList[i]) << 8) |
                                            static_cast<unsigned char>(AList[i + 1])));
    return ids;
}

} // namespace

PinPadModel::Answer PinPadModel::OPN(const SimCommand& ACommand) {
    // The secure opening (a public key in the parameters) is not offered; an empty block, as
    // some hosts send, asks for nothing and opens in clear.
    if (ACommand.Blocks.size() > 1 || (ACommand.Blocks.size() == 1 && !ACommand.Blocks[0].empty()))
        return SimReply("OPN", ST_INVPAR);
    fSession = true;
    return SimReply("OPN", ST_OK);
}

PinPadModel::Answer PinPadModel::CLO(const SimCommand& ACommand) {
    if (ACommand.Blocks.size() > 1 ||
        (ACommand.Blocks.size() == 1 && ACommand.Blocks[0].size() > kShortMessage))
        return SimReply("CLO", ST_INVPAR);
    fSession = false;
    fMedia.Loading().reset();
    // Without a message the PIN pad goes back to its idle screen.
    if (ACommand.Blocks.empty() || ACommand.Blocks[0].empty())
        ShowText({}, VirtualDisplay::Mode::Idle);
    else
        ShowText(ShortMessageRows(ACommand.Blocks[0]));
    return SimReply("CLO", ST_OK);
}

PinPadModel::Answer PinPadModel::CLX(const SimCommand& ACommand) {
    CommandParams params;
    if (!params.Read(ACommand)) return SimReply("CLX", ST_INVPAR);
    const ByteString* message = params.Find(SPE_DSPMSG);
    const ByteString* name = params.Find(SPE_MFNAME);
    if (message && name) return SimReply("CLX", ST_INVPAR);
    const MediaFile* media = nullptr;
    if (name) {
        if (!MediaMemory::ValidName(*name)) return SimReply("CLX", ST_INVPAR);
        if (!(media = fMedia.Find(*name))) return SimReply("CLX", ST_MFNFOUND);
    }
    std::vector<std::string> lines;
    if (message) {
        for (const auto& line : MessageRows(*message)) {
            if (line.size() > size_t(fProfile.TextCols)) return SimReply("CLX", ST_INVPAR);
            lines.push_back(AnsiToText(line));
        }
        if (lines.size() > size_t(fProfile.TextRows)) return SimReply("CLX", ST_INVPAR);
    }
    fSession = false;
    fMedia.Loading().reset();
    if (media)
        ShowPicture(*media);
    else
        ShowText(lines, message ? VirtualDisplay::Mode::Text : VirtualDisplay::Mode::Idle);
    return SimReply("CLX", ST_OK);
}

PinPadModel::Answer PinPadModel::GIN(const SimCommand& ACommand) {
    if (ACommand.Blocks.empty()) return SimReply("GIN", ST_MANDAT);
    const ByteString& index = ACommand.Blocks[0];
    if (ACommand.Blocks.size() > 1 || index.size() < 2 || index.size() > 3 || !EhNumerico(index))
        return SimReply("GIN", ST_INVPAR);
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
        return SimReply("GIN", ST_INVPAR);
    }
}

PinPadModel::Answer PinPadModel::GIX(const SimCommand& ACommand) {
    CommandParams params;
    if (!params.Read(ACommand)) return SimReply("GIX", ST_INVPAR);
    std::vector<uint16_t> ids;
    if (const ByteString* list = params.Find(SPE_IDLIST)) {
        const auto asked = IdList(*list);
        if (!asked) return SimReply("GIX", ST_INVPAR);
        // An id the PIN pad does not know is passed over, as ABECS 2.x PIN pads do.
        std::copy_if(asked->begin(), asked->end(), std::back_inserter(ids), KnownInformationId);
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
            for (size_t i = 0; i < kBigRandomSize; ++i)
                value += static_cast<char>(fRandom() & 0xFF);
        if (!value.empty()) reply.AddTLV(id, value);
    }
    return reply;
}

} // namespace kestrel::sim
