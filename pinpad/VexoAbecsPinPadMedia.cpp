#include "pinpad/VexoAbecsPinPad.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/MediaName.h"
#include "util/Strings.h"

#include <iterator>
#include <sstream>

namespace vexo {
namespace {

constexpr size_t kMediaInfoSize = 10;

void Reset(TVexoAbecsCommand& ACommand, const char* AID) {
    ACommand.Clear();
    ACommand.SetID(AID);
}

ByteString BigEndian(uint64_t AValue, size_t ACount) {
    ByteString out(ACount, '\0');
    for (size_t i = ACount; i-- > 0; AValue >>= 8)
        out[i] = static_cast<char>(AValue & 0xFF);
    return out;
}

int64_t StreamSize(std::iostream& AStream) {
    AStream.clear();
    const auto position = AStream.tellg();
    AStream.seekg(0, std::ios::end);
    const auto size = static_cast<int64_t>(AStream.tellg());
    AStream.seekg(position);
    return size < 0 ? 0 : size;
}

ByteString ReadAll(std::iostream& AStream) {
    AStream.clear();
    AStream.seekg(0, std::ios::beg);
    ByteString bytes{std::istreambuf_iterator<char>(AStream), std::istreambuf_iterator<char>()};
    AStream.clear();
    return bytes;
}

std::string JoinNames(std::span<const std::string> ANames) {
    std::string out;
    for (size_t i = 0; i < ANames.size(); ++i)
        out += (i == 0 ? "" : ", ") + ANames[i];
    return out;
}

} // namespace

std::string TVexoAbecsPinPad::FormatSPE_MFNAME(const std::string& ASPE_MFNAME) const {
    return FormatMediaName(ASPE_MFNAME);
}

void TVexoAbecsPinPad::MLI(const std::string& ASPE_MFNAME, const ByteString& ASPE_MFINFO) {
    if (LogLevel() >= 1) WriteLog(TextToAnsi("MLI( " + ASPE_MFNAME + ", ") + ASPE_MFINFO + " )");
    const std::string name = FormatSPE_MFNAME(ASPE_MFNAME);
    if (name == std::string(kMediaNameSize, ' ')) DoException("Invalid Media file name");
    if (ASPE_MFINFO.size() != kMediaInfoSize) DoException("Invalid Media file parâmeters");
    Reset(*fCommand, "MLI");
    fCommand->AddParamFromTagValue(SPE_MFNAME, name);
    // Raw bytes (size, CRC), kept out of the code-page conversion.
    fCommand->AddParamFromTagData(SPE_MFINFO, ASPE_MFINFO);
    ExecCommand(true);
}

void TVexoAbecsPinPad::MLI(const std::string& ASPE_MFNAME, int64_t FileSize, uint16_t CRC, uint8_t FileType) {
    LogText("MLI( " + ASPE_MFNAME + ", " + std::to_string(FileSize) + ", " + std::to_string(CRC) + ", " +
            std::to_string(FileType) + " )");
    const ByteString info = BigEndian(static_cast<uint64_t>(FileSize) & 0xFFFFFFFFu, 4) + BigEndian(CRC, 2) +
                            static_cast<char>(FileType) + ByteString(3, '\0');
    MLI(ASPE_MFNAME, info);
}

void TVexoAbecsPinPad::MLR(std::iostream& ASPE_DATAIN) {
    LogText(Format("MLR( %lld Bytes )", static_cast<long long>(StreamSize(ASPE_DATAIN))));
    Reset(*fCommand, "MLR");
    fCommand->AddParamFromTagValue(SPE_DATAIN, ASPE_DATAIN);
    fReportProgress = true;
    try {
        ExecCommand(true);
    } catch (...) {
        fReportProgress = false;
        throw;
    }
    fReportProgress = false;
}

void TVexoAbecsPinPad::MLE() {
    LogText("MLE");
    Reset(*fCommand, "MLE");
    ExecCommand(true);
}

void TVexoAbecsPinPad::LMF() {
    LogText("LMF");
    Reset(*fCommand, "LMF");
    ExecCommand(true);
}

void TVexoAbecsPinPad::DMF(const std::string& ASPE_MFNAME) {
    LogText("DMF( " + ASPE_MFNAME + " )");
    Reset(*fCommand, "DMF");
    fCommand->AddParamFromTagValue(SPE_MFNAME, FormatSPE_MFNAME(ASPE_MFNAME));
    ExecCommand(true);
}

void TVexoAbecsPinPad::DMF(const std::vector<std::string>& LIST_SPE_MFNAME) {
    DMF(std::span<const std::string>(LIST_SPE_MFNAME));
}

void TVexoAbecsPinPad::DMF(std::span<const std::string> LIST_SPE_MFNAME) {
    LogText("DMF( " + JoinNames(LIST_SPE_MFNAME) + " )");
    Reset(*fCommand, "DMF");
    for (const std::string& name : LIST_SPE_MFNAME)
        fCommand->AddParamFromTagValue(SPE_MFNAME, FormatSPE_MFNAME(name));
    ExecCommand(true);
}

void TVexoAbecsPinPad::DSI(const std::string& ASPE_MFNAME) {
    LogText("DSI( " + ASPE_MFNAME + " )");
    Reset(*fCommand, "DSI");
    fCommand->AddParamFromTagValue(SPE_MFNAME, FormatSPE_MFNAME(ASPE_MFNAME));
    ExecCommand(true);
}

// MLI must describe exactly the bytes MLR then sends, so both read the stream from its start.
void TVexoAbecsPinPad::LoadMedia(const std::string& ASPE_MFNAME, std::iostream& ASPE_DATAIN,
                                 TVexoAbecsPinPadMediaType MediaType) {
    int64_t size = 0;
    uint16_t crc = 0;
    {
        const ByteString data = ReadAll(ASPE_DATAIN); // freed before MLR makes its own copy
        size = static_cast<int64_t>(data.size());
        crc = TVexoAbecsPacket::UpdateCRC(0, data);
    }
    const auto fileType = static_cast<uint8_t>(static_cast<uint8_t>(MediaType) + 1);
    MLI(ASPE_MFNAME, size, crc, fileType);
    ASPE_DATAIN.clear();
    ASPE_DATAIN.seekg(0, std::ios::beg);
    MLR(ASPE_DATAIN);
    MLE();
}

} // namespace vexo
