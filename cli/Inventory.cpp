#include "cli/Inventory.h"

#include "device/VexoDevice.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/Strings.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <thread>

namespace kestrel::cli {

namespace {

std::string Value(const vexo::TVexoAbecsPinPad& APinPad, uint16_t ATag) {
    return vexo::Trim(vexo::AnsiToText(APinPad.Response().GetResponseFromTagValue(ATag)));
}

std::string DisplayText(const vexo::TVexoAbecsPinPadCapabilities& ACaps) {
    std::string text = "text " + std::to_string(ACaps.DisplayTextModeDimensions.Rows) + "x" +
                       std::to_string(ACaps.DisplayTextModeDimensions.Cols);
    if (ACaps.DisplayIsGraphic)
        text += ", " + std::string(ACaps.DisplayIsColor ? "colour " : "graphic ") +
                std::to_string(ACaps.DisplayGraphicPixels.Cols) + "x" +
                std::to_string(ACaps.DisplayGraphicPixels.Rows);
    return text;
}

std::string MediaText(const vexo::TVexoAbecsPinPadCapabilities& ACaps) {
    std::string text;
    for (const auto& [taken, name] :
         {std::pair{ACaps.MediaPNGisSupported, "PNG"}, std::pair{ACaps.MediaJPGisSupported, "JPEG"},
          std::pair{ACaps.MediaGIFisSupported, "GIF"}})
        if (taken) text += (text.empty() ? "" : " ") + std::string(name);
    return text.empty() ? "none" : text;
}

std::string Pad(const std::string& AText, size_t AWidth) {
    // Widths count characters, not bytes: a name in UTF-8 keeps the columns straight.
    size_t shown = 0;
    for (unsigned char c : AText)
        shown += (c & 0xC0) != 0x80;
    return AText + std::string(shown < AWidth ? AWidth - shown : 1, ' ');
}

} // namespace

std::vector<CandidatePort> CandidatePorts() {
    vexo::TVexoDevice device;
    return vexo::PinPadCandidates(device);
}

InventoryRow ProbePinPad(const LinkOptions& ALink, const CandidatePort& APort) {
    InventoryRow row;
    row.Where = APort;
    LinkOptions link = ALink;
    link.Port = APort.Port;
    link.DemoLink = false;
    vexo::TVexoAbecsPinPad pinpad;
    try {
        Configure(pinpad, link);
        pinpad.Enable();
    } catch (const std::exception& e) {
        row.Problem = std::string("does not open: ") + e.what();
        return row;
    }
    try {
        pinpad.OPN();
        const auto caps = pinpad.GetPinPadCapabilities();
        row.Manufacturer = caps.Manufacturer;
        row.Model = caps.Model;
        row.SerialNumber = caps.SerialNumber;
        row.Display = DisplayText(caps);
        row.Media = MediaText(caps);
        pinpad.GIX({vexo::PP_APPVERS, vexo::PP_KRNLVER, vexo::PP_SPECVER});
        row.AppVersion = Value(pinpad, vexo::PP_APPVERS);
        row.KernelVersion = Value(pinpad, vexo::PP_KRNLVER);
        row.AbecsVersion = Value(pinpad, vexo::PP_SPECVER);
        row.Answered = true;
        pinpad.CLO(std::string());
    } catch (const std::exception& e) {
        // A PIN pad that told who it is and then failed to close is still a PIN pad that answered.
        if (!row.Answered) row.Problem = std::string("no answer: ") + e.what();
    }
    try {
        pinpad.Disable();
    } catch (const std::exception&) {
    }
    return row;
}

void ForEachInParallel(const std::vector<CandidatePort>& APorts,
                       const std::function<void(size_t, const CandidatePort&)>& AWork) {
    std::vector<std::thread> threads;
    threads.reserve(APorts.size());
    for (size_t i = 0; i < APorts.size(); ++i)
        threads.emplace_back([&AWork, &APorts, i] { AWork(i, APorts[i]); });
    for (auto& thread : threads)
        thread.join();
}

std::string InventoryTable(const std::vector<InventoryRow>& ARows) {
    std::string text = Pad("PORT", 14) + Pad("USB", 24) + Pad("MODEL", 22) + Pad("SERIAL", 18) +
                       Pad("APP", 12) + Pad("KERNEL", 12) + Pad("ABECS", 7) + Pad("DISPLAY", 26) + "MEDIA\n";
    std::string silent;
    size_t answered = 0;
    for (const auto& row : ARows) {
        if (!row.Answered) {
            silent += "  " + row.Where.Port +
                      (row.Where.UsbName.empty() ? "" : " (" + row.Where.UsbName + ")") + ": " + row.Problem +
                      "\n";
            continue;
        }
        ++answered;
        const std::string model = vexo::Trim(row.Manufacturer + " " + row.Model);
        text += Pad(row.Where.Port, 14) + Pad(row.Where.UsbName.empty() ? "-" : row.Where.UsbName, 24) +
                Pad(model, 22) + Pad(row.SerialNumber, 18) + Pad(row.AppVersion, 12) +
                Pad(row.KernelVersion, 12) + Pad(row.AbecsVersion, 7) + Pad(row.Display, 26) + row.Media +
                "\n";
    }
    text += std::to_string(answered) + " PIN pad(s) answered on " + std::to_string(ARows.size()) +
            " port(s) tried\n";
    if (!silent.empty()) text += "Not answering:\n" + silent;
    return text;
}

JsonValue InventoryJson(const std::vector<InventoryRow>& ARows) {
    JsonValue pinpads = JsonValue::Array(), silent = JsonValue::Array();
    for (const auto& row : ARows) {
        JsonValue item = JsonValue::Object();
        item.Set("port", row.Where.Port);
        item.Set("usb", row.Where.UsbName.empty() ? JsonValue() : JsonValue(row.Where.UsbName));
        if (!row.Answered) {
            item.Set("problem", row.Problem);
            silent.Push(std::move(item));
            continue;
        }
        item.Set("manufacturer", row.Manufacturer);
        item.Set("model", row.Model);
        item.Set("serial", row.SerialNumber);
        item.Set("app_version", row.AppVersion);
        item.Set("kernel_version", row.KernelVersion);
        item.Set("abecs_version", row.AbecsVersion);
        item.Set("display", row.Display);
        item.Set("media", row.Media);
        pinpads.Push(std::move(item));
    }
    JsonValue object = JsonValue::Object();
    object.Set("command", "inventory");
    object.Set("pinpads", std::move(pinpads));
    object.Set("not_answering", std::move(silent));
    return object;
}

int RunInventory(const LinkOptions& ALink, const OutputOptions& AOutput) {
    {
        // The link options are checked before anything opens.
        vexo::TVexoAbecsPinPad scratch;
        Configure(scratch, ALink);
    }
    const std::vector<CandidatePort> ports = CandidatePorts();
    std::vector<InventoryRow> rows(ports.size());
    ForEachInParallel(
        ports, [&](size_t AIndex, const CandidatePort& APort) { rows[AIndex] = ProbePinPad(ALink, APort); });
    const bool any = std::any_of(rows.begin(), rows.end(), [](const InventoryRow& r) { return r.Answered; });
    if (AOutput.Json)
        std::cout << InventoryJson(rows).Serialize() << "\n";
    else if (AOutput.Quiet) {
        for (const auto& row : rows)
            if (row.Answered) std::cout << row.Where.Port << "\n";
    } else
        std::cout << InventoryTable(rows);
    std::cout.flush();
    if (!any) {
        if (!AOutput.Json) std::cerr << "kestrel-cli: inventory: no PIN pad answered\n";
        return kExitPortNotOpen;
    }
    return kExitOk;
}

} // namespace kestrel::cli
