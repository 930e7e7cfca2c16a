#pragma once
#include "cli/ExitCodes.h"
#include "util/Json.h"
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::cli {

using vexo::JsonValue;

// What one command gave: the PIN pad's answer, the results read from it and how it ended. One
// result is one line of JSON, or a few lines of text.
struct CommandResult {
    std::string Command; // the subcommand, as typed ("gix")
    Outcome What = Outcome::Ok;
    std::string Response;                   // name of the last response ("GIX", "ERR"), empty when none came
    std::optional<int> ReturnCode;          // its return code
    std::string ReturnText;                 // the return code's text
    JsonValue Fields = JsonValue::Object(); // the results, in the order they are shown
    std::vector<std::string> Lines;         // the results as a person reads them
    std::string Primary;                    // the one value --quiet prints (a key, a typed value)
    std::string Error;                      // what went wrong, in words
    std::string ErrorClass;            // the error's class ("EVexoAbecsPinPadError"), when one was raised
    std::vector<std::string> Warnings; // what the command did not do as asked (text cut from a message)
    int64_t ElapsedMs = 0;
    int Line = 0; // its line in a session script (0: not from a script)

    int ExitCode() const { return ExitCodeFor(What, ReturnCode.value_or(0)); }
    bool Ok() const { return What == Outcome::Ok; }
};

struct OutputOptions {
    bool Json = false;
    bool Quiet = false;
};

// Text: the status line and the results on standard output, errors on standard error prefixed with
// the program's name. JSON: one object on one line on standard output, errors inside it.
void PrintResult(const CommandResult& AResult, const OutputOptions& AOptions, std::ostream& AOut,
                 std::ostream& AErr);
JsonValue ResultToJson(const CommandResult& AResult);

} // namespace kestrel::cli
