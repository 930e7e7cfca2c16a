#include "util/HostPort.h"
#include <algorithm>
#include <limits>
#include <netdb.h>

namespace vexo {

namespace {

std::string Quoted(std::string_view AText) {
    return "\"" + std::string(AText) + "\"";
}

// With a scope ("fe80::1%eth0"), which inet_pton does not take.
bool IsIPv6(const std::string& AHost) {
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(AHost.c_str(), nullptr, &hints, &found) != 0) return false;
    ::freeaddrinfo(found);
    return true;
}

} // namespace

void SplitHostPort(std::string_view AText, bool ALoneIsHost, std::string& AHost, std::string& APort) {
    AHost.clear();
    APort.clear();
    if (!AText.empty() && AText.front() == '[') {
        const size_t close = AText.find(']');
        if (close != std::string_view::npos) {
            AHost = AText.substr(1, close - 1);
            const std::string_view rest = AText.substr(close + 1);
            // Anything after "]" that is not ":PORT" stays in the port, so that it is refused there.
            APort = !rest.empty() && rest.front() == ':' ? rest.substr(1) : rest;
            return;
        }
    }
    const size_t colon = AText.rfind(':');
    if (colon == std::string_view::npos) {
        (ALoneIsHost ? AHost : APort) = AText;
        return;
    }
    AHost = AText.substr(0, colon);
    APort = AText.substr(colon + 1);
}

uint16_t ParsePort(std::string_view APort, bool AAllowAny) {
    const std::string range = AAllowAny ? "from 0 to 65535" : "from 1 to 65535";
    if (APort.empty()) throw EHostPortError(APort, "no port");
    if (APort.find_first_not_of("0123456789") != std::string_view::npos)
        throw EHostPortError(APort, "the port " + Quoted(APort) + " is not a number " + range);
    unsigned long value = 0;
    for (const char digit : APort) {
        value = value * 10 + static_cast<unsigned long>(digit - '0');
        if (value > std::numeric_limits<uint16_t>::max())
            throw EHostPortError(APort, "the port " + std::string(APort) + " is not " + range);
    }
    if (value == 0 && !AAllowAny) throw EHostPortError(APort, "the port 0 is not " + range);
    return static_cast<uint16_t>(value);
}

THostPort ParseHostPort(std::string_view AText, const THostPortRules& ARules) {
    const bool loneIsHost = ARules.DefaultPort != 0;
    std::string host, port;
    SplitHostPort(AText, loneIsHost, host, port);
    const bool bracketed = !AText.empty() && AText.front() == '[';
    const size_t close = AText.find(']');
    if (bracketed && close == std::string_view::npos)
        throw EHostPortError(AText, "no \"]\" after the IPv6 address");
    if (bracketed && close + 1 < AText.size() && AText[close + 1] != ':')
        throw EHostPortError(AText, "only \":PORT\" may follow \"]\"");
    if (bracketed && !IsIPv6(host))
        throw EHostPortError(AText, Quoted(host) + " in brackets is not an IPv6 address");
    if (!bracketed && host.find(':') != std::string::npos && !IsIPv6(host))
        throw EHostPortError(AText, "an IPv6 address goes in brackets, as [::1]:4000");
    if (std::any_of(host.begin(), host.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
        throw EHostPortError(AText, "the host holds a space or a control character");
    THostPort result;
    result.Host = host.empty() ? ARules.DefaultHost : host;
    try {
        result.Port = port.empty() && loneIsHost ? ARules.DefaultPort : ParsePort(port, ARules.AllowAnyPort);
    } catch (const EHostPortError& e) {
        throw EHostPortError(AText, e.Reason());
    }
    return result;
}

std::string FormatHostPort(const std::string& AHost, uint16_t APort) {
    const bool brackets = AHost.find(':') != std::string::npos;
    return (brackets ? "[" + AHost + "]" : AHost) + ":" + std::to_string(APort);
}

std::string THostPort::Text() const {
    return FormatHostPort(Host, Port);
}

} // namespace vexo
