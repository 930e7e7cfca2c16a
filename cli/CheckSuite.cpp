// The conformance checks: each one opens the link afresh, does what it tests, and says what it sent,
// what it expected by which ABECS rule, and what came back.
#include "cli/CheckSuite.h"
#include "cli/CheckSteps.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "trace/ValueText.h"
#include "util/Strings.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace kestrel::cli {

using kestrel::trace::DecodedMessage;
using kestrel::trace::DecodedTLV;
using namespace vexo;
using namespace checks;

namespace checks {

std::string Code3(int ACode) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", ACode);
    return text;
}

void OpenSession(CheckEnv& AEnv) {
    AEnv.Expect(AEnv.Ask(Cmd("OPN")), "OPN", ST_OK, kSession);
}

} // namespace checks

namespace {

constexpr int kAckMs = 2000;         // the host's wait for ACK or NAK
constexpr int kEotMs = 2000;         // the host's wait for EOT after CAN
constexpr int kStillWaitingMs = 500; // a command that waits for the cardholder answers nothing this long
constexpr int kQuietMs = 1000;       // after an abort, nothing more may come in this time

ByteString Ids(std::initializer_list<uint16_t> AIds) {
    ByteString list;
    for (uint16_t id : AIds)
        list += InteiroParaBytes(id, 2);
    return list;
}

ByteString Gix(std::initializer_list<uint16_t> AIds) {
    return Cmd("GIX").Tlv(SPE_IDLIST, Ids(AIds));
}

std::vector<DecodedTLV> Items(const DecodedMessage& AMessage) {
    std::vector<DecodedTLV> items;
    for (const auto& block : AMessage.Blocks)
        items.insert(items.end(), block.Items.begin(), block.Items.end());
    return items;
}

const DecodedTLV* Item(const DecodedMessage& AMessage, uint16_t ATag) {
    for (const auto& block : AMessage.Blocks)
        for (const auto& item : block.Items)
            if (item.Tag == ATag) return &item;
    return nullptr;
}

std::string Names(const std::vector<uint16_t>& ATags) {
    std::string text;
    for (uint16_t tag : ATags)
        text += (text.empty() ? "" : ", ") + PPParamName(tag);
    return text.empty() ? "none" : text;
}

std::vector<uint16_t> Tags(const std::vector<DecodedTLV>& AItems) {
    std::vector<uint16_t> tags;
    for (const auto& item : AItems)
        tags.push_back(item.Tag);
    return tags;
}

bool AllDigits(const ByteString& AValue) {
    return !AValue.empty() && EhNumerico(AValue);
}

// A message of ALength characters in lines of ACols, each line ended by CR as DEX takes them.
ByteString DexText(size_t ALength, int ACols) {
    ByteString text;
    const std::string line(static_cast<size_t>(std::max(ACols, 1)), 'X');
    while (text.size() < ALength)
        text += line + "\r";
    text.resize(ALength);
    return text;
}

ByteString DexBlock(const ByteString& AText) {
    return Code3(static_cast<int>(AText.size())) + AText;
}

// --- the checks ------------------------------------------------------------------------------

void CheckOpn(CheckEnv& AEnv) {
    AEnv.Expect(AEnv.Ask(Cmd("OPN")), "OPN", ST_OK, "OPN");
}

void CheckOpn000(CheckEnv& AEnv) {
    AEnv.Expect(AEnv.Ask(Cmd("OPN").Block("")), "OPN", ST_OK, "OPN000");
}

void CheckCloThenCommand(CheckEnv& AEnv) {
    OpenSession(AEnv);
    if (!AEnv.Expect(AEnv.Ask(Cmd("CLO")), "CLO", ST_OK, "CLO")) return;
    const Answer answer = AEnv.Ask(Cmd("DSP").Block("KESTREL CHECK   SESSION CLOSED  "));
    const double version = AEnv.PinPad().Caps.SpecificationVersion;
    char versionText[32];
    std::snprintf(versionText, sizeof versionText, "%.2f", version);
    // From 2.03 on, a command outside a session opens one by itself; before, it is refused.
    if (version >= 2.03 - 1e-9)
        AEnv.Expect(answer, "DSP", ST_OK,
                    std::string("DSP after CLO (the PIN pad reports ABECS ") + versionText +
                        ", so it opens a session itself)");
    else
        AEnv.Expect(answer, "DSP", ST_INVCALL,
                    std::string("DSP after CLO (the PIN pad reports ABECS ") + versionText +
                        ", before implicit sessions)");
    AEnv.Raw().SetRecording(false);
    AEnv.Ask(Cmd("OPN"));
}

void CheckUnknownCommand(CheckEnv& AEnv) {
    const Answer answer = AEnv.Ask(Cmd("XYZ"));
    if (!AEnv.Expect(answer, "ERR", ST_INVCALL, "the unknown command XYZ")) return;
    if (!answer.Response->Blocks.empty())
        AEnv.Fail("ERR010 came with data blocks; an error response is the name and the return code alone");
}

void CheckNakOfDamagedFrame(CheckEnv& AEnv) {
    RawLink& link = AEnv.Raw();
    link.SendDamagedFrame(Gix({PP_SERNUM}));
    const auto first = link.ReadOne(kAckMs);
    if (first.empty()) return AEnv.Fail("nothing came within 2000 ms of the damaged frame; NAK was due");
    if (first[0].What != LinkUnit::Kind::Nak)
        return AEnv.Fail("the damaged frame was answered with " + link.Describe(first[0]) +
                         " instead of NAK");
    const auto after = link.Drain(kQuietMs);
    if (!after.empty())
        return AEnv.Fail("after the NAK, " + link.Describe(after[0]) +
                         " came: a damaged frame must not be executed");
    AEnv.Expect(AEnv.Ask(Gix({PP_SERNUM})), "GIX", ST_OK, "the same frame sent again intact");
}

void CheckResendAfterNak(CheckEnv& AEnv) {
    const Answer answer = AEnv.Ask(Gix({PP_SERNUM}));
    if (!AEnv.Expect(answer, "GIX", ST_OK, "GIX")) return;
    RawLink& link = AEnv.Raw();
    link.SendBytes(ByteString(1, static_cast<char>(NAK)), "NAK (the host refuses the response)");
    const auto again = link.ReadFrame(kAckMs);
    if (again.empty() || again.back().What != LinkUnit::Kind::Frame)
        return AEnv.Fail("the response was not sent again within 2000 ms of the host's NAK");
    if (again.back().Raw != answer.Frame)
        AEnv.Fail("a different frame came after the NAK, not the response sent again");
}

// The blocking commands a check can abort: each waits at least a minute for a cardholder.
ByteString BlockingCommand(const std::string& AName) {
    if (AName == "GKY") return Cmd("GKY");
    if (AName == "MNU")
        return Cmd("MNU")
            .Tlv(SPE_TIMEOUT, "\x3C")
            .Tlv(SPE_DSPMSG, "KESTREL CHECK\r")
            .Tlv(SPE_MNUOPT, "ONE")
            .Tlv(SPE_MNUOPT, "TWO");
    if (AName == "GCD") return Cmd("GCD").Tlv(SPE_MSGIDX, ByteString("\x00\x1D", 2)).Tlv(SPE_TIMEOUT, "\x3C");
    return Cmd("CEX").Tlv(SPE_CEXOPT, "100000").Tlv(SPE_TIMEOUT, "\x3C");
}

// Sends a blocking command and makes sure it is waiting; false (with the failure noted) otherwise.
bool StartWaiting(CheckEnv& AEnv, const std::string& AName) {
    RawLink& link = AEnv.Raw();
    link.SendFrame(BlockingCommand(AName));
    const auto ack = link.ReadOne(kAckMs);
    if (ack.empty() || ack[0].What != LinkUnit::Kind::Ack) {
        AEnv.Fail(AName + " was not acknowledged: " + (ack.empty() ? "nothing came" : link.Describe(ack[0])));
        return false;
    }
    AEnv.SetWaiting(true);
    const auto early = link.ReadOne(kStillWaitingMs);
    if (!early.empty()) {
        const LinkUnit& unit = early[0];
        if (unit.What == LinkUnit::Kind::Frame && unit.CrcOk &&
            kestrel::trace::DecodeResponse(unit.Data).Name != AName) {
            AEnv.Fail(link.Describe(unit) + " came while " + AName +
                      " waited: it answers another command, not " + AName);
            return false;
        }
        AEnv.SetWaiting(false);
        AEnv.Fail(AName + " did not wait for the cardholder: " + link.Describe(unit) + " came at once");
        return false;
    }
    return true;
}

void CheckCancel(CheckEnv& AEnv, const std::string& AName) {
    OpenSession(AEnv);
    if (AEnv.Failed() || !StartWaiting(AEnv, AName)) return;
    RawLink& link = AEnv.Raw();
    link.SendBytes(ByteString(1, static_cast<char>(CAN)), "CAN (the host aborts " + AName + ")");
    AEnv.SetWaiting(false);
    const auto eot = link.ReadOne(kEotMs);
    if (eot.empty()) return AEnv.Fail("no EOT within 2000 ms of CAN");
    if (eot[0].What != LinkUnit::Kind::Eot)
        return AEnv.Fail("CAN was answered with " + link.Describe(eot[0]) + ", not EOT");
    const auto rest = link.Drain(kQuietMs);
    if (!rest.empty()) {
        std::string what;
        for (const auto& unit : rest)
            what += (what.empty() ? "" : "; ") + link.Describe(unit);
        return AEnv.Fail("bytes came after EOT, where the line must stay quiet: " + what);
    }
    AEnv.Expect(AEnv.Ask(Gix({PP_SERNUM})), "GIX", ST_OK, "the next command after the abort");
}

void CheckAbortByCommand(CheckEnv& AEnv) {
    OpenSession(AEnv);
    if (AEnv.Failed() || !StartWaiting(AEnv, "GKY")) return;
    const Answer answer = AEnv.Ask(Gix({PP_SERNUM}));
    if (answer.Acked) AEnv.SetWaiting(false);
    if (!AEnv.Expect(answer, "GIX", ST_OK, "GIX sent while GKY waits")) return;
    RawLink& link = AEnv.Raw();
    const auto late = link.Drain(kQuietMs);
    if (!late.empty())
        AEnv.Fail("after the GIX response, " + link.Describe(late[0]) + " came for the aborted GKY");
}

void ExpectGixItems(CheckEnv& AEnv, const ByteString& AList, const std::vector<uint16_t>& AWant,
                    const char* AWhat) {
    const Answer answer = AEnv.Ask(Cmd("GIX").Tlv(SPE_IDLIST, AList));
    if (!AEnv.Expect(answer, "GIX", ST_OK, "GIX")) return;
    const std::vector<uint16_t> got = Tags(Items(*answer.Response));
    if (got != AWant) AEnv.Fail(std::string(AWhat) + ": came " + Names(got) + "; expected " + Names(AWant));
}

void CheckGixOrder(CheckEnv& AEnv) {
    ExpectGixItems(AEnv, Ids({PP_MNNAME, PP_SERNUM, PP_MODEL}), {PP_MNNAME, PP_SERNUM, PP_MODEL},
                   "the items came in another order");
}

void CheckGixRepeat(CheckEnv& AEnv) {
    ExpectGixItems(AEnv, Ids({PP_SERNUM, PP_MODEL, PP_SERNUM}), {PP_SERNUM, PP_MODEL, PP_SERNUM},
                   "the repeated id was not answered twice");
}

void CheckGixUnknown(CheckEnv& AEnv) {
    ExpectGixItems(AEnv, Ids({PP_SERNUM, 0x80FF, PP_MODEL}), {PP_SERNUM, PP_MODEL}, "the known items");
}

void CheckGixOddLength(CheckEnv& AEnv) {
    AEnv.Expect(AEnv.Ask(Cmd("GIX").Tlv(SPE_IDLIST, ByteString("\x80\x01\x80", 3))), "GIX", ST_INVPAR,
                "GIX with a 3-byte id list");
}

// The one item of a GIX for ATag, or null when the PIN pad does not report it (failure noted when
// the exchange itself failed).
std::optional<ByteString> AskItem(CheckEnv& AEnv, uint16_t ATag) {
    const Answer answer = AEnv.Ask(Gix({ATag}));
    if (!AEnv.Expect(answer, "GIX", ST_OK, "GIX")) return std::nullopt;
    if (const DecodedTLV* item = Item(*answer.Response, ATag)) return item->Value;
    return ByteString();
}

void CheckDspTxtSz(CheckEnv& AEnv) {
    const auto value = AskItem(AEnv, PP_DSPTXTSZ);
    if (!value) return;
    if (value->empty()) return AEnv.Fail("PP_DSPTXTSZ is not reported");
    if (value->size() != 4 || !AllDigits(*value))
        return AEnv.Fail("PP_DSPTXTSZ is \"" + *value + "\", not four digits");
    if (value->substr(0, 2) == "00" || value->substr(2, 2) == "00")
        AEnv.Fail("PP_DSPTXTSZ \"" + *value + "\" gives a display without rows or columns");
}

void CheckDspGrSz(CheckEnv& AEnv) {
    const auto value = AskItem(AEnv, PP_DSPGRSZ);
    if (!value) return;
    const bool graphic = AEnv.PinPad().Caps.DisplayIsGraphic;
    if (value->empty()) {
        if (graphic)
            return AEnv.Fail("PP_DSPGRSZ is not reported, although PP_CAPAB says the display is graphic");
        return AEnv.Skip("PP_DSPGRSZ is not reported: the PIN pad has no graphic display");
    }
    if (value->size() != 8 || !AllDigits(*value))
        return AEnv.Fail("PP_DSPGRSZ is \"" + *value + "\", not eight digits");
    if (graphic && (value->substr(0, 4) == "0000" || value->substr(4, 4) == "0000"))
        AEnv.Fail("PP_DSPGRSZ \"" + *value +
                  "\" gives no pixels, although PP_CAPAB says the display is graphic");
}

void CheckMfSup(CheckEnv& AEnv) {
    const auto value = AskItem(AEnv, PP_MFSUP);
    if (!value) return;
    if (value->empty()) return AEnv.Skip("PP_MFSUP is not reported: the PIN pad takes no media files");
    if (value->find_first_not_of("01") != std::string::npos)
        AEnv.Fail("PP_MFSUP is \"" + *value + "\": every position must be 0 or 1");
}

void CheckDspLimits(CheckEnv& AEnv) {
    OpenSession(AEnv);
    if (AEnv.Failed()) return;
    if (!AEnv.Expect(AEnv.Ask(Cmd("DSP").Block("KESTREL CHECK   32 CHARACTERS OK")), "DSP", ST_OK,
                     "DSP of 32 characters"))
        return;
    AEnv.Expect(AEnv.Ask(Cmd("DSP").Block("KESTREL CHECK   33 CHARACTERS: NO")), "DSP", ST_INVPAR,
                "DSP of 33 characters");
}

void CheckDexLimits(CheckEnv& AEnv) {
    OpenSession(AEnv);
    if (AEnv.Failed()) return;
    const auto size = AEnv.PinPad().Caps.DisplayTextModeDimensions;
    const int rows = size.Rows > 0 ? static_cast<int>(size.Rows) : 2;
    const int cols = size.Cols > 0 ? static_cast<int>(size.Cols) : 16;
    // The whole display, as far as 160 characters go.
    const int lines = std::min(rows, 160 / (cols + 1));
    const ByteString full = DexText(static_cast<size_t>(lines * (cols + 1)), cols);
    if (!AEnv.Expect(AEnv.Ask(Cmd("DEX").Block(DexBlock(full))), "DEX", ST_OK,
                     "DEX of " + std::to_string(full.size()) + " characters (" + std::to_string(lines) +
                         " lines of " + std::to_string(cols) + ")"))
        return;
    AEnv.Expect(AEnv.Ask(Cmd("DEX").Block(DexBlock(DexText(161, cols)))), "DEX", ST_INVPAR,
                "DEX of 161 characters");
}

// --- with a cardholder ---------------------------------------------------------------------

// The response to a command the cardholder ends; a failure noted when none comes in time.
std::optional<DecodedMessage> WithCardholder(CheckEnv& AEnv, const ByteString& AData,
                                             const CardholderTask& ATask) {
    OpenSession(AEnv);
    if (AEnv.Failed()) return std::nullopt;
    AEnv.Cardholder().Prepare(ATask);
    const Answer answer = AEnv.Ask(AData, AEnv.Cardholder().PatienceMs());
    if (!answer.Problem.empty()) {
        AEnv.Fail(answer.Problem + " (the cardholder was to " + ATask.Instruction + ")");
        AEnv.CancelLeftovers();
        return std::nullopt;
    }
    return answer.Response;
}

bool ExpectReply(CheckEnv& AEnv, const std::optional<DecodedMessage>& AReply, const std::string& AName,
                 int ACode) {
    if (!AReply) return false;
    if (AReply->Name != AName || AReply->Status != ACode) {
        AEnv.Fail("came " + AReply->Name + " " + Code3(AReply->Status) + ", expected " + AName + " " +
                  Code3(ACode));
        return false;
    }
    return true;
}

void ExpectValue(CheckEnv& AEnv, const DecodedMessage& AReply, uint16_t ATag, const ByteString& AWant) {
    const DecodedTLV* item = Item(AReply, ATag);
    if (!item) return AEnv.Fail(PPParamName(ATag) + " is missing");
    if (item->Value != AWant)
        AEnv.Fail(PPParamName(ATag) + " is \"" + item->Value + "\", expected \"" + AWant + "\"");
}

void CheckGkyKey(CheckEnv& AEnv) {
    ExpectReply(AEnv, WithCardholder(AEnv, Cmd("GKY"), {CardholderTask::Kind::Key, ST_F1, {}, "press F1"}),
                "GKY", ST_F1);
}

void CheckGcdDigits(CheckEnv& AEnv) {
    const ByteString gcd = Cmd("GCD")
                               .Tlv(SPE_MSGIDX, ByteString("\x00\x1D", 2))
                               .Tlv(SPE_MINDIG, "\x04")
                               .Tlv(SPE_MAXDIG, "\x08")
                               .Tlv(SPE_TIMEOUT, "\x3C");
    const auto reply = WithCardholder(
        AEnv, gcd, {CardholderTask::Kind::Digits, 0, "1234", "type 1 2 3 4, then press ENTER"});
    if (ExpectReply(AEnv, reply, "GCD", ST_OK)) ExpectValue(AEnv, *reply, PP_VALUE, "1234");
}

void CheckMnuChoice(CheckEnv& AEnv) {
    const ByteString mnu = Cmd("MNU")
                               .Tlv(SPE_TIMEOUT, "\x3C")
                               .Tlv(SPE_DSPMSG, "KESTREL CHECK\r")
                               .Tlv(SPE_MNUOPT, "ONE")
                               .Tlv(SPE_MNUOPT, "TWO")
                               .Tlv(SPE_MNUOPT, "THREE");
    const auto reply =
        WithCardholder(AEnv, mnu, {CardholderTask::Kind::Choice, 2, {}, "choose the second option, TWO"});
    if (ExpectReply(AEnv, reply, "MNU", ST_OK)) ExpectValue(AEnv, *reply, PP_VALUE, "02");
}

void CheckCexKey(CheckEnv& AEnv) {
    const ByteString cex = Cmd("CEX").Tlv(SPE_CEXOPT, "100000").Tlv(SPE_TIMEOUT, "\x3C");
    const auto reply = WithCardholder(AEnv, cex, {CardholderTask::Kind::Key, ST_OK, {}, "press ENTER"});
    if (ExpectReply(AEnv, reply, "CEX", ST_OK)) ExpectValue(AEnv, *reply, PP_EVENT, "00");
}

void CheckGcdCancelKey(CheckEnv& AEnv) {
    const ByteString gcd = Cmd("GCD").Tlv(SPE_MSGIDX, ByteString("\x00\x1D", 2)).Tlv(SPE_TIMEOUT, "\x3C");
    ExpectReply(AEnv, WithCardholder(AEnv, gcd, {CardholderTask::Kind::Key, ST_CANCEL, {}, "press CANCEL"}),
                "GCD", ST_CANCEL);
}

} // namespace

// --- the list ------------------------------------------------------------------------------

const std::vector<CheckDef>& CheckDefs() {
    static const std::vector<CheckDef> kChecks = {
        {"opn", "session", "OPN without parameters",
         "OPN with no parameters opens a session in clear mode and answers 000.", "ACK, then OPN 000", false,
         CheckOpn},
        {"opn-000", "session", "OPN with an empty parameter block",
         "A block of length 000 carries no parameter: OPN followed by 000 opens a session in clear mode, as "
         "OPN alone does.",
         "ACK, then OPN 000", false, CheckOpn000},
        {"clo-then-command", "session", "A command that needs a session, after CLO",
         "CLO ends the session; from ABECS 2.03 on a command that needs a session opens one by itself, "
         "before "
         "2.03 it is refused with 010.",
         "CLO 000, then DSP 000 (ABECS 2.03 and later) or DSP 010 (earlier)", false, CheckCloThenCommand},
        {"unknown-command", "link", "An unknown command",
         "A command the PIN pad does not know is answered ERR with return code 010 and no data.",
         "ACK, then ERR 010 without blocks", false, CheckUnknownCommand},
        {"nak-damaged-frame", "link", "A command frame with a wrong CRC",
         "A frame whose CRC does not match is answered with NAK and is not executed; the host sends it "
         "again.",
         "NAK, no response, then ACK and GIX 000 for the frame sent again", false, CheckNakOfDamagedFrame},
        {"resend-after-nak", "link", "A response refused by the host",
         "When the host answers a response frame with NAK, the PIN pad sends the same frame again.",
         "ACK, GIX 000, then the same frame again after the NAK", false, CheckResendAfterNak},
        {"cancel-gky", "abort", "CAN while GKY waits",
         "CAN during a command that waits for the cardholder is confirmed with EOT; the command ends without "
         "a "
         "response and the link serves the next command.",
         "EOT within 2 s of CAN, then silence for 1 s, then GIX 000", false,
         [](CheckEnv& AEnv) { CheckCancel(AEnv, "GKY"); }},
        {"cancel-mnu", "abort", "CAN while MNU waits",
         "CAN during a command that waits for the cardholder is confirmed with EOT; the command ends without "
         "a "
         "response and the link serves the next command.",
         "EOT within 2 s of CAN, then silence for 1 s, then GIX 000", false,
         [](CheckEnv& AEnv) { CheckCancel(AEnv, "MNU"); }},
        {"cancel-gcd", "abort", "CAN while GCD waits",
         "CAN during a command that waits for the cardholder is confirmed with EOT; the command ends without "
         "a "
         "response and the link serves the next command.",
         "EOT within 2 s of CAN, then silence for 1 s, then GIX 000", false,
         [](CheckEnv& AEnv) { CheckCancel(AEnv, "GCD"); }},
        {"cancel-cex", "abort", "CAN while CEX waits",
         "CAN during a command that waits for the cardholder is confirmed with EOT; the command ends without "
         "a "
         "response and the link serves the next command.",
         "EOT within 2 s of CAN, then silence for 1 s, then GIX 000", false,
         [](CheckEnv& AEnv) { CheckCancel(AEnv, "CEX"); }},
        {"abort-by-command", "abort", "A waiting command aborted by a new command",
         "A command frame that arrives while a command waits for the cardholder aborts that command, which "
         "gets no response, and is then served.",
         "ACK and GIX 000 for the new command, and nothing for the aborted GKY", false, CheckAbortByCommand},
        {"gix-order", "information", "GIX answers in the order asked",
         "GIX answers the items in the order the host listed them.",
         "GIX 000 with PP_MNNAME, PP_SERNUM, PP_MODEL", false, CheckGixOrder},
        {"gix-repeat", "information", "GIX with an id listed twice", "An id listed twice is answered twice.",
         "GIX 000 with PP_SERNUM, PP_MODEL, PP_SERNUM", false, CheckGixRepeat},
        {"gix-unknown", "information", "GIX with an unknown id",
         "Ids the PIN pad does not know are left out; the others are answered with 000.",
         "GIX 000 with PP_SERNUM and PP_MODEL only", false, CheckGixUnknown},
        {"gix-odd-length", "information", "GIX with an id list of odd length",
         "An id list whose length is odd cannot hold two-byte ids and is refused with 011.",
         "ACK, then GIX 011", false, CheckGixOddLength},
        {"pp-dsptxtsz", "information", "PP_DSPTXTSZ format",
         "PP_DSPTXTSZ is four digits: the text display's rows, then its columns (0216 is 2 rows of 16).",
         "four digits, neither half 00", false, CheckDspTxtSz},
        {"pp-dspgrsz", "information", "PP_DSPGRSZ format",
         "PP_DSPGRSZ is eight digits: the graphic display's height, then its width, in pixels (02400320).",
         "eight digits, neither half 0000 on a graphic display", false, CheckDspGrSz},
        {"pp-mfsup", "information", "PP_MFSUP format",
         "PP_MFSUP holds one digit per media format, 1 when it is taken: PNG, JPEG, GIF in that order.",
         "digits 0 and 1 only", false, CheckMfSup},
        {"dsp-limits", "display", "DSP takes at most 32 characters",
         "DSP shows at most 32 characters (two lines of 16); a longer message is refused with 011.",
         "DSP 000 for 32 characters, DSP 011 for 33", false, CheckDspLimits},
        {"dex-limits", "display", "DEX takes at most 160 characters",
         "DEX takes at most 160 characters laid out for the display; a longer message is refused with 011.",
         "DEX 000 for the display filled, DEX 011 for 161 characters", false, CheckDexLimits},
        {"media-load", "media", "A media load with the right CRC",
         "A file loaded with MLI, MLR and MLE whose data match the size and CRC declared in MLI is accepted "
         "and "
         "listed by LMF.",
         "MLI 000, MLR 000, MLE 000, then LMF lists KCHECK01", false, CheckMediaLoad},
        {"media-bad-crc", "media", "A media load with a wrong CRC",
         "MLE refuses a file whose data do not match the CRC declared in MLI (102, media file loading "
         "error), "
         "and the file is not stored.",
         "MLI 000, MLR 000, MLE refused, and LMF does not list KCHECK02", false, CheckMediaBadCrc},
        {"mlr-without-mli", "media", "MLR without MLI",
         "MLR outside a load begun by MLI is refused with 010.", "ACK, then MLR 010", false,
         CheckMlrWithoutMli},
        {"dsi-missing", "media", "DSI of a missing media file",
         "DSI of a media file the PIN pad does not hold is refused with 100.", "DSI 100", false,
         CheckDsiMissing},
        {"lmf-after-dmf", "media", "LMF after DMF", "A file deleted with DMF is no longer listed by LMF.",
         "load 000, DMF 000, then LMF without KCHECK03", false, CheckLmfAfterDmf},
        {"gky-key", "cardholder", "GKY answers the key pressed",
         "GKY answers the key pressed as its return code: 004 to 007 for F1 to F4, 000 for ENTER.",
         "GKY 004 when F1 is pressed", true, CheckGkyKey},
        {"gcd-digits", "cardholder", "GCD answers the digits typed",
         "GCD answers 000 with the digits typed in PP_VALUE.", "GCD 000 with PP_VALUE 1234", true,
         CheckGcdDigits},
        {"mnu-choice", "cardholder", "MNU answers the option chosen",
         "MNU answers 000 with the number of the option chosen in PP_VALUE, in two digits.",
         "MNU 000 with PP_VALUE 02 for the second option", true, CheckMnuChoice},
        {"cex-key", "cardholder", "CEX reports a key",
         "CEX ends with 000 and the key in PP_EVENT, two digits (00 for ENTER).", "CEX 000 with PP_EVENT 00",
         true, CheckCexKey},
        {"gcd-cancel-key", "cardholder", "CANCEL ends GCD", "The CANCEL key ends GCD with 013.", "GCD 013",
         true, CheckGcdCancelKey},
    };
    return kChecks;
}

} // namespace kestrel::cli
