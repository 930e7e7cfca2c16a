#include "device/BlockSerial.h"
#include "device/CustomBaud.h"
#include "util/Strings.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace vexo {

namespace {

// A read or write error that means the device itself went away (unplugged, hung up, pty closed).
bool IsGone(int AErrno) {
    return AErrno == EIO || AErrno == ENXIO || AErrno == ENODEV || AErrno == EBADF;
}

// Pseudo-terminals and some adapters have no modem lines or counters; that is not a failure.
bool IsUnsupported(int AErrno) {
    return AErrno == ENOTTY || AErrno == EINVAL;
}

speed_t SpeedOf(int ABaud) {
    switch (ABaud) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 1152000:
        return B1152000;
    case 1500000:
        return B1500000;
    case 2000000:
        return B2000000;
    case 2500000:
        return B2500000;
    case 3000000:
        return B3000000;
    case 3500000:
        return B3500000;
    case 4000000:
        return B4000000;
    default:
        return B0;
    }
}

tcflag_t SizeOf(int ABits) {
    switch (ABits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

std::string TBlockSerial::ErrorDescription(int ACode) {
    switch (ACode) {
    case 0:
        return "OK";
    case ErrAlreadyOwned:
        return "Port owned by other process";
    case ErrAlreadyInUse:
        return "Instance already in use";
    case ErrWrongParameter:
        return "Wrong parameter at call";
    case ErrPortNotOpen:
        return "Instance not yet connected";
    case ErrNoDeviceAnswer:
        return "No device answer detected";
    case ErrMaxBuffer:
        return "Maximal buffer length exceeded";
    case ErrTimeout:
        return "Timeout during operation";
    case ErrNotRead:
        return "Reading of data failed";
    case ErrFrame:
        return "Receive framing error";
    case ErrOverrun:
        return "Receive Overrun Error";
    case ErrRxOver:
        return "Receive Queue overflow";
    case ErrRxParity:
        return "Receive Parity Error";
    case ErrTxFull:
        return "Tranceive Queue is full";
    default:
        return std::strerror(ACode);
    }
}

std::string TBlockSerial::NomeDispositivo(const std::string& AComPort) {
    const std::string upper = UpperCase(AComPort);
    if (upper.size() > 3 && upper.starts_with("COM") && upper.size() <= 9 &&
        upper.find_first_not_of("0123456789", 3) == std::string::npos) {
        const int n = std::stoi(upper.substr(3));
        if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    if (AComPort.size() > 4 && AComPort.starts_with("\\\\.\\")) return "/dev/" + AComPort.substr(4);
    return AComPort;
}

TBlockSerial::TBlockSerial() = default;

TBlockSerial::~TBlockSerial() {
    // The owner of the status callback may already be gone.
    OnStatus = nullptr;
    RaiseExcept = false;
    CloseSocket();
}

void TBlockSerial::RaiseError() {
    throw ESerialPortError(LastError(), LastErrorDesc());
}

void TBlockSerial::DoStatus(THookSerialReason AReason, const std::string& AValue) {
    if (OnStatus) OnStatus(this, AReason, AValue);
}

void TBlockSerial::Connect(const std::string& AComPort) {
    ClearError();
    if (IsOpen()) {
        SetError(ErrAlreadyInUse);
        ExceptCheck();
        return;
    }
    LineBuffer.clear();
    fDevice = AComPort;
    const int fd = ::open(NomeDispositivo(AComPort).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetError(errno);
        ExceptCheck();
        return;
    }
    // TIOCEXCL keeps other openers out, but root ignores it; the lock holds for everyone.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        SetError(err);
        ExceptCheck();
        return;
    }
    ::ioctl(fd, TIOCEXCL);
    fHandle = fd;
    fCounters = {};
    CheckLineErrors();
    ClearError();
    if ((TestDSR && !DSR()) || (TestCTS && !CTS())) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        fHandle = -1;
        SetError(ErrNoDeviceAnswer);
        ExceptCheck();
        return;
    }
    fInstanceActive = true;
    SetRTS(true);
    SetDTR(true);
    Purge();
    DoStatus(HR_Connect, fDevice);
}

void TBlockSerial::Config(int ABaud, int ABits, char AParity, int AStop, bool ASoftFlow, bool AHardFlow) {
    ClearError();
    if (!IsOpen()) {
        SetError(ErrPortNotOpen);
        ExceptCheck();
        return;
    }
    // termios has one flag for "more than one stop bit": the line sends one and a half with 5 data
    // bits and two with more. Taking 1.5 with 6 to 8 bits would quietly give 2.
    if (AStop == 1 && ABits != 5) {
        SetError(ErrWrongParameter, "1.5 stop bits need 5 data bits");
        ExceptCheck();
        return;
    }
    termios tio{};
    if (::tcgetattr(fHandle, &tio) != 0) {
        SetError(errno);
        ExceptCheck();
        return;
    }
    const tcflag_t oldParity = tio.c_cflag & (PARENB | PARODD | CMSPAR);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    const speed_t speed = SpeedOf(ABaud);
    if (speed == B0 && (ABaud <= 0 || ABaud > 4000000)) {
        SetError(EINVAL);
        ExceptCheck();
        return;
    }
    ::cfsetispeed(&tio, speed == B0 ? B38400 : speed);
    ::cfsetospeed(&tio, speed == B0 ? B38400 : speed);
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | SizeOf(ABits);
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (AParity) {
    case 'E':
    case 'e':
        tio.c_cflag |= PARENB;
        break;
    case 'O':
    case 'o':
        tio.c_cflag |= PARENB | PARODD;
        break;
    case 'M':
    case 'm':
        tio.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 'S':
    case 's':
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    case 'N':
    case 'n':
        break;
    default:
        tio.c_cflag |= oldParity; // an unknown character keeps the port's parity
    }
    if (tio.c_cflag & PARENB) tio.c_iflag |= INPCK;
    if (AStop >= 1) tio.c_cflag |= CSTOPB;
    tio.c_cc[VSTART] = 17;
    tio.c_cc[VSTOP] = 19;
    if (ASoftFlow) tio.c_iflag |= IXON | IXOFF;
    if (AHardFlow) tio.c_cflag |= CRTSCTS;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fHandle, TCSANOW, &tio) != 0) {
        SetError(errno);
        ExceptCheck();
        return;
    }
    if (speed == B0) {
        if (const int err = SetCustomBaud(fHandle, ABaud)) {
            SetError(err);
            ExceptCheck();
            return;
        }
    }
    SetDTR(true);
    if (!AHardFlow) SetRTS(true);
}

void TBlockSerial::CloseSocket() {
    if (IsOpen()) {
        Purge();
        SetRTS(false);
        SetDTR(false);
        ::ioctl(fHandle, TIOCNXCL);
        ::close(fHandle);
    }
    fInstanceActive = false;
    fHandle = -1;
    ClearError();
    DoStatus(HR_SerialClose, fDevice);
}

bool TBlockSerial::PreTransfer() {
    ClearError();
    if (!IsOpen()) {
        SetError(ErrPortNotOpen);
    } else if ((TestDSR && !DSR()) || (TestCTS && !CTS())) {
        SetError(ErrNoDeviceAnswer);
    }
    ExceptCheck();
    return LastError() == 0;
}

int TBlockSerial::SendBuffer(const char* AData, int ALength) {
    if (!PreTransfer()) return 0;
    BandwidthWait(ALength);
    if (fRTSToggle) SetRTS(true);
    const auto deadline = After(DeadlockTimeout);
    int written = 0;
    while (written < ALength) {
        const ssize_t n = ::write(fHandle, AData + written, static_cast<size_t>(ALength - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            if (IsGone(errno)) RaiseGone(ENODEV);
            SetError(errno);
            break;
        }
        pollfd p{fHandle, POLLOUT, 0};
        const int r = ::poll(&p, 1, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ::tcflush(fHandle, TCOFLUSH);
            SetError(r == 0 ? ErrTimeout : errno);
            break;
        }
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) RaiseGone(ENODEV);
    }
    if (fRTSToggle) {
        CanWrite(DeadlockTimeout);
        SetRTS(false);
    }
    if (LastError() == 0) CheckLineErrors();
    ExceptCheck();
    DoStatus(HR_WriteCount, std::to_string(written));
    return written;
}

int TBlockSerial::WaitingData() {
    int n = 0;
    if (!IsOpen() || ::ioctl(fHandle, FIONREAD, &n) != 0) return 0;
    return n;
}

// Reads whatever is queued without waiting. False when the device has gone (end of file or an
// I/O error) and nothing was read.
bool TBlockSerial::ReadQueued(ByteString& AData) {
    char buffer[SizeRecvBuffer];
    for (;;) {
        const ssize_t n = ::read(fHandle, buffer, sizeof buffer);
        if (n > 0) {
            AData.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        if (n < 0 && !IsGone(errno)) {
            SetError(errno);
            return true;
        }
        return !AData.empty();
    }
}

ByteString TBlockSerial::RecvPacket(int ATimeOut) {
    if (!PreTransfer()) return {};
    if (!LineBuffer.empty()) return std::exchange(LineBuffer, {});
    const auto deadline = After(ATimeOut);
    for (;;) {
        ByteString data;
        const bool alive = ReadQueued(data);
        if (!data.empty()) {
            if (LastError() == 0) CheckLineErrors();
            ExceptCheck();
            DoStatus(HR_ReadCount, std::to_string(data.size()));
            return data;
        }
        if (!alive) RaiseGone(ENODEV);
        if (LastError() != 0) break;
        pollfd p{fHandle, POLLIN, 0};
        const int r = ::poll(&p, 1, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            SetError(errno);
            break;
        }
        if (r == 0) {
            SetError(ErrTimeout);
            break;
        }
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Bytes that arrived before the hang-up are still delivered first.
            ReadQueued(data);
            if (data.empty()) RaiseGone(ENODEV);
            DoStatus(HR_ReadCount, std::to_string(data.size()));
            return data;
        }
        DoStatus(HR_CanRead, "");
    }
    ExceptCheck();
    return {};
}

bool TBlockSerial::CanRead(int ATimeOut) {
    ClearError();
    if (!IsOpen()) return false;
    const auto deadline = After(ATimeOut);
    while (WaitingData() == 0) {
        pollfd p{fHandle, POLLIN, 0};
        const int r = ::poll(&p, 1, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        // Readable or hung up with nothing queued: the line has gone.
        if (WaitingData() == 0) SetError(ENODEV);
        break;
    }
    const bool result = WaitingData() > 0;
    if (result) DoStatus(HR_CanRead, "");
    return result;
}

// The output queue has no descriptor event for "empty", so this checks it at short intervals.
bool TBlockSerial::CanWrite(int ATimeOut) {
    if (!IsOpen()) return false;
    const auto deadline = After(ATimeOut);
    for (;;) {
        int queued = 0;
        if (::ioctl(fHandle, TIOCOUTQ, &queued) != 0 || queued == 0) {
            DoStatus(HR_CanWrite, "");
            return true;
        }
        if (RemainingMs(deadline) == 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TBlockSerial::Purge() {
    if (IsOpen()) ::tcflush(fHandle, TCIOFLUSH);
    LineBuffer.clear();
}

void TBlockSerial::Flush() {
    CanWrite(DeadlockTimeout);
}

void TBlockSerial::SendBreak(int ADuration) {
    if (!IsOpen()) return;
    ::ioctl(fHandle, TIOCSBRK);
    std::this_thread::sleep_for(std::chrono::milliseconds(ADuration));
    ::ioctl(fHandle, TIOCCBRK);
}

// Line errors are counted by the driver; a rise since the last look is an error of this transfer.
void TBlockSerial::CheckLineErrors() {
    serial_icounter_struct ic{};
    if (!IsOpen() || ::ioctl(fHandle, TIOCGICOUNT, &ic) != 0) return;
    if (ic.frame > fCounters.frame) SetError(ErrFrame);
    if (ic.overrun > fCounters.overrun) SetError(ErrOverrun);
    if (ic.parity > fCounters.parity) SetError(ErrRxParity);
    fCounters = {ic.frame, ic.overrun, ic.parity, ic.buf_overrun};
}

int TBlockSerial::ModemStatus() {
    int bits = 0;
    if (IsOpen() && ::ioctl(fHandle, TIOCMGET, &bits) == 0)
        fModemWord = bits;
    else
        fModemWord = 0;
    return fModemWord;
}

void TBlockSerial::SetModemLine(int ALine, bool AValue) {
    if (!IsOpen()) return;
    if (::ioctl(fHandle, AValue ? TIOCMBIS : TIOCMBIC, &ALine) != 0 && !IsUnsupported(errno)) SetError(errno);
}

void TBlockSerial::SetRTS(bool AValue) {
    SetModemLine(TIOCM_RTS, AValue);
}
void TBlockSerial::SetDTR(bool AValue) {
    SetModemLine(TIOCM_DTR, AValue);
}
bool TBlockSerial::CTS() {
    return ModemStatus() & TIOCM_CTS;
}
bool TBlockSerial::DSR() {
    return ModemStatus() & TIOCM_DSR;
}
bool TBlockSerial::Carrier() {
    return ModemStatus() & TIOCM_CAR;
}
bool TBlockSerial::Ring() {
    return ModemStatus() & TIOCM_RNG;
}

ByteString TBlockSerial::ATCommand(const ByteString& ACommand) {
    SendString(ACommand + "\r");
    ByteString result;
    for (;;) {
        const ByteString line = RecvString(AtTimeout);
        if (LastError() != 0) break;
        result += line + "\r\n";
        if (line == "OK" || line == "ERROR") break;
    }
    return result;
}

ByteString TBlockSerial::ATConnect(const ByteString& ACommand) {
    SendString(ACommand + "\r");
    ByteString result;
    for (;;) {
        const ByteString line = RecvString(90 * AtTimeout);
        if (LastError() != 0) break;
        result += line + "\r\n";
        if (line.starts_with("CONNECT")) break;
        if (line == "NO CARRIER" || line == "ERROR" || line == "BUSY" || line == "NO DIALTONE") break;
    }
    return result;
}

} // namespace vexo
