// What the relay costs:
// - the round trip of one chunk through pty -> monitor -> pty and back, against the same round
//   trip over one pseudo-terminal with no monitor (the added latency per chunk is half the
//   difference: a round trip passes the monitor twice), with every output on (trace, JSON Lines,
//   raw recording, card data masked) and with none;
// - the relay thread's CPU time while a steady 115200 bps stream of upload frames passes, in
//   chunks of 64 bytes (a USB CDC packet) and of 1 byte (the worst a UART can do).
// The monitor runs on its own thread in this process; its CPU time is read from that thread's
// clock.
#include "monitor/Ends.h"
#include "monitor/Outputs.h"
#include "monitor/Relay.h"
#include "monitor/Session.h"
#include "pinpad/VexoAbecsPacket.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace kestrel::monitor;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

void Raw(int AFd) {
    termios tio{};
    ::tcgetattr(AFd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(AFd, TCSANOW, &tio);
}

void WriteAll(int AFd, const char* AData, size_t ASize) {
    while (ASize > 0) {
        const ssize_t n = ::write(AFd, AData, ASize);
        if (n > 0) {
            AData += n;
            ASize -= static_cast<size_t>(n);
            continue;
        }
        pollfd p{AFd, POLLOUT, 0};
        ::poll(&p, 1, 100);
    }
}

bool ReadAll(int AFd, size_t ASize) {
    char buffer[4096];
    while (ASize > 0) {
        pollfd p{AFd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) return false;
        const ssize_t n = ::read(AFd, buffer, std::min(sizeof buffer, ASize));
        if (n <= 0) return false;
        ASize -= static_cast<size_t>(n);
    }
    return true;
}

// A pseudo-terminal whose master side answers every byte with itself (a PIN pad that echoes).
class EchoPty {
public:
    EchoPty() {
        char name[128];
        int slave = -1;
        if (::openpty(&fMaster, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
        Raw(slave);
        fSlaveFd = slave;
        fPath = name;
        fThread = std::thread([this] {
            char buffer[4096];
            while (!fStop) {
                pollfd p{fMaster, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                const ssize_t n = ::read(fMaster, buffer, sizeof buffer);
                if (n > 0) WriteAll(fMaster, buffer, static_cast<size_t>(n));
            }
        });
    }
    ~EchoPty() {
        fStop = true;
        fThread.join();
        ::close(fSlaveFd);
        ::close(fMaster);
    }
    const std::string& Path() const { return fPath; }
    int SlaveFd() const { return fSlaveFd; }

private:
    int fMaster = -1, fSlaveFd = -1;
    std::string fPath;
    std::atomic<bool> fStop{false};
    std::thread fThread;
};

// The monitor between a pty it makes (the host's) and a PIN-pad port, on its own thread.
class Monitor {
public:
    Monitor(const std::string& APinPadPath, bool AOutputs) {
        fDir = fs::temp_directory_path() / ("kestrel-monitor-bench-" + std::to_string(::getpid()));
        fs::create_directories(fDir);
        fHost = MakeEnd({EndOptions::Kind::Pty, (fDir / "pos").string(), ""}, "the POS application");
        fPinPad = MakeEnd({EndOptions::Kind::Serial, APinPadPath, "BAUD=115200"}, "the PIN pad");
        SessionOptions options;
        options.Mask = AOutputs;
        std::vector<SessionOutput*> outputs;
        if (AOutputs) {
            fNull = std::fopen("/dev/null", "w");
            fTrace = std::make_unique<TraceTextOutput>(fileno(fNull), true, false);
            fJson = std::make_unique<JsonLinesOutput>("/dev/null");
            fRaw = std::make_unique<RawOutput>((fDir / "bench.raw").string(), true, 10000);
            outputs = {fTrace.get(), fJson.get(), fRaw.get()};
        }
        fSession = std::make_unique<Session>(options, outputs);
        fRelay = std::make_unique<Relay>(*fHost, *fPinPad, *fSession);
        fRelay->Start();
        fStopFd = ::eventfd(0, EFD_CLOEXEC);
        fThread = std::thread([this] { fRelay->Run(fStopFd); });
        fHostFd = ::open((fDir / "pos").c_str(), O_RDWR | O_NOCTTY);
        Raw(fHostFd);
    }
    ~Monitor() {
        ::close(fHostFd);
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(fStopFd, &one, sizeof one);
        fThread.join();
        ::close(fStopFd);
        fRelay.reset();
        fSession.reset();
        fTrace.reset();
        fJson.reset();
        fRaw.reset();
        if (fNull) std::fclose(fNull);
        std::error_code ignored;
        fs::remove_all(fDir, ignored);
    }
    int HostFd() const { return fHostFd; }
    double CpuSeconds() {
        clockid_t clock;
        pthread_getcpuclockid(fThread.native_handle(), &clock);
        timespec ts{};
        clock_gettime(clock, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }

private:
    fs::path fDir;
    std::unique_ptr<End> fHost, fPinPad;
    std::FILE* fNull = nullptr;
    std::unique_ptr<TraceTextOutput> fTrace;
    std::unique_ptr<JsonLinesOutput> fJson;
    std::unique_ptr<RawOutput> fRaw;
    std::unique_ptr<Session> fSession;
    std::unique_ptr<Relay> fRelay;
    int fStopFd = -1, fHostFd = -1;
    std::thread fThread;
};

// A chunk of the given size cut from a real upload frame (MLR with picture bytes).
std::string UploadFrame() {
    std::string data = "MLR999";
    data += std::string{'\x00', '\x0F', '\x03', '\xE3'}; // SPE_DATAIN, 995 bytes
    for (int i = 0; i < 995; ++i)
        data += static_cast<char>(i * 31 % 251);
    return vexo::TVexoAbecsPacket(data).AsString();
}

std::string Chunk(size_t ASize) {
    const std::string frame = UploadFrame();
    std::string chunk;
    while (chunk.size() < ASize)
        chunk += frame;
    chunk.resize(ASize);
    return chunk;
}

// Successive chunks of a stream of upload frames, so that frames are cut and completed as on a
// real line, each sent and waited for back.
void RoundTrip(benchmark::State& AState, int AFd) {
    const auto size = static_cast<size_t>(AState.range(0));
    const std::string stream = Chunk(1 << 20);
    size_t at = 0;
    std::vector<double> samples;
    for (auto _ : AState) {
        if (at + size > stream.size()) at = 0;
        const auto start = Clock::now();
        WriteAll(AFd, stream.data() + at, size);
        if (!ReadAll(AFd, size)) {
            AState.SkipWithError("the echo did not come back");
            return;
        }
        const double took = std::chrono::duration<double>(Clock::now() - start).count();
        AState.SetIterationTime(took);
        samples.push_back(took * 1e6);
        at += size;
    }
    // On a shared machine the mean is mostly other processes' time slices: the low percentiles
    // are what the path itself costs.
    std::sort(samples.begin(), samples.end());
    const auto percentile = [&](double p) {
        return samples[static_cast<size_t>(p * double(samples.size() - 1))];
    };
    AState.counters["min_us"] = samples.front();
    AState.counters["p10_us"] = percentile(0.10);
    AState.counters["p50_us"] = percentile(0.50);
    AState.counters["p90_us"] = percentile(0.90);
    AState.counters["p99_us"] = percentile(0.99);
    AState.SetLabel(std::to_string(size) + " bytes");
}

void BM_RoundTripDirect(benchmark::State& AState) {
    EchoPty pinpad;
    RoundTrip(AState, pinpad.SlaveFd());
}

void BM_RoundTripThroughMonitor(benchmark::State& AState) {
    EchoPty pinpad;
    Monitor monitor(pinpad.Path(), AState.range(1) != 0);
    RoundTrip(AState, monitor.HostFd());
}

// 115200 bps, 10 bits a byte: 11520 bytes a second from the host, in chunks of the given size,
// echoed by the PIN pad; the relay thread's CPU time over the wall time.
void BM_Stream115200(benchmark::State& AState) {
    const auto chunkSize = static_cast<size_t>(AState.range(0));
    EchoPty pinpad;
    Monitor monitor(pinpad.Path(), true);
    const std::string stream = Chunk(11520 * 3);
    std::atomic<bool> reading{true};
    std::thread drain([&] {
        char buffer[4096];
        while (reading) {
            pollfd p{monitor.HostFd(), POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) [[maybe_unused]]
                auto n = ::read(monitor.HostFd(), buffer, sizeof buffer);
        }
    });
    double cpu = 0, wall = 0;
    for (auto _ : AState) {
        const double cpu0 = monitor.CpuSeconds();
        const auto start = Clock::now();
        const auto interval =
            std::chrono::nanoseconds(static_cast<long long>(1e9 * double(chunkSize) / 11520.0));
        auto next = start;
        for (size_t at = 0; at < stream.size(); at += chunkSize) {
            std::this_thread::sleep_until(next);
            WriteAll(monitor.HostFd(), stream.data() + at, std::min(chunkSize, stream.size() - at));
            next += interval;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        cpu += monitor.CpuSeconds() - cpu0;
        AState.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    reading = false;
    drain.join();
    AState.counters["relay_cpu_%"] = 100.0 * cpu / wall;
    AState.SetLabel(std::to_string(chunkSize) + "-byte chunks");
}

} // namespace

BENCHMARK(BM_RoundTripDirect)
    ->Arg(1)
    ->Arg(64)
    ->Arg(2048)
    ->ArgName("bytes")
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTripThroughMonitor)
    ->Args({1, 0})
    ->Args({64, 0})
    ->Args({2048, 0})
    ->Args({1, 1})
    ->Args({64, 1})
    ->Args({2048, 1})
    ->ArgNames({"bytes", "outputs"})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stream115200)->Arg(64)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
