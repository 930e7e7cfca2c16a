// check --all: the conformance run on every PIN pad found, all at once.
#include "cli/CheckSuite.h"
#include "cli/Interrupt.h"
#include "cli/Inventory.h"
#include "util/FilesIO.h"

#include <chrono>
#include <fcntl.h>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace kestrel::cli {

namespace {

struct PinPadRun {
    CandidatePort Where;
    bool Answered = false;
    std::string Problem;
    CheckRun Run;
};

int Failures(const CheckRun& ARun) {
    return ARun.Count(CheckStatus::Fail) + ARun.Count(CheckStatus::Error);
}

std::string SuiteName(const PinPadRun& ARun) {
    return "ABECS conformance: " + ARun.Where.Port +
           (ARun.Where.UsbName.empty() ? "" : " (" + ARun.Where.UsbName + ")");
}

std::string JUnit(const std::vector<PinPadRun>& ARuns) {
    size_t tests = 0;
    int failures = 0, errors = 0, skipped = 0;
    double seconds = 0;
    std::string suites;
    for (const auto& run : ARuns) {
        if (!run.Answered) continue;
        tests += run.Run.Reports.size();
        failures += run.Run.Count(CheckStatus::Fail);
        errors += run.Run.Count(CheckStatus::Error);
        skipped += run.Run.Count(CheckStatus::Skip);
        seconds = std::max(seconds, run.Run.Seconds);
        suites += CheckJUnitSuite(run.Run, SuiteName(run));
    }
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"kestrel-cli check --all\" "
           "tests=\"" +
           std::to_string(tests) + "\" failures=\"" + std::to_string(failures) + "\" errors=\"" +
           std::to_string(errors) + "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + time +
           "\">\n" + suites + "</testsuites>\n";
}

// A PIN pad's whole run, shown as soon as it ends so a slow one keeps nobody waiting for the others'.
std::string Finished(const PinPadRun& ARun) {
    if (!ARun.Answered) return "PIN pad on " + ARun.Where.Port + ": not answering (" + ARun.Problem + ")\n\n";
    std::string text = "PIN pad on " + ARun.Run.Port + ": " + ARun.Run.PinPad + "\n";
    for (size_t i = 0; i < ARun.Run.Reports.size(); ++i)
        if (ARun.Run.Reports[i].Status != CheckStatus::Pass)
            text += CheckRow(i + 1, ARun.Run.Reports[i]) + "\n";
    return text + "  " + CheckSummary(ARun.Run) + "\n\n";
}

JsonValue Json(const std::vector<PinPadRun>& ARuns) {
    JsonValue runs = JsonValue::Array(), silent = JsonValue::Array();
    for (const auto& run : ARuns) {
        if (!run.Answered) {
            JsonValue item = JsonValue::Object();
            item.Set("port", run.Where.Port);
            item.Set("problem", run.Problem);
            silent.Push(std::move(item));
            continue;
        }
        JsonValue item = CheckJson(run.Run);
        item.Set("usb", run.Where.UsbName.empty() ? JsonValue() : JsonValue(run.Where.UsbName));
        runs.Push(std::move(item));
    }
    JsonValue object = JsonValue::Object();
    object.Set("command", "check");
    object.Set("all", true);
    object.Set("pinpads", std::move(runs));
    object.Set("not_answering", std::move(silent));
    return object;
}

} // namespace

int RunCheckAll(const CheckOptions& ACheck, const LinkOptions& ALink, const OutputOptions& AOutput) {
    const std::vector<const CheckDef*> chosen = ChosenChecks(ACheck.Only);
    if (ACheck.Interactive || !ACheck.SimProfile.empty())
        throw BadArguments(
            "check --all: --interactive and --sim check one PIN pad; --all checks those found");
    {
        vexo::TVexoAbecsPinPad scratch;
        Configure(scratch, ALink);
    }
    if (!ACheck.JUnitFile.empty()) {
        const int fd = ::open(ACheck.JUnitFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) throw BadArguments("check: --junit " + ACheck.JUnitFile + ": cannot be written");
        ::close(fd);
    }
    CatchInterrupt();
    const std::vector<CandidatePort> ports = CandidatePorts();
    std::vector<PinPadRun> runs(ports.size());
    std::mutex output;
    ForEachInParallel(ports, [&](size_t AIndex, const CandidatePort& APort) {
        PinPadRun& mine = runs[AIndex];
        mine.Where = APort;
        LinkOptions link = ALink;
        link.Port = APort.Port;
        link.DemoLink = false;
        const auto start = std::chrono::steady_clock::now();
        PinPadFacts facts;
        try {
            facts = DiscoverPinPad(link, mine.Run.PinPad);
            mine.Answered = facts.Known;
            if (!facts.Known) mine.Problem = mine.Run.PinPad;
        } catch (const std::exception& e) {
            mine.Problem = std::string("does not open: ") + e.what();
        }
        if (mine.Answered) {
            mine.Run.Port = APort.Port;
            NoCardholder nobody;
            RunCheckList(mine.Run, chosen, link, nobody, facts, ACheck.SettleMs, nullptr);
            mine.Run.Seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        if (AOutput.Json) return;
        const std::lock_guard lock(output);
        if (!AOutput.Quiet || !mine.Answered) std::cout << Finished(mine) << std::flush;
    });

    int answered = 0, failing = 0;
    for (const auto& run : runs) {
        answered += run.Answered;
        failing += run.Answered && Failures(run.Run) > 0;
    }
    if (AOutput.Json)
        std::cout << Json(runs).Serialize() << "\n";
    else
        std::cout << answered << " PIN pad(s) checked, " << failing << " failing, "
                  << (runs.size() - static_cast<size_t>(answered)) << " port(s) not answering\n";
    std::cout.flush();
    if (!ACheck.JUnitFile.empty()) {
        try {
            vexo::GravarArquivoTexto(ACheck.JUnitFile, JUnit(runs), false, false, true);
        } catch (const std::exception& e) {
            std::cerr << "kestrel-cli: check: cannot write " << ACheck.JUnitFile << ": " << e.what() << "\n";
            return kExitFailure;
        }
    }
    if (Interrupted()) return kExitCancelled;
    if (answered == 0) {
        if (!AOutput.Json) std::cerr << "kestrel-cli: check --all: no PIN pad answered\n";
        return kExitPortNotOpen;
    }
    return failing > 0 ? kExitChecksFailed : kExitOk;
}

} // namespace kestrel::cli
