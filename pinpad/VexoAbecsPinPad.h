#pragma once
#include "pinpad/VexoAbecsAnyCommand.h"
#include "pinpad/VexoAbecsCommandLimits.h"
#include "util/Component.h"
#include "util/Exception.h"
#include "util/Types.h"

#include <array>
#include <chrono>
#include <concepts>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <istream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

class TVexoDevice;
class TVexoAbecsPacket;
class TVexoAbecsApplicationLayer;
class TVexoAbecsCommand;
class TVexoAbecsResponse;

// Alignment of each display line; the values are stored in settings files as 0..3.
enum class TVexoAbecsMsgAlign : uint8_t { alNone = 0, alLeft = 1, alRight = 2, alCenter = 3 };

// Media file formats; the file type byte sent in MLI is the value plus one.
enum class TVexoAbecsPinPadMediaType : uint8_t { mtPNG = 0, mtJPG = 1, mtGIF = 2 };

struct TVexoAbecsDimension {
    uint32_t Rows = 0;
    uint32_t Cols = 0;
    bool operator==(const TVexoAbecsDimension&) const = default;
};

// What the PIN pad told us about itself through GIX. An empty SerialNumber means "not read yet".
struct TVexoAbecsPinPadCapabilities {
    std::string SerialNumber;
    std::string PartNumber;
    std::string Model;
    std::string Memory;
    std::string Manufacturer;
    bool SupportContactless = false;
    bool DisplayIsGraphic = false;
    bool DisplayIsColor = false;
    double SpecificationVersion = 0;
    TVexoAbecsDimension DisplayTextModeDimensions;
    TVexoAbecsDimension DisplayGraphicPixels; // Rows = height, Cols = width, in pixels
    bool MediaPNGisSupported = false;
    bool MediaJPGisSupported = false;
    bool MediaGIFisSupported = false;
    bool operator==(const TVexoAbecsPinPadCapabilities&) const = default;
};

// The GCD prompts kept by the PIN pad; the ABECS prompt number is the value plus one.
enum class TVexoAbecsMSGIDX : uint8_t {
    msgDigiteDDD,
    msgRedigiteDDD,
    msgDigiteTelefone,
    msgRedigiteTelefone,
    msgDigiteDDDeTelefone,
    msgRedigiteDDDeTelefone,
    msgDigiteCPF,
    msgRedigiteCPF,
    msgDigiteRG,
    msgRedigiteRG,
    msgDigite4UltimosDigitos,
    msgDigiteCodSeguranca,
    msgDigiteCNPJ,
    msgRedigiteCNPJ,
    msgDigiteDataDDMMAAAA,
    msgDigiteDataDDMMAA,
    msgDigiteDataDDMM,
    msgDigiteDiaDD,
    msgDigiteMesMM,
    msgDigiteAnoAA,
    msgDigiteAnoAAAA,
    msgDataNascimentoDDMMAAAA,
    msgDataNascimentoDDMMAA,
    msgDataNascimentoDDMM,
    msgDiaNascimentoDD,
    msgMesNascimentoMM,
    msgAnoNascimentoAA,
    msgAnoNascimentoAAAA,
    msgDigiteIdentificacao,
    msgCodFidelidade,
    msgNumeroMesa,
    msgQtdPessoas,
    msgQuantidade,
    msgNumeroBomba,
    msgNumeroVaga,
    msgNumeroGuiche,
    msgCodVendedor,
    msgCodGarcom,
    msgNotaAtendimento,
    msgNumeroNotaFiscal,
    msgNumeroComanda,
    msgPlacaVeiculo,
    msgDigiteQuilometragem,
    msgQuilometragemInicial,
    QuilometragemFinal, // the historic name has no "msg" prefix
    msgDigitePorcentagem,
    msgPesquisaSatisfacao0_10,
    msgAvalieAtendimento0_10,
    msgDigiteToken,
    msgDigiteNumeroCartao,
    msgNumeroParcelas,
    msgCodigoPlano,
    msgCodigoProduto,
};

constexpr size_t kVexoAbecsMSGIDXCount = kGcdPromptCount;

// Names of the prompts as written in the GCD log line, indexed by the enumeration.
inline constexpr std::array<const char*, kVexoAbecsMSGIDXCount> MSGIDXNames = {
    "msgDigiteDDD",
    "msgRedigiteDDD",
    "msgDigiteTelefone",
    "msgRedigiteTelefone",
    "msgDigiteDDDeTelefone",
    "msgRedigiteDDDeTelefone",
    "msgDigiteCPF",
    "msgRedigiteCPF",
    "msgDigiteRG",
    "msgRedigiteRG",
    "msgDigite4UltimosDigitos",
    "msgDigiteCodSeguranca",
    "msgDigiteCNPJ",
    "msgRedigiteCNPJ",
    "msgDigiteDataDDMMAAAA",
    "msgDigiteDataDDMMAA",
    "msgDigiteDataDDMM",
    "msgDigiteDiaDD",
    "msgDigiteMesMM",
    "msgDigiteAnoAA",
    "msgDigiteAnoAAAA",
    "msgDataNascimentoDDMMAAAA",
    "msgDataNascimentoDDMMAA",
    "msgDataNascimentoDDMM",
    "msgDiaNascimentoDD",
    "msgMesNascimentoMM",
    "msgAnoNascimentoAA",
    "msgAnoNascimentoAAAA",
    "msgDigiteIdentificacao",
    "msgCodFidelidade",
    "msgNumeroMesa",
    "msgQtdPessoas",
    "msgQuantidade",
    "msgNumeroBomba",
    "msgNumeroVaga",
    "msgNumeroGuiche",
    "msgCodVendedor",
    "msgCodGarcom",
    "msgNotaAtendimento",
    "msgNumeroNotaFiscal",
    "msgNumeroComanda",
    "msgPlacaVeiculo",
    "msgDigiteQuilometragem",
    "msgQuilometragemInicial",
    "QuilometragemFinal",
    "msgDigitePorcentagem",
    "msgPesquisaSatisfacao0_10",
    "msgAvalieAtendimento0_10",
    "msgDigiteToken",
    "msgDigiteNumeroCartao",
    "msgNumeroParcelas",
    "msgCodigoPlano",
    "msgCodigoProduto",
};

// Digit limits the enumerated GCD sends; 0 means "not sent".
struct TVexoAbecsGCDPromptLimits {
    uint8_t MinDig = 0;
    uint8_t MaxDig = 0;
};

inline constexpr std::array<TVexoAbecsGCDPromptLimits, kVexoAbecsMSGIDXCount> GCDPromptTable = [] {
    std::array<TVexoAbecsGCDPromptLimits, kVexoAbecsMSGIDXCount> t{};
    auto set = [&t](std::initializer_list<int> APrompts, uint8_t AMin, uint8_t AMax) {
        for (int n : APrompts)
            t[static_cast<size_t>(n - 1)] = {AMin, AMax};
    };
    set({1, 2}, 3, 3);
    set({3, 4}, 8, 9);
    set({5, 6}, 10, 11);
    set({7, 8}, 11, 11);
    set({9, 10}, 5, 11);
    set({11}, 4, 4);
    set({12}, 3, 3);
    set({13, 14}, 14, 14);
    set({15, 22}, 8, 8);
    set({16, 23}, 6, 6);
    set({17, 21, 24, 28}, 4, 4);
    set({18, 19, 20, 25, 26, 27}, 2, 2);
    set({39, 47, 48}, 1, 2);
    set({51}, 1, 3);
    return t;
}();

// Events. An empty std::function is simply not called.
using TVexoNotifyEvent = std::function<void(TComponent* Sender)>;
using TVexoAbecsExecEvent = std::function<void(bool& Cancel)>;
// ALogLine is UTF-8 text; Tratado arrives true, a handler sets it false to have the line go to LogFile too.
using TVexoGravarLog = std::function<void(const std::string& ALogLine, bool& Tratado)>;
// The progress of a media file's bytes going to the PIN pad (the MLR packets, of LoadMedia or of MLR
// alone): fired after each of those packets was acknowledged and answered successfully, with the
// packets done so far and the packets of the whole transfer. No other command fires it.
using TVexoAbecsProgressEvent = std::function<void(TComponent* Sender, int APacketsDone, int APacketsTotal)>;

// The PIN-pad component: one ABECS link over an owned device, the command set, the log.
// Text arguments and results are UTF-8; they reach the wire in the Windows-1252 code page.
class TVexoAbecsPinPad : public TComponent {
public:
    explicit TVexoAbecsPinPad(TComponent* AOwner = nullptr);
    ~TVexoAbecsPinPad() override;

    // --- Core -----------------------------------------------------------------------------------------
    void Enable();
    void Disable();
    bool IsEnabled() const;
    void SetIsEnabled(bool AValue);
    // Ends a blocking wait at its next poll, which then sends CAN. An OnWaitForResponse handler has the
    // last word: its Cancel result replaces this, so a call from inside the handler alone cancels nothing.
    void CancelWaiting();

    TVexoDevice& Device() const { return *fDevice; }
    std::string Port() const;
    void SetPort(const std::string& AValue);
    bool IsBusy() const { return fIsBusy; }
    int32_t TimeOut() const { return fTimeOut; }
    void SetTimeOut(int32_t AValue) { fTimeOut = AValue; }
    const std::string& LogFile() const { return fLogFile; }
    void SetLogFile(const std::string& AValue) { fLogFile = AValue; }
    uint8_t LogLevel() const { return fLogLevel; }
    void SetLogLevel(uint8_t AValue) { fLogLevel = AValue; }
    bool LogTranslate() const { return fLogTranslate; }
    void SetLogTranslate(bool AValue) { fLogTranslate = AValue; }
    // Card numbers and tracks in log lines masked (first 6 and last 4 digits of a card number kept);
    // the bytes on the wire are never touched. On unless the host asks for clear card data.
    bool LogMaskCardData() const { return fLogMaskCardData; }
    void SetLogMaskCardData(bool AValue) { fLogMaskCardData = AValue; }
    TVexoAbecsMsgAlign MsgAlign() const { return fMsgAlign; }
    void SetMsgAlign(TVexoAbecsMsgAlign AValue) { fMsgAlign = AValue; }
    bool MsgWordWrap() const { return fMsgWordWrap; }
    void SetMsgWordWrap(bool AValue) { fMsgWordWrap = AValue; }

    const TVexoGravarLog& OnWriteLog() const { return fOnWriteLog; }
    void SetOnWriteLog(TVexoGravarLog AValue) { fOnWriteLog = std::move(AValue); }
    const TVexoNotifyEvent& OnStartCommand() const { return fOnStartCommand; }
    void SetOnStartCommand(TVexoNotifyEvent AValue) { fOnStartCommand = std::move(AValue); }
    const TVexoAbecsExecEvent& OnWaitForResponse() const { return fOnWaitForResponse; }
    void SetOnWaitForResponse(TVexoAbecsExecEvent AValue) { fOnWaitForResponse = std::move(AValue); }
    const TVexoNotifyEvent& OnEndCommand() const { return fOnEndCommand; }
    void SetOnEndCommand(TVexoNotifyEvent AValue) { fOnEndCommand = std::move(AValue); }
    const TVexoAbecsProgressEvent& OnProgress() const { return fOnProgress; }
    void SetOnProgress(TVexoAbecsProgressEvent AValue) { fOnProgress = std::move(AValue); }

    TVexoAbecsCommand& Command() const { return *fCommand; }
    TVexoAbecsResponse& Response() const { return *fResponse; }

    // --- Session and information ------------------------------------------------------------------------
    void OPN();
    void OPN(const std::string& OPN_MOD, const std::string& OPN_EXP); // secure opening: always refused
    void CLO(const std::string& CLO_MSG);
    void CLO(const std::string& Line1, const std::string& Line2);
    void CLX(const std::string& SPE_DSPMSG_or_SPE_MFNAME);
    void GIN(uint8_t GIN_ACQIDX);
    void GIX();
    void GIX(const std::vector<uint16_t>& PP_DATA);
    // Reads the cache; asks the PIN pad (GIX) only while the cache is empty.
    TVexoAbecsPinPadCapabilities GetPinPadCapabilities();
    TVexoAbecsPinPadCapabilities PinPadCapabilities() { return GetPinPadCapabilities(); }

    // --- Display and interaction ------------------------------------------------------------------------
    void DSP(const std::string& DSP_MSG);
    void DSP(const std::string& Line1, const std::string& Line2);
    void DEX(const std::string& DEX_MSG);
    void RMC(const std::string& RMC_MSG);
    void RMC(const std::string& Line1, const std::string& Line2);
    int32_t GKY();
    std::string GCD(uint16_t ASPE_MSGIDX, uint8_t ASPE_MINDIG, uint8_t ASPE_MAXDIG, uint8_t ASPE_TIMEOUT);
    std::string GCD(TVexoAbecsMSGIDX MSGIDX, uint8_t ASPE_TIMEOUT);
    // Array form, and the list-of-lines form that copies into an array.
    std::string MNU(const std::vector<std::string>& ASPE_MNUOPT, const std::string& ASPE_DSPMSG,
                    uint8_t ASPE_TIMEOUT);
    std::string MNU(std::span<const std::string> ASPE_MNUOPT, const std::string& ASPE_DSPMSG,
                    uint8_t ASPE_TIMEOUT);
    void CEX(const std::string& ASPE_CEXOPT, uint8_t ASPE_TIMEOUT, const std::string& ASPE_PANMASK_LLRR);
    void CEX(bool VerifyKey, bool VerifyMagnetic, bool VerifyICCInsertion, bool VerifyICCRemoval,
             bool VerifyCTLSPresence, uint8_t ASPE_TIMEOUT, const std::string& ASPE_PANMASK_LLRR);

    // --- Multimedia --------------------------------------------------------------------------------------
    std::string FormatSPE_MFNAME(const std::string& ASPE_MFNAME) const;
    void MLI(const std::string& ASPE_MFNAME, const ByteString& ASPE_MFINFO);
    void MLI(const std::string& ASPE_MFNAME, int64_t FileSize, uint16_t CRC, uint8_t FileType);
    void MLR(std::iostream& ASPE_DATAIN);
    void MLE();
    void LMF();
    void DMF(const std::string& ASPE_MFNAME);
    void DMF(const std::vector<std::string>& LIST_SPE_MFNAME);
    void DMF(std::span<const std::string> LIST_SPE_MFNAME);
    void DSI(const std::string& ASPE_MFNAME);
    void LoadMedia(const std::string& ASPE_MFNAME, std::iostream& ASPE_DATAIN,
                   TVexoAbecsPinPadMediaType MediaType);

    // --- Any command -------------------------------------------------------------------------------------
    // Any ABECS command by name, with its items and blocks as given, waiting for the cardholder when
    // ACommand.Wait or the command table says so. Everything is built before a byte is sent: a bad
    // parameter raises and sends nothing. A return code other than 0 raises as for every command;
    // LastAnswer() still reads that response.
    TVexoAbecsAnyAnswer ExecAny(const TVexoAbecsAnyCommand& ACommand);
    // The last response with its items named by the PP_ table.
    TVexoAbecsAnyAnswer LastAnswer() const;

    // --- Display text layout -----------------------------------------------------------------------------
    // Laid out for the cached text display size; empty before the capabilities are known.
    std::string FormatSPE_DSPMSG(const std::string& ASPE_DSPMSG) const;
    // Two lines of 16 characters, without separators.
    std::string FormatMSG_S32(const std::string& AMSG) const;

protected:
    // Runs fCommand through the link and leaves the answer in fResponse.
    void ExecCommand(bool AEvaluateResponse = true);
    // Logs "<class name>: <message>" at level 1, then raises the error as it is.
    template <std::derived_from<Exception> E> [[noreturn]] void DoException(const E& AException) {
        LogException(AException);
        throw AException;
    }
    // Raises EVexoAbecsPinPadError with AMessage, logged first.
    [[noreturn]] void DoException(const std::string& AMessage);
    void LogException(const Exception& AException);
    // ALine holds code-page bytes (command methods convert their UTF-8 text first).
    void WriteLog(const ByteString& ALine, bool AWithTime = true);
    // Convenience for the command methods: writes a UTF-8 line when LogLevel >= ALevel.
    void LogText(const std::string& AText, uint8_t ALevel = 1);
    // Message laid out as at most ARows lines, each ended by CR.
    std::string FormatMsg(const std::string& AMsg, int32_t ACols, int32_t ARows) const;
    void ClearCapabilities();
    void ClearSecureData();

private:
    void RunPackets(bool AEvaluateResponse);
    void SendCommand(int32_t ABlockStart, int32_t& ABlocksRead);
    uint8_t WaitForACK();
    void QuietLine();
    void WaitForResponse();
    void ReadResponseFrame(TVexoAbecsPacket& APacket);
    bool AnswersCommand(const ByteString& AData);
    void WaitForSYN(std::chrono::steady_clock::time_point ADeadline);
    void WaitForDataPacket(ByteString& AData);
    bool SendCAN();
    void SendNAK();
    void IgnoreAllBytes(int32_t AMilliseconds);
    void EvaluateResponse();
    void LogApplicationLayer(const TVexoAbecsApplicationLayer& ALayer);
    bool Logs(uint8_t ALevel) const;
    void Log(uint8_t ALevel, const ByteString& ALine);
    void LogF(uint8_t ALevel, const char* AFormat, ...) __attribute__((format(printf, 3, 4)));
    void LogData(uint8_t ALevel, std::string_view APrefix, std::string_view AData);
    std::optional<uint8_t> ReadWaitingByte();
    int CountPackets() const;

    std::unique_ptr<TVexoDevice> fDevice;
    TVexoAbecsMsgAlign fMsgAlign = TVexoAbecsMsgAlign::alCenter;
    bool fMsgWordWrap = true;
    TVexoNotifyEvent fOnEndCommand;
    TVexoNotifyEvent fOnStartCommand;
    TVexoAbecsExecEvent fOnWaitForResponse;
    TVexoAbecsProgressEvent fOnProgress;
    std::unique_ptr<TVexoAbecsCommand> fCommand;
    std::unique_ptr<TVexoAbecsResponse> fResponse;
    TVexoGravarLog fOnWriteLog;
    uint8_t fLogLevel = 2;
    std::string fLogFile;
    bool fLogTranslate = true;
    bool fLogMaskCardData = true;
    bool fIsBusy = false;
    bool fReportProgress = false; // the running command carries a media file's bytes
    bool fLineUnsettled = false;  // the last exchange ended before its response was in
    int32_t fTimeOut = 10000;
    std::string fSPEKmod;
    std::string fSPEKpub;
    std::string fPinpadKSec;
    TVexoAbecsPinPadCapabilities fPinPadCapabilities;
};

} // namespace vexo
