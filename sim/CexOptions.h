#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace kestrel::sim {

// The events a CEX asks for, read from the six digits of its options item by position: keys,
// magnetic stripe, chip slot, contactless reader, then two reserved digits.
struct CexOptions {
    enum class Slot { Ignore, Insertion, Removal };

    bool Keys = false;
    bool Stripe = false;
    Slot Chip = Slot::Ignore;
    bool Contactless = false;

    // None when AText is not six digits, a position holds a value it does not take, or it asks
    // for no event at all (the PIN pad would wait for nothing).
    static std::optional<CexOptions> Parse(std::string_view AText);
};

// The PAN digits a CEX shows of a swiped card: the first Left and the last Right, the others '*'.
struct PanMask {
    int Left = 6;
    int Right = 4;

    // None when AText is not four digits, LLRR.
    static std::optional<PanMask> Parse(std::string_view AText);
    // The track with its PAN masked (after the format code 'B' of track 1, up to '^' or '=').
    std::string Apply(const std::string& ATrack) const;
};

} // namespace kestrel::sim
