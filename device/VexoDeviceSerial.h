#pragma once
#include "device/BlockSerial.h"
#include "device/VexoDeviceChannel.h"
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexo {

enum TVexoSerialParity : uint8_t { pNone, pOdd, pEven, pMark, pSpace };
enum TVexoSerialStop : uint8_t { s1, s1eMeio, s2 };
enum TVexoHandShake : uint8_t { hsNenhum, hsXON_XOFF, hsRTS_CTS, hsDTR_DSR };

std::string ParityName(TVexoSerialParity AParity); // "pNone", ...
std::string StopName(TVexoSerialStop AStop);       // "s1", ...
std::string HandShakeName(TVexoHandShake AHandShake);

// Serial kind. Keeps the serial parameters for the whole facade, whatever kind is active.
class TVexoDeviceSerial : public TVexoDeviceChannel {
public:
    explicit TVexoDeviceSerial(TComponent* AOwner);
    ~TVexoDeviceSerial() override;
    const char* ClassName() const override { return "TVexoDeviceSerial"; }

    TBlockSerial& Serial() { return *fsSerial; }

    int Baud() const { return fsBaud; }
    void SetBaud(int AValue);
    int Data() const { return fsData; }
    void SetData(int AValue);
    TVexoSerialParity Parity() const;
    void SetParity(TVexoSerialParity AValue);
    TVexoSerialStop Stop() const { return fsStop; }
    void SetStop(TVexoSerialStop AValue);
    TVexoHandShake HandShake() const { return fsHandShake; }
    void SetHandShake(TVexoHandShake AValue);
    bool HardFlow() const { return fsHardFlow; }
    void SetHardFlow(bool AValue);
    bool SoftFlow() const { return fsSoftFlow; }
    void SetSoftFlow(bool AValue);

    void ValoresPadroes();
    void ConfigurarSerial();
    std::string ParamsString() { return ParametrosSerial(true); }
    void SetParamsString(const std::string& AValue);
    std::string ParametrosSerial(bool ApenasExcecoes);

    int GetTimeOutMilissegundos() override { return fsSerial->DeadlockTimeout; }
    void SetTimeOutMilissegundos(int AValue) override { fsSerial->DeadlockTimeout = AValue; }
    void Conectar(const std::string& APorta, int ATimeOutMilissegundos) override;
    void Desconectar(bool IgnorarErros = true) override;
    bool EmLinha(int ATimeOutMilissegundos) override;
    void EnviaString(const ByteString& AString) override;

    // Appends the serial ports that exist and open, at most UltimaPorta of them.
    void AcharPortasSeriais(std::vector<std::string>& AStringList, int UltimaPorta);

    // Where the probe takes its candidates from: by default the serial device nodes under /dev
    // (ttyACM, ttyUSB, ttyS, rfcomm, numerically within each family). Tests put pseudo-terminals here.
    static std::function<std::vector<std::string>()> CandidatasPortasSeriais;
    static std::vector<std::string> DispositivosSeriaisDoSistema();

protected:
    TBlockChannel& Canal() override { return *fsSerial; }

private:
    void AplicarFluxo(TVexoHandShake AHandShake, bool AValue);

    std::unique_ptr<TBlockSerial> fsSerial;
    bool fsHardFlow = false;
    bool fsSoftFlow = false;
    TVexoHandShake fsHandShake = hsNenhum;
    char fsParity = 'N';
    int fsData = 8;
    int fsBaud = 9600;
    TVexoSerialStop fsStop = s1;
};

} // namespace vexo
