#include "cli/LogSink.h"

#include "pinpad/VexoAbecsPinPad.h"
#include "util/CardMask.h"
#include "util/CodePage.h"
#include "util/FilesIO.h"

#include <iostream>

namespace kestrel::cli {

void AttachLog(vexo::TVexoAbecsPinPad& APinPad, const std::string& AFile, uint8_t ALevel, bool AMask) {
    APinPad.SetLogLevel(ALevel);
    APinPad.SetLogMaskCardData(AMask);
    // The component would write its own file unmasked: it gets none, the handler writes instead.
    APinPad.SetLogFile({});
    if (AFile.empty()) {
        APinPad.SetOnWriteLog(nullptr);
        return;
    }
    APinPad.SetOnWriteLog([AFile, AMask](const std::string& ALine, bool&) {
        const std::string line = AMask ? vexo::MaskCardDataInText(ALine) : ALine;
        if (AFile == "-") {
            std::cerr << line << '\n';
            return;
        }
        vexo::GravarArquivoTexto(AFile, vexo::TextToAnsi(line), true, true, true);
    });
}

} // namespace kestrel::cli
