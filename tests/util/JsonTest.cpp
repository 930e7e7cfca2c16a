// The JSON writer behind kestrel-cli's --json and kestrel-monitor's JSON Lines: what a JSON reader
// (python3's) makes of it, whatever bytes the strings hold, and the exact bytes of each style.
#include "util/Json.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

using namespace vexo;
using namespace std::string_literals;

namespace {

namespace fs = std::filesystem;

// What python3 prints for AExpression of the JSON document d read from ADocument; "PYTHON FAILED"
// when the document does not parse. Bounded by timeout(1), so a stuck interpreter fails the test.
std::string PythonReads(const std::string& ADocument, const std::string& AExpression) {
    std::string pattern = (fs::temp_directory_path() / "kestrel-json-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return "NO TEMPORARY FOLDER";
    const fs::path dir = pattern;
    std::ofstream(dir / "in", std::ios::binary) << ADocument;
    std::ofstream(dir / "script.py") << "import json, sys\n"
                                        "d = json.loads(sys.stdin.buffer.read().decode('utf-8'))\n"
                                        "print("
                                     << AExpression << ")\n";
    const std::string command = "timeout 20 python3 " + (dir / "script.py").string() + " < " +
                                (dir / "in").string() + " 2>/dev/null || echo PYTHON FAILED";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

std::string Hex(const std::string& AText) {
    std::string hex;
    char pair[3];
    for (const char c : AText) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
        hex += pair;
    }
    return hex;
}

TEST(Json, WhatPythonReadsBackIsWhatWasWritten) {
    JsonValue object = JsonValue::Object();
    object.Set("quote", "say \"hi\" \\ back / forth");
    object.Set("controls", std::string("tab\tnew\nline\r\x01\x08\x1f\x7f", 17));
    object.Set("utf8", "ação ✓ \xF0\x9F\x99\x82");
    object.Set("int", int64_t{-12345678901});
    object.Set("unsigned", std::numeric_limits<uint64_t>::max());
    object.Set("real", 2.12);
    object.Set("none", nullptr);
    object.Set("yes", true);
    JsonValue list = JsonValue::Array();
    list.Push(1).Push(JsonValue::Object());
    object.Set("list", list);
    object.Set("quote", "replaced in place"); // keeps its first position
    for (const JsonStyle style : {JsonStyle{}, JsonStyle{true, true}}) {
        const std::string json = object.Serialize(style);
        EXPECT_EQ(json.find('\n'), std::string::npos);
        EXPECT_EQ(PythonReads(json, "list(d.keys())"),
                  "['quote', 'controls', 'utf8', 'int', 'unsigned', 'real', 'none', 'yes', 'list']");
        EXPECT_EQ(PythonReads(json, "d['quote']"), "replaced in place");
        EXPECT_EQ(PythonReads(json, "repr(d['controls'])"), "'tab\\tnew\\nline\\r\\x01\\x08\\x1f\\x7f'");
        EXPECT_EQ(PythonReads(json, "d['utf8'].encode('utf-8').hex()"), Hex("ação ✓ \xF0\x9F\x99\x82"));
        EXPECT_EQ(PythonReads(json, "d['int'], d['unsigned'], d['real'], d['none'], d['yes'], d['list']"),
                  "-12345678901 18446744073709551615 2.12 None True [1, {}]");
    }
}

TEST(Json, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    // A lone continuation byte, a cut sequence, an overlong form, a surrogate, a code page byte, two
    // bytes that never start a sequence, a four-byte overlong form and a value past U+10FFFF.
    const std::string bad = "a\x80"
                            "b\xE2\x82"
                            "c\xC0\xAF"
                            "d\xED\xA0\x80"
                            "e\xE7"
                            "f\xFF\xFE"
                            "g\xF0\x80\x80\x80"
                            "h\xF4\x90\x80\x80";
    const std::string fffd = "\xEF\xBF\xBD";
    const std::string expected = "a" + fffd + "b" + fffd + fffd + "c" + fffd + fffd + "d" + fffd + fffd +
                                 fffd + "e" + fffd + "f" + fffd + fffd + "g" + fffd + fffd + fffd + fffd +
                                 "h" + fffd + fffd + fffd + fffd;
    for (const JsonStyle style : {JsonStyle{}, JsonStyle{true, true}}) {
        const std::string json = JsonValue::StringArray({bad, "\xC3"}).Serialize(style);
        EXPECT_EQ(PythonReads(json, "d[0].encode('utf-8').hex(), d[1].encode('utf-8').hex()"),
                  Hex(expected) + " " + Hex(fffd))
            << json;
    }
    EXPECT_EQ(JsonValue(std::numeric_limits<double>::infinity()).Serialize(), "null");
    EXPECT_EQ(JsonValue(std::numeric_limits<double>::quiet_NaN()).Serialize(), "null");
}

// The programs' outputs are compared byte for byte by scripts and by their own tests, so each
// style's bytes are fixed here, not only what they read back as.
TEST(Json, EachStyleWritesItsOwnBytes) {
    const std::string text = "\x1f\x7f\xff\"\\\n\xC3\xA7";
    EXPECT_EQ(JsonQuote(text), "\"\\u001f\\u007f\\ufffd\\\"\\\\\\n\xC3\xA7\"");
    EXPECT_EQ(JsonQuote(text, {true, true}), "\"\\u001F\\u007F\xEF\xBF\xBD\\\"\\\\\\n\xC3\xA7\"");
    EXPECT_EQ(JsonQuote(""), "\"\"");

    JsonValue object = JsonValue::Object();
    object.Set("a", JsonValue::Array().Push(1).Push(JsonValue::Object()).Push(JsonValue::Array()));
    object.Set("b", nullptr);
    object.Set("c", uint64_t{18446744073709551615u});
    object.Set("d", int64_t{-5});
    object.Set("e", 0.1);
    object.Set("f", false);
    object.Set("g", uint32_t{4294967295u});
    EXPECT_EQ(object.Serialize(), "{\"a\":[1,{},[]],\"b\":null,\"c\":18446744073709551615,\"d\":-5,\"e\":0.1,"
                                  "\"f\":false,\"g\":4294967295}");
    EXPECT_EQ(JsonValue::Object().Serialize(), "{}");
    EXPECT_EQ(JsonValue().Serialize(), "null");
}

} // namespace
