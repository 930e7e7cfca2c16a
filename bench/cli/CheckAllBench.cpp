// kestrel-cli check --all against 1 and against 8 simulated PIN pads on pseudo-terminals (this process
// runs the simulators; the CLI is a child process, as on a bench). Prints the median wall time of each
// over a few rounds and the ratio 8 : 1. Checked one after the other, eight would take about eight times
// one; at once, the ratio stays near 1.
//   bench_check_all [ROUNDS]    (default 3)
#include "sim/SimulatorRunner.h"
#include "tests/support/Spawn.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One check --all run with the given ports as the only serial ports; its wall time and exit status.
double CheckAll(const std::vector<std::string>& APorts, int& AStatus) {
    std::string list;
    for (const auto& port : APorts)
        list += (list.empty() ? "" : ":") + port;
    const auto start = Clock::now();
    kestrel::test::SpawnOptions options;
    options.Env["KESTREL_SERIAL_PORTS"] = list;
    options.OutFile = "/dev/null";
    const pid_t pid = kestrel::test::Spawn(KESTREL_CLI_PROGRAM, {"-q", "check", "--all"}, options);
    if (pid < 0) {
        AStatus = 127;
        return 0;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    AStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    return AValues[AValues.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<std::unique_ptr<kestrel::sim::SimulatorRunner>> sims;
    std::vector<std::string> ports;
    for (int i = 0; i < 8; ++i) {
        sims.push_back(std::make_unique<kestrel::sim::SimulatorRunner>());
        ports.push_back(sims.back()->StartPty());
    }
    const std::vector<std::string> one(ports.begin(), ports.begin() + 1);
    std::vector<double> single, eight;
    bool failed = false;
    for (int round = 0; round < rounds; ++round) {
        int status = 0;
        single.push_back(CheckAll(one, status));
        if (status != 0) std::fprintf(stderr, "check --all on 1 PIN pad ended with status %d\n", status);
        failed |= status != 0;
        eight.push_back(CheckAll(ports, status));
        if (status != 0) std::fprintf(stderr, "check --all on 8 PIN pads ended with status %d\n", status);
        failed |= status != 0;
    }
    // The time of a run that failed measures the failure, not the check.
    if (failed) {
        std::fprintf(stderr, "no figures: a check --all run failed\n");
        return 1;
    }
    const double t1 = Median(single), t8 = Median(eight);
    std::printf("check --all, median of %d rounds: 1 PIN pad %.3f s, 8 PIN pads %.3f s, ratio %.2f\n", rounds,
                t1, t8, t8 / t1);
    return 0;
}
