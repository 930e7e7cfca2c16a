#include "pinpad/VexoAbecsMsgFormat.h"

#include "util/CodePage.h"
#include "util/Strings.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace vexo {
namespace {

constexpr char LF = '\n';
constexpr char CR = '\r';

// Round trip through the code page, so that every character is one byte from here on.
ByteString ToCodePage(std::string_view AText) {
    return TextToAnsi(AText);
}

ByteString ReplaceAll(ByteString AText, std::string_view AFrom, std::string_view ATo) {
    ByteString out;
    out.reserve(AText.size());
    size_t p = 0;
    for (size_t q; (q = AText.find(AFrom, p)) != ByteString::npos; p = q + AFrom.size()) {
        out.append(AText, p, q - p);
        out += ATo;
    }
    out.append(AText, p, ByteString::npos);
    return out;
}

// The wrap works on 1-based positions, as the rule is stated; At(i) reads position i.
ByteString WrapLines(const ByteString& S, int32_t W, char B) {
    if (W <= 0) return S;
    const auto L = static_cast<int64_t>(S.size());
    auto At = [&S](int64_t i) { return S[static_cast<size_t>(i - 1)]; };
    auto IsSep = [B](char c) { return c == LF || c == B; };
    ByteString R;
    int64_t P = 1;
    do {
        if (P > 1 && At(P - 1) != LF) R += LF;
        int64_t E = P + W - 1;
        if (E < L) {
            if (IsSep(At(E + 1)))
                ++E; // the line takes the separator with it
            else
                while (!IsSep(At(E)) && E > P)
                    --E;
        }
        if (E == P) E = P + W - 1;                            // a word longer than the line is cut hard
        const size_t nl = S.find(LF, static_cast<size_t>(P)); // first LF at or after P + 1
        if (nl != ByteString::npos && static_cast<int64_t>(nl) + 1 < E) E = static_cast<int64_t>(nl) + 1;
        const int64_t last = E < L ? E : L;
        R.append(S, static_cast<size_t>(P - 1), static_cast<size_t>(last - P + 1));
        P = E + 1;
        for (; P <= L && IsSep(At(P)); ++P)
            if (At(P) == LF) R += LF;
    } while (P <= L);
    return R;
}

// Lines split at LF, CR or CR LF; a break at the very end starts no further line.
std::vector<ByteString> SplitLines(const ByteString& AText) {
    std::vector<ByteString> lines;
    size_t p = 0;
    while (p < AText.size()) {
        const size_t q = AText.find_first_of("\r\n", p);
        if (q == ByteString::npos) {
            lines.push_back(AText.substr(p));
            break;
        }
        lines.push_back(AText.substr(p, q - p));
        p = q + 1;
        if (AText[q] == CR && p < AText.size() && AText[p] == LF) ++p;
    }
    return lines;
}

std::string AlignLine(const ByteString& ALine, int32_t ACols, TVexoAbecsMsgAlign AAlign) {
    const std::string text = AnsiToText(ALine);
    switch (AAlign) {
    case TVexoAbecsMsgAlign::alNone:
        return text;
    case TVexoAbecsMsgAlign::alLeft:
        return CompletarDireita(Trim(text), ACols, ' ');
    case TVexoAbecsMsgAlign::alRight:
        return CompletarEsquerda(Trim(text), ACols, ' ');
    case TVexoAbecsMsgAlign::alCenter:
        break;
    }
    return Centralizar(Trim(text), ACols, ' ');
}

} // namespace

std::string QuebrarLinhas(std::string_view AText, int32_t AWidth, char ABreakChar) {
    const ByteString s = ReplaceAll(ToCodePage(AText), "\r\n", "\n");
    return AnsiToText(ReplaceAll(WrapLines(s, AWidth, ABreakChar), "\n", "\r\n"));
}

std::string FormatDisplayText(std::string_view AMsg, int32_t ACols, int32_t ARows, TVexoAbecsMsgAlign AAlign,
                              bool AWordWrap) {
    ByteString text = ReplaceAll(ReplaceAll(ToCodePage(AMsg), "\r\n", "\n"), "\r", "\n");
    if (AWordWrap) text = ReplaceAll(WrapLines(text, ACols, ' '), "\n", "\r\n");
    const std::vector<ByteString> lines = SplitLines(text);
    std::string out;
    for (size_t i = 0; ARows > 0 && i < lines.size() && i < static_cast<size_t>(ARows); ++i) {
        out += AlignLine(lines[i], ACols, AAlign);
        out += CR;
    }
    return out;
}

TDroppedText DroppedByLayout(std::string_view AText, std::string_view ALaidOut) {
    // Both sides in the code page, where every character is one byte and one display position.
    const ByteString text = ToCodePage(AText), laid = ToCodePage(ALaidOut);
    const auto blank = [](char c) { return c == ' ' || c == CR || c == LF; };
    ByteString dropped;
    size_t count = 0, j = 0;
    bool inRun = false;
    for (char c : text) {
        if (blank(c)) {
            if (inRun) dropped += ' ';
            continue;
        }
        while (j < laid.size() && blank(laid[j]))
            ++j;
        if (j < laid.size() && laid[j] == c) {
            ++j;
            if (inRun && !dropped.empty() && dropped.back() != ' ') dropped += ' ';
            inRun = false;
            continue;
        }
        ++count;
        dropped += c;
        inRun = true;
    }
    return {count, AnsiToText(Trim(dropped))};
}

std::string TVexoAbecsPinPad::FormatMsg(const std::string& AMsg, int32_t ACols, int32_t ARows) const {
    return FormatDisplayText(AMsg, ACols, ARows, fMsgAlign, fMsgWordWrap);
}

std::string TVexoAbecsPinPad::FormatSPE_DSPMSG(const std::string& ASPE_DSPMSG) const {
    const TVexoAbecsDimension& d = fPinPadCapabilities.DisplayTextModeDimensions;
    return FormatMsg(ASPE_DSPMSG, static_cast<int32_t>(d.Cols), static_cast<int32_t>(d.Rows));
}

std::string TVexoAbecsPinPad::FormatMSG_S32(const std::string& AMSG) const {
    std::string s = FormatMsg(AMSG, 16, 2);
    std::erase(s, CR);
    return s;
}

} // namespace vexo

namespace vexo {

std::string Format(const char* AFormat, ...) {
    va_list args;
    va_start(args, AFormat);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, AFormat, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, AFormat, args);
    va_end(args);
    return out;
}

} // namespace vexo
