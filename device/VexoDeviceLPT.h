#pragma once
#include "device/VexoDeviceClass.h"
#include <string>

namespace vexo {

// Printer port and text file kind. A text file starts empty at every activation and each send
// appends to it, so it holds exactly what was sent since; a printer port is opened for each send.
// Nothing is ever read.
class TVexoDeviceLPT : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;
    const char* ClassName() const override { return "TVexoDeviceLPT"; }

    // Deletes an existing text file, then opens and closes the file or port once, so a port that
    // cannot be written fails the activation and not the first send.
    void Conectar(const std::string& APorta, int ATimeOutMilissegundos) override;
    void EnviaString(const ByteString& AString) override;

    // The file or device a port name writes to: the name without "FILE:"; LPTn is the printer
    // port PrefixoLPT + (n - 1).
    static std::string NomeArquivo(const std::string& APorta);
    // "/dev/lp" by default; tests point it at a folder of their own.
    static std::string PrefixoLPT;

private:
    void Enviar(const ByteString& AString);
};

} // namespace vexo
