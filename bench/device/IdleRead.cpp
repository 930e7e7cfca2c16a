// CPU time of reads that wait on a silent line: a 5 s LeByte on a pseudo-terminal and on a
// loopback TCP connection. A wait that polls the descriptor costs next to nothing; a spinning
// one would cost the full 5 s.
#include "device/VexoDevice.h"
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace vexo;

namespace {

double CpuMs() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void Measure(const char* AWhat, TVexoDevice& ADevice, int AMs) {
    const double cpu0 = CpuMs();
    const auto t0 = std::chrono::steady_clock::now();
    std::string outcome = "returned";
    try {
        ADevice.LeByte(AMs);
    } catch (const Exception& e) {
        outcome = e.Message();
    }
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%-28s wall %7.1f ms  cpu %6.2f ms  (%s)\n", AWhat, wall, CpuMs() - cpu0, outcome.c_str());
}

} // namespace

int main(int argc, char** argv) {
    const int ms = argc > 1 ? std::atoi(argv[1]) : 5000;
    int master = -1, slave = -1;
    char name[128] = {};
    termios tio{};
    ::cfmakeraw(&tio);
    if (::openpty(&master, &slave, name, &tio, nullptr) != 0) return 1;
    ::close(slave);
    {
        TVexoDevice device;
        device.SetPorta(name);
        device.Ativar();
        Measure("serial, RaiseExcept on", device, ms);
        device.Serial().RaiseExcept = false;
        Measure("serial, RaiseExcept off", device, ms);
    }

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    TVexoDevice tcp;
    tcp.SetPorta("TCP:127.0.0.1:" + std::to_string(ntohs(a.sin_port)));
    tcp.Ativar();
    Measure("tcp, RaiseExcept on", tcp, ms);
    ::close(listener);
    ::close(master);
    return 0;
}
