#pragma once
// What the conformance checks share: a command's data field as the message core builds it, and the
// steps more than one group of checks takes. The checks live in CheckSuite.cpp and, for media,
// CheckSuiteMedia.cpp; the list of them in CheckSuite.cpp.
#include "cli/CheckSuite.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include <cstdint>
#include <string>

namespace kestrel::cli::checks {

inline constexpr const char* kSession = "opening the session";

// A command's data field, built by the message core.
class Cmd {
public:
    explicit Cmd(const std::string& AName) { fCommand.SetID(AName); }
    Cmd& Tlv(uint16_t ATag, const ByteString& AValue) {
        fCommand.AddParamFromTagData(ATag, AValue);
        return *this;
    }
    Cmd& Block(const ByteString& AData) {
        fCommand.AddParamFromData(AData);
        return *this;
    }
    operator ByteString() const {
        int32_t blocks = 0;
        return fCommand.GetDataPacket(0, blocks);
    }

private:
    vexo::TVexoAbecsCommand fCommand;
};

// A three-digit decimal field ("007").
std::string Code3(int ACode);

void OpenSession(CheckEnv& AEnv);

void CheckMediaLoad(CheckEnv& AEnv);
void CheckMediaBadCrc(CheckEnv& AEnv);
void CheckMlrWithoutMli(CheckEnv& AEnv);
void CheckDsiMissing(CheckEnv& AEnv);
void CheckLmfAfterDmf(CheckEnv& AEnv);

} // namespace kestrel::cli::checks
