// Running the checks, and the table, JSON and JUnit renderings of a run.
#include "cli/Check.h"

#include "cli/CheckSuite.h"
#include "cli/Interrupt.h"
#include "device/VexoDevice.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/SimulatorRunner.h"
#include "util/FilesIO.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <set>
#include <unistd.h>

namespace kestrel::cli {

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point AStart) {
    return std::chrono::duration<double>(Clock::now() - AStart).count();
}

std::string Seconds(double ASeconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ASeconds);
    return text;
}

std::string Pad(const std::string& AText, size_t AWidth) {
    return AText.size() >= AWidth ? AText + " " : AText + std::string(AWidth - AText.size(), ' ');
}

std::string Row(size_t ANumber, const CheckReport& AReport) {
    char number[8];
    std::snprintf(number, sizeof number, "%3zu  ", ANumber);
    return number + Pad(AReport.Id, 20) + Pad(CheckStatusName(AReport.Status), 7) +
           Pad(Seconds(AReport.Seconds) + "s", 9) + AReport.Title;
}

std::string Summary(const CheckRun& ARun) {
    return std::to_string(ARun.Reports.size()) + " checks: " + std::to_string(ARun.Count(CheckStatus::Pass)) +
           " passed, " + std::to_string(ARun.Count(CheckStatus::Fail)) + " failed, " +
           std::to_string(ARun.Count(CheckStatus::Skip)) + " skipped, " +
           std::to_string(ARun.Count(CheckStatus::Error)) + " could not run (" + Seconds(ARun.Seconds) +
           " s)";
}

} // namespace

// Characters XML 1.0 cannot hold at all become '?'; the five special ones are escaped.
std::string Xml(const std::string& AText) {
    std::string out;
    for (char c : AText) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += (b < 0x20 && c != '\n' && c != '\t') ? '?' : c;
        }
    }
    return out;
}

namespace {

std::string Details(const CheckReport& AReport, const std::string& AIndent) {
    std::string text;
    const auto lines = [&](const char* ALabel, const std::vector<std::string>& ALines) {
        text += AIndent + ALabel;
        if (ALines.empty()) text += "(nothing)\n";
        for (size_t i = 0; i < ALines.size(); ++i)
            text += (i ? AIndent + "          " : "") + ALines[i] + "\n";
    };
    text += AIndent + "rule:     " + AReport.Rule + "\n";
    text += AIndent + "expected: " + AReport.Expected + "\n";
    lines("link:     ", AReport.Exchange);
    if (!AReport.Diagnosis.empty())
        text += AIndent + (AReport.Status == CheckStatus::Skip ? "skipped:  " : "why:      ") +
                AReport.Diagnosis + "\n";
    return text;
}

PinPadFacts Discover(const LinkOptions& ALink, std::string& ADescription) {
    PinPadFacts facts;
    vexo::TVexoAbecsPinPad pinpad;
    Configure(pinpad, ALink);
    pinpad.Enable(); // a port that does not open ends the run
    try {
        pinpad.OPN();
        facts.Caps = pinpad.GetPinPadCapabilities();
        facts.Known = true;
        char version[16];
        std::snprintf(version, sizeof version, "%.2f", facts.Caps.SpecificationVersion);
        ADescription = facts.Caps.Manufacturer + " " + facts.Caps.Model + ", serial " +
                       facts.Caps.SerialNumber + ", ABECS " + version + ", text display " +
                       std::to_string(facts.Caps.DisplayTextModeDimensions.Rows) + "x" +
                       std::to_string(facts.Caps.DisplayTextModeDimensions.Cols);
        if (facts.Caps.DisplayIsGraphic)
            ADescription += ", graphic display " + std::to_string(facts.Caps.DisplayGraphicPixels.Cols) +
                            "x" + std::to_string(facts.Caps.DisplayGraphicPixels.Rows);
    } catch (const std::exception& e) {
        ADescription = std::string("unknown: OPN and GIX failed (") + e.what() + ")";
    }
    pinpad.Disable();
    return facts;
}

std::vector<const CheckDef*> Chosen(const std::vector<std::string>& AOnly) {
    std::vector<const CheckDef*> chosen;
    std::set<std::string> unknown(AOnly.begin(), AOnly.end());
    for (const CheckDef& def : CheckDefs()) {
        bool wanted = AOnly.empty();
        for (const auto& name : AOnly)
            if (name == def.Id || name == def.Group) {
                wanted = true;
                unknown.erase(name);
            }
        if (wanted) chosen.push_back(&def);
    }
    if (!unknown.empty()) throw BadArguments("check: no check or group named " + *unknown.begin());
    return chosen;
}

} // namespace

std::vector<const CheckDef*> ChosenChecks(const std::vector<std::string>& AOnly) {
    return Chosen(AOnly);
}

PinPadFacts DiscoverPinPad(const LinkOptions& ALink, std::string& ADescription) {
    return Discover(ALink, ADescription);
}

std::string CheckSummary(const CheckRun& ARun) {
    return Summary(ARun);
}

std::string CheckRow(size_t ANumber, const CheckReport& AReport) {
    return Row(ANumber, AReport);
}

void RunCheckList(CheckRun& ARun, const std::vector<const CheckDef*>& AChecks, const LinkOptions& ALink,
                  CheckCardholder& ACardholder, const PinPadFacts& AFacts, int ASettleMs,
                  const std::function<void(const CheckRun&)>& AOnReport) {
    for (const CheckDef* def : AChecks) {
        if (Interrupted()) break;
        CheckReport report{def->Id, def->Group, def->Title, def->Rule, def->Expected, CheckStatus::Pass, {},
                           {},      {},         {},         0};
        const auto begun = Clock::now();
        if (def->NeedsCardholder && !ACardholder.Available()) {
            report.Status = CheckStatus::Skip;
            report.Diagnosis = ACardholder.Absence();
        } else {
            CheckEnv env(ALink, ACardholder, AFacts, report, ASettleMs);
            try {
                def->Run(env);
            } catch (const std::exception& e) {
                report.Status = CheckStatus::Error;
                report.Diagnosis = e.what();
            }
            env.Close();
        }
        report.Seconds = Since(begun);
        ARun.Reports.push_back(std::move(report));
        if (AOnReport) AOnReport(ARun);
    }
}

const char* CheckStatusName(CheckStatus AStatus) {
    switch (AStatus) {
    case CheckStatus::Pass:
        return "pass";
    case CheckStatus::Fail:
        return "FAIL";
    case CheckStatus::Skip:
        return "skip";
    case CheckStatus::Error:
        return "ERROR";
    }
    return "ERROR";
}

int CheckRun::Count(CheckStatus AStatus) const {
    int n = 0;
    for (const auto& report : Reports)
        n += report.Status == AStatus;
    return n;
}

std::vector<CheckReport> CheckList() {
    std::vector<CheckReport> list;
    for (const CheckDef& def : CheckDefs())
        list.push_back(
            {def.Id, def.Group, def.Title, def.Rule, def.Expected, CheckStatus::Pass, {}, {}, {}, {}, 0});
    return list;
}

std::string CheckTable(const CheckRun& ARun, bool AVerbose) {
    std::string text = "PIN pad on " + ARun.Port + ": " + ARun.PinPad + "\n";
    text += "  #  CHECK               RESULT TIME     WHAT\n";
    for (size_t i = 0; i < ARun.Reports.size(); ++i)
        text += Row(i + 1, ARun.Reports[i]) + "\n";
    text += "\n";
    std::string failures;
    for (const auto& report : ARun.Reports) {
        const bool failed = report.Status == CheckStatus::Fail || report.Status == CheckStatus::Error;
        if (failed)
            failures += "  " + std::string(CheckStatusName(report.Status)) + " " + report.Id + ": " +
                        report.Diagnosis + "\n";
        if (!failed && !AVerbose) continue;
        text += std::string(CheckStatusName(report.Status)) + " " + report.Id + ": " + report.Title + "\n" +
                Details(report, "    ") + "\n";
    }
    if (!failures.empty())
        text += "Failed checks (" +
                std::to_string(ARun.Count(CheckStatus::Fail) + ARun.Count(CheckStatus::Error)) + "):\n" +
                failures + "\n";
    text += Summary(ARun) + "\n";
    return text;
}

JsonValue CheckJson(const CheckRun& ARun) {
    JsonValue checks = JsonValue::Array();
    for (const auto& report : ARun.Reports) {
        JsonValue check = JsonValue::Object();
        check.Set("id", report.Id);
        check.Set("group", report.Group);
        check.Set("title", report.Title);
        check.Set("result", std::string(report.Status == CheckStatus::Pass   ? "pass"
                                        : report.Status == CheckStatus::Fail ? "fail"
                                        : report.Status == CheckStatus::Skip ? "skip"
                                                                             : "error"));
        check.Set("rule", report.Rule);
        check.Set("expected", report.Expected);
        check.Set("sent", JsonValue::StringArray(report.Sent));
        check.Set("got", JsonValue::StringArray(report.Got));
        check.Set("exchange", JsonValue::StringArray(report.Exchange));
        check.Set("diagnosis", report.Diagnosis.empty() ? JsonValue() : JsonValue(report.Diagnosis));
        check.Set("seconds", report.Seconds);
        checks.Push(std::move(check));
    }
    JsonValue run = JsonValue::Object();
    run.Set("port", ARun.Port);
    run.Set("pinpad", ARun.PinPad);
    run.Set("passed", ARun.Count(CheckStatus::Pass));
    run.Set("failed", ARun.Count(CheckStatus::Fail));
    run.Set("skipped", ARun.Count(CheckStatus::Skip));
    run.Set("errors", ARun.Count(CheckStatus::Error));
    run.Set("seconds", ARun.Seconds);
    run.Set("checks", std::move(checks));
    return run;
}

std::string CheckJUnit(const CheckRun& ARun) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string counts = " tests=\"" + std::to_string(ARun.Reports.size()) + "\" failures=\"" +
                               std::to_string(ARun.Count(CheckStatus::Fail)) + "\" errors=\"" +
                               std::to_string(ARun.Count(CheckStatus::Error)) + "\" skipped=\"" +
                               std::to_string(ARun.Count(CheckStatus::Skip)) + "\" time=\"" +
                               Seconds(ARun.Seconds) + "\"";
    xml += "<testsuites name=\"kestrel-cli check\"" + counts + ">\n";
    xml += CheckJUnitSuite(ARun, "ABECS conformance");
    xml += "</testsuites>\n";
    return xml;
}

std::string CheckJUnitSuite(const CheckRun& ARun, const std::string& AName) {
    const std::string counts = " tests=\"" + std::to_string(ARun.Reports.size()) + "\" failures=\"" +
                               std::to_string(ARun.Count(CheckStatus::Fail)) + "\" errors=\"" +
                               std::to_string(ARun.Count(CheckStatus::Error)) + "\" skipped=\"" +
                               std::to_string(ARun.Count(CheckStatus::Skip)) + "\" time=\"" +
                               Seconds(ARun.Seconds) + "\"";
    std::string xml = "  <testsuite name=\"" + Xml(AName) + "\"" + counts + ">\n";
    xml += "    <properties>\n      <property name=\"port\" value=\"" + Xml(ARun.Port) +
           "\"/>\n      <property name=\"pinpad\" value=\"" + Xml(ARun.PinPad) + "\"/>\n    </properties>\n";
    for (const auto& report : ARun.Reports) {
        xml += "    <testcase classname=\"abecs." + Xml(report.Group) + "\" name=\"" + Xml(report.Id) +
               "\" time=\"" + Seconds(report.Seconds) + "\">\n";
        const std::string details = Xml(Details(report, ""));
        switch (report.Status) {
        case CheckStatus::Fail:
            xml += "      <failure message=\"" + Xml(report.Diagnosis) + "\" type=\"ABECS\">" + details +
                   "</failure>\n";
            break;
        case CheckStatus::Error:
            xml += "      <error message=\"" + Xml(report.Diagnosis) + "\" type=\"link\">" + details +
                   "</error>\n";
            break;
        case CheckStatus::Skip:
            xml += "      <skipped message=\"" + Xml(report.Diagnosis) + "\"/>\n";
            break;
        case CheckStatus::Pass:
            break;
        }
        xml += "      <system-out>" + details + "</system-out>\n    </testcase>\n";
    }
    xml += "  </testsuite>\n";
    return xml;
}

int RunChecks(const CheckOptions& ACheck, LinkOptions ALink, const OutputOptions& AOutput) {
    const std::vector<const CheckDef*> chosen = Chosen(ACheck.Only);
    {
        // The link options are checked before anything starts or opens.
        vexo::TVexoAbecsPinPad scratch;
        Configure(scratch, ALink);
    }
    if (ACheck.Interactive && !ACheck.SimProfile.empty())
        throw BadArguments(
            "check: --interactive and --sim exclude each other (the simulator plays the cardholder)");
    if (ACheck.List) {
        for (const CheckDef* def : chosen)
            std::cout << Pad(def->Id, 20) << Pad(def->Group, 12) << def->Title << "\n    " << def->Rule
                      << "\n";
        return kExitOk;
    }
    if (!ACheck.JUnitFile.empty()) {
        // Found out now rather than after the whole run.
        const int fd = ::open(ACheck.JUnitFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) throw BadArguments("check: --junit " + ACheck.JUnitFile + ": cannot be written");
        ::close(fd);
    }
    CatchInterrupt();
    std::unique_ptr<kestrel::sim::SimulatorRunner> simulator;
    std::unique_ptr<CheckCardholder> cardholder;
    if (!ACheck.SimProfile.empty()) {
        try {
            simulator = std::make_unique<kestrel::sim::SimulatorRunner>(
                kestrel::sim::Profile::Load(ACheck.SimProfile));
        } catch (const std::exception& e) {
            throw BadArguments(std::string("check --sim: ") + e.what());
        }
        ALink.Port = simulator->StartPty();
        cardholder = std::make_unique<SimulatedCardholder>(*simulator);
    } else if (ACheck.Interactive) {
        cardholder = std::make_unique<TerminalCardholder>();
    } else {
        cardholder = std::make_unique<NoCardholder>();
    }

    if (!simulator) {
        if (const std::string missing = MissingDemoLink(ALink); !missing.empty()) {
            CommandResult failure;
            failure.Command = "check";
            failure.What = Outcome::PortNotOpen;
            failure.Error = missing;
            PrintResult(failure, AOutput, std::cout, std::cerr);
            return failure.ExitCode();
        }
    }
    CheckRun run;
    run.Port = simulator ? "the simulator (profile " + simulator->GetProfile().Name + ", " + ALink.Port + ")"
                         : ALink.Port;
    const auto start = Clock::now();
    PinPadFacts facts;
    try {
        facts = Discover(ALink, run.PinPad);
    } catch (const std::exception& e) {
        CommandResult failure;
        failure.Command = "check";
        failure.What = Outcome::PortNotOpen;
        failure.Error = "cannot open " + ALink.Port + ": " + e.what();
        PrintResult(failure, AOutput, std::cout, std::cerr);
        return failure.ExitCode();
    }
    if (!AOutput.Json) std::cout << "PIN pad on " << run.Port << ": " << run.PinPad << "\n" << std::flush;
    RunCheckList(run, chosen, ALink, *cardholder, facts, ACheck.SettleMs, [&](const CheckRun& ASoFar) {
        if (!AOutput.Json && !AOutput.Quiet)
            std::cout << Row(ASoFar.Reports.size(), ASoFar.Reports.back()) << "\n" << std::flush;
    });
    run.Seconds = Since(start);

    if (AOutput.Json) {
        JsonValue object = CheckJson(run);
        object.Set("command", "check");
        std::cout << object.Serialize() << "\n";
    } else if (!AOutput.Quiet) {
        const std::string table = CheckTable(run, ACheck.Verbose);
        // The rows were shown as the checks ran; the details and the summary follow them.
        std::cout << "\n" << table.substr(table.find("\n\n") + 2);
    } else {
        std::cout << Summary(run) << "\n";
    }
    std::cout.flush();
    if (!ACheck.JUnitFile.empty()) {
        try {
            vexo::GravarArquivoTexto(ACheck.JUnitFile, CheckJUnit(run), false, false, true);
        } catch (const std::exception& e) {
            std::cerr << "kestrel-cli: check: cannot write " << ACheck.JUnitFile << ": " << e.what() << "\n";
            return kExitFailure;
        }
    }
    if (Interrupted()) return kExitCancelled;
    return run.Count(CheckStatus::Fail) + run.Count(CheckStatus::Error) > 0 ? kExitChecksFailed : kExitOk;
}

} // namespace kestrel::cli
