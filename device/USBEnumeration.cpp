#include "device/USBEnumeration.h"
#include "device/PinPadMakers.h"
#include "util/Exception.h"
#include "util/Strings.h"
#include <algorithm>
#include <filesystem>
#include <libudev.h>

namespace vexo {

namespace {

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
    if (own == raw || UpperCase(FFrendlyName).starts_with(UpperCase(beforeComma))) return FFrendlyName;
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
        if (USBNomeComparavel((*this)[i].DeviceName()).starts_with(wanted)) return i;
    return -1;
}

int TVexoUSBWinDeviceList::IndexOfInterface(const std::string& APath) const {
    const std::string wanted = LowerCase(APath);
    for (int i = 0; i < Count(); ++i)
        if (LowerCase(FItems[static_cast<size_t>(i)]->FDeviceInterface).starts_with(wanted)) return i;
    return -1;
}

int TVexoUSBWinDeviceList::IndexOfPort(const std::string& APort) const {
    const std::string wanted = "(" + UpperCase(APort) + ")";
    for (int i = 0; i < Count(); ++i)
        if (UpperCase(FItems[static_cast<size_t>(i)]->FFrendlyName).find(wanted) != std::string::npos)
            return i;
    return -1;
}

} // namespace vexo
