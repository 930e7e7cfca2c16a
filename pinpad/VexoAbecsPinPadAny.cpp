#include "pinpad/VexoAbecsPinPad.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"

namespace vexo {

TVexoAbecsAnyAnswer TVexoAbecsPinPad::ExecAny(const TVexoAbecsAnyCommand& ACommand) {
    // Values may be card data: the line names the command only, the frames' lines mask the rest.
    LogText("ExecAny( " + ACommand.Name + ", " + std::to_string(ACommand.Params.size()) + " )");
    try {
        BuildAnyCommand(ACommand, *fCommand);
    } catch (const EVexoAbecsPinPadError& e) {
        fCommand->Clear();
        DoException(e);
    }
    ExecCommand(true);
    return LastAnswer();
}

TVexoAbecsAnyAnswer TVexoAbecsPinPad::LastAnswer() const {
    return DecodeAnyResponse(*fResponse);
}

} // namespace vexo
