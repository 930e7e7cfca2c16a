#pragma once
#include "device/VexoDeviceClass.h"
#include <functional>
#include <string>
#include <vector>

namespace vexo {

// The installed printer queues in the spooler's order, and the default one (empty when none is set).
struct TVexoImpressoras {
    std::vector<std::string> Nomes;
    std::string Padrao;
};

// Raw printer queue kind: every send is one raw job, named by the facade's NomeDocumento, on the
// queue that the port name picks. Nothing is ever read.
class TVexoDeviceRaw : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;
    const char* ClassName() const override { return "TVexoDeviceRaw"; }

    // Looks the printer up, so a name that is not installed fails the activation.
    void Conectar(const std::string& APorta, int ATimeOutMilissegundos) override;
    void EnviaString(const ByteString& AString) override;

    // Appends "RAW:" + name for every installed printer.
    void AcharPortasRAW(std::vector<std::string>& AStringList);
    // Position of the name among the installed printers, -1 when absent. Printer names are compared
    // as the spooler compares them, ignoring case.
    int GetLabelPrinterIndex(const std::string& APrinterName);
    // Position of the printer a port name picks ("RAW:" + name, or "*" for the default): the name
    // itself, else a queue on another server by its share name ("\\server\share" or
    // "share@server", ignoring case); "*" is the default printer, else the first one. Fails when
    // there is none.
    int GetPrinterIndex(const std::string& APorta);

    // Where the printer list comes from: the spooler's destinations by default. Tests put lists
    // here that the spooler could not hold.
    static std::function<TVexoImpressoras()> ImpressorasInstaladas;

private:
    // GetPrinterIndex on a list already read, so a send looks the spooler up once.
    int Localizar(const std::string& APorta, const TVexoImpressoras& AImpressoras);
};

} // namespace vexo
