#include "device/VexoDeviceRaw.h"
#include "device/VexoDevice.h"
#include "util/Strings.h"
#include <cups/cups.h>

namespace vexo {

std::function<TVexoImpressoras()> TVexoDeviceRaw::ImpressorasInstaladas;

namespace {

// CUPS gives its destinations sorted by name. An instance ("name/instance") is a set of options on
// its printer, not a printer of its own, but it may be the one chosen as default.
TVexoImpressoras DestinosCUPS() {
    cups_dest_t* dests = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    TVexoImpressoras result;
    for (int i = 0; i < n; ++i) {
        if (dests[i].is_default) result.Padrao = dests[i].name;
        if (!dests[i].instance) result.Nomes.emplace_back(dests[i].name);
    }
    cupsFreeDests(n, dests);
    return result;
}

TVexoImpressoras Impressoras() {
    return TVexoDeviceRaw::ImpressorasInstaladas ? TVexoDeviceRaw::ImpressorasInstaladas() : DestinosCUPS();
}

bool IgualSemCaixa(const std::string& A, const std::string& B) {
    return A.size() == B.size() && UpperCase(A) == UpperCase(B);
}

// The spooler takes a printer name in any case; the exact spelling still wins over another one.
int Posicao(const std::vector<std::string>& ANomes, const std::string& ANome) {
    for (size_t i = 0; i < ANomes.size(); ++i)
        if (ANomes[i] == ANome) return static_cast<int>(i);
    for (size_t i = 0; i < ANomes.size(); ++i)
        if (IgualSemCaixa(ANomes[i], ANome)) return static_cast<int>(i);
    return -1;
}

// The share name of a queue on another server, empty for a local one. "\\server\share" is how a
// network printer is named on the desktop platforms that share printers by server and share;
// "share@server" is how CUPS names a queue that lives on another server.
std::string NomeCompartilhado(const std::string& ANome) {
    if (ANome.starts_with("\\\\")) {
        const size_t barra = ANome.find('\\', 2);
        return barra == std::string::npos ? std::string() : ANome.substr(barra + 1);
    }
    const size_t arroba = ANome.find('@');
    if (arroba != std::string::npos && arroba > 0 && arroba + 1 < ANome.size())
        return ANome.substr(0, arroba);
    return {};
}

std::string UltimoErroCUPS() {
    const char* texto = cupsLastErrorString();
    return texto ? texto : "";
}

} // namespace

void TVexoDeviceRaw::AcharPortasRAW(std::vector<std::string>& AStringList) {
    for (const std::string& nome : Impressoras().Nomes)
        AStringList.push_back("RAW:" + nome);
}

int TVexoDeviceRaw::GetLabelPrinterIndex(const std::string& APrinterName) {
    return Posicao(Impressoras().Nomes, APrinterName);
}

int TVexoDeviceRaw::GetPrinterIndex(const std::string& APorta) {
    return Localizar(APorta, Impressoras());
}

int TVexoDeviceRaw::Localizar(const std::string& APorta, const TVexoImpressoras& AImpressoras) {
    GravaLog("GetPrinterIndex");
    const std::string nome = UpperCase(APorta.substr(0, 4)) == "RAW:" ? APorta.substr(4) : APorta;
    const std::vector<std::string>& nomes = AImpressoras.Nomes;
    int pos = -1;
    if (nome != "*") {
        pos = Posicao(nomes, nome);
        for (size_t i = 0; pos < 0 && i < nomes.size(); ++i) {
            const std::string compartilhado = NomeCompartilhado(nomes[i]);
            if (!compartilhado.empty() && IgualSemCaixa(compartilhado, nome)) pos = static_cast<int>(i);
        }
        if (pos < 0) DoException(Exception("Impressora não encontrada [" + nome + "]"));
    } else {
        if (!AImpressoras.Padrao.empty()) pos = Posicao(nomes, AImpressoras.Padrao);
        if (pos < 0 && nomes.empty()) DoException(Exception("Erro Nenhuma impressora Padrão foi detectada"));
        if (pos < 0) pos = 0;
    }
    GravaLog("  " + std::to_string(pos));
    return pos;
}

void TVexoDeviceRaw::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    GetPrinterIndex(APorta);
}

// One raw job per send: CUPS hands the bytes to the queue's device untouched.
void TVexoDeviceRaw::EnviaString(const ByteString& AString) {
    GravaLog("  TVexoDeviceRaw.EnviaStringWindows");
    const TVexoImpressoras impressoras = Impressoras();
    const std::string nome = impressoras.Nomes[static_cast<size_t>(Localizar(fpPorta, impressoras))];
    // The spooler refuses a document without bytes; nothing to print is no job at all.
    if (AString.empty()) return;
    const std::string documento = Owner().NomeDocumento();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, nome.c_str(), documento.c_str(), 0, nullptr);
    if (job == 0) {
        GravaLog("  " + UltimoErroCUPS());
        DoException(Exception("Impressora não encontrada [" + nome + "]"));
    }
    bool ok = cupsStartDocument(CUPS_HTTP_DEFAULT, nome.c_str(), job, documento.c_str(), CUPS_FORMAT_RAW,
                                1) == HTTP_STATUS_CONTINUE;
    if (ok) {
        ok = cupsWriteRequestData(CUPS_HTTP_DEFAULT, AString.data(), AString.size()) == HTTP_STATUS_CONTINUE;
        // Finishing reads the server's answer, which a failed write leaves waiting too.
        ok = cupsFinishDocument(CUPS_HTTP_DEFAULT, nome.c_str()) <= IPP_STATUS_OK_EVENTS_COMPLETE && ok;
    }
    if (!ok) {
        const std::string erro = UltimoErroCUPS();
        // A job left behind without its document would hold the queue.
        cupsCancelJob2(CUPS_HTTP_DEFAULT, nome.c_str(), job, 0);
        DoException(Exception("Erro ao enviar para a Impressora [" + nome + "]: " + erro));
    }
}

} // namespace vexo
