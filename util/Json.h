#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexo {

// The two choices JSON leaves to a writer that the programs' outputs have always made differently:
// kestrel-cli writes \u001f and \ufffd, kestrel-monitor \u001F and the replacement character itself.
// Both read back as the same text; the choice is kept so that neither program's output changes.
struct JsonStyle {
    bool UpperCaseHex = false;       // \u001F rather than \u001f
    bool LiteralReplacement = false; // U+FFFD as its UTF-8 bytes rather than \ufffd
};

// A JSON value small enough for command results and trace events: members keep the order they were
// added in, so the output reads in the order a person expects (command, return code, text, results,
// time).
class JsonValue {
public:
    enum class Kind { Null, Bool, Int, Unsigned, Real, String, Array, Object };

    JsonValue() = default;
    JsonValue(std::nullptr_t) {}
    JsonValue(bool AValue) : fKind(Kind::Bool), fBool(AValue) {}
    JsonValue(int AValue) : fKind(Kind::Int), fInt(AValue) {}
    JsonValue(int64_t AValue) : fKind(Kind::Int), fInt(AValue) {}
    JsonValue(uint32_t AValue) : fKind(Kind::Int), fInt(AValue) {}
    JsonValue(uint64_t AValue) : fKind(Kind::Unsigned), fUnsigned(AValue) {}
    JsonValue(double AValue) : fKind(Kind::Real), fReal(AValue) {}
    JsonValue(std::string AValue) : fKind(Kind::String), fString(std::move(AValue)) {}
    JsonValue(const char* AValue) : fKind(Kind::String), fString(AValue) {}

    static JsonValue Array() { return JsonValue(Kind::Array); }
    static JsonValue Object() { return JsonValue(Kind::Object); }
    static JsonValue StringArray(const std::vector<std::string>& AItems);

    Kind What() const { return fKind; }
    bool IsNull() const { return fKind == Kind::Null; }

    // Object: sets a member, replacing one of the same name in place.
    JsonValue& Set(const std::string& AName, JsonValue AValue);
    // Array: appends; returns the array, so pushes chain.
    JsonValue& Push(JsonValue AValue);

    const std::vector<std::pair<std::string, JsonValue>>& Members() const { return fMembers; }
    const std::vector<JsonValue>& Items() const { return fItems; }
    const JsonValue* Find(std::string_view AName) const;
    bool AsBool() const { return fBool; }
    int64_t AsInt() const { return fKind == Kind::Unsigned ? static_cast<int64_t>(fUnsigned) : fInt; }
    double AsReal() const { return fReal; }
    const std::string& AsString() const { return fString; }

    // Compact JSON on one line. Strings are UTF-8; a byte that is not part of valid UTF-8 becomes
    // U+FFFD, so whatever a PIN pad or a file name holds, the output stays valid JSON.
    std::string Serialize(const JsonStyle& AStyle = {}) const;

private:
    explicit JsonValue(Kind AKind) : fKind(AKind) {}
    void Write(std::string& AOut, const JsonStyle& AStyle) const;

    Kind fKind = Kind::Null;
    bool fBool = false;
    int64_t fInt = 0;
    uint64_t fUnsigned = 0;
    double fReal = 0;
    std::string fString;
    std::vector<JsonValue> fItems;
    std::vector<std::pair<std::string, JsonValue>> fMembers;
};

// AText as a JSON string literal, quotes included: '"' and '\' escaped, control bytes and DEL as
// \n, \r, \t or \u00XX, valid UTF-8 as it is.
std::string JsonQuote(std::string_view AText, const JsonStyle& AStyle = {});

} // namespace vexo
