// The display, interaction and media commands as an operator's session runs them, against the
// simulated PIN pad over a pseudo-terminal, with a scripted cardholder.
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/SimulatorRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

using namespace vexo;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;
namespace fs = std::filesystem;

std::string Centred(const std::string& AText) {
    const size_t left = (16 - AText.size()) / 2;
    return std::string(left, ' ') + AText + std::string(16 - left - AText.size(), ' ');
}

class SimSession : public ::testing::Test {
protected:
    void Open(Profile AProfile = Profile::Graphic()) {
        sim = std::make_unique<SimulatorRunner>(std::move(AProfile));
        sim->SetTimeScale(0.01); // the PIN pad's own timeouts: a second is 10 ms
        pinpad.SetPort(sim->StartPty());
        pinpad.Enable();
        pinpad.OPN();
    }
    void TearDown() override {
        pinpad.Disable();
        if (!folder.empty()) fs::remove_all(folder);
    }
    std::vector<std::string> MediaList() {
        std::vector<std::string> names;
        pinpad.LMF();
        pinpad.Response().GetResponseFromTagValue(PP_MFNAME, names);
        return names;
    }
    // Writes a small picture file: the format's signature and some bytes after it.
    fs::path Picture(const std::string& AName, const std::string& ASignature, size_t ASize) {
        if (folder.empty()) {
            folder = fs::temp_directory_path() / ("kestrel-media-" + std::to_string(::getpid()));
            fs::create_directories(folder);
        }
        std::string bytes = ASignature;
        for (size_t i = bytes.size(); i < ASize; ++i)
            bytes += static_cast<char>(i * 31 % 251);
        const fs::path path = folder / AName;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    void Upload(const std::string& AName, const fs::path& AFile, TVexoAbecsPinPadMediaType AType) {
        std::fstream file(AFile, std::ios::in | std::ios::out | std::ios::binary);
        pinpad.LoadMedia(AName, file, AType);
    }

    std::unique_ptr<SimulatorRunner> sim; // declared first: outlives the component's port
    TVexoAbecsPinPad pinpad;
    fs::path folder;
};

TEST_F(SimSession, TextCommandsShowOnTheDisplay) {
    Open();
    pinpad.DSP("Hello", "World");
    EXPECT_EQ(sim->Display().Lines[0], Centred("Hello"));
    EXPECT_EQ(sim->Display().Lines[1], Centred("World"));
    pinpad.DEX("Line one\rLine two\rLine three");
    EXPECT_EQ(sim->Display().Lines[2], Centred("Line three"));
    pinpad.RMC("Remove card", ""); // no card in the slot: answers at once
    EXPECT_EQ(sim->Display().Lines[0], Centred("Remove card"));
}

TEST_F(SimSession, InteractiveCommandsReturnWhatTheCardholderDid) {
    Open();
    sim->PressKey(4);
    EXPECT_EQ(pinpad.GKY(), 4);
    sim->PressKey(13);
    EXPECT_EQ(pinpad.GKY(), 13);
    sim->TypeDigits("12345678901");
    EXPECT_EQ(pinpad.GCD(TVexoAbecsMSGIDX::msgDigiteCPF, 60), "12345678901");
    sim->ChooseOption(2);
    EXPECT_EQ(pinpad.MNU(std::vector<std::string>{"Great", "Good", "Bad"}, "How was it?", 60), "02");
    sim->PressKey(0);
    pinpad.CEX(true, false, false, false, false, 60, "");
    EXPECT_EQ(pinpad.Response().GetResponseFromTagValue(PP_EVENT), "00");
    sim->InsertCard();
    pinpad.CEX(false, false, true, false, false, 60, "");
    EXPECT_EQ(pinpad.Response().GetResponseFromTagValue(PP_EVENT), "92");
    sim->RemoveCard();
    pinpad.RMC("Remove card", ""); // the card is in: waits for its removal
    EXPECT_FALSE(sim->CardInserted());
}

TEST_F(SimSession, PinPadTimeoutAndCancellation) {
    Open();
    sim->NeverAnswer();
    EXPECT_THROW(pinpad.GCD(TVexoAbecsMSGIDX::msgDigiteDDD, 1), EVexoAbecsPinPadTimeout);

    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool& Cancel) {
        ++polls;
        pinpad.CancelWaiting();
        Cancel = true; // as the window does when "Cancel Operation" was pressed
    });
    sim->NeverAnswer();
    try {
        pinpad.GKY();
        ADD_FAILURE() << "no error";
    } catch (const EVexoAbecsPinPadTimeout&) {
        ADD_FAILURE() << "a cancellation is not a timeout";
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_EQ(e.Message(), "Cancelled by User");
    }
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(sim->WaitingFor(), "");
    pinpad.SetOnWaitForResponse(nullptr);
    pinpad.DSP("Still here"); // the link goes on after the cancellation
}

TEST_F(SimSession, PicturesAreUploadedListedShownAndDeleted) {
    Open();
    const fs::path png = Picture("logo.png", "\x89PNG\r\n\x1A\n", 4500); // three MLR pieces, two packets
    const fs::path jpg = Picture("photo.jpg", "\xFF\xD8\xFF\xE0", 700);
    const fs::path gif = Picture("anim.gif", "GIF89a", 300);
    Upload("logo.png", png, TVexoAbecsPinPadMediaType::mtPNG);
    Upload("photo", jpg, TVexoAbecsPinPadMediaType::mtJPG);
    try {
        Upload("anim", gif, TVexoAbecsPinPadMediaType::mtGIF);
        ADD_FAILURE() << "the default profile takes no GIF";
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_EQ(e.Message(), "Error: 101 - Media file format error.");
    }
    EXPECT_EQ(MediaList(), (std::vector<std::string>{"LOGOPNG ", "PHOTO   "}));
    std::ifstream original(png, std::ios::binary);
    const auto stored = sim->Media("LOGOPNG");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Data, std::string(std::istreambuf_iterator<char>(original), {}));
    pinpad.DSI("logo.png");
    EXPECT_EQ(sim->Display().Picture, "LOGOPNG ");
    pinpad.DMF(std::vector<std::string>{"logo.png", "photo"});
    EXPECT_TRUE(MediaList().empty());
}

TEST_F(SimSession, GifGoesToAPinPadThatTakesIt) {
    Open(Profile::GraphicGif());
    Upload("anim", Picture("anim.gif", "GIF89a", 300), TVexoAbecsPinPadMediaType::mtGIF);
    EXPECT_EQ(MediaList(), std::vector<std::string>{"ANIM    "});
    pinpad.DSI("anim");
    EXPECT_EQ(sim->Display().Picture, "ANIM    ");
    pinpad.DMF("anim");
    EXPECT_TRUE(MediaList().empty());
}

} // namespace
