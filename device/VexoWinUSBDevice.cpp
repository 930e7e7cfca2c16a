#include "device/VexoWinUSBDevice.h"
#include "device/LinkFault.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/FilesIO.h"
#include "util/Strings.h"
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace vexo {

namespace {

// The platform error as the messages show it: 8 upper-case hexadecimal digits.
std::string Hex8(int ACode) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(ACode));
    return text;
}

} // namespace

// ---- the transfer object

TVexoUSBWinDeviceAPI::TVexoUSBWinDeviceAPI() {
    FReader.OnStep = [this](const TReadStatus& AStatus, std::string_view AReceived) {
        LogStep(AStatus, AReceived);
    };
}

TVexoUSBWinDeviceAPI::~TVexoUSBWinDeviceAPI() {
    if (FHandle >= 0) ::close(FHandle);
}

std::string TVexoUSBWinDeviceAPI::NomeErro(int AErrno) const {
    return Hex8(AErrno);
}

void TVexoUSBWinDeviceAPI::Log(const std::string& AText, bool ATraduz) {
    const std::string text = ATraduz ? TraduzirControles(AText) : AText;
    bool handled = false;
    if (OnLog) OnLog(text, handled);
    if (handled || FLogFile.empty()) return;
    GravarLinhaLog(FLogFile, TextToAnsi("-- " + LogTimeStamp() + " - " + text), false);
}

void TVexoUSBWinDeviceAPI::Connect(const std::string& AInterfaceName) {
    Log("Connect(" + AInterfaceName + ")");
    if (IsOpen()) Close();
    std::string name = AInterfaceName;
    if (UpperCase(name.substr(0, 3)) == "USB") name = name.size() > 4 ? name.substr(4) : std::string();
    if (FDevices.Count() == 0) FDevices.FindUSBPrinters(FHardwareType);
    // A path opens as it is; Windows-style device paths are paths too, and fail to open here.
    if (name.starts_with("/") || name.starts_with("\\\\")) {
        const int index = FDevices.IndexOfInterface(NoDoDispositivo(name));
        FDeviceIndex = index;
        OpenPath(name);
        return;
    }
    if (name.empty()) {
        if (FDevices.Count() == 0) throw Exception("Nenhum dispositivo USB encontrado");
        Connect(0);
        return;
    }
    int index = FDevices.IndexOfName(name);
    if (index < 0) {
        // The list was kept from an earlier look; the device may have come since.
        FDevices.FindUSBPrinters(FHardwareType);
        index = FDevices.IndexOfName(name);
    }
    if (index < 0) throw Exception("Erro, dispositivo [" + name + "] não encontrado");
    Connect(index);
}

void TVexoUSBWinDeviceAPI::Connect(int AIndex) {
    if (AIndex < 0 || AIndex >= FDevices.Count())
        throw Exception("Dispositivo USB num: " + std::to_string(AIndex) + " não existe");
    if (IsOpen()) Close();
    FDeviceIndex = AIndex;
    OpenPath(FDevices[AIndex].FDeviceInterface);
}

void TVexoUSBWinDeviceAPI::OpenPath(const std::string& APath) {
    FInterfaceName = APath;
    FReader.Clear();
    Log("  DeviceInterface: " + APath);
    auto fail = [&](int AErr) {
        throw Exception("Erro " + NomeErro(AErr) + " ao abrir o Porta USB " + APath);
    };
    // A bare USB device node speaks only the kernel's control requests, never a byte stream.
    if (APath.empty() || APath.starts_with("/dev/bus/usb/")) fail(EOPNOTSUPP);
    // Never created when absent: a file made in place of a missing device would swallow every byte.
    const int fd = ::open(APath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        fail(err);
    }
    termios tio{};
    FIsTTY = ::tcgetattr(fd, &tio) == 0;
    if (FIsTTY) {
        // Bytes pass unchanged: no echo, no line editing, no CR/LF translation, no flow control.
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
            const int err = errno;
            ::close(fd);
            fail(err);
        }
        ::tcflush(fd, TCIOFLUSH);
    }
    FHandle = fd;
    FReader.SetFd(fd);
}

void TVexoUSBWinDeviceAPI::Close() {
    if (!IsOpen()) return;
    Log("Close");
    const int fd = FHandle;
    FHandle = -1;
    FReader.SetFd(-1);
    FReader.Clear();
    if (::close(fd) != 0 && errno != EINTR)
        throw Exception("Erro " + NomeErro(errno) + " ao fechar a Porta USB " + FInterfaceName);
}

void TVexoUSBWinDeviceAPI::SendData(const ByteString& AData, int ATimeOut) {
    if (!IsOpen()) throw ELinkError(TLinkFault::lkLinkGone, "Dispositivo USB não está aberto");
    const int timeout = ATimeOut == 0 ? FTimeOut : ATimeOut;
    Log("SendData: Bytes: " + std::to_string(AData.size()) + ", TimeOut: " + std::to_string(timeout));
    Log("  Buffer Enviado: " + AData, true);
    const auto deadline = TDeadline::After(timeout);
    size_t done = 0;
    while (done < AData.size()) {
        const ssize_t n = ::write(FHandle, AData.data() + done, AData.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            const int err = errno;
            Log("  WriteFile: Err: " + std::to_string(err));
            throw ELinkError(TLinkFault::lkLinkGone, "Erro " + NomeErro(err) + ", ao enviar " +
                                                         std::to_string(AData.size()) + " bytes para USB");
        }
        const int left = deadline.RemainingMs();
        pollfd p{FHandle, POLLOUT, 0};
        const int r = left > 0 ? ::poll(&p, 1, left) : 0;
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            // The unsent rest is dropped, so a later write does not go out behind a stale one.
            if (FIsTTY) ::tcflush(FHandle, TCOFLUSH);
            Log("  WriteFile: TimeOut");
            throw ELinkError(TLinkFault::lkTimeout,
                             "Erro TimeOut, ao enviar " + std::to_string(AData.size()) + " bytes para USB");
        }
    }
}

void TVexoUSBWinDeviceAPI::LogStep(const TReadStatus& AStatus, std::string_view AReceived) {
    if (AStatus.End == TReadEnd::reTimeout) {
        Log("  ReadFile: TimeOut");
        return;
    }
    const std::string err = std::to_string(AStatus.Error);
    Log("  ReadFile: Err: " + err);
    Log("  Err: " + err + ", BytesReaded: " + std::to_string(AReceived.size()));
    if (!AReceived.empty()) Log("  Buffer Lido: " + ByteString(AReceived), true);
}

// Answering "nothing yet" from a device that has gone would keep a caller that polls waiting on a
// dead port for ever.
void TVexoUSBWinDeviceAPI::RaiseIfGone(const TReadResult& AResult) const {
    if (AResult.End != TReadEnd::reError && AResult.End != TReadEnd::reEndOfFile) return;
    const int err = AResult.End == TReadEnd::reEndOfFile ? ENODEV : AResult.Error;
    throw ELinkError(TLinkFault::lkLinkGone,
                     "Erro " + NomeErro(err) + " ao ler a Porta USB " + FInterfaceName);
}

ByteString TVexoUSBWinDeviceAPI::ReceivePacket(int ATimeOut) {
    if (!IsOpen()) throw ELinkError(TLinkFault::lkLinkGone, "Dispositivo USB não está aberto");
    Log("ReceivePacket: TimeOut: " + std::to_string(ATimeOut));
    TReadResult got = FReader.ReadSome(ByteString::npos, TDeadline::After(ATimeOut));
    RaiseIfGone(got);
    return std::move(got.Data);
}

ByteString TVexoUSBWinDeviceAPI::ReceiveNumBytes(int ABytesToRead, int ATimeOut) {
    if (!IsOpen()) throw ELinkError(TLinkFault::lkLinkGone, "Dispositivo USB não está aberto");
    Log("ReceiveNumBytes: BytesToRead: " + std::to_string(ABytesToRead) +
        ", TimeOut: " + std::to_string(ATimeOut));
    const size_t wanted = static_cast<size_t>(std::max(ABytesToRead, 0));
    TReadResult got = FReader.ReadExactly(wanted, TDeadline::After(ATimeOut));
    RaiseIfGone(got);
    return got.Complete() ? std::move(got.Data) : FReader.Take(wanted);
}

ByteString TVexoUSBWinDeviceAPI::ReceiveTerminated(const ByteString& ATerminator, int ATimeOut) {
    if (!IsOpen()) throw ELinkError(TLinkFault::lkLinkGone, "Dispositivo USB não está aberto");
    Log("ReceiveTerminated: Terminator: " + ATerminator + ", TimeOut: " + std::to_string(ATimeOut), true);
    if (ATerminator.empty()) return {};
    TReadResult got = FReader.ReadUntil(ATerminator, TDeadline::After(ATimeOut));
    RaiseIfGone(got);
    return std::move(got.Data);
}

void TVexoUSBWinDeviceAPI::Purge() {
    Log("Purge");
    Log("  RX");
    FReader.Clear();
    if (!IsOpen()) return;
    if (FIsTTY) {
        ::tcflush(FHandle, TCIFLUSH);
    } else {
        // A printer node has no queue to flush: what is readable now is read and dropped.
        char buffer[PacketSize];
        for (int i = 0; i < 64 && ::read(FHandle, buffer, sizeof buffer) > 0; ++i) {
        }
    }
    Log("  TX");
    if (FIsTTY) ::tcflush(FHandle, TCOFLUSH);
}

} // namespace vexo
