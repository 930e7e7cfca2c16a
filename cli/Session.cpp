#include "cli/Session.h"

#include "cli/Commands.h"

namespace kestrel::cli {

namespace {

char Escaped(char AChar) {
    switch (AChar) {
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    default:
        return AChar;
    }
}

std::vector<std::string> SplitLine(const std::string& ALine, int ANumber) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < ALine.size(); ++i) {
        const char c = ALine[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        if (c == '#' && !inWord) break;
        inWord = true;
        if (c == '\\') {
            if (i + 1 < ALine.size()) word += ALine[++i];
            continue;
        }
        if (c == '\'' || c == '"') {
            const size_t close = c == '\'' ? ALine.find('\'', i + 1) : std::string::npos;
            if (c == '\'') {
                if (close == std::string::npos)
                    throw BadArguments("line " + std::to_string(ANumber) + ": a ' is not closed");
                word.append(ALine, i + 1, close - i - 1);
                i = close;
                continue;
            }
            size_t k = i + 1;
            for (; k < ALine.size() && ALine[k] != '"'; ++k) {
                if (ALine[k] == '\\' && k + 1 < ALine.size() &&
                    std::string("\"\\nrt").find(ALine[k + 1]) != std::string::npos)
                    word += Escaped(ALine[++k]);
                else
                    word += ALine[k];
            }
            if (k >= ALine.size())
                throw BadArguments("line " + std::to_string(ANumber) + ": a \" is not closed");
            i = k;
            continue;
        }
        word += c;
    }
    if (inWord) words.push_back(word);
    return words;
}

} // namespace

std::vector<ScriptLine> ParseScript(const std::string& AText) {
    std::vector<ScriptLine> lines;
    int number = 0;
    size_t start = 0;
    while (start <= AText.size()) {
        size_t end = AText.find('\n', start);
        if (end == std::string::npos) end = AText.size();
        ++number;
        std::vector<std::string> words = SplitLine(AText.substr(start, end - start), number);
        if (!words.empty()) lines.push_back({number, std::move(words)});
        if (end == AText.size()) break;
        start = end + 1;
    }
    return lines;
}

} // namespace kestrel::cli
