// Playing the host side of a recording against a PIN pad, and comparing what it answers with what
// the recorded one did.
#include "cli/Replay.h"

#include "cli/CheckSuite.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/RawLink.h"
#include "monitor/RecordingFile.h"
#include "pinpad/VexoAbecsAnyCommand.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/ReplayScript.h"
#include "sim/SimulatorRunner.h"
#include "trace/LinkMask.h"
#include "trace/MessageDecoder.h"
#include "trace/ValueText.h"
#include "util/FilesIO.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <unistd.h>

namespace kestrel::cli {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using trace::LinkUnit;

constexpr int kAckTimeoutMs = 2000, kEotTimeoutMs = 2000;
constexpr int kSends = 3; // a frame NAKed twice is given up on the third NAK
// Below this, "slower" is the noise of a loaded machine, not the PIN pad.
constexpr milliseconds kSlowFloor{100};

std::string Ms(microseconds ATime) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", double(ATime.count()) / 1000);
    return text;
}

std::string Shown(uint16_t ATag, const ByteString& AValue, bool AMask) {
    return trace::RenderValue(ATag, true, AValue, AMask);
}

uint16_t IgnoredId(const std::string& AText) {
    if (const auto tag = vexo::PPNameToTagAnyForm(AText)) return *tag;
    if (const auto tag = vexo::AnyParamID(AText)) return *tag;
    throw BadArguments("replay: --ignore \"" + AText +
                       "\" is not a PP_ or SPE_ name nor a tag such as 0x9F37");
}

struct Outcome {
    std::vector<std::string> Differences;
    microseconds Took{0};
    bool LinkBroke = false; // no response, no EOT: the rest of the run is not comparable
};

class Player {
public:
    Player(RawLink& ALink, const ReplayOptions& AOptions, std::set<uint16_t> AIgnore, bool AMasked,
           bool AMaskKnown, bool AShowMask)
        : fLink(ALink), fOptions(AOptions), fIgnore(std::move(AIgnore)), fMasked(AMasked),
          fMaskKnown(AMaskKnown), fShowMask(AShowMask) {}

    Outcome Play(const RecordedCommand& ACommand, int AResponseTimeoutMs) {
        Outcome outcome;
        const auto start = Clock::now();
        if (!SendAccepted(ACommand.Command, outcome)) return outcome;
        if (ACommand.CancelAfter) return Cancel(ACommand, start, outcome);
        const auto wait = std::max<int64_t>(
            AResponseTimeoutMs, int64_t(double(ACommand.Took.count()) / 1000 * fOptions.Slower) + 2000);
        const auto units = fLink.Read(int(wait), [](const std::vector<LinkUnit>& AUnits) {
            return std::any_of(AUnits.begin(), AUnits.end(),
                               [](const LinkUnit& AUnit) { return AUnit.What == LinkUnit::Kind::Frame; });
        });
        outcome.Took = std::chrono::duration_cast<microseconds>(Clock::now() - start);
        const auto frame = std::find_if(units.begin(), units.end(), [](const LinkUnit& AUnit) {
            return AUnit.What == LinkUnit::Kind::Frame;
        });
        if (frame == units.end() && !ACommand.Response) return outcome; // silent, as recorded
        if (frame == units.end()) {
            outcome.Differences.push_back("no response within " + std::to_string(wait) +
                                          " ms; recorded after " + Ms(ACommand.Took));
            outcome.LinkBroke = true;
            return outcome;
        }
        if (!frame->CrcOk) {
            outcome.Differences.push_back("the response frame has a wrong CRC");
            outcome.LinkBroke = true;
            return outcome;
        }
        if (!ACommand.Response) {
            outcome.Differences.push_back("a response where the recording has none");
            return outcome;
        }
        outcome.Differences = CompareResponses(*ACommand.Response, frame->Data, fIgnore, fMasked, fShowMask);
        if (!fMaskKnown && !outcome.Differences.empty()) {
            // JSON Lines do not say whether card data was masked: the clear values may match.
            auto clear = CompareResponses(*ACommand.Response, frame->Data, fIgnore, false, fShowMask);
            if (clear.size() < outcome.Differences.size()) outcome.Differences = std::move(clear);
        }
        if (ACommand.Took > microseconds(0) && outcome.Took > kSlowFloor &&
            double(outcome.Took.count()) > fOptions.Slower * double(ACommand.Took.count()))
            outcome.Differences.push_back("answered after " + Ms(outcome.Took) + ", more than " +
                                          Num(fOptions.Slower) + " times the recorded " + Ms(ACommand.Took));
        return outcome;
    }

private:
    static std::string Num(double AValue) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", AValue);
        return text;
    }

    // Sends the command until it is acknowledged, as a host does on NAK.
    bool SendAccepted(const ByteString& AData, Outcome& AOutcome) {
        for (int send = 1; send <= kSends; ++send) {
            fLink.SendFrame(AData);
            const auto units = fLink.ReadOne(kAckTimeoutMs);
            if (units.empty()) {
                AOutcome.Differences.push_back("no ACK within " + std::to_string(kAckTimeoutMs) + " ms");
                AOutcome.LinkBroke = true;
                return false;
            }
            if (units.front().What == LinkUnit::Kind::Ack) return true;
            if (units.front().What != LinkUnit::Kind::Nak) {
                AOutcome.Differences.push_back(std::string("a ") + trace::KindName(units.front().What) +
                                               " where an ACK was due");
                AOutcome.LinkBroke = true;
                return false;
            }
        }
        AOutcome.Differences.push_back("NAK to every one of " + std::to_string(kSends) + " sends");
        AOutcome.LinkBroke = true;
        return false;
    }

    Outcome& Cancel(const RecordedCommand& ACommand, Clock::time_point AStart, Outcome& AOutcome) {
        const auto left =
            std::chrono::duration_cast<milliseconds>(AStart + *ACommand.CancelAfter - Clock::now());
        const auto early = fLink.Read(int(std::max<int64_t>(left.count(), 0)),
                                      [](const auto& AUnits) { return !AUnits.empty(); });
        if (!early.empty()) {
            AOutcome.Differences.push_back(std::string("a ") + trace::KindName(early.front().What) +
                                           " before the CAN the recording sent after " +
                                           Ms(*ACommand.CancelAfter));
            return AOutcome;
        }
        fLink.SendBytes(ByteString(1, char(vexo::CAN)), "CAN");
        const auto units = fLink.Read(kEotTimeoutMs, [](const std::vector<LinkUnit>& AUnits) {
            return std::any_of(AUnits.begin(), AUnits.end(),
                               [](const LinkUnit& AUnit) { return AUnit.What == LinkUnit::Kind::Eot; });
        });
        AOutcome.Took = std::chrono::duration_cast<microseconds>(Clock::now() - AStart);
        if (std::none_of(units.begin(), units.end(),
                         [](const LinkUnit& AUnit) { return AUnit.What == LinkUnit::Kind::Eot; })) {
            AOutcome.Differences.push_back("no EOT within " + std::to_string(kEotTimeoutMs) + " ms of CAN");
            AOutcome.LinkBroke = true;
        }
        return AOutcome;
    }

    RawLink& fLink;
    const ReplayOptions& fOptions;
    std::set<uint16_t> fIgnore;
    bool fMasked, fMaskKnown, fShowMask;
};

struct Result {
    std::string Name;
    Outcome Out;
};

std::string JUnit(const ReplayOptions& AOptions, const std::string& APort,
                  const std::vector<Result>& AResults, double ASeconds) {
    size_t failures = 0;
    for (const auto& result : AResults)
        failures += !result.Out.Differences.empty();
    const std::string counts = " tests=\"" + std::to_string(AResults.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"0\" time=\"" +
                               std::to_string(ASeconds) + "\"";
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"kestrel-cli replay\"" +
                      counts + ">\n  <testsuite name=\"" + Xml(AOptions.Recording) + "\"" + counts + ">\n";
    xml +=
        "    <properties>\n      <property name=\"port\" value=\"" + Xml(APort) + "\"/>\n    </properties>\n";
    for (size_t i = 0; i < AResults.size(); ++i) {
        const auto& result = AResults[i];
        xml += "    <testcase classname=\"replay\" name=\"" + std::to_string(i + 1) + " " + Xml(result.Name) +
               "\" time=\"" + std::to_string(double(result.Out.Took.count()) / 1e6) + "\">\n";
        if (!result.Out.Differences.empty()) {
            std::string text;
            for (const auto& line : result.Out.Differences)
                text += line + "\n";
            xml += "      <failure message=\"" + Xml(result.Out.Differences.front()) + "\" type=\"replay\">" +
                   Xml(text) + "</failure>\n";
        }
        xml += "    </testcase>\n";
    }
    return xml + "  </testsuite>\n</testsuites>\n";
}

} // namespace

std::vector<RecordedCommand> RecordedCommands(const std::string& APath, bool& AMasked, bool& AMaskKnown) {
    const auto recording = monitor::LoadRecording(APath);
    AMasked = recording.Masked;
    AMaskKnown = recording.MaskKnown;
    return sim::RecordedCommands(sim::BuildReplayScript(recording.Items));
}

std::vector<std::string> CompareResponses(const ByteString& ARecorded, const ByteString& ANow,
                                          const std::set<uint16_t>& AIgnore, bool AMasked, bool AShowMasked) {
    const auto was = trace::DecodeResponse(ARecorded);
    const auto now = trace::DecodeResponse(AMasked ? trace::MaskDataField(ANow, true) : ANow);
    std::vector<std::string> differences;
    if (was.Name != now.Name) differences.push_back("response " + now.Name + ", recorded " + was.Name);
    if (was.Status != now.Status) {
        char text[64];
        std::snprintf(text, sizeof text, "status %03d, recorded %03d", now.Status, was.Status);
        differences.push_back(text + (now.StatusText.empty() ? "" : " (" + now.StatusText + ")"));
    }
    const size_t blocks = std::max(was.Blocks.size(), now.Blocks.size());
    for (size_t b = 0; b < blocks; ++b) {
        const std::string where = blocks > 1 ? " in block " + std::to_string(b + 1) : "";
        if (b >= now.Blocks.size() || b >= was.Blocks.size()) {
            differences.push_back(std::string(b >= now.Blocks.size() ? "no block " : "a block ") +
                                  std::to_string(b + 1) +
                                  (b >= now.Blocks.size() ? ", recorded one" : " not recorded"));
            continue;
        }
        const auto& before = was.Blocks[b];
        const auto& after = now.Blocks[b];
        if (!before.IsTLV || !after.IsTLV) {
            if (before.Data != after.Data)
                differences.push_back("block " + std::to_string(b + 1) + " \"" +
                                      trace::RenderRaw(after.Data, AShowMasked) + "\", recorded \"" +
                                      trace::RenderRaw(before.Data, AShowMasked) + "\"");
            continue;
        }
        std::map<uint16_t, const trace::DecodedTLV*> items;
        for (const auto& item : after.Items)
            items.emplace(item.Tag, &item);
        for (const auto& item : before.Items) {
            if (AIgnore.count(item.Tag)) continue;
            const auto found = items.find(item.Tag);
            if (found == items.end()) {
                differences.push_back(item.Name + " missing" + where + ", recorded " +
                                      Shown(item.Tag, item.Value, AShowMasked));
                continue;
            }
            if (found->second->Value != item.Value)
                differences.push_back(item.Name + where + " " +
                                      Shown(item.Tag, found->second->Value, AShowMasked) + ", recorded " +
                                      Shown(item.Tag, item.Value, AShowMasked));
            items.erase(found);
        }
        for (const auto& [tag, item] : items)
            if (!AIgnore.count(tag))
                differences.push_back(item->Name + where + " " + Shown(tag, item->Value, AShowMasked) +
                                      " not in the recording");
    }
    return differences;
}

int RunReplay(const ReplayOptions& AReplay, LinkOptions ALink) {
    std::set<uint16_t> ignore;
    for (const auto& id : AReplay.Ignore)
        ignore.insert(IgnoredId(id));
    if (!(AReplay.Slower > 1 && AReplay.Slower <= 1000))
        throw BadArguments("replay: --slower takes a number above 1, up to 1000");
    bool masked = true, maskKnown = false;
    std::vector<RecordedCommand> commands;
    try {
        commands = RecordedCommands(AReplay.Recording, masked, maskKnown);
    } catch (const std::runtime_error& e) {
        throw BadArguments(std::string("replay: ") + e.what());
    }
    if (commands.empty()) throw BadArguments("replay: " + AReplay.Recording + " holds no command");
    if (!AReplay.JUnitFile.empty()) {
        const int fd = ::open(AReplay.JUnitFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) throw BadArguments("replay: --junit " + AReplay.JUnitFile + ": cannot be written");
        ::close(fd);
    }
    std::unique_ptr<sim::SimulatorRunner> simulator;
    if (!AReplay.SimProfile.empty()) {
        try {
            simulator = std::make_unique<sim::SimulatorRunner>(sim::Profile::Load(AReplay.SimProfile));
        } catch (const std::exception& e) {
            throw BadArguments(std::string("replay: --sim: ") + e.what());
        }
        ALink.Port = simulator->StartPty();
    }
    CatchInterrupt();
    RawLink link(nullptr, ALink.Mask);
    try {
        link.Open(ALink.Port, ALink.Params);
    } catch (const std::exception& e) {
        std::cerr << "kestrel-cli: replay: cannot open " << ALink.Port << ": " << e.what() << "\n";
        return kExitPortNotOpen;
    }
    std::cout << "replay: " << AReplay.Recording << ", " << commands.size() << " commands, against "
              << ALink.Port << "\n";
    Player player(link, AReplay, ignore, masked, maskKnown, ALink.Mask);
    std::vector<Result> results;
    size_t differing = 0;
    const auto start = Clock::now();
    for (size_t i = 0; i < commands.size() && !Interrupted(); ++i) {
        const std::string name = commands[i].Command.substr(0, 3);
        Result result{name, player.Play(commands[i], ALink.TimeOutMs)};
        char row[128];
        std::snprintf(row, sizeof row, "%4zu %-4s %-9s %s, recorded %s", i + 1, name.c_str(),
                      result.Out.Differences.empty() ? "same" : "DIFFERENT", Ms(result.Out.Took).c_str(),
                      Ms(commands[i].CancelAfter ? *commands[i].CancelAfter : commands[i].Took).c_str());
        std::cout << row << (commands[i].CancelAfter ? " (cancelled with CAN)" : "") << "\n";
        for (const auto& line : result.Out.Differences)
            std::cout << "       " << line << "\n";
        differing += !result.Out.Differences.empty();
        const bool broke = result.Out.LinkBroke;
        results.push_back(std::move(result));
        if (broke) {
            // What follows would be compared with a PIN pad in another state than the recorded one.
            std::cout << "replay: stopped after command " << i + 1
                      << ": the link did not go on as recorded\n";
            break;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::cout << "replay: " << differing << " of " << results.size() << " commands played differ"
              << (results.size() < commands.size()
                      ? "; " + std::to_string(commands.size() - results.size()) + " not played"
                      : std::string())
              << "\n";
    if (!AReplay.JUnitFile.empty()) {
        try {
            vexo::GravarArquivoTexto(AReplay.JUnitFile, JUnit(AReplay, ALink.Port, results, seconds), false,
                                     false, true);
        } catch (const std::exception& e) {
            std::cerr << "kestrel-cli: replay: cannot write " << AReplay.JUnitFile << ": " << e.what()
                      << "\n";
            return kExitFailure;
        }
    }
    if (Interrupted()) return kExitCancelled;
    return differing > 0 || results.size() < commands.size() ? kExitChecksFailed : kExitOk;
}

} // namespace kestrel::cli
