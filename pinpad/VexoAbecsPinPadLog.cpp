#include "pinpad/VexoAbecsPinPad.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCardData.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsTLV.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/FilesIO.h"
#include "util/Strings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace vexo {

bool TVexoAbecsPinPad::Logs(uint8_t ALevel) const {
    return fLogLevel >= ALevel && (fOnWriteLog || !fLogFile.empty());
}

void TVexoAbecsPinPad::Log(uint8_t ALevel, const ByteString& ALine) {
    if (Logs(ALevel)) WriteLog(ALine, true);
}

// The line is only built when it goes somewhere: the exchange logs every step of every packet.
void TVexoAbecsPinPad::LogF(uint8_t ALevel, const char* AFormat, ...) {
    if (!Logs(ALevel)) return;
    va_list args;
    va_start(args, AFormat);
    char buffer[512];
    const int n = std::vsnprintf(buffer, sizeof buffer, AFormat, args);
    va_end(args);
    if (n >= 0) WriteLog(ByteString(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1)), true);
}

void TVexoAbecsPinPad::LogData(uint8_t ALevel, std::string_view APrefix, std::string_view AData) {
    if (!Logs(ALevel)) return;
    ByteString line(APrefix);
    line += AData;
    WriteLog(line, true);
}

void TVexoAbecsPinPad::LogText(const std::string& AText, uint8_t ALevel) {
    if (Logs(ALevel)) WriteLog(TextToAnsi(AText), true);
}

void TVexoAbecsPinPad::LogException(const Exception& AException) {
    LogText(std::string(AException.ClassName()) + ": " + AException.Message(), 1);
}

void TVexoAbecsPinPad::DoException(const std::string& AMessage) {
    DoException(EVexoAbecsPinPadError(AMessage));
}

void TVexoAbecsPinPad::WriteLog(const ByteString& ALine, bool AWithTime) {
    if (fLogFile.empty() && !fOnWriteLog) return;
    // Masked before the rendering of non-printable bytes, which would turn bytes into digits.
    const ByteString text = fLogMaskCardData ? MaskCardData(ALine) : ALine;
    ByteString line = fLogTranslate ? EscaparNaoImprimiveis(text) : text;
    if (AWithTime) line = "-- " + LogTimeStamp() + " - " + line;
    bool tratado = true;
    if (fOnWriteLog) fOnWriteLog(AnsiToText(line), tratado);
    if ((!tratado || !fOnWriteLog) && !fLogFile.empty()) GravarArquivoTexto(fLogFile, line, true, true, true);
}

void TVexoAbecsPinPad::LogApplicationLayer(const TVexoAbecsApplicationLayer& ALayer) {
    if (fLogLevel < 4) return;
    const bool isCommand = dynamic_cast<const TVexoAbecsCommand*>(&ALayer) != nullptr;
    const TVexoAbecsBlockList& blocks = ALayer.Blocks();
    Log(4, Format("  %s, Blocks: %d", isCommand ? "Command" : "Response", blocks.Count()));
    if (fLogLevel < 5) return;
    for (int i = 0; i < blocks.Count(); ++i) {
        const TVexoAbecsBlock& block = blocks.Items(i);
        Log(5, Format("    Block: %d, Size: %d, Data: ", i + 1, block.Size()) + block.Data());
        TVexoAbecsTLVList items;
        try {
            items.SetAsString(block.Data());
        } catch (const std::exception&) {
            continue; // raw data, not TLVs: the block line says it all
        }
        for (int j = 0; j < items.Count(); ++j) {
            const TVexoAbecsTLV& tlv = items.Items(j);
            const std::string name = isCommand ? SPEParamName(tlv.ID()) : PPParamName(tlv.ID());
            // An item line has no tag bytes for the line's masking to find: its value is masked here.
            const ByteString data =
                fLogMaskCardData && !isCommand ? MaskCardItem(tlv.ID(), tlv.Data()) : tlv.Data();
            Log(5, Format("      %s, Size: %d, Data: ", name.c_str(), tlv.Size()) + data);
        }
    }
}

} // namespace vexo
