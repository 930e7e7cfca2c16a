#include "pinpad/VexoAbecsPinPad.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsTLV.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/FilesIO.h"
#include "util/Strings.h"

namespace vexo {

void TVexoAbecsPinPad::Log(uint8_t ALevel, const ByteString& ALine) {
    if (fLogLevel >= ALevel) WriteLog(ALine, true);
}

void TVexoAbecsPinPad::LogText(const std::string& AText, uint8_t ALevel) {
    if (fLogLevel >= ALevel) WriteLog(TextToAnsi(AText), true);
}

void TVexoAbecsPinPad::LogException(const Exception& AException) {
    LogText(std::string(AException.ClassName()) + ": " + AException.Message(), 1);
}

void TVexoAbecsPinPad::DoException(const std::string& AMessage) {
    DoException(EVexoAbecsPinPadError(AMessage));
}

void TVexoAbecsPinPad::WriteLog(const ByteString& ALine, bool AWithTime) {
    if (fLogFile.empty() && !fOnWriteLog) return;
    ByteString line = fLogTranslate ? EscaparNaoImprimiveis(ALine) : ALine;
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
            Log(5, Format("      %s, Size: %d, Data: ", name.c_str(), tlv.Size()) + tlv.Data());
        }
    }
}

} // namespace vexo
