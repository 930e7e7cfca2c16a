// The workflows the window and kestrel-cli share: finding the port a PIN pad answers on (candidates
// from the serial seam, filled with pseudo-terminals here) and choosing how a picture goes to it.
#include "device/VexoDeviceSerial.h"
#include "media/PictureCodecs.h"
#include "pinpad/PictureUpload.h"
#include "pinpad/PinPadDetection.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/SimulatorRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <pty.h>
#include <unistd.h>

namespace {

using namespace vexo;
using kestrel::media::MediaType;
using kestrel::media::PictureFile;
using kestrel::media::PngForm;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;

// A pseudo-terminal nobody answers on.
struct DeadPort {
    int Master = -1, Slave = -1;
    std::string Path;
    DeadPort() {
        char name[256] = {};
        if (openpty(&Master, &Slave, name, nullptr, nullptr) == 0) Path = name;
    }
    ~DeadPort() {
        close(Master);
        close(Slave);
    }
};

class Detection : public ::testing::Test {
protected:
    void SetCandidates(std::vector<std::string> APorts) {
        TVexoDeviceSerial::CandidatasPortasSeriais = [APorts] { return APorts; };
    }
    void TearDown() override { TVexoDeviceSerial::CandidatasPortasSeriais = nullptr; }
    SimulatorRunner sim{Profile::Graphic()};
    TVexoAbecsPinPad pinpad;
};

TEST_F(Detection, FindsThePinPadPastSilentPortsAndLeavesTheComponentClosedOnIt) {
    DeadPort dead;
    ASSERT_FALSE(dead.Path.empty());
    const std::string simPort = sim.StartPty();
    SetCandidates({dead.Path, simPort});
    pinpad.SetTimeOut(300);
    std::vector<std::string> steps;
    const TPinPadDetection found =
        DetectPinPad(pinpad, [&](const std::string& APort, size_t AIndex, size_t ACount) {
            steps.push_back(APort + " " + std::to_string(AIndex) + "/" + std::to_string(ACount));
            return true;
        });
    EXPECT_EQ(found.Found, simPort);
    ASSERT_GE(found.Candidates.size(), 2u);
    EXPECT_EQ(found.Candidates[0], dead.Path);
    EXPECT_EQ(found.Candidates[1], simPort);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0], dead.Path + " 0/" + std::to_string(found.Candidates.size()));
    EXPECT_FALSE(pinpad.IsEnabled());
    EXPECT_EQ(pinpad.Port(), simPort);
    EXPECT_FALSE(sim.SessionOpen()) << "the session detection opened is closed";
}

TEST_F(Detection, ThatFindsNothingKeepsThePortTheComponentHad) {
    DeadPort dead;
    SetCandidates({dead.Path, "/nonexistent/kestrel-no-such-tty"});
    pinpad.SetTimeOut(300);
    pinpad.SetPort("COM7");
    const std::string before = pinpad.Port();
    const TPinPadDetection found = DetectPinPad(pinpad);
    EXPECT_EQ(found.Found, "");
    EXPECT_FALSE(pinpad.IsEnabled());
    EXPECT_EQ(pinpad.Port(), before);
}

TEST_F(Detection, StopsWhereTheCallerSaysAndTriesNothingMore) {
    const std::string simPort = sim.StartPty();
    SetCandidates({simPort});
    size_t asked = 0;
    const TPinPadDetection found = DetectPinPad(pinpad, [&](const std::string&, size_t, size_t) {
        ++asked;
        return false;
    });
    EXPECT_EQ(asked, 1u);
    EXPECT_EQ(found.Found, "");
    EXPECT_EQ(sim.CommandsHandled(), 0u);
}

TEST_F(Detection, CandidatesComeFromTheSerialSeamAndNameNoUsbDeviceForAPseudoTerminal) {
    const std::string simPort = sim.StartPty();
    SetCandidates({simPort});
    const std::vector<TPinPadCandidate> candidates = PinPadCandidates(pinpad.Device());
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates[0].Port, simPort);
    EXPECT_EQ(candidates[0].UsbName, "");
}

TVexoAbecsPinPadCapabilities Takes(bool APng, bool AJpeg, uint32_t ACols = 320, uint32_t ARows = 240) {
    TVexoAbecsPinPadCapabilities caps;
    caps.MediaPNGisSupported = APng;
    caps.MediaJPGisSupported = AJpeg;
    caps.DisplayGraphicPixels = {ARows, ACols};
    return caps;
}

// Pixels no palette holds, so JPEG is smaller than PNG: the file's own JPEG bytes would win on size.
kestrel::media::Picture Noise(int AWidth, int AHeight) {
    kestrel::media::Picture picture = kestrel::media::MakePicture(AWidth, AHeight, 0);
    uint64_t state = 42;
    for (size_t i = 0; i < picture.Pixels.size(); ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        picture.Pixels[i] = static_cast<uint8_t>(i % 4 == 3 ? 255 : state >> 56);
    }
    return picture;
}

PictureFile JpegFile(const kestrel::media::Picture& APicture) {
    return PictureFile{APicture, MediaType::mtJPG, kestrel::media::EncodeJpeg(APicture, 75), false};
}

TEST(PictureUpload, TheCapabilitiesChooseTheFormatAndTheSize) {
    const PictureFile jpeg = JpegFile(Noise(64, 48));
    // A PIN pad that takes JPEG gets the file's own bytes.
    const auto own = PlanPictureUpload(Takes(true, true), jpeg, PngForm::Smallest, false);
    EXPECT_EQ(own.Type, MediaType::mtJPG);
    EXPECT_TRUE(own.Bytes == jpeg.Bytes);
    // One that takes PNG and no JPEG gets a PNG, and the log says why.
    const auto png = PlanPictureUpload(Takes(true, false), jpeg, PngForm::Smallest, false);
    EXPECT_EQ(png.Type, MediaType::mtPNG);
    EXPECT_EQ(kestrel::media::DecodePng(png.Bytes).Width, 64);
    ASSERT_FALSE(png.Notes.empty());
    EXPECT_NE(png.Notes[0].find("takes no JPEG"), std::string::npos);
    // As it is means as it is, whatever the PIN pad says it takes; a picture larger than the display
    // is named.
    const PictureFile big = JpegFile(Noise(400, 48));
    const auto asIs = PlanPictureUpload(Takes(true, false), big, PngForm::Smallest, true);
    EXPECT_TRUE(asIs.Bytes == big.Bytes);
    ASSERT_EQ(asIs.Notes.size(), 1u);
    EXPECT_NE(asIs.Notes[0].find("sent as it is, as asked"), std::string::npos);
    // Otherwise it comes down to the display.
    const auto fitted = PlanPictureUpload(Takes(true, true), big, PngForm::Smallest, false);
    EXPECT_EQ(kestrel::media::DecodePicture(fitted.Bytes).Width, 320);
}

TEST(PictureUpload, AQRCodeFillsTheDisplayInAFormatThePinPadTakes) {
    Profile jpegOnly = Profile::Graphic();
    jpegOnly.Png = false;
    for (const Profile& profile : {Profile::Graphic(), jpegOnly}) {
        SimulatorRunner sim(profile);
        TVexoAbecsPinPad pinpad;
        pinpad.SetPort(sim.StartPty());
        pinpad.Enable();
        pinpad.OPN();
        kestrel::media::Picture qr = kestrel::media::MakePicture(25, 25, 0xFFFFFFFFu);
        for (int i = 0; i < 25; ++i)
            std::fill_n(qr.PixelAt(i, i), 3, std::uint8_t{0});
        const TQRCodeUpload upload = PlanQRCodeUpload(pinpad, qr, PngForm::Smallest);
        EXPECT_EQ(upload.Scaled.Width, QRCodeSideFor(pinpad));
        EXPECT_EQ(upload.Plan.Type, profile.Png ? MediaType::mtPNG : MediaType::mtJPG);
        EXPECT_EQ(kestrel::media::DecodePicture(upload.Plan.Bytes).Width, upload.Scaled.Width);
        pinpad.Disable();
    }
}

} // namespace
