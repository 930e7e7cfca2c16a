#include "device/BlueZManager.h"
#include <algorithm>
#include <cstring>
#include <memory>
#include <systemd/sd-bus.h>

namespace vexo {

namespace {

constexpr const char* kBlueZ = "org.bluez";
constexpr const char* kAdapter = "org.bluez.Adapter1";
constexpr const char* kDevice = "org.bluez.Device1";

struct TBus {
    sd_bus* bus = nullptr;
    ~TBus() {
        if (bus) sd_bus_flush_close_unref(bus);
    }
};

struct TReply {
    sd_bus_message* m = nullptr;
    ~TReply() {
        if (m) sd_bus_message_unref(m);
    }
};

struct TError {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ~TError() { sd_bus_error_free(&e); }
};

std::string ErrorText(int r, const sd_bus_error& e) {
    if (e.message) return e.message;
    return std::strerror(-r);
}

bool OpenBus(TBus& ABus, int ATimeOutMs, std::string& AError) {
    const int r = sd_bus_open_system(&ABus.bus);
    if (r < 0) {
        AError = std::strerror(-r);
        ABus.bus = nullptr;
        return false;
    }
    sd_bus_set_method_call_timeout(ABus.bus, static_cast<uint64_t>(std::max(ATimeOutMs, 1)) * 1000);
    return true;
}

// One property value of the type its name implies; others are skipped.
int ReadProperty(sd_bus_message* m, const std::string& AIface, const std::string& AName, bool& APowered,
                 TBlueToothDeviceInfo& ADevice, std::string& AAlias) {
    const bool adapter = AIface == kAdapter, device = AIface == kDevice;
    if (adapter && AName == "Powered") {
        int b = 0;
        const int r = sd_bus_message_read(m, "v", "b", &b);
        APowered = b != 0;
        return r;
    }
    if (device && (AName == "Address" || AName == "Name" || AName == "Alias")) {
        const char* s = nullptr;
        const int r = sd_bus_message_read(m, "v", "s", &s);
        std::string& target = AName == "Address" ? ADevice.Address : AName == "Name" ? ADevice.Name : AAlias;
        if (r >= 0 && s) target = s;
        return r;
    }
    if (device && AName == "Class") return sd_bus_message_read(m, "v", "u", &ADevice.Class);
    if (device && AName == "Paired") {
        int b = 0;
        const int r = sd_bus_message_read(m, "v", "b", &b);
        ADevice.Paired = b != 0;
        return r;
    }
    if (device && AName == "UUIDs") {
        int r = sd_bus_message_enter_container(m, 'v', "as");
        if (r < 0) return r;
        r = sd_bus_message_enter_container(m, 'a', "s");
        if (r < 0) return r;
        const char* s = nullptr;
        while ((r = sd_bus_message_read(m, "s", &s)) > 0)
            ADevice.UUIDs.emplace_back(s);
        if (r < 0) return r;
        r = sd_bus_message_exit_container(m);
        if (r < 0) return r;
        return sd_bus_message_exit_container(m);
    }
    return sd_bus_message_skip(m, "v");
}

} // namespace

bool TBlueZManager::Refresh() {
    fAdapters.clear();
    fDevices.clear();
    fLastError.clear();
    TBus bus;
    if (!OpenBus(bus, CallTimeOut, fLastError)) return false;
    TError error;
    TReply reply;
    int r = sd_bus_call_method(bus.bus, kBlueZ, "/", "org.freedesktop.DBus.ObjectManager",
                               "GetManagedObjects", &error.e, &reply.m, "");
    if (r < 0) {
        fLastError = ErrorText(r, error.e);
        return false;
    }
    sd_bus_message* m = reply.m;
    // a{oa{sa{sv}}}: object path, then its interfaces, then their properties.
    auto fail = [&](int ACode) {
        fLastError = std::strerror(-ACode);
        fAdapters.clear();
        fDevices.clear();
        return false;
    };
    if ((r = sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}")) < 0) return fail(r);
    while ((r = sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}")) > 0) {
        const char* path = nullptr;
        if ((r = sd_bus_message_read(m, "o", &path)) < 0) return fail(r);
        if ((r = sd_bus_message_enter_container(m, 'a', "{sa{sv}}")) < 0) return fail(r);
        bool isAdapter = false, isDevice = false, powered = false;
        TBlueToothDeviceInfo dev;
        std::string alias;
        dev.Path = path;
        while ((r = sd_bus_message_enter_container(m, 'e', "sa{sv}")) > 0) {
            const char* iface = nullptr;
            if ((r = sd_bus_message_read(m, "s", &iface)) < 0) return fail(r);
            const std::string i = iface;
            isAdapter = isAdapter || i == kAdapter;
            isDevice = isDevice || i == kDevice;
            if ((r = sd_bus_message_enter_container(m, 'a', "{sv}")) < 0) return fail(r);
            while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
                const char* name = nullptr;
                if ((r = sd_bus_message_read(m, "s", &name)) < 0) return fail(r);
                if ((r = ReadProperty(m, i, name, powered, dev, alias)) < 0) return fail(r);
                if ((r = sd_bus_message_exit_container(m)) < 0) return fail(r);
            }
            if (r < 0) return fail(r);
            if ((r = sd_bus_message_exit_container(m)) < 0) return fail(r);
            if ((r = sd_bus_message_exit_container(m)) < 0) return fail(r);
        }
        if (r < 0) return fail(r);
        if ((r = sd_bus_message_exit_container(m)) < 0) return fail(r);
        if ((r = sd_bus_message_exit_container(m)) < 0) return fail(r);
        if (isAdapter) fAdapters.push_back({path, powered});
        if (isDevice) {
            if (dev.Name.empty()) dev.Name = alias;
            fDevices.push_back(std::move(dev));
        }
    }
    if (r < 0) return fail(r);
    auto byPath = [](const auto& a, const auto& b) { return a.Path < b.Path; };
    std::sort(fAdapters.begin(), fAdapters.end(), byPath);
    std::sort(fDevices.begin(), fDevices.end(), byPath);
    return true;
}

bool TBlueZManager::Powered() const {
    return std::any_of(fAdapters.begin(), fAdapters.end(), [](const TAdapter& a) { return a.Powered; });
}

bool TBlueZManager::Enable() {
    if (fAdapters.empty() || Powered()) return Powered();
    TBus bus;
    if (!OpenBus(bus, CallTimeOut, fLastError)) return false;
    TError error;
    const int r = sd_bus_set_property(bus.bus, kBlueZ, fAdapters.front().Path.c_str(), kAdapter, "Powered",
                                      &error.e, "b", 1);
    if (r < 0) {
        fLastError = ErrorText(r, error.e);
        return false;
    }
    // Read back: a blocked radio may take the call and stay off.
    return Refresh() && Powered();
}

std::vector<TBlueToothDeviceInfo> TBlueZManager::PairedDevices() const {
    std::vector<TBlueToothDeviceInfo> paired;
    for (const TBlueToothDeviceInfo& d : fDevices)
        if (d.Paired) paired.push_back(d);
    return paired;
}

} // namespace vexo
