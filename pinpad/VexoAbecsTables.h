#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vexo {

// Return codes of the three-digit status field of a response.
constexpr int32_t ST_OK = 0;
constexpr int32_t ST_NOSEC = 3;
constexpr int32_t ST_F1 = 4;
constexpr int32_t ST_F2 = 5;
constexpr int32_t ST_F3 = 6;
constexpr int32_t ST_F4 = 7;
constexpr int32_t ST_BACKSP = 8;
constexpr int32_t ST_ERRPKTSEC = 9;
constexpr int32_t ST_INVCALL = 10;
constexpr int32_t ST_INVPAR = 11;
constexpr int32_t ST_TIMEOUT = 12;
constexpr int32_t ST_CANCEL = 13;
constexpr int32_t ST_MANDAT = 19;
constexpr int32_t ST_TABVERDIF = 20;
constexpr int32_t ST_TABERR = 21;
constexpr int32_t ST_INTERR = 40;
constexpr int32_t ST_MCDATAERR = 41;
constexpr int32_t ST_ERRKEY = 42;
constexpr int32_t ST_NOCARD = 43;
constexpr int32_t ST_PINBUSY = 44;
constexpr int32_t ST_RSPOVRFL = 45;
constexpr int32_t ST_ERRCRYPT = 46;
constexpr int32_t ST_DUMBCARD = 60;
constexpr int32_t ST_ERRCARD = 61;
constexpr int32_t ST_CARDINVALIDAT = 67;
constexpr int32_t ST_CARDPROBLEMS = 68;
constexpr int32_t ST_CARDINVDATA = 69;
constexpr int32_t ST_CARDAPPNAV = 70;
constexpr int32_t ST_CARDAPPNAUT = 71;
constexpr int32_t ST_ERRFALLBACK = 76;
constexpr int32_t ST_INVAMOUNT = 77;
constexpr int32_t ST_ERRMAXAID = 78;
constexpr int32_t ST_CARDBLOCKED = 79;
constexpr int32_t ST_CTLSMULTIPLE = 80;
constexpr int32_t ST_CTLSCOMMERR = 81;
constexpr int32_t ST_CTLSINVALIDAT = 82;
constexpr int32_t ST_CTLSPROBLEMS = 83;
constexpr int32_t ST_CTLSAPPNAV = 84;
constexpr int32_t ST_CTLSAPPNAUT = 85;
constexpr int32_t ST_CTLSEXTCVM = 86;
constexpr int32_t ST_CTLSIFCHG = 87;
constexpr int32_t ST_MFNFOUND = 100;
constexpr int32_t ST_MFERRFMT = 101;
constexpr int32_t ST_MFERR = 102;

// Command parameter identifiers (TLV tags the host sends).
constexpr uint16_t SPE_IDLIST = 0x0001;
constexpr uint16_t SPE_MTHDPIN = 0x0002;
constexpr uint16_t SPE_MTHDDAT = 0x0003;
constexpr uint16_t SPE_TAGLIST = 0x0004;
constexpr uint16_t SPE_EMVDATA = 0x0005;
constexpr uint16_t SPE_CEXOPT = 0x0006;
constexpr uint16_t SPE_TRACKS = 0x0007;
constexpr uint16_t SPE_OPNDIG = 0x0008;
constexpr uint16_t SPE_KEYIDX = 0x0009;
constexpr uint16_t SPE_WKENC = 0x000A;
constexpr uint16_t SPE_MSGIDX = 0x000B;
constexpr uint16_t SPE_TIMEOUT = 0x000C;
constexpr uint16_t SPE_MINDIG = 0x000D;
constexpr uint16_t SPE_MAXDIG = 0x000E;
constexpr uint16_t SPE_DATAIN = 0x000F;
constexpr uint16_t SPE_ACQREF = 0x0010;
constexpr uint16_t SPE_APPTYPE = 0x0011;
constexpr uint16_t SPE_AIDLIST = 0x0012;
constexpr uint16_t SPE_AMOUNT = 0x0013;
constexpr uint16_t SPE_CASHBACK = 0x0014;
constexpr uint16_t SPE_TRNDATE = 0x0015;
constexpr uint16_t SPE_TRNTIME = 0x0016;
constexpr uint16_t SPE_GCXOPT = 0x0017;
constexpr uint16_t SPE_GOXOPT = 0x0018;
constexpr uint16_t SPE_FCXOPT = 0x0019;
constexpr uint16_t SPE_TRMPAR = 0x001A;
constexpr uint16_t SPE_DSPMSG = 0x001B;
constexpr uint16_t SPE_ARC = 0x001C;
constexpr uint16_t SPE_IVCBC = 0x001D;
constexpr uint16_t SPE_MFNAME = 0x001E;
constexpr uint16_t SPE_MFINFO = 0x001F;
constexpr uint16_t SPE_MNUOPT = 0x0020;
constexpr uint16_t SPE_TRNTYPE = 0x0021;
constexpr uint16_t SPE_TRNCURR = 0x0022;
constexpr uint16_t SPE_PANMASK = 0x0023;
constexpr uint16_t SPE_PBKMOD = 0x0024;
constexpr uint16_t SPE_PBKEXP = 0x0025;

// Information identifiers (TLV tags the PIN pad returns, items the information commands ask for).
constexpr uint16_t PP_SERNUM = 0x8001;
constexpr uint16_t PP_PARTNBR = 0x8002;
constexpr uint16_t PP_MODEL = 0x8003;
constexpr uint16_t PP_MNNAME = 0x8004;
constexpr uint16_t PP_CAPAB = 0x8005;
constexpr uint16_t PP_SOVER = 0x8006;
constexpr uint16_t PP_SPECVER = 0x8007;
constexpr uint16_t PP_MANVERS = 0x8008;
constexpr uint16_t PP_APPVERS = 0x8009;
constexpr uint16_t PP_GENVERS = 0x800A;
constexpr uint16_t PP_KRNLVER = 0x8010;
constexpr uint16_t PP_CTLSVER = 0x8011;
constexpr uint16_t PP_MCTLSVER = 0x8012;
constexpr uint16_t PP_VCTLSVER = 0x8013;
constexpr uint16_t PP_AECTLSVER = 0x8014;
constexpr uint16_t PP_DPCTLSVER = 0x8015;
constexpr uint16_t PP_PUREVER = 0x8016;
constexpr uint16_t PP_DSPTXTSZ = 0x8020;
constexpr uint16_t PP_DSPGRSZ = 0x8021;
constexpr uint16_t PP_MFSUP = 0x8022;
constexpr uint16_t PP_MKTDESP = 0x8032;
constexpr uint16_t PP_MKTDESD = 0x8033;
constexpr uint16_t PP_DKPTTDESP = 0x8035;
constexpr uint16_t PP_DKPTTDESD = 0x8036;
constexpr uint16_t PP_EVENT = 0x8040;
constexpr uint16_t PP_TRK1INC = 0x8041;
constexpr uint16_t PP_TRK2INC = 0x8042;
constexpr uint16_t PP_TRK3INC = 0x8043;
constexpr uint16_t PP_TRACK1 = 0x8044;
constexpr uint16_t PP_TRACK2 = 0x8045;
constexpr uint16_t PP_TRACK3 = 0x8046;
constexpr uint16_t PP_TRK1KSN = 0x8047;
constexpr uint16_t PP_TRK2KSN = 0x8048;
constexpr uint16_t PP_TRK3KSN = 0x8049;
constexpr uint16_t PP_ENCPAN = 0x804A;
constexpr uint16_t PP_ENCPANKSN = 0x804B;
constexpr uint16_t PP_KSN = 0x804C;
constexpr uint16_t PP_VALUE = 0x804D;
constexpr uint16_t PP_DATAOUT = 0x804E;
constexpr uint16_t PP_CARDTYPE = 0x804F;
constexpr uint16_t PP_ICCSTAT = 0x8050;
constexpr uint16_t PP_AIDTABINFO = 0x8051;
constexpr uint16_t PP_PAN = 0x8052;
constexpr uint16_t PP_PANSEQNO = 0x8053;
constexpr uint16_t PP_EMVDATA = 0x8054;
constexpr uint16_t PP_CHNAME = 0x8055;
constexpr uint16_t PP_GOXRES = 0x8056;
constexpr uint16_t PP_PINBLK = 0x8057;
constexpr uint16_t PP_FCXRES = 0x8058;
constexpr uint16_t PP_ISRESULTS = 0x8059;
constexpr uint16_t PP_BIGRAND = 0x805A;
constexpr uint16_t PP_LABEL = 0x805B;
constexpr uint16_t PP_ISSCNTRY = 0x805C;
constexpr uint16_t PP_CARDEXP = 0x805D;
constexpr uint16_t PP_MFNAME = 0x805E;
constexpr uint16_t PP_DEVTYPE = 0x8060;
constexpr uint16_t PP_TLRMEM = 0x8062;
constexpr uint16_t PP_ENCKRAND = 0x8063;
constexpr uint16_t PP_KSNTDESP00 = 0x9100;
constexpr uint16_t PP_KSNTDESP63 = 0x9163;
constexpr uint16_t PP_KSNTDESD00 = 0x9200;
constexpr uint16_t PP_KSNTDESD63 = 0x9263;
constexpr uint16_t PP_TABVER00 = 0x9300;
constexpr uint16_t PP_TABVER63 = 0x9363;

// The English sentence of a return code, or empty text for a code without one.
std::string ReturnStatusMessage(int32_t AStatus);

// The constant's name, or the value in upper-case hexadecimal (at least two digits) plus "h".
// Each lookup knows only its own table: SPEParamName(PP_SERNUM) is "8001h".
std::string SPEParamName(uint16_t AID);
std::string PPParamName(uint16_t AID);

// Reverse of PPParamName over the named identifiers only: std::nullopt for a name that is not a
// PP_ constant (the hexadecimal fallback such as "8001h" is not accepted). Case-sensitive.
std::optional<uint16_t> PPNameToTag(std::string_view AName);
// The name as people type it: PP_SERNUM, or SERNUM without the prefix, in any letter case.
std::optional<uint16_t> PPNameToTagAnyForm(std::string_view AName);

// The same over the SPE_ constants.
std::optional<uint16_t> SPENameToTag(std::string_view AName);

// Every named PP_ identifier in ascending order, for lists such as the information page.
std::span<const uint16_t> AllPPParams();

// Every named SPE_ identifier in ascending order.
std::span<const uint16_t> AllSPEParams();

} // namespace vexo
