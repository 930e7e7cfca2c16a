#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel::monitor {

// A JSON string literal, quotes included. Text is taken as UTF-8; a byte that does not start or
// continue a well-formed UTF-8 sequence becomes U+FFFD, so the result is always valid JSON.
std::string JsonString(std::string_view AText);

// One JSON object built field by field, in the order the fields are added.
class JsonObject {
public:
    JsonObject& Add(std::string_view AKey, std::string_view AText);
    JsonObject& Add(std::string_view AKey, const char* AText) { return Add(AKey, std::string_view(AText)); }
    JsonObject& Add(std::string_view AKey, int64_t ANumber);
    JsonObject& Add(std::string_view AKey, int ANumber) { return Add(AKey, static_cast<int64_t>(ANumber)); }
    JsonObject& Add(std::string_view AKey, uint64_t ANumber);
    JsonObject& Add(std::string_view AKey, bool AFlag);
    // AJson must already be JSON (an object or an array built here).
    JsonObject& AddRaw(std::string_view AKey, std::string_view AJson);
    std::string Text() const { return fText + "}"; }
    bool Empty() const { return fText.size() == 1; }

private:
    void Key(std::string_view AKey);
    std::string fText = "{";
};

// A JSON array of values given as JSON.
class JsonArray {
public:
    JsonArray& AddRaw(std::string_view AJson);
    std::string Text() const { return fText + "]"; }

private:
    std::string fText = "[";
};

} // namespace kestrel::monitor
