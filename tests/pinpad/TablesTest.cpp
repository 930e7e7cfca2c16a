#include "pinpad/VexoAbecsTables.h"

#include <gtest/gtest.h>
#include <set>

using namespace vexo;

TEST(ReturnStatusMessage, KeepsThePinPadsExactWording) {
    EXPECT_EQ(ReturnStatusMessage(ST_OK), "Command executed successfully.");
    EXPECT_EQ(ReturnStatusMessage(ST_F3), " Function #3 key pressed.");
    EXPECT_EQ(ReturnStatusMessage(ST_BACKSP), "Clear (backspace) key pressed");
    EXPECT_EQ(ReturnStatusMessage(ST_NOSEC),
              "Attempted to use “Secure Communication” when it has not been established.");
    EXPECT_EQ(ReturnStatusMessage(ST_MFERR), "Media file loading error.");
}

TEST(ReturnStatusMessage, OnlyTheFortyFourNamedCodesHaveText) {
    for (int32_t code : {1, 2, 14, 15, 16, 17, 18, 103, 999, -1})
        EXPECT_EQ(ReturnStatusMessage(code), "") << code;
    int named = 0;
    for (int32_t code = 0; code <= 999; ++code)
        named += ReturnStatusMessage(code).empty() ? 0 : 1;
    EXPECT_EQ(named, 44);
}

TEST(ParamNames, EachLookupKnowsOnlyItsOwnTableAndFallsBackToHex) {
    struct Case {
        std::string got, want;
    };
    const Case cases[] = {
        {SPEParamName(0x0000), "00h"},          {SPEParamName(SPE_IDLIST), "SPE_IDLIST"},
        {SPEParamName(0x0025), "SPE_PBKEXP"},   {SPEParamName(0x0026), "26h"},
        {SPEParamName(PP_SERNUM), "8001h"},     {PPParamName(0x9101), "9101h"},
        {PPParamName(0x8063), "PP_ENCKRAND"},   {PPParamName(0x8064), "8064h"},
        {PPParamName(0x805F), "805Fh"},         {PPParamName(0x0005), "05h"},
        {PPParamName(SPE_DSPMSG), "1Bh"},       {PPParamName(0x9363), "PP_TABVER63"},
        {PPParamName(0x9100), "PP_KSNTDESP00"}, {PPParamName(0x800B), "800Bh"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want);
}

TEST(ParamNames, EnumerationAndReverseLookupCoverEveryNamedIdentifier) {
    EXPECT_EQ(AllPPParams().size(), 64u);
    EXPECT_EQ(AllSPEParams().size(), 37u);
    std::set<std::string> names;
    for (uint16_t tag : AllPPParams()) {
        const std::string name = PPParamName(tag);
        ASSERT_EQ(name.rfind("PP_", 0), 0u) << tag;
        EXPECT_EQ(PPNameToTag(name), tag);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 64u);
    for (uint16_t tag : AllSPEParams())
        EXPECT_EQ(SPEParamName(tag).rfind("SPE_", 0), 0u) << tag;
    EXPECT_EQ(PPNameToTag("8001h"), std::nullopt);
    EXPECT_EQ(PPNameToTag("SPE_IDLIST"), std::nullopt);
    EXPECT_EQ(PPNameToTag("pp_sernum"), std::nullopt);
}
