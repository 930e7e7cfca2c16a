// The conformance checks of media files, through the PIN-pad component as a host loads media.
#include "cli/CheckSteps.h"

#include "media/Picture.h"
#include "media/PictureCodecs.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/Strings.h"

#include <algorithm>

namespace kestrel::cli::checks {

using namespace vexo;

namespace {

ByteString SmallPicture(TVexoAbecsPinPadMediaType AType) {
    kestrel::media::Picture picture = kestrel::media::MakePicture(16, 16, 0x000000FFu);
    for (int i = 0; i < 16; ++i) {
        std::uint8_t* pixel = picture.PixelAt(i, i);
        pixel[0] = pixel[1] = pixel[2] = 0xFF;
    }
    return AType == TVexoAbecsPinPadMediaType::mtPNG ? kestrel::media::EncodePng(picture)
                                                     : kestrel::media::EncodeJpeg(picture);
}

// --- media, through the PIN-pad component as a host loads media -----------------------------

const char* const kGoodName = "KCHECK01";
const char* const kBadName = "KCHECK02";
const char* const kGoneName = "KCHECK03";

std::optional<TVexoAbecsPinPadMediaType> MediaType(CheckEnv& AEnv) {
    const auto& caps = AEnv.PinPad().Caps;
    if (caps.MediaPNGisSupported) return TVexoAbecsPinPadMediaType::mtPNG;
    if (caps.MediaJPGisSupported) return TVexoAbecsPinPadMediaType::mtJPG;
    return std::nullopt;
}

bool Listed(const std::vector<std::string>& ANames, const std::string& AName) {
    for (const auto& name : ANames)
        if (Trim(name) == AName) return true;
    return false;
}

// The PIN pad's media names, or null with the failure noted.
std::optional<std::vector<std::string>> MediaNames(CheckEnv& AEnv) {
    TVexoAbecsPinPad& host = AEnv.Host();
    if (AEnv.HostStep([&] { host.LMF(); }) != ST_OK) {
        AEnv.Fail("LMF failed");
        return std::nullopt;
    }
    std::vector<std::string> names;
    host.Response().GetResponseFromTagValue(PP_MFNAME, names);
    return names;
}

// Media checks leave no file of theirs behind.
void RemoveIfListed(CheckEnv& AEnv, const std::string& AName) {
    const auto names = MediaNames(AEnv);
    if (names && Listed(*names, AName)) AEnv.HostStep([&] { AEnv.Host().DMF(AName); });
}

bool Load(CheckEnv& AEnv, const std::string& AName, TVexoAbecsPinPadMediaType AType) {
    std::stringstream file(SmallPicture(AType));
    const int code = AEnv.HostStep([&] { AEnv.Host().LoadMedia(AName, file, AType); });
    if (code == ST_OK) return true;
    AEnv.Fail("the load of " + AName + " was refused with " + Code3(code) + " at " +
              AEnv.Host().Command().ID());
    return false;
}

} // namespace

void CheckMediaLoad(CheckEnv& AEnv) {
    const auto type = MediaType(AEnv);
    if (!type) return AEnv.Skip("the PIN pad takes neither PNG nor JPEG media files (PP_MFSUP)");
    RemoveIfListed(AEnv, kGoodName);
    if (AEnv.Failed() || !Load(AEnv, kGoodName, *type)) return;
    const auto names = MediaNames(AEnv);
    if (names && !Listed(*names, kGoodName))
        AEnv.Fail("LMF does not list " + std::string(kGoodName) + " after its load");
    RemoveIfListed(AEnv, kGoodName);
}

void CheckMediaBadCrc(CheckEnv& AEnv) {
    const auto type = MediaType(AEnv);
    if (!type) return AEnv.Skip("the PIN pad takes neither PNG nor JPEG media files (PP_MFSUP)");
    RemoveIfListed(AEnv, kBadName);
    if (AEnv.Failed()) return;
    TVexoAbecsPinPad& host = AEnv.Host();
    const ByteString bytes = SmallPicture(*type);
    const uint16_t wrong = static_cast<uint16_t>(TVexoAbecsPacket::UpdateCRC(0, bytes) ^ 0xFFFF);
    if (AEnv.HostStep([&] {
            host.MLI(kBadName, static_cast<int64_t>(bytes.size()), wrong,
                     static_cast<uint8_t>(int(*type) + 1));
        }) != ST_OK)
        return AEnv.Fail("MLI was refused with " + Code3(host.Response().STAT()));
    std::stringstream file(bytes);
    if (AEnv.HostStep([&] { host.MLR(file); }) != ST_OK)
        return AEnv.Fail("MLR was refused with " + Code3(host.Response().STAT()) +
                         "; the CRC is only known once every byte is in, at MLE");
    const int code = AEnv.HostStep([&] { host.MLE(); });
    if (code == ST_OK)
        AEnv.Fail("MLE accepted a file whose data do not match the CRC declared in MLI");
    else if (code < 0)
        return;
    const auto names = MediaNames(AEnv);
    if (names && Listed(*names, kBadName)) {
        AEnv.Fail(std::string(kBadName) + " was stored although its CRC did not match");
        RemoveIfListed(AEnv, kBadName);
    }
}

void CheckMlrWithoutMli(CheckEnv& AEnv) {
    if (!MediaType(AEnv)) return AEnv.Skip("the PIN pad takes neither PNG nor JPEG media files (PP_MFSUP)");
    // Closing and opening the session drops any load a former host left half done.
    if (!AEnv.Expect(AEnv.Ask(Cmd("CLO")), "CLO", ST_OK, "CLO, to drop any load in progress")) return;
    OpenSession(AEnv);
    if (AEnv.Failed()) return;
    AEnv.Expect(AEnv.Ask(Cmd("MLR").Tlv(SPE_DATAIN, "\x89PNG\r\n\x1A\n")), "MLR", ST_INVCALL,
                "MLR with no load begun");
}

void CheckDsiMissing(CheckEnv& AEnv) {
    if (!MediaType(AEnv)) return AEnv.Skip("the PIN pad takes neither PNG nor JPEG media files (PP_MFSUP)");
    const auto names = MediaNames(AEnv);
    if (!names) return;
    std::string missing;
    for (int n = 0; n < 100 && missing.empty(); ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "KCNONE%02d", n);
        if (!Listed(*names, name)) missing = name;
    }
    const int code = AEnv.HostStep([&] { AEnv.Host().DSI(missing); });
    if (code >= 0 && code != ST_MFNFOUND)
        AEnv.Fail("DSI " + missing + " was answered " + Code3(code) + ", not 100");
}

void CheckLmfAfterDmf(CheckEnv& AEnv) {
    const auto type = MediaType(AEnv);
    if (!type) return AEnv.Skip("the PIN pad takes neither PNG nor JPEG media files (PP_MFSUP)");
    RemoveIfListed(AEnv, kGoneName);
    if (AEnv.Failed() || !Load(AEnv, kGoneName, *type)) return;
    if (AEnv.HostStep([&] { AEnv.Host().DMF(kGoneName); }) != ST_OK)
        return AEnv.Fail("DMF was refused with " + Code3(AEnv.Host().Response().STAT()));
    const auto names = MediaNames(AEnv);
    if (names && Listed(*names, kGoneName))
        AEnv.Fail("LMF still lists " + std::string(kGoneName) + " after DMF");
}

} // namespace kestrel::cli::checks
