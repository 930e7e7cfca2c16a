// Command data fields as a host might send them, run one after another on one PIN pad so that
// state (session, media loads) carries over. Fields are separated by FFh; the first byte picks
// the profile. A command that waits gets keys, typing and card actions until one ends it. Every
// reply must be a well-formed data field, and an error reply carries no data.
#include "sim/PinPadModel.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrel::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    if (ASize == 0) return 0;
    std::string_view input(reinterpret_cast<const char*>(AData) + 1, ASize - 1);
    const auto profiles = Profile::BuiltinNames();
    PinPadModel model(Profile::Load(profiles[AData[0] % profiles.size()]));
    while (!input.empty()) {
        const size_t cut = input.find('\xFF');
        const std::string_view field = input.substr(0, cut);
        input.remove_prefix(cut == std::string_view::npos ? input.size() : cut + 1);
        SimCommand command;
        if (!SimCommand::Parse(field, command)) {
            // A refused field says where it broke.
            if (command.Fault.rfind("at byte ", 0) != 0) std::abort();
            continue;
        }
        auto reply = model.Execute(command);
        if (!reply && model.Waiting()) {
            std::string note;
            for (const auto& action :
                 {CardholderAction::Press(Key::Down), CardholderAction::Press(Key::Digit1),
                  CardholderAction::Press(Key::Clear), CardholderAction::Press(Key::Digit2),
                  CardholderAction::Press(Key::Enter), CardholderAction::Key(0),
                  CardholderAction::Digits("1234"), CardholderAction::Choice(1),
                  CardholderAction::UnreadableSwipe(), CardholderAction::Insert(), CardholderAction::Swipe(),
                  CardholderAction::Remove(), CardholderAction::Tap()})
                if ((reply = model.Offer(action, note))) break;
            if (!reply) reply = model.Expire();
        }
        if (!reply) std::abort();
        const ByteString data = reply->DataField();
        SimCommand echo;
        if (data.size() < 6 || reply->Name.size() != 3 || !SimCommand::Parse(data.substr(3), echo))
            std::abort();
        for (const auto& block : reply->Blocks)
            if (block.size() > 999) std::abort();
        if (reply->Status != 0 && data.size() != 6) std::abort();
    }
    return 0;
}
