#include "device/VexoDeviceLPT.h"
#include "device/VexoDevice.h"
#include "util/Strings.h"
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace vexo {

std::string TVexoDeviceLPT::PrefixoLPT = "/dev/lp";

namespace {

[[noreturn]] void FalhaArquivo(const char* AAcao, const std::string& AArquivo, const std::string& ATexto) {
    throw EInOutError(std::string(AAcao) + " \"" + AArquivo + "\": " + ATexto);
}

[[noreturn]] void FalhaArquivo(const char* AAcao, const std::string& AArquivo) {
    FalhaArquivo(AAcao, AArquivo, std::strerror(errno));
}

// n of "LPT" + n, from 1 up; 0 for any other name.
int NumeroLPT(const std::string& APorta) {
    const std::string u = UpperCase(APorta);
    if (u.size() < 4 || !u.starts_with("LPT")) return 0;
    int n = 0;
    for (size_t i = 3; i < u.size(); ++i) {
        if (u[i] < '0' || u[i] > '9' || n > 99999) return 0;
        n = n * 10 + (u[i] - '0');
    }
    return n;
}

// A FIFO whose reader has gone answers a write with EPIPE and a SIGPIPE that would end the program.
// While this lives the signal is held back; one that came is taken off before it is let through.
class SemSigPipe {
public:
    SemSigPipe() {
        sigemptyset(&fSinal);
        sigaddset(&fSinal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &fSinal, &fAntes);
    }
    ~SemSigPipe() {
        if (sigismember(&fAntes, SIGPIPE)) return;
        sigset_t pendentes;
        if (sigpending(&pendentes) == 0 && sigismember(&pendentes, SIGPIPE)) {
            const timespec zero{};
            sigtimedwait(&fSinal, nullptr, &zero);
        }
        pthread_sigmask(SIG_SETMASK, &fAntes, nullptr);
    }
    SemSigPipe(const SemSigPipe&) = delete;
    SemSigPipe& operator=(const SemSigPipe&) = delete;

private:
    sigset_t fSinal{};
    sigset_t fAntes{};
};

// The open file of one send, closed in every case.
class Arquivo {
public:
    Arquivo(const std::string& ANome, int AFlags) : fNome(ANome), fFd(::open(ANome.c_str(), AFlags, 0644)) {
        if (fFd < 0) FalhaArquivo("Cannot open", fNome);
    }
    ~Arquivo() {
        if (fFd >= 0) ::close(fFd);
    }
    Arquivo(const Arquivo&) = delete;
    Arquivo& operator=(const Arquivo&) = delete;

    // All of APedaco within ATimeOut ms. A printer that takes nothing for that long fails the send
    // rather than holding the caller.
    void Escrever(std::string_view APedaco, int ATimeOut) {
        using Clock = std::chrono::steady_clock;
        const auto prazo = Clock::now() + std::chrono::milliseconds(std::max(ATimeOut, 0));
        bool prontoSemEspaco = false;
        while (!APedaco.empty()) {
            const ssize_t n = ::write(fFd, APedaco.data(), APedaco.size());
            if (n > 0) {
                APedaco.remove_prefix(static_cast<size_t>(n));
                prontoSemEspaco = false;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) FalhaArquivo("Cannot write", fNome);
            const auto resta =
                std::chrono::duration_cast<std::chrono::milliseconds>(prazo - Clock::now()).count();
            if (resta <= 0)
                FalhaArquivo("Cannot write", fNome, "no room within " + std::to_string(ATimeOut) + " ms");
            // The parallel port driver calls itself writable while its printer is busy; a short pause
            // keeps such a port from being asked again at once.
            if (prontoSemEspaco)
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(resta, 10)));
            pollfd p{fFd, POLLOUT, 0};
            prontoSemEspaco = ::poll(&p, 1, static_cast<int>(resta)) > 0;
        }
    }

    void Fechar() {
        const int fd = fFd;
        fFd = -1;
        // After EINTR the descriptor is gone all the same.
        if (::close(fd) != 0 && errno != EINTR) FalhaArquivo("Cannot close", fNome);
    }

private:
    std::string fNome;
    int fFd;
};

// "C:\saida\x", "C:x" or "saida\x": on this system such a name would become one file in the
// working folder with the backslashes in its name, not the file the user meant.
bool CaminhoWindows(const std::string& AArquivo) {
    const bool unidade =
        AArquivo.size() >= 2 && AArquivo[1] == ':' &&
        ((AArquivo[0] >= 'A' && AArquivo[0] <= 'Z') || (AArquivo[0] >= 'a' && AArquivo[0] <= 'z'));
    return unidade || AArquivo.find('\\') != std::string::npos;
}

} // namespace

std::string TVexoDeviceLPT::NomeArquivo(const std::string& APorta) {
    if (UpperCase(APorta.substr(0, 5)) == "FILE:") return APorta.substr(5);
    const int lpt = NumeroLPT(APorta);
    if (lpt > 0) return PrefixoLPT + std::to_string(lpt - 1);
    return APorta;
}

void TVexoDeviceLPT::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    const std::string arquivo = NomeArquivo(APorta);
    GravaLog("  NomeArq: " + arquivo);
    if (Owner().DeviceType() == dtFile && CaminhoWindows(arquivo))
        DoException(Exception("Caminho de arquivo do Windows não é aceito neste sistema [" + arquivo + "]"));
    try {
        // Only a plain file starts again: a file name may point at a device node or a FIFO, which is
        // written to and never removed.
        std::error_code ec;
        if (Owner().DeviceType() == dtFile && std::filesystem::is_regular_file(arquivo, ec)) {
            GravaLog("  DeleteFile(" + arquivo + ")");
            if (::unlink(arquivo.c_str()) != 0) FalhaArquivo("Cannot delete", arquivo);
        }
        Enviar({});
    } catch (const Exception& e) {
        DoException(Exception(std::string(e.ClassName()) + ": " + e.Message()));
    }
}

void TVexoDeviceLPT::EnviaString(const ByteString& AString) {
    GravaLog("  TVexoDeviceLPT.EnviaString ");
    Enviar(AString);
}

void TVexoDeviceLPT::Enviar(const ByteString& AString) {
    const std::string nome = NomeArquivo(fpPorta);
    // A text file is appended to, or created; a port is a device that must already be there. Opening
    // without waiting keeps a FIFO with no reader from holding the caller.
    int flags = O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    if (Owner().DeviceType() == dtFile) flags |= O_CREAT | O_APPEND;
    Arquivo arquivo(nome, flags);
    const int timeout = Owner().TimeOutMilissegundos();
    SemSigPipe semSigPipe;
    EnviaEmBlocos(AString, [&](std::string_view APedaco) { arquivo.Escrever(APedaco, timeout); });
    arquivo.Fechar();
}

} // namespace vexo
