#include "cli/Result.h"

#include <cstdio>
#include <ostream>

namespace kestrel::cli {

namespace {

std::string Code3(int ACode) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", ACode);
    return text;
}

} // namespace

JsonValue ResultToJson(const CommandResult& AResult) {
    JsonValue object = JsonValue::Object();
    object.Set("command", AResult.Command);
    if (AResult.Line > 0) object.Set("line", AResult.Line);
    object.Set("outcome", OutcomeName(AResult.What));
    object.Set("exit_code", AResult.ExitCode());
    object.Set("response", AResult.Response.empty() ? JsonValue() : JsonValue(AResult.Response));
    object.Set("return_code", AResult.ReturnCode ? JsonValue(*AResult.ReturnCode) : JsonValue());
    object.Set("return_text", AResult.ReturnCode ? JsonValue(AResult.ReturnText) : JsonValue());
    object.Set("result", AResult.Fields);
    if (!AResult.Warnings.empty()) object.Set("warnings", JsonValue::StringArray(AResult.Warnings));
    if (!AResult.Ok()) {
        object.Set("error", AResult.Error);
        if (!AResult.ErrorClass.empty()) object.Set("error_class", AResult.ErrorClass);
    }
    object.Set("elapsed_ms", AResult.ElapsedMs);
    return object;
}

void PrintResult(const CommandResult& AResult, const OutputOptions& AOptions, std::ostream& AOut,
                 std::ostream& AErr) {
    if (AOptions.Json) {
        AOut << ResultToJson(AResult).Serialize() << '\n';
        AOut.flush();
        for (const auto& warning : AResult.Warnings)
            AErr << "kestrel-cli: " << AResult.Command << ": warning: " << warning << '\n';
        return;
    }
    if (AOptions.Quiet) {
        if (AResult.Ok() && !AResult.Primary.empty()) AOut << AResult.Primary << '\n';
    } else {
        if (!AResult.Response.empty() && AResult.ReturnCode)
            AOut << AResult.Response << ' ' << Code3(*AResult.ReturnCode) << ' ' << AResult.ReturnText << " ["
                 << AResult.ElapsedMs << " ms]\n";
        for (const auto& line : AResult.Lines)
            AOut << line << '\n';
    }
    AOut.flush();
    for (const auto& warning : AResult.Warnings) {
        AErr << "kestrel-cli: ";
        if (AResult.Line > 0) AErr << "line " << AResult.Line << ": ";
        AErr << AResult.Command << ": warning: " << warning << '\n';
    }
    if (!AResult.Ok()) {
        AErr << "kestrel-cli: ";
        if (AResult.Line > 0) AErr << "line " << AResult.Line << ": ";
        AErr << AResult.Command << ": " << AResult.Error << '\n';
    }
}

} // namespace kestrel::cli
