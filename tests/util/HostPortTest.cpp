#include "util/HostPort.h"
#include <gtest/gtest.h>

using namespace vexo;

namespace {

std::string ErrorOf(std::string_view AText, const THostPortRules& ARules = {}) {
    try {
        const THostPort parsed = ParseHostPort(AText, ARules);
        return "parsed as " + parsed.Text();
    } catch (const EHostPortError& e) {
        return e.what();
    }
}

const THostPortRules kListen{"127.0.0.1", true, 0};
const THostPortRules kDevice{"", false, 9100};

} // namespace

TEST(HostPort, ReadsEveryFormTheProgramsTake) {
    const struct {
        std::string text;
        THostPortRules rules;
        std::string host;
        uint16_t port;
    } rows[] = {
        {"4000", {}, "127.0.0.1", 4000},
        {"0", kListen, "127.0.0.1", 0},
        {"localhost:1", {}, "localhost", 1},
        {"10.0.0.7:65535", {}, "10.0.0.7", 65535},
        {":4000", {}, "127.0.0.1", 4000},
        {"[::1]:4000", {}, "::1", 4000},
        {"::1:4000", {}, "::1", 4000},
        {"[fe80::1%lo]:22", {}, "fe80::1%lo", 22},
        {"0.0.0.0:0", kListen, "0.0.0.0", 0},
        {"printer", kDevice, "printer", 9100},
        {"printer:", kDevice, "printer", 9100},
        {"[::1]", kDevice, "::1", 9100},
        {"", kDevice, "", 9100},
    };
    for (const auto& row : rows) {
        const THostPort parsed = ParseHostPort(row.text, row.rules);
        EXPECT_EQ(parsed.Host, row.host) << row.text;
        EXPECT_EQ(parsed.Port, row.port) << row.text;
    }
}

TEST(HostPort, RefusesWhatIsNotAnAddressAndSaysWhy) {
    EXPECT_EQ(ErrorOf("65536"), "\"65536\": the port 65536 is not from 1 to 65535");
    EXPECT_EQ(ErrorOf("99999999999999999999"),
              "\"99999999999999999999\": the port 99999999999999999999 is not from 1 to 65535");
    EXPECT_EQ(ErrorOf("65536", kListen), "\"65536\": the port 65536 is not from 0 to 65535");
    EXPECT_EQ(ErrorOf("host:0"), "\"host:0\": the port 0 is not from 1 to 65535");
    EXPECT_EQ(ErrorOf("host:"), "\"host:\": no port");
    EXPECT_EQ(ErrorOf(""), "\"\": no port");
    EXPECT_EQ(ErrorOf("[::1]"), "\"[::1]\": no port");
    EXPECT_EQ(ErrorOf("host:http"), "\"host:http\": the port \"http\" is not a number from 1 to 65535");
    EXPECT_EQ(ErrorOf("host:-1"), "\"host:-1\": the port \"-1\" is not a number from 1 to 65535");
    EXPECT_EQ(ErrorOf("host: 40"), "\"host: 40\": the port \" 40\" is not a number from 1 to 65535");
    EXPECT_EQ(ErrorOf("printer:123456", kDevice),
              "\"printer:123456\": the port 123456 is not from 1 to 65535");
    EXPECT_EQ(ErrorOf("[::1:4000"), "\"[::1:4000\": no \"]\" after the IPv6 address");
    EXPECT_EQ(ErrorOf("[::1]4000"), "\"[::1]4000\": only \":PORT\" may follow \"]\"");
    EXPECT_EQ(ErrorOf("[::1]x:4000"), "\"[::1]x:4000\": only \":PORT\" may follow \"]\"");
    EXPECT_EQ(ErrorOf("[::1]:4000:1"),
              "\"[::1]:4000:1\": the port \"4000:1\" is not a number from 1 to 65535");
    EXPECT_EQ(ErrorOf("[host]:4000"), "\"[host]:4000\": \"host\" in brackets is not an IPv6 address");
    try {
        ParseHostPort(std::string_view("::1\0x:4000", 10)); // a host the resolver would cut at the NUL
        ADD_FAILURE() << "a host holding a NUL was taken";
    } catch (const EHostPortError& e) {
        EXPECT_EQ(e.Reason(), "the host holds a space or a control character");
    }
    EXPECT_EQ(ErrorOf("my host:4000"), "\"my host:4000\": the host holds a space or a control character");
    EXPECT_EQ(ErrorOf("::1"), "\"::1\": an IPv6 address goes in brackets, as [::1]:4000");
    EXPECT_EQ(ErrorOf("a:b:4000"), "\"a:b:4000\": an IPv6 address goes in brackets, as [::1]:4000");
}

TEST(HostPort, WritesWhatItReadsBack) {
    for (const std::string text : {"127.0.0.1:4000", "[::1]:4000", "example.org:1", "[fe80::1%lo]:65535"})
        EXPECT_EQ(ParseHostPort(text).Text(), text);
    EXPECT_EQ(FormatHostPort("::1", 0), "[::1]:0");
}

TEST(HostPort, SplitsWithoutJudging) {
    std::string host, port;
    SplitHostPort("tcp-host:123456", true, host, port);
    EXPECT_EQ(host, "tcp-host");
    EXPECT_EQ(port, "123456");
    SplitHostPort("lonely", true, host, port);
    EXPECT_EQ(host, "lonely");
    EXPECT_EQ(port, "");
    SplitHostPort("4000", false, host, port);
    EXPECT_EQ(host, "");
    EXPECT_EQ(port, "4000");
}
