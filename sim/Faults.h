#pragma once
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace kestrel::sim {

// Link misbehaviour on demand. A rule names a kind, an optional parameter, the command it
// waits for (any when empty) and how many commands it spoils.
struct FaultRule {
    enum class Kind {
        NoAck,    // the command frame gets no answer at all and is not executed
        Nak,      // the command frame is refused with NAK (the host resends)
        BadCrc,   // the response goes with a wrong CRC, Param sends in a row
        Noise,    // Param noise bytes before the response frame
        Split,    // the response in three pieces with Param milliseconds between them
        Oversize, // a response longer than a packet may be
        NoEot,    // CAN is not confirmed with EOT
        Late,     // the response waits Param milliseconds (past the host's patience)
        Hangup,   // half of the response, then the line goes away
        Silent,   // ACK, then no response ever
        ShortTlv, // the response's last TLV item carries Param bytes fewer than its length says
    };
    Kind What = Kind::Nak;
    int Param = 1;
    std::string Command; // three-letter name, or empty for any
    int Times = 1;       // commands (frames for NoAck and Nak) it applies to; 0 for ever

    std::string Describe() const;
    // "KIND[:PARAM][@CMD][*TIMES]", kinds noack, nak, crc, noise, split, oversize, noeot, late,
    // hangup, silent, shorttlv. Raises std::invalid_argument.
    static FaultRule Parse(const std::string& ASpec);

    // Every kind, in the order above, for menus and help texts.
    struct KindInfo {
        Kind What;
        const char* Name;         // as Parse takes it
        int DefaultParam;         // the parameter when none is given
        const char* ParamMeaning; // what the parameter counts, empty when it has none
        const char* Description;  // one line for people
    };
    static const std::vector<KindInfo>& Kinds();
};

// The faults a command gets, merged from the rules that match it.
struct ActiveFaults {
    bool NoAck = false, Nak = false, Oversize = false, NoEot = false, Hangup = false, Silent = false;
    int BadCrc = 0, Noise = 0, SplitMs = 0, LateMs = 0, ShortTlv = 0;
    bool Any() const {
        return NoAck || Nak || Oversize || NoEot || Hangup || Silent || BadCrc || Noise || SplitMs ||
               LateMs || ShortTlv;
    }
};

// Thread-safe: rules are added from the controlling thread, taken by the simulator thread.
class FaultPlan {
public:
    void Add(const FaultRule& ARule);
    void Clear();
    // Each command frame draws, with this probability, one recoverable fault (a NAK, a bad CRC
    // once, or noise) from a generator seeded with ASeed, so a run can be repeated exactly.
    void SetRandom(double AProbability, uint32_t ASeed);
    // The faults for the next frame of command ACommand; uses them up.
    ActiveFaults Take(const std::string& ACommand);
    size_t Pending() const;

private:
    mutable std::mutex fMutex;
    std::vector<FaultRule> fRules;
    double fProbability = 0;
    std::mt19937 fRandom;
};

} // namespace kestrel::sim
