#include "device/VexoWinUSBDevice.h"
#include "device/LinkFault.h"
#include "device/PinPadMakers.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/FilesIO.h"
#include "util/Strings.h"
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <libudev.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace vexo {

namespace {

bool StartsWith(const std::string& AText, const std::string& APrefix) {
    return AText.compare(0, APrefix.size(), APrefix) == 0;
}

// The platform error as the messages show it: 8 upper-case hexadecimal digits.
std::string Hex8(int ACode) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(ACode));
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The next port part at or after AFrom, in any case: "(COM" digits ")" or "(tty" letters digits ")".
// Its position, with the length in ALength; npos when there is none.
size_t FindPortPart(const std::string& AName, size_t AFrom, size_t& ALength) {
    for (size_t i = AName.find('(', AFrom); i != std::string::npos; i = AName.find('(', i + 1)) {
        const std::string head = UpperCase(AName.substr(i + 1, 3));
        if (head != "COM" && head != "TTY") continue;
        size_t k = i + 4;
        if (head == "TTY") {
            const size_t letters = k;
            while (k < AName.size() && IsLetter(AName[k]))
                ++k;
            if (k == letters) continue;
        }
        const size_t digits = k;
        while (k < AName.size() && IsDigit(AName[k]))
            ++k;
        if (k == digits || k >= AName.size() || AName[k] != ')') continue;
        ALength = k + 1 - i;
        return i;
    }
    return std::string::npos;
}

// ---- enumeration through udev

struct TUdev {
    udev* u = udev_new();
    ~TUdev() {
        if (u) udev_unref(u);
    }
};

std::string Attr(udev_device* ADevice, const char* AName) {
    const char* value = udev_device_get_sysattr_value(ADevice, AName);
    return value ? Trim(value) : std::string();
}

// "ttyACM10" sorts after "ttyACM2": the family first, then the number.
bool NaturalLess(const std::string& A, const std::string& B) {
    const size_t a = A.find_last_not_of("0123456789") + 1, b = B.find_last_not_of("0123456789") + 1;
    if (A.compare(0, a, B, 0, b) != 0) return A < B;
    const std::string na = A.substr(a), nb = B.substr(b);
    if (na.size() != nb.size()) return na.size() < nb.size();
    return na < nb;
}

struct TNode {
    std::string Sysname, Syspath;
};

std::vector<TNode> Nodes(udev* AUdev, const char* ASubsystem, const char* ASysname, const char* ADevType) {
    std::vector<TNode> nodes;
    udev_enumerate* e = udev_enumerate_new(AUdev);
    if (!e) return nodes;
    udev_enumerate_add_match_subsystem(e, ASubsystem);
    if (ASysname) udev_enumerate_add_match_sysname(e, ASysname);
    if (ADevType) udev_enumerate_add_match_property(e, "DEVTYPE", ADevType);
    udev_enumerate_scan_devices(e);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
        const std::string syspath = udev_list_entry_get_name(entry);
        nodes.push_back({syspath.substr(syspath.rfind('/') + 1), syspath});
    }
    udev_enumerate_unref(e);
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](const TNode& a, const TNode& b) { return NaturalLess(a.Sysname, b.Sysname); });
    return nodes;
}

} // namespace

// Link by link rather than with realpath(): the links udev makes are relative ("../../ttyACM0"),
// and each step goes through the same calls as the open that follows.
std::string NoDoDispositivo(const std::string& APath) {
    namespace fs = std::filesystem;
    fs::path path = APath;
    std::error_code ec;
    for (int saltos = 0; saltos < 40 && !APath.empty() && fs::is_symlink(path, ec); ++saltos) {
        const fs::path alvo = fs::read_symlink(path, ec);
        if (ec) return APath;
        path = (alvo.is_absolute() ? alvo : path.parent_path() / alvo).lexically_normal();
    }
    return path.string();
}

std::string USBNomeComparavel(const std::string& AName) {
    std::string result;
    size_t from = 0, length = 0;
    for (size_t at; (at = FindPortPart(AName, from, length)) != std::string::npos; from = at + length)
        result += AName.substr(from, at - from) + "(VCOM)";
    return UpperCase(result + AName.substr(from));
}

std::string USBPortaDoNome(const std::string& AName) {
    size_t length = 0;
    const size_t at = FindPortPart(AName, 0, length);
    if (at == std::string::npos) return {};
    const std::string port = AName.substr(at + 1, length - 2);
    return UpperCase(port.substr(0, 3)) == "COM" ? UpperCase(port) : port;
}

// ---- one device

void TVexoUSBWinDevice::LoadDescriptions() {
    if (FDescriptionsLoaded) return;
    FDescriptionsLoaded = true;
    try {
        FDataBase->FindDeviceByID(FVendorID, FProductID, FVendorName, FProductModel, FDeviceKind,
                                  FVexoProtocol);
    } catch (const Exception&) {
        // An id the kernel reports oddly is an unknown device, not a failure of the whole list.
    }
    // The database cannot know every model of every PIN-pad maker; the device names its own.
    if (FProductModel.empty() && !FVendorName.empty() && IsPinPadMaker(FVendorID)) FProductModel = FProduct;
}

const std::string& TVexoUSBWinDevice::VendorName() {
    LoadDescriptions();
    return FVendorName;
}
const std::string& TVexoUSBWinDevice::ProductModel() {
    LoadDescriptions();
    return FProductModel;
}
int TVexoUSBWinDevice::DeviceKind() {
    LoadDescriptions();
    return FDeviceKind;
}
int TVexoUSBWinDevice::VexoProtocol() {
    LoadDescriptions();
    return FVexoProtocol;
}

// A model holding a comma already names its vendor. A name made only of the two ids says nothing,
// and a friendly name that begins with the vendor's name says as much and more: both give way to
// the friendly name.
std::string TVexoUSBWinDevice::DeviceName() {
    LoadDescriptions();
    std::string own;
    if (FProductModel.find(',') != std::string::npos)
        own = FProductModel;
    else if (!FVendorName.empty() && !FProductModel.empty())
        own = FVendorName + ", " + FProductModel;
    else
        own = FVendorName + FProductModel;
    const std::string raw = FVendorID + ", " + FProductID;
    if (own.empty()) own = raw;
    if (FFrendlyName.empty()) return own;
    const std::string beforeComma = own.substr(0, own.find(','));
    if (own == raw || StartsWith(UpperCase(FFrendlyName), UpperCase(beforeComma))) return FFrendlyName;
    return own;
}

// ---- the list

TVexoUSBWinDevice& TVexoUSBWinDeviceList::Add() {
    FItems.push_back(std::make_unique<TVexoUSBWinDevice>(FDataBase));
    return *FItems.back();
}

void TVexoUSBWinDeviceList::FindUSBPrinters(TVexoUSBHardwareType AHardwareType) {
    FItems.clear();
    TUdev ud;
    if (!ud.u) return;

    auto addNode = [&](const TNode& ANode, const char* AClass, bool ASerial) {
        udev_device* d = udev_device_new_from_syspath(ud.u, ANode.Syspath.c_str());
        if (!d) return;
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_device");
        const std::string vid = usb ? LowerCase(Attr(usb, "idVendor")) : "";
        const std::string pid = usb ? LowerCase(Attr(usb, "idProduct")) : "";
        if (!vid.empty() && !pid.empty()) {
            TVexoUSBWinDevice& rec = Add();
            rec.FVendorID = vid;
            rec.FProductID = pid;
            const char* node = udev_device_get_devnode(d);
            rec.FDeviceInterface = node ? node : "/dev/" + ANode.Sysname;
            rec.FUSBPort = udev_device_get_sysname(usb);
            rec.FGUID = LowerCase(udev_device_get_syspath(usb));
            rec.FClassGUID = AClass;
            const std::string product = Attr(usb, "product");
            rec.FProduct = Trim(product);
            rec.FFrendlyName = ASerial ? Trim(product + " (" + ANode.Sysname + ")") : product;
            rec.FHardwareID = "USB\\VID_" + UpperCase(vid) + "&PID_" + UpperCase(pid);
        }
        udev_device_unref(d);
    };

    for (const TNode& n : Nodes(ud.u, "usbmisc", "lp*", nullptr))
        addNode(n, "usbmisc", false);
    for (const char* family : {"ttyACM*", "ttyUSB*"})
        for (const TNode& n : Nodes(ud.u, "tty", family, nullptr))
            addNode(n, "tty", true);

    // Known devices that have no printer or serial node of their own.
    for (const TNode& n : Nodes(ud.u, "usb", nullptr, "usb_device")) {
        const std::string guid = LowerCase(n.Syspath);
        if (std::any_of(FItems.begin(), FItems.end(), [&](const auto& r) { return r->FGUID == guid; }))
            continue;
        udev_device* d = udev_device_new_from_syspath(ud.u, n.Syspath.c_str());
        if (!d) continue;
        const std::string vid = LowerCase(Attr(d, "idVendor")), pid = LowerCase(Attr(d, "idProduct"));
        bool keep = !vid.empty() && !pid.empty() && EhHexadecimal(vid) && EhHexadecimal(pid) &&
                    FDataBase.HasVendor(vid);
        if (keep && AHardwareType != htUnknown) {
            std::string vendor, model;
            int kind = 0, protocol = 0;
            FDataBase.FindDeviceByID(vid, pid, vendor, model, kind, protocol);
            keep = kind == AHardwareType;
        }
        if (keep) {
            TVexoUSBWinDevice& rec = Add();
            rec.FVendorID = vid;
            rec.FProductID = pid;
            const char* node = udev_device_get_devnode(d);
            rec.FDeviceInterface = node ? node : "";
            rec.FUSBPort = n.Sysname;
            rec.FGUID = guid;
            rec.FClassGUID = "usb";
            rec.FFrendlyName = Attr(d, "product");
            rec.FProduct = Trim(rec.FFrendlyName);
            rec.FHardwareID = "USB\\VID_" + UpperCase(vid) + "&PID_" + UpperCase(pid);
        }
        udev_device_unref(d);
    }
}

int TVexoUSBWinDeviceList::IndexOfName(const std::string& AName) {
    const std::string wanted = USBNomeComparavel(AName);
    for (int i = 0; i < Count(); ++i)
        if (StartsWith(USBNomeComparavel((*this)[i].DeviceName()), wanted)) return i;
    return -1;
}

int TVexoUSBWinDeviceList::IndexOfInterface(const std::string& APath) const {
    const std::string wanted = LowerCase(APath);
    for (int i = 0; i < Count(); ++i)
        if (StartsWith(LowerCase(FItems[static_cast<size_t>(i)]->FDeviceInterface), wanted)) return i;
    return -1;
}

int TVexoUSBWinDeviceList::IndexOfPort(const std::string& APort) const {
    const std::string wanted = "(" + UpperCase(APort) + ")";
    for (int i = 0; i < Count(); ++i)
        if (UpperCase(FItems[static_cast<size_t>(i)]->FFrendlyName).find(wanted) != std::string::npos)
            return i;
    return -1;
}

// ---- the transfer object

TVexoUSBWinDeviceAPI::TVexoUSBWinDeviceAPI() = default;

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
    if (StartsWith(name, "/") || StartsWith(name, "\\\\")) {
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
    FInternalBuffer.clear();
    Log("  DeviceInterface: " + APath);
    auto fail = [&](int AErr) {
        throw Exception("Erro " + NomeErro(AErr) + " ao abrir o Porta USB " + APath);
    };
    // A bare USB device node speaks only the kernel's control requests, never a byte stream.
    if (APath.empty() || StartsWith(APath, "/dev/bus/usb/")) fail(EOPNOTSUPP);
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
}

void TVexoUSBWinDeviceAPI::Close() {
    if (!IsOpen()) return;
    Log("Close");
    const int fd = FHandle;
    FHandle = -1;
    FInternalBuffer.clear();
    if (::close(fd) != 0 && errno != EINTR)
        throw Exception("Erro " + NomeErro(errno) + " ao fechar a Porta USB " + FInterfaceName);
}

void TVexoUSBWinDeviceAPI::SendData(const ByteString& AData, int ATimeOut) {
    if (!IsOpen()) throw ELinkError(TLinkFault::lkLinkGone, "Dispositivo USB não está aberto");
    const int timeout = ATimeOut == 0 ? FTimeOut : ATimeOut;
    Log("SendData: Bytes: " + std::to_string(AData.size()) + ", TimeOut: " + std::to_string(timeout));
    Log("  Buffer Enviado: " + AData, true);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout, 0));
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
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{FHandle, POLLOUT, 0};
        const int r = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
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

bool TVexoUSBWinDeviceAPI::ReadPacket(Clock::time_point ADeadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(ADeadline - Clock::now()).count();
        pollfd p{FHandle, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) {
            Log("  ReadFile: TimeOut");
            return false;
        }
        char buffer[PacketSize];
        const ssize_t n = r > 0 ? ::read(FHandle, buffer, sizeof buffer) : -1;
        const int err = n < 0 ? errno : 0;
        if (n < 0 && (err == EAGAIN || err == EINTR)) continue;
        Log("  ReadFile: Err: " + std::to_string(err));
        Log("  Err: " + std::to_string(err) + ", BytesReaded: " + std::to_string(n > 0 ? n : 0));
        if (n > 0) {
            const ByteString data(buffer, static_cast<size_t>(n));
            Log("  Buffer Lido: " + data, true);
            FInternalBuffer += data;
            return true;
        }
        // End of file or an I/O error: the device has gone. Answering "nothing yet" would keep a
        // caller that polls waiting on a dead port for ever.
        throw ELinkError(TLinkFault::lkLinkGone,
                         "Erro " + NomeErro(n == 0 ? ENODEV : err) + " ao ler a Porta USB " + FInterfaceName);
    }
}

ByteString TVexoUSBWinDeviceAPI::ReceivePacket(int ATimeOut) {
    if (!IsOpen()) throw ELinkError(TLinkFault::lkLinkGone, "Dispositivo USB não está aberto");
    Log("ReceivePacket: TimeOut: " + std::to_string(ATimeOut));
    if (FInternalBuffer.empty()) ReadPacket(Clock::now() + std::chrono::milliseconds(std::max(ATimeOut, 0)));
    return std::exchange(FInternalBuffer, {});
}

ByteString TVexoUSBWinDeviceAPI::ReceiveNumBytes(int ABytesToRead, int ATimeOut) {
    if (!IsOpen()) throw ELinkError(TLinkFault::lkLinkGone, "Dispositivo USB não está aberto");
    Log("ReceiveNumBytes: BytesToRead: " + std::to_string(ABytesToRead) +
        ", TimeOut: " + std::to_string(ATimeOut));
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ATimeOut, 0));
    const size_t wanted = static_cast<size_t>(std::max(ABytesToRead, 0));
    while (FInternalBuffer.size() < wanted)
        if (!ReadPacket(deadline)) break;
    const ByteString result = FInternalBuffer.substr(0, wanted);
    FInternalBuffer.erase(0, result.size());
    return result;
}

ByteString TVexoUSBWinDeviceAPI::ReceiveTerminated(const ByteString& ATerminator, int ATimeOut) {
    if (!IsOpen()) throw ELinkError(TLinkFault::lkLinkGone, "Dispositivo USB não está aberto");
    Log("ReceiveTerminated: Terminator: " + ATerminator + ", TimeOut: " + std::to_string(ATimeOut), true);
    if (ATerminator.empty()) return {};
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ATimeOut, 0));
    for (;;) {
        const size_t pos = FInternalBuffer.find(ATerminator);
        if (pos != ByteString::npos) {
            const ByteString result = FInternalBuffer.substr(0, pos);
            FInternalBuffer.erase(0, pos + ATerminator.size());
            return result;
        }
        if (!ReadPacket(deadline)) return {};
    }
}

void TVexoUSBWinDeviceAPI::Purge() {
    Log("Purge");
    Log("  RX");
    FInternalBuffer.clear();
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
