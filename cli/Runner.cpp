#include "cli/Runner.h"

#include "cli/Interrupt.h"
#include "cli/LogSink.h"
#include "device/LinkFault.h"
#include "device/VexoDevice.h"
#include "media/MediaError.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsReturnCode.h"
#include "pinpad/VexoAbecsTables.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace kestrel::cli {

using vexo::TVexoAbecsPinPad;

namespace {

// What the PIN pad's last response said, when one came and the command did not say which answer
// is its own.
void TakeResponse(const TVexoAbecsPinPad& APinPad, CommandResult& AResult) {
    const auto& response = APinPad.Response();
    if (response.ID().empty() || (AResult.Ok() && !AResult.Response.empty())) return;
    AResult.Response = response.ID();
    AResult.ReturnCode = response.STAT();
    AResult.ReturnText = vexo::ReturnStatusMessage(response.STAT());
}

void Classify(const std::exception& AError, const TVexoAbecsPinPad& APinPad, CommandResult& AResult) {
    AResult.Error = AError.what();
    if (dynamic_cast<const BadArguments*>(&AError)) {
        AResult.What = Outcome::BadArguments;
        return;
    }
    const auto* error = dynamic_cast<const vexo::Exception*>(&AError);
    AResult.ErrorClass = error ? error->ClassName() : "";
    if (dynamic_cast<const vexo::EVexoAbecsPinPadError*>(&AError)) {
        if (vexo::IsReturnCodeError(APinPad, AError))
            AResult.What = Outcome::PinPadError;
        else if (Interrupted() &&
                 (AResult.Error == "Cancelled by User" || AResult.Error == "Error waiting for CAN response"))
            AResult.What = Outcome::Cancelled;
        else if (dynamic_cast<const vexo::EVexoAbecsPinPadTimeout*>(&AError))
            AResult.What = Outcome::LinkTimeout;
        else
            AResult.What = Outcome::LinkError;
        return;
    }
    if (const vexo::TLinkFault fault = vexo::LinkFaultOf(AError); fault != vexo::TLinkFault::lkNone) {
        AResult.What = fault == vexo::TLinkFault::lkTimeout ? Outcome::LinkTimeout : Outcome::LinkError;
        return;
    }
    if (dynamic_cast<const kestrel::media::EMediaError*>(&AError)) {
        AResult.What = Outcome::Failure;
        return;
    }
    // The device layer's own failures (a send that makes no progress) are plain errors of the link.
    AResult.What = error ? Outcome::LinkError : Outcome::Failure;
}

} // namespace

std::string DefaultPort() {
    if (const char* port = std::getenv("KESTREL_PORT"); port && *port) return port;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string(runtime && *runtime ? runtime : "/tmp") + "/kestrel-pinpad";
}

void Configure(TVexoAbecsPinPad& APinPad, const LinkOptions& AOptions) {
    if (AOptions.TimeOutMs < 1) throw BadArguments("--timeout must be at least 1 ms");
    if (AOptions.LogLevel < 0 || AOptions.LogLevel > 255)
        throw BadArguments("--log-level must be from 0 to 255");
    try {
        APinPad.SetPort(AOptions.Port.empty() ? DefaultPort() : AOptions.Port);
        APinPad.Device().SetParamsString(AOptions.Params);
    } catch (const std::exception& e) {
        throw BadArguments(e.what());
    }
    if (!AOptions.LogFile.empty() && AOptions.LogFile != "-") {
        // Found out now rather than halfway through an exchange.
        const int fd = ::open(AOptions.LogFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) throw BadArguments("--log-file " + AOptions.LogFile + ": cannot be written");
        ::close(fd);
    }
    APinPad.SetTimeOut(AOptions.TimeOutMs);
    AttachLog(APinPad, AOptions.LogFile, static_cast<uint8_t>(AOptions.LogLevel), AOptions.Mask);
    APinPad.SetOnWaitForResponse([](bool& ACancel) { ACancel = Interrupted(); });
}

std::string MissingDemoLink(const LinkOptions& AOptions) {
    std::error_code error;
    if (!AOptions.DemoLink || std::filesystem::exists(AOptions.Port, error)) return {};
    return "the simulator's demo link " + AOptions.Port +
           " is not there: start the simulator with kestrel-sim --pty "
           "--link " +
           AOptions.Port + ", or name the PIN pad's port with --port or KESTREL_PORT";
}

std::optional<CommandResult> OpenPort(TVexoAbecsPinPad& APinPad, const LinkOptions& AOptions,
                                      const std::string& ACommand) {
    if (const std::string missing = MissingDemoLink(AOptions); !missing.empty()) {
        CommandResult result;
        result.Command = ACommand;
        result.What = Outcome::PortNotOpen;
        result.Error = missing;
        return result;
    }
    try {
        APinPad.Enable();
        return std::nullopt;
    } catch (const std::exception& e) {
        CommandResult result;
        result.Command = ACommand;
        result.What = Outcome::PortNotOpen;
        result.Error = "cannot open " + APinPad.Port() + ": " + e.what();
        const auto* error = dynamic_cast<const vexo::Exception*>(&e);
        result.ErrorClass = error ? error->ClassName() : "";
        return result;
    }
}

CommandResult Execute(const PreparedCommand& ACommand, CommandContext& AContext) {
    CommandResult result;
    result.Command = ACommand.Name;
    const auto start = std::chrono::steady_clock::now();
    try {
        ACommand.Run(AContext, result);
    } catch (const std::exception& e) {
        Classify(e, AContext.PinPad, result);
    }
    result.ElapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    if (ACommand.UsesPort) TakeResponse(AContext.PinPad, result);
    return result;
}

} // namespace kestrel::cli
