#pragma once
#include "cli/Cardholder.h"
#include "cli/Check.h"
#include "cli/RawLink.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "trace/MessageDecoder.h"
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::cli {

// What the run learnt of the PIN pad before the checks, through the component's own GIX.
struct PinPadFacts {
    bool Known = false;
    vexo::TVexoAbecsPinPadCapabilities Caps;
};

// The answer to one command frame sent on the raw link.
struct Answer {
    bool Acked = false;
    std::optional<kestrel::trace::DecodedMessage> Response;
    ByteString Frame;    // the response frame as it came
    std::string Problem; // empty when ACK and a good response frame came
};

// What one check works with. Each check gets its own: the link opens for it and closes after it,
// so no check depends on what another left behind.
class CheckEnv {
public:
    CheckEnv(const LinkOptions& ALink, CheckCardholder& ACardholder, const PinPadFacts& AFacts,
             CheckReport& AReport, int ASettleMs);
    ~CheckEnv();
    CheckEnv(const CheckEnv&) = delete;
    CheckEnv& operator=(const CheckEnv&) = delete;

    // The link byte by byte (the component's port is closed first).
    RawLink& Raw();
    // The PIN-pad component on the port (the raw link is closed first); every command it runs is
    // noted in the report.
    vexo::TVexoAbecsPinPad& Host();
    // Runs component commands; the last return code, or -1 when the link failed (noted as a failure).
    int HostStep(const std::function<void()>& AStep);

    // Sends AData and reads ACK and the response frame within ATimeoutMs (default: --timeout).
    Answer Ask(const ByteString& AData, int ATimeoutMs = -1);
    // The answer is the named response with that return code; otherwise the failure is noted.
    bool Expect(const Answer& AAnswer, const std::string& AName, int ACode, const std::string& AStep);
    // Sends CAN and waits a moment, unrecorded, so a command left waiting does not outlive the check.
    void CancelLeftovers();
    // A command that waits for the cardholder was started (true), or was aborted or answered (false).
    void SetWaiting(bool AWaiting) { fWaiting = AWaiting; }
    // Listens until the line has been quiet for the longest window a check watches: whatever comes
    // meanwhile belongs to this check, and makes it fail, so the next check starts on a quiet line.
    void Settle();

    void Fail(const std::string& ADiagnosis); // the first failure is the one reported
    void Skip(const std::string& AReason);
    bool Failed() const { return fReport.Status == CheckStatus::Fail; }

    const PinPadFacts& PinPad() const { return fFacts; }
    CheckCardholder& Cardholder() { return fCardholder; }
    bool Mask() const { return fLink.Mask; }
    void Close();
    // One line of what was sent (ASent) or what came back.
    void Note(bool ASent, const std::string& ALine);

private:
    LinkOptions fLink;
    CheckCardholder& fCardholder;
    const PinPadFacts& fFacts;
    CheckReport& fReport;
    RawLink& OpenRaw(bool AForget);

    std::unique_ptr<RawLink> fRaw;
    std::unique_ptr<vexo::TVexoAbecsPinPad> fHost;
    bool fWaiting = false;
    int fSettleMs;
    bool fClosed = false;
    std::string fNotePrefix; // marks what came while the line was watched after the check
};

struct CheckDef {
    const char* Id;
    const char* Group;
    const char* Title;
    const char* Rule;
    const char* Expected;
    bool NeedsCardholder;
    std::function<void(CheckEnv&)> Run;
};

const std::vector<CheckDef>& CheckDefs();

// The checks --only names (every check when empty), in run order; BadArguments for an unknown name.
std::vector<const CheckDef*> ChosenChecks(const std::vector<std::string>& AOnly);
// Opens the port, reads what the PIN pad says of itself (OPN, GIX) and closes it again. Facts.Known is
// false when the PIN pad did not answer; a port that does not open raises.
PinPadFacts DiscoverPinPad(const LinkOptions& ALink, std::string& ADescription);
// Runs AChecks one after the other against the PIN pad on the link, adding each report to ARun and
// showing the run so far to AOnReport. Stops early on Ctrl-C.
void RunCheckList(CheckRun& ARun, const std::vector<const CheckDef*>& AChecks, const LinkOptions& ALink,
                  CheckCardholder& ACardholder, const PinPadFacts& AFacts, int ASettleMs,
                  const std::function<void(const CheckRun&)>& AOnReport);
// "30 checks: 30 passed, ..." and the table row of one check.
std::string CheckSummary(const CheckRun& ARun);
std::string CheckRow(size_t ANumber, const CheckReport& AReport);
// One <testsuite> element, for a file that holds several.
std::string CheckJUnitSuite(const CheckRun& ARun, const std::string& AName);
// Text as XML 1.0 can hold it in an attribute or an element.
std::string Xml(const std::string& AText);

} // namespace kestrel::cli
