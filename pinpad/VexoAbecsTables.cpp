#include "pinpad/VexoAbecsTables.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vexo {
namespace {

struct TStatusText {
    int32_t Code;
    const char* Text;
};

struct TParamName {
    uint16_t ID;
    const char* Name;
};

// Texts are the PIN pad's own English sentences, byte for byte (curly quotes in UTF-8).
constexpr std::array<TStatusText, 44> kStatusTexts = {{
    {ST_OK, "Command executed successfully."},
    {ST_NOSEC, "Attempted to use “Secure Communication” when it has not been established."},
    {ST_F1, "Function #1 key pressed."},
    {ST_F2, "Function #2 key pressed."},
    {ST_F3, " Function #3 key pressed."},
    {ST_F4, "Function #4 key pressed."},
    {ST_BACKSP, "Clear (backspace) key pressed"},
    {ST_ERRPKTSEC,
     "Error decoding data received via “Secure Communication”; or Cleartext command received with "
     "“Secure Communication” established."},
    {ST_INVCALL,
     "Invalid call to a command (previous operations are necessary) or unknown command (in case of an "
     "“ERR” response)."},
    {ST_INVPAR, "An invalid parameter was passed to the command."},
    {ST_TIMEOUT, "The maximum time stipulated for the operation has been exhausted."},
    {ST_CANCEL, "Operation canceled by the cardholder."},
    {ST_MANDAT, "A mandatory parameter was not sent by the SPE."},
    {ST_TABVERDIF, "EMV Tables version differs from the expected."},
    {ST_TABERR, "Error when trying to write tables (lack of space, for example)."},
    {ST_INTERR,
     "Internal pinpad error (unexpected situation that does not correspond to the other error codes "
     "described here)."},
    {ST_MCDATAERR, "Magnetic card reading error."},
    {ST_ERRKEY, "MK / DUKPT referenced is not present in the pinpad."},
    {ST_NOCARD, "There is no ICC present in the coupler or CTLS detected by the antenna."},
    {ST_PINBUSY, "Pinpad cannot process PIN capture temporarily due to security constrains (such as when the "
                 "capture limit is reached within a time interval)."},
    {ST_RSPOVRFL, "Response data exceeds the maximum allowed size."},
    {ST_ERRCRYPT, "Generic cryptographic validation error."},
    {ST_DUMBCARD, "ICC inserted, but not responding (“mute”)."},
    {ST_ERRCARD, "Communication error between the pinpad and the ICC or CTLS."},
    {ST_CARDINVALIDAT, "ICC is invalidated."},
    {ST_CARDPROBLEMS, "ICC with problems. This status is valid for many situations in which the ICC does not "
                      "behave as expected and the transaction must be terminated."},
    {ST_CARDINVDATA, "The ICC behaves correctly but has invalid or inconsistent data."},
    {ST_CARDAPPNAV, "ICC with no matching application."},
    {ST_CARDAPPNAUT, "The application selected in the ICC cannot be used in this situation."},
    {ST_ERRFALLBACK, "High level error in the ICC that allows fallback to magnetic stripe."},
    {ST_INVAMOUNT, "Invalid amount for the transaction."},
    {ST_ERRMAXAID, "Number of candidate AIDs exceeds the processing capacity of the EMV kernel."},
    {ST_CARDBLOCKED, "Card is blocked."},
    {ST_CTLSMULTIPLE, "More than one CTLS was presented to the reader simultaneously."},
    {ST_CTLSCOMMERR, "Communication error between the pinpad (antenna) and the CTLS."},
    {ST_CTLSINVALIDAT, "CTLS is invalidated."},
    {ST_CTLSPROBLEMS,
     "CTLS with problems. This status is valid for many situations in which the CTLS does not "
     "behave as expected and the transaction must be terminated."},
    {ST_CTLSAPPNAV, "CTLS with no matching application."},
    {ST_CTLSAPPNAUT, "The application selected in the CTLS cannot be used in this situation."},
    {ST_CTLSEXTCVM, "Cardholder must perform a validation on his device (mobile phone, for example) and then "
                    "re-present it to the pinpad."},
    {ST_CTLSIFCHG, "CTLS processing resulted in “change interface” (request ICC or magnetic card)."},
    {ST_MFNFOUND, "Media file not found."},
    {ST_MFERRFMT, "Media file format error."},
    {ST_MFERR, "Media file loading error."},
}};

#define VEXO_PARAM(name)                                                                                     \
    { name, #name }

// Both tables are sorted by identifier: the lookups and the enumeration rely on it.
constexpr std::array<TParamName, 37> kSPENames = {{
    VEXO_PARAM(SPE_IDLIST),  VEXO_PARAM(SPE_MTHDPIN), VEXO_PARAM(SPE_MTHDDAT), VEXO_PARAM(SPE_TAGLIST),
    VEXO_PARAM(SPE_EMVDATA), VEXO_PARAM(SPE_CEXOPT),  VEXO_PARAM(SPE_TRACKS),  VEXO_PARAM(SPE_OPNDIG),
    VEXO_PARAM(SPE_KEYIDX),  VEXO_PARAM(SPE_WKENC),   VEXO_PARAM(SPE_MSGIDX),  VEXO_PARAM(SPE_TIMEOUT),
    VEXO_PARAM(SPE_MINDIG),  VEXO_PARAM(SPE_MAXDIG),  VEXO_PARAM(SPE_DATAIN),  VEXO_PARAM(SPE_ACQREF),
    VEXO_PARAM(SPE_APPTYPE), VEXO_PARAM(SPE_AIDLIST), VEXO_PARAM(SPE_AMOUNT),  VEXO_PARAM(SPE_CASHBACK),
    VEXO_PARAM(SPE_TRNDATE), VEXO_PARAM(SPE_TRNTIME), VEXO_PARAM(SPE_GCXOPT),  VEXO_PARAM(SPE_GOXOPT),
    VEXO_PARAM(SPE_FCXOPT),  VEXO_PARAM(SPE_TRMPAR),  VEXO_PARAM(SPE_DSPMSG),  VEXO_PARAM(SPE_ARC),
    VEXO_PARAM(SPE_IVCBC),   VEXO_PARAM(SPE_MFNAME),  VEXO_PARAM(SPE_MFINFO),  VEXO_PARAM(SPE_MNUOPT),
    VEXO_PARAM(SPE_TRNTYPE), VEXO_PARAM(SPE_TRNCURR), VEXO_PARAM(SPE_PANMASK), VEXO_PARAM(SPE_PBKMOD),
    VEXO_PARAM(SPE_PBKEXP),
}};

constexpr std::array<TParamName, 64> kPPNames = {{
    VEXO_PARAM(PP_SERNUM),     VEXO_PARAM(PP_PARTNBR),    VEXO_PARAM(PP_MODEL),
    VEXO_PARAM(PP_MNNAME),     VEXO_PARAM(PP_CAPAB),      VEXO_PARAM(PP_SOVER),
    VEXO_PARAM(PP_SPECVER),    VEXO_PARAM(PP_MANVERS),    VEXO_PARAM(PP_APPVERS),
    VEXO_PARAM(PP_GENVERS),    VEXO_PARAM(PP_KRNLVER),    VEXO_PARAM(PP_CTLSVER),
    VEXO_PARAM(PP_MCTLSVER),   VEXO_PARAM(PP_VCTLSVER),   VEXO_PARAM(PP_AECTLSVER),
    VEXO_PARAM(PP_DPCTLSVER),  VEXO_PARAM(PP_PUREVER),    VEXO_PARAM(PP_DSPTXTSZ),
    VEXO_PARAM(PP_DSPGRSZ),    VEXO_PARAM(PP_MFSUP),      VEXO_PARAM(PP_MKTDESP),
    VEXO_PARAM(PP_MKTDESD),    VEXO_PARAM(PP_DKPTTDESP),  VEXO_PARAM(PP_DKPTTDESD),
    VEXO_PARAM(PP_EVENT),      VEXO_PARAM(PP_TRK1INC),    VEXO_PARAM(PP_TRK2INC),
    VEXO_PARAM(PP_TRK3INC),    VEXO_PARAM(PP_TRACK1),     VEXO_PARAM(PP_TRACK2),
    VEXO_PARAM(PP_TRACK3),     VEXO_PARAM(PP_TRK1KSN),    VEXO_PARAM(PP_TRK2KSN),
    VEXO_PARAM(PP_TRK3KSN),    VEXO_PARAM(PP_ENCPAN),     VEXO_PARAM(PP_ENCPANKSN),
    VEXO_PARAM(PP_KSN),        VEXO_PARAM(PP_VALUE),      VEXO_PARAM(PP_DATAOUT),
    VEXO_PARAM(PP_CARDTYPE),   VEXO_PARAM(PP_ICCSTAT),    VEXO_PARAM(PP_AIDTABINFO),
    VEXO_PARAM(PP_PAN),        VEXO_PARAM(PP_PANSEQNO),   VEXO_PARAM(PP_EMVDATA),
    VEXO_PARAM(PP_CHNAME),     VEXO_PARAM(PP_GOXRES),     VEXO_PARAM(PP_PINBLK),
    VEXO_PARAM(PP_FCXRES),     VEXO_PARAM(PP_ISRESULTS),  VEXO_PARAM(PP_BIGRAND),
    VEXO_PARAM(PP_LABEL),      VEXO_PARAM(PP_ISSCNTRY),   VEXO_PARAM(PP_CARDEXP),
    VEXO_PARAM(PP_MFNAME),     VEXO_PARAM(PP_DEVTYPE),    VEXO_PARAM(PP_TLRMEM),
    VEXO_PARAM(PP_ENCKRAND),   VEXO_PARAM(PP_KSNTDESP00), VEXO_PARAM(PP_KSNTDESP63),
    VEXO_PARAM(PP_KSNTDESD00), VEXO_PARAM(PP_KSNTDESD63), VEXO_PARAM(PP_TABVER00),
    VEXO_PARAM(PP_TABVER63),
}};

#undef VEXO_PARAM

template <size_t N> constexpr bool SortedByID(const std::array<TParamName, N>& ATable) {
    for (size_t i = 1; i < N; ++i)
        if (ATable[i - 1].ID >= ATable[i].ID) return false;
    return true;
}
static_assert(SortedByID(kSPENames) && SortedByID(kPPNames));

template <size_t N> std::array<uint16_t, N> IDsOf(const std::array<TParamName, N>& ATable) {
    std::array<uint16_t, N> ids{};
    for (size_t i = 0; i < N; ++i)
        ids[i] = ATable[i].ID;
    return ids;
}

const std::array<uint16_t, kSPENames.size()> kSPEIDs = IDsOf(kSPENames);
const std::array<uint16_t, kPPNames.size()> kPPIDs = IDsOf(kPPNames);

template <size_t N> std::string NameOf(const std::array<TParamName, N>& ATable, uint16_t AID) {
    auto it = std::lower_bound(ATable.begin(), ATable.end(), AID,
                               [](const TParamName& AItem, uint16_t AValue) { return AItem.ID < AValue; });
    if (it != ATable.end() && it->ID == AID) return it->Name;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.2Xh", static_cast<unsigned>(AID));
    return buf;
}

} // namespace

std::string ReturnStatusMessage(int32_t AStatus) {
    for (const auto& item : kStatusTexts)
        if (item.Code == AStatus) return item.Text;
    return {};
}

std::string SPEParamName(uint16_t AID) {
    return NameOf(kSPENames, AID);
}

std::string PPParamName(uint16_t AID) {
    return NameOf(kPPNames, AID);
}

std::optional<uint16_t> PPNameToTag(std::string_view AName) {
    for (const auto& item : kPPNames)
        if (AName == item.Name) return item.ID;
    return std::nullopt;
}

std::optional<uint16_t> PPNameToTagAnyForm(std::string_view AName) {
    std::string name(AName);
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!name.starts_with("PP_")) name = "PP_" + name;
    return PPNameToTag(name);
}

std::optional<uint16_t> SPENameToTag(std::string_view AName) {
    for (const auto& item : kSPENames)
        if (AName == item.Name) return item.ID;
    return std::nullopt;
}

std::span<const uint16_t> AllPPParams() {
    return kPPIDs;
}

std::span<const uint16_t> AllSPEParams() {
    return kSPEIDs;
}

} // namespace vexo
