#include "trace/ClassicLayout.h"

#include "util/CardMask.h"

#include <array>
#include <string>

namespace kestrel::trace {

namespace {

struct Field {
    enum class Kind { Plain, Track, Pan, Name };
    size_t Width; // the field itself
    Kind What;
    size_t LengthWidth; // digits before the field that give its used length (Track, Pan)
};

using K = Field::Kind;

// The GCR response block: card type, chip status, application type, acquirer and record
// indexes, then tracks 1 to 3, card number and its sequence number, each after its length, the
// application label, service code, cardholder name and expiry date.
constexpr std::array kGcr{
    Field{2, K::Plain, 0}, Field{1, K::Plain, 0},  Field{2, K::Plain, 0},  Field{2, K::Plain, 0},
    Field{2, K::Plain, 0}, Field{76, K::Track, 2}, Field{37, K::Track, 2}, Field{104, K::Track, 3},
    Field{19, K::Pan, 2},  Field{2, K::Plain, 0},  Field{16, K::Plain, 0}, Field{3, K::Plain, 0},
    Field{26, K::Name, 0}, Field{6, K::Plain, 0},
};

std::string MaskName(std::string_view AName) {
    std::string name(AName);
    for (char& c : name)
        if (c != ' ' && c != '/') c = '*';
    return name;
}

void MaskFields(ByteString& AOut) {
    size_t at = 0;
    for (const Field& field : kGcr) {
        at += field.LengthWidth;
        if (at >= AOut.size()) return;
        const size_t width = std::min(field.Width, AOut.size() - at);
        const std::string_view value = std::string_view(AOut).substr(at, width);
        std::string masked;
        switch (field.What) {
        case K::Plain:
            masked = std::string(value);
            break;
        case K::Track:
            masked = vexo::MaskTrackData(value);
            break;
        case K::Pan:
            masked = vexo::MaskTrackData(value); // the number, and every digit after it
            break;
        case K::Name:
            masked = MaskName(value);
            break;
        }
        AOut.replace(at, width, masked);
        at += width;
    }
}

// The name between the first two '^' of a track 1, blanks around it taken off.
std::string TrackOneName(std::string_view ABlock) {
    const size_t start = ABlock.find('^');
    if (start == std::string_view::npos) return {};
    const size_t end = ABlock.find('^', start + 1);
    if (end == std::string_view::npos || end - start - 1 > 26) return {};
    std::string_view name = ABlock.substr(start + 1, end - start - 1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    return std::string(name);
}

void MaskRepeatedName(ByteString& AOut, const std::string& AName) {
    // Two letters could be anything; a name is longer.
    if (AName.size() < 3) return;
    const std::string masked = MaskName(AName);
    for (size_t at = AOut.find(AName); at != std::string::npos; at = AOut.find(AName, at + AName.size()))
        AOut.replace(at, AName.size(), masked);
}

} // namespace

ByteString MaskClassicBlock(std::string_view AName, bool AResponse, std::string_view ABlock) {
    ByteString out(ABlock);
    MaskRepeatedName(out, TrackOneName(ABlock));
    if (AResponse && AName == "GCR") MaskFields(out);
    return out;
}

bool IsIdentityResponse(std::string_view AName, bool AResponse) {
    return AResponse && AName == "GIN";
}

} // namespace kestrel::trace
