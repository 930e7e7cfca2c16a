#pragma once
#include <string>
#include <vector>

namespace kestrel::cli {

// One command of a session script: its line number and its words, split as a shell splits them.
struct ScriptLine {
    int Number = 0;
    std::vector<std::string> Words;
};

// Splits a script into commands, one a line. Words are separated by blanks; '...' keeps its content
// as it is, "..." too except for \" \\ \n \r and \t; a backslash outside quotes keeps the next
// character; a word that begins with # starts a comment to the end of the line. Blank and comment
// lines are skipped. Raises BadArguments naming the line of an unclosed quote.
std::vector<ScriptLine> ParseScript(const std::string& AText);

} // namespace kestrel::cli
