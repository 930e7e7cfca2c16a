#pragma once
// Owns the one reading of "[HOST:]PORT" that every program takes from its users: the simulator's and
// the monitor's TCP options, the virtual PIN pad's TCP field, and the device layer's "TCP:" port names.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vexo {

// Raised when a text is not an address: what() is "\"TEXT\": " + Reason().
class EHostPortError : public std::invalid_argument {
public:
    EHostPortError(std::string_view AText, std::string AReason)
        : std::invalid_argument("\"" + std::string(AText) + "\": " + AReason), fReason(std::move(AReason)) {}
    // What is wrong, without the text: "no port", "the port 70000 is not from 1 to 65535".
    const std::string& Reason() const noexcept { return fReason; }

private:
    std::string fReason;
};

struct THostPort {
    std::string Host;
    uint16_t Port = 0;
    // "host:port", an IPv6 address in brackets, so that ParseHostPort reads it back.
    std::string Text() const;
};

struct THostPortRules {
    // Taken when the host is absent or empty.
    std::string DefaultHost = "127.0.0.1";
    // A listener may ask for port 0, "any free port"; a connection never can.
    bool AllowAnyPort = false;
    // When set, a text without a port is a HOST and takes this port (the device's "TCP:host");
    // otherwise such a text is the PORT alone.
    uint16_t DefaultPort = 0;
};

// Reads PORT, HOST:PORT, [IPv6]:PORT and an unbracketed IPv6 address before its last ":PORT"
// ("::1:4000"), as every copy before this one took it. With a DefaultPort, HOST and [IPv6] alone
// are addresses too. Raises EHostPortError.
THostPort ParseHostPort(std::string_view AText, const THostPortRules& ARules = {});

// The host and port texts as written, without checking either; a port that is absent is empty.
// ALoneIsHost: a text without a colon is the host (otherwise it is the port).
void SplitHostPort(std::string_view AText, bool ALoneIsHost, std::string& AHost, std::string& APort);

// "4000" -> 4000; raises EHostPortError unless APort is digits from 1 (0 with AAllowAny) to 65535.
uint16_t ParsePort(std::string_view APort, bool AAllowAny);

// AHost and APort as Text() writes them.
std::string FormatHostPort(const std::string& AHost, uint16_t APort);

} // namespace vexo
