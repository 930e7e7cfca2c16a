#pragma once
#include <string>
#include <string_view>

namespace vexo {

// Card numbers must not reach a log, a trace or a report in clear: these keep the first 6 and the
// last 4 digits of a card number (what receipts and acquirers show) and replace the rest with '*'.
// They work on text and on code-page bytes alike, since they touch ASCII digits only.

// The digits of ADigits masked; a run of 10 digits or fewer is masked whole, as keeping 6 + 4
// would show all of it.
std::string MaskPAN(std::string_view ADigits);

// Every run of kPANLikeDigits or more ASCII digits masked with MaskPAN, and every number written
// in groups of 3 to 6 digits parted by one or two blanks or dashes whose digits add up to as many
// (the first 6 and last 4 digits kept, the separators left); everything else as it is.
constexpr size_t kPANLikeDigits = 13;
std::string MaskCardNumbers(std::string_view AText);

// A magnetic track (or a value that may hold one): the first run of digits is the card number and
// keeps its first 6 and last 4; every other digit, and the cardholder name between the first two
// '^' of a track 1, become '*'. Separators stay, so the track's shape is still visible.
std::string MaskTrackData(std::string_view ATrack);

// Card numbers held in binary-coded decimal, two digits a byte (as chip data carries them): every
// run of kPANLikeDigits or more decimal nibbles keeps its first 6 and last 4 digits, the nibbles
// between become Fh. The byte count does not change; nibbles above 9 end a run.
std::string MaskPackedCardNumbers(std::string_view ABytes);
// Free text that may quote card data anywhere (a log line holding a whole response frame): every
// card-number-like run masked as MaskCardNumbers does, and the cardholder name of every track 1
// (between two '^' at most 26 printable characters apart) hidden as MaskTrackData hides it.
std::string MaskCardDataInText(std::string_view AText);

} // namespace vexo
