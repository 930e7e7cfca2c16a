#include "sim/ReplayScript.h"
#include <algorithm>

namespace kestrel::sim {

using trace::LinkUnit;
using Clock = monitor::TraceClock;

std::string ReplayStep::Name() const {
    if (!IsFrame()) return trace::KindName(Host.What);
    return Host.Data.substr(0, 3);
}

ReplayScript BuildReplayScript(const std::vector<monitor::RelayItem>& AItems) {
    ReplayScript script;
    trace::FrameDecoder fromHost, fromPinPad;
    Clock::time_point stepAt{};
    std::vector<LinkUnit> units;
    for (const auto& item : AItems) {
        if (item.What != monitor::RelayItem::Kind::Bytes) continue;
        if (item.Dir == monitor::Direction::PinPadToHost) {
            // The PIN pad's bytes are played back as they came; the decoder only keeps the cut of
            // frames across chunks in step with the host side.
            if (script.Steps.empty()) {
                script.SkippedBytes += item.Bytes.size();
                continue;
            }
            const auto after = std::chrono::duration_cast<std::chrono::microseconds>(item.At - stepAt);
            script.Steps.back().Answer.push_back({std::max(after, std::chrono::microseconds(0)), item.Bytes});
            continue;
        }
        units.clear();
        fromHost.Feed(item.Bytes, units);
        for (auto& unit : units) {
            ReplayStep step;
            step.Host = std::move(unit);
            step.At = item.At;
            script.Steps.push_back(std::move(step));
            stepAt = item.At;
        }
    }
    return script;
}

namespace {

std::optional<std::pair<ByteString, std::chrono::microseconds>> FirstResponse(const ReplayStep& AStep) {
    trace::FrameDecoder decoder;
    std::vector<LinkUnit> units;
    for (const auto& chunk : AStep.Answer) {
        units.clear();
        decoder.Feed(chunk.Bytes, units);
        for (const auto& unit : units)
            if (unit.What == LinkUnit::Kind::Frame && unit.CrcOk) return std::pair{unit.Data, chunk.After};
    }
    return std::nullopt;
}

size_t Common(const ByteString& A, const ByteString& B) {
    size_t same = 0;
    for (size_t i = 0; i < std::min(A.size(), B.size()); ++i)
        same += A[i] == B[i];
    return same;
}

} // namespace

std::vector<RecordedCommand> RecordedCommands(const ReplayScript& AScript) {
    using std::chrono::microseconds;
    std::vector<RecordedCommand> commands;
    const ReplayStep* first = nullptr; // the first send of the last command
    for (const auto& step : AScript.Steps) {
        if (step.Host.What == LinkUnit::Kind::Can) {
            if (!commands.empty() && !commands.back().Response && !commands.back().CancelAfter && first)
                commands.back().CancelAfter = std::chrono::duration_cast<microseconds>(step.At - first->At);
            continue;
        }
        if (!step.IsFrame() || !step.Host.CrcOk) continue;
        const bool again =
            !commands.empty() && !commands.back().Response && commands.back().Command == step.Host.Data;
        if (!again) {
            commands.push_back({step.Host.Data, std::nullopt, microseconds(0), std::nullopt});
            first = &step;
        }
        if (const auto response = FirstResponse(step)) {
            commands.back().Response = response->first;
            commands.back().Took =
                std::chrono::duration_cast<microseconds>(step.At - first->At) + response->second;
        }
    }
    return commands;
}

int ClosestStep(const ReplayScript& AScript, const ByteString& AData, size_t AFrom) {
    int best = -1;
    // Rank: identical, then same name, then bytes in common; at or after AFrom wins a tie.
    std::tuple<bool, bool, size_t, bool> bestRank{};
    for (size_t i = 0; i < AScript.Steps.size(); ++i) {
        const ReplayStep& step = AScript.Steps[i];
        if (!step.IsFrame() || !step.Host.CrcOk) continue;
        const ByteString& data = step.Host.Data;
        const std::tuple<bool, bool, size_t, bool> rank{
            data == AData, data.substr(0, 3) == AData.substr(0, 3), Common(data, AData), i >= AFrom};
        if (best < 0 || rank > bestRank) {
            best = static_cast<int>(i);
            bestRank = rank;
        }
    }
    return best;
}

} // namespace kestrel::sim
