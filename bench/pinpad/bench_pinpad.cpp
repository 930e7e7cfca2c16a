// Link-layer costs over one full data field (2048 bytes): CRC, escaping and unescaping, each next
// to the plain definition it replaces, so the report shows both figures and their ratio.
#include "pinpad/VexoAbecsPacket.h"
#include "tests/pinpad/BitwiseCRC.h"
#include "tests/pinpad/ThreePassEscaping.h"

#include <benchmark/benchmark.h>
#include <random>
#include <string>

using namespace vexo;

namespace {

constexpr size_t kFieldSize = 2048;

// Random bytes; every value occurs, the three escaped ones about 24 times each.
const std::string& DataField() {
    static const std::string data = [] {
        std::mt19937 rng(2048);
        std::string out(kFieldSize, '\0');
        for (char& c : out)
            c = static_cast<char>(rng() & 0xFF);
        return out;
    }();
    return data;
}

template <typename F> void Run(benchmark::State& AState, const std::string& AInput, F&& AFunction) {
    for (auto _ : AState)
        benchmark::DoNotOptimize(AFunction(AInput));
    AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations()) * static_cast<int64_t>(AInput.size()));
}

void BM_CalcCRC(benchmark::State& AState) {
    Run(AState, DataField(), TVexoAbecsPacket::CalcCRC);
}
void BM_CalcCRC_Bitwise(benchmark::State& AState) {
    Run(AState, DataField(), kestrel::testing::BitwiseCRC);
}

void BM_StuffData(benchmark::State& AState) {
    Run(AState, DataField(), TVexoAbecsPacket::StuffData);
}
void BM_StuffData_ThreePass(benchmark::State& AState) {
    Run(AState, DataField(), kestrel::testing::StuffThreePass);
}

void BM_UnstuffData(benchmark::State& AState) {
    Run(AState, TVexoAbecsPacket::StuffData(DataField()), TVexoAbecsPacket::UnstuffData);
}
void BM_UnstuffData_ThreePass(benchmark::State& AState) {
    Run(AState, TVexoAbecsPacket::StuffData(DataField()), kestrel::testing::UnstuffThreePass);
}

} // namespace

BENCHMARK(BM_CalcCRC);
BENCHMARK(BM_CalcCRC_Bitwise);
BENCHMARK(BM_StuffData);
BENCHMARK(BM_StuffData_ThreePass);
BENCHMARK(BM_UnstuffData);
BENCHMARK(BM_UnstuffData_ThreePass);
