// The cardholder's actions on the waiting command: keys, typed digits, menu choices, cards.
#include "pinpad/VexoAbecsCommandLimits.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/PinPadModel.h"
#include <cstdio>

namespace kestrel::sim {

using namespace vexo;

namespace {

constexpr int kMaxStatus = 999;

// Two digits, as PIN pads give events and menu choices ("01" for the first option).
std::string TwoDigits(int AValue) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", AValue);
    return text;
}

} // namespace

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

PinPadModel::Answer PinPadModel::OfferLocked(const CardholderAction& AAction, std::string& ANote) {
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
    const std::string& name = fWait->Name;
    ANote = AAction.Describe() + " ignored by " + name;
    if (fWait->Hold) return OfferHeld(AAction, ANote);
    if (const auto key = AAction.PressedKey()) return OfferKey(*key, ANote);
    if (name == "GKY" && AAction.What == Kind::Key) {
        // A code no key of the keypad gives still reaches GKY as it is: a test of the host's
        // handling. One that three digits cannot carry would reach it as another code.
        if (AAction.Number < 0 || AAction.Number > kMaxStatus) {
            ANote = "key code " + std::to_string(AAction.Number) + " ignored: a return code has three digits";
            return std::nullopt;
        }
        return SimReply("GKY", AAction.Number);
    }
    if (name == "RMC" && AAction.What == Kind::Remove) return SimReply("RMC", ST_OK);
    if (name == "GCD" && AAction.What == Kind::Digits) {
        // Typed afresh: the keypad stops taking digits at the maximum.
        fDisplay.Typed = AAction.Text.substr(0, static_cast<size_t>(std::max(0, fDisplay.MaxDigits)));
        ShowPrompt();
        return OfferKey(Key::Enter, ANote);
    }
    if (name == "MNU" && AAction.What == Kind::Choice) return ChooseMenu(AAction.Number, ANote);
    if (name == "CEX") return OfferCex(AAction);
    return std::nullopt;
}

PinPadModel::Answer PinPadModel::OfferCex(const CardholderAction& AAction) {
    using Kind = CardholderAction::Kind;
    const CexOptions& asked = fWait->Cex;
    if (AAction.What == Kind::Swipe && asked.Stripe) {
        SimReply reply("CEX", ST_OK);
        reply.AddTLV(PP_EVENT, ByteString(kCexEventMagneticStripe));
        const uint16_t tags[3] = {PP_TRK1INC, PP_TRK2INC, PP_TRK3INC};
        for (size_t i = 0; i < 3; ++i)
            if (!AAction.Tracks[i].empty()) reply.AddTLV(tags[i], fWait->Mask.Apply(AAction.Tracks[i]));
        return reply;
    }
    if (AAction.What == Kind::Insert && asked.Chip == CexOptions::Slot::Insertion)
        return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, ByteString(kCexEventCardInserted));
    if (AAction.What == Kind::Remove && asked.Chip == CexOptions::Slot::Removal)
        return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, ByteString(kCexEventCardRemoved));
    if (AAction.What == Kind::Tap && asked.Contactless) return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, ByteString(kCexEventContactless));
    return std::nullopt;
}

PinPadModel::Answer PinPadModel::OfferKey(Key AKey, std::string& ANote) {
    const std::string& name = fWait->Name;
    const auto code = KeyEventCode(AKey);
    ANote = std::string("press ") + KeyName(AKey) + " ignored by " + name;
    if (name == "GKY") {
        // GKY reads the function keys, ENTER, CLEAR and CANCEL; digits and arrows are not its business.
        if (!code || *code == 2 || *code == 3) return std::nullopt;
        return SimReply("GKY", *code);
    }
    if (name == "CEX") {
        if (!fWait->Cex.Keys || !code) return std::nullopt;
        return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, TwoDigits(*code));
    }
    if (name == "GCD") return OfferGcdKey(AKey, ANote);
    if (name == "MNU") return OfferMenuKey(AKey, ANote);
    return std::nullopt;
}

PinPadModel::Answer PinPadModel::OfferGcdKey(Key AKey, std::string& ANote) {
    std::string& typed = fDisplay.Typed;
    const auto count = [&] { return std::to_string(typed.size()); };
    if (AKey == Key::Cancel) return SimReply("GCD", ST_CANCEL);
    if (const int digit = KeyDigit(AKey); digit >= 0) {
        if (typed.size() >= static_cast<size_t>(std::max(0, fDisplay.MaxDigits))) {
            ANote = "digit refused: " + count() + " digits, the maximum";
            return std::nullopt;
        }
        typed += static_cast<char>('0' + digit);
        ShowPrompt();
        ANote = count() + " digits typed";
        return std::nullopt;
    }
    if (AKey == Key::Clear) {
        if (typed.empty()) return std::nullopt;
        typed.pop_back();
        ShowPrompt();
        ANote = "one digit cleared, " + count() + " left";
        return std::nullopt;
    }
    if (AKey != Key::Enter) return std::nullopt;
    // ENTER below the minimum is refused and the entry goes on.
    if (typed.size() < static_cast<size_t>(std::max(0, fDisplay.MinDigits))) {
        ANote = "entry of " + count() + " digits refused, minimum " + std::to_string(fDisplay.MinDigits);
        return std::nullopt;
    }
    return SimReply("GCD", ST_OK).AddTLV(PP_VALUE, typed);
}

PinPadModel::Answer PinPadModel::OfferMenuKey(Key AKey, std::string& ANote) {
    const auto& options = fDisplay.MenuOptions;
    const int count = static_cast<int>(options.size());
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
        for (size_t i = 0; i < options.size(); ++i)
            if (!options[i].empty() && options[i][0] == '0' + digit)
                return ChooseMenu(static_cast<int>(i) + 1, ANote);
        ANote = std::string("press ") + KeyName(AKey) + ": no option begins with it";
    }
    return std::nullopt;
}

PinPadModel::Answer PinPadModel::ChooseMenu(int AOption, std::string& ANote) {
    if (AOption < 1 || AOption > static_cast<int>(fDisplay.MenuOptions.size())) {
        ANote = "choice " + std::to_string(AOption) + " is not in the menu";
        return std::nullopt;
    }
    if (fDisplay.Highlight != AOption - 1) {
        fDisplay.Highlight = AOption - 1;
        Touch();
    }
    return SimReply("MNU", ST_OK).AddTLV(PP_VALUE, TwoDigits(AOption));
}

PinPadModel::Answer PinPadModel::OfferHeld(const CardholderAction& AAction, std::string& ANote) {
    const auto& [cue, reply] = *fWait->Hold;
    const bool keys = cue.PressedKey().has_value();
    if (keys ? AAction.PressedKey() != cue.PressedKey() : AAction.What != cue.What) return std::nullopt;
    ANote = AAction.Describe() + " answers " + fWait->Name;
    return reply;
}

} // namespace kestrel::sim
