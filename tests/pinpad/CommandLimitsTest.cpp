// The shared limits and names of the interactive commands, and the one test for a return-code error.
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCommandLimits.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsReturnCode.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/SimulatorRunner.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace vexo;

TEST(MenuOptions, AreCutToTheirSizeInCodePageCharactersAndNoFurther) {
    const std::string exact(kMaxMenuOptionSize, 'A');
    // "ç" and "ã" are two bytes in UTF-8 and one on the wire: 24 of them fit.
    std::string accented;
    for (size_t i = 0; i < kMaxMenuOptionSize / 2; ++i)
        accented += "çã";
    const std::vector<std::string> options{"", "ONE", exact, exact + "B", accented + "Z"};
    const std::vector<std::string> sent = MenuOptionsAsSent(options);
    ASSERT_EQ(sent.size(), options.size());
    EXPECT_EQ(sent[0], "");
    EXPECT_EQ(sent[1], "ONE");
    EXPECT_EQ(sent[2], exact);
    EXPECT_EQ(sent[3], exact);
    EXPECT_EQ(sent[4], accented);
}

TEST(GcdLimits, RefuseWhatNoPinPadTakesAndNameTheOptionGiven) {
    EXPECT_EQ(GcdLimitsProblem(0, 0), "");
    EXPECT_EQ(GcdLimitsProblem(1, kMaxGcdDigits), "");
    EXPECT_EQ(GcdLimitsProblem(9, 0), "") << "a most not sent leaves the PIN pad's own";
    EXPECT_EQ(GcdLimitsProblem(4, 4), "");
    EXPECT_EQ(GcdLimitsProblem(9, 3, "--min", "--max"), "--min 9 is above --max 3");
    EXPECT_EQ(GcdLimitsProblem(0, kMaxGcdDigits + 1, "--min", "--max"),
              "--max must be from 0 (not sent) to 32, not 33");
    EXPECT_EQ(GcdLimitsProblem(-1, 4, "--min", "--max"), "--min must be from 0 (not sent) to 32, not -1");
    // Every prompt's own limits are limits a PIN pad takes.
    for (const auto& prompt : GCDPromptTable)
        EXPECT_EQ(GcdLimitsProblem(prompt.MinDig, prompt.MaxDig), "");
    EXPECT_EQ(kVexoAbecsMSGIDXCount, static_cast<size_t>(kGcdPromptCount));
}

TEST(CexEvents, EveryCodeIsNamedOnceAndUnknownCodesHaveNoName) {
    std::set<std::string_view> codes;
    for (const auto& event : CexEvents()) {
        EXPECT_EQ(event.Code.size(), 2u);
        EXPECT_TRUE(codes.insert(event.Code).second) << event.Code;
        EXPECT_NE(CexEventName(event.Code), nullptr);
    }
    EXPECT_STREQ(CexEventName(kCexEventCardInserted), "card inserted");
    EXPECT_STREQ(CexEventName(kCexEventCardRemoved), "card removed");
    EXPECT_STREQ(CexEventName(kCexEventContactless), "contactless card presented");
    EXPECT_STREQ(CexEventName("04"), "F1 key");
    for (const char* unknown : {"", "9", "92 ", "01", "99"})
        EXPECT_EQ(CexEventName(unknown), nullptr) << unknown;
    EXPECT_STREQ(GkyKeyName(ST_F1), "F1");
    EXPECT_STREQ(GkyKeyName(ST_BACKSP), "CLEAR");
    EXPECT_EQ(GkyKeyName(ST_TIMEOUT), nullptr);
}

// A return code is told from a failure of the link or of the caller by the error and the response
// together: the same words from another error class, or a link failure after a refusal, are not one.
TEST(ReturnCodeError, IsTheRefusalOfTheLastResponseAndNothingElse) {
    kestrel::sim::SimulatorRunner sim(kestrel::sim::Profile::Graphic());
    TVexoAbecsPinPad pinpad;
    pinpad.SetPort(sim.StartPty());
    pinpad.Enable();
    pinpad.OPN();
    try {
        pinpad.DSI("NOSUCH");
        FAIL() << "the PIN pad has no such media file";
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_TRUE(IsReturnCodeError(pinpad, e)) << e.what();
        EXPECT_EQ(e.Message(), ReturnCodeErrorMessage(pinpad.Response().STAT()));
        EXPECT_NE(pinpad.Response().STAT(), ST_OK);
        EXPECT_FALSE(IsReturnCodeError(pinpad, Exception(e.Message())));
        EXPECT_FALSE(IsReturnCodeError(pinpad, EVexoAbecsPinPadError("Error waiting for ACK")));
    }
    pinpad.CLO(std::string());
    EXPECT_FALSE(IsReturnCodeError(pinpad, EVexoAbecsPinPadError(ReturnCodeErrorMessage(ST_OK))));
    pinpad.Disable();
}

} // namespace
