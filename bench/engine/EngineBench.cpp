// The exchange engine against the simulated PIN pad over a pseudo-terminal:
// - media upload, unpaced: throughput and the host thread's CPU time per MB and per packet;
// - media upload with the line paced at 19200 and 115200 baud: measured time over the wire-time
//   lower bound (every byte of every command frame, ACK and response frame, 10 bits a byte);
// - CPU time of a blocking command that waits 10 s for the cardholder.
// The simulator runs on its own thread in this process, so CPU time is taken for the host's
// thread only (CLOCK_THREAD_CPUTIME_ID).
#include "bench/UploadWireBytes.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/SimulatorRunner.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <sstream>

namespace {

using namespace vexo;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;
using Clock = std::chrono::steady_clock;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::string PictureBytes(size_t ASize) {
    std::string bytes = "\x89PNG\r\n\x1A\n";
    uint32_t x = 12345;
    while (bytes.size() < ASize) {
        x = x * 1103515245u + 12345u;
        bytes += static_cast<char>(x >> 24);
    }
    bytes.resize(ASize);
    return bytes;
}

struct Session {
    explicit Session(unsigned ABaud) : sim(Profile::Graphic()) {
        pinpad.SetPort(sim.StartPty());
        pinpad.SetLogLevel(0);
        pinpad.Enable();
        pinpad.OPN();
        sim.SetBaudRate(ABaud); // after the opening, so only the upload is paced
    }
    SimulatorRunner sim;
    TVexoAbecsPinPad pinpad;
};

void Upload(benchmark::State& AState, unsigned ABaud) {
    const auto size = static_cast<size_t>(AState.range(0));
    const std::string bytes = PictureBytes(size);
    Session s(ABaud);
    const auto [wire, packets] = kestrel::bench::UploadWireBytes("BENCH   ", bytes);
    double cpu = 0, wall = 0;
    for (auto _ : AState) {
        std::stringstream file(bytes);
        const double cpu0 = ThreadCpuSeconds();
        const auto t0 = Clock::now();
        s.pinpad.LoadMedia("bench", file, TVexoAbecsPinPadMediaType::mtPNG);
        wall += std::chrono::duration<double>(Clock::now() - t0).count();
        cpu += ThreadCpuSeconds() - cpu0;
        AState.PauseTiming();
        s.pinpad.DMF("bench");
        AState.ResumeTiming();
    }
    const double n = static_cast<double>(AState.iterations());
    const double mb = static_cast<double>(size) / (1024.0 * 1024.0);
    AState.counters["MB_per_s"] = mb * n / wall;
    AState.counters["host_cpu_ms_per_MB"] = cpu / n / mb * 1e3;
    AState.counters["host_cpu_us_per_packet"] = cpu / n / packets * 1e6;
    AState.counters["packets"] = packets;
    if (ABaud > 0) {
        const double lowerBound = static_cast<double>(wire) * 10.0 / ABaud;
        AState.counters["wire_s"] = lowerBound;
        AState.counters["time_over_wire"] = wall / n / lowerBound;
    }
}

void BM_UploadUnpaced(benchmark::State& AState) {
    Upload(AState, 0);
}
void BM_Upload19200(benchmark::State& AState) {
    Upload(AState, 19200);
}
void BM_Upload115200(benchmark::State& AState) {
    Upload(AState, 115200);
}

BENCHMARK(BM_UploadUnpaced)
    ->Arg(10 << 10)
    ->Arg(100 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_Upload115200)
    ->Arg(10 << 10)
    ->Arg(100 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_Upload19200)
    ->Arg(10 << 10)
    ->Arg(100 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// A GKY that the cardholder answers after 10 s: the wait must cost next to no CPU.
void BM_BlockingWait10s(benchmark::State& AState) {
    Session s(0);
    double cpu = 0;
    for (auto _ : AState) {
        s.sim.Delay(10000);
        s.sim.PressKey(0);
        const double cpu0 = ThreadCpuSeconds();
        benchmark::DoNotOptimize(s.pinpad.GKY());
        cpu += ThreadCpuSeconds() - cpu0;
    }
    AState.counters["host_cpu_s"] = cpu / static_cast<double>(AState.iterations());
}
BENCHMARK(BM_BlockingWait10s)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
