#pragma once
// One table of malformed block lists, shared by the tests of every reader of data fields (the
// component's response parser, the trace decoder, the simulated PIN pad), so that they are held
// to the same faults at the same offsets.
#include "util/Types.h"
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kestrel::test {

using vexo::ByteString;

struct MalformedField {
    std::string Name;  // what is wrong, for failure messages
    ByteString Blocks; // the blocks part of a data field, after the name (and a response's status)
    size_t Offset;     // of the fault, counted from the first byte of Blocks
    std::string What;  // a phrase the fault's description holds
};

inline ByteString FieldTLV(uint16_t ATag, const ByteString& AValue) {
    ByteString out{static_cast<char>(ATag >> 8), static_cast<char>(ATag & 0xFF),
                   static_cast<char>(AValue.size() >> 8), static_cast<char>(AValue.size() & 0xFF)};
    return out + AValue;
}

inline ByteString FieldBlock(const ByteString& AData) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03zu", AData.size());
    return digits + AData;
}

// The well-formed field every case spoils: two blocks of TLV items, tags that read as PIN-pad
// information in a response and as an id list in a command alike.
inline std::vector<std::vector<ByteString>> WellFormedItems() {
    return {{FieldTLV(0x8001, "SN123456"), FieldTLV(0x8003, "MODEL;16MB"), FieldTLV(0x0001, "\x80\x01")},
            {FieldTLV(0x8002, ""), FieldTLV(0x8004, "KESTREL")}};
}

inline ByteString JoinBlocks(const std::vector<std::vector<ByteString>>& ABlocks) {
    ByteString out;
    for (const auto& items : ABlocks) {
        ByteString data;
        for (const auto& item : items)
            data += item;
        out += FieldBlock(data);
    }
    return out;
}

inline ByteString WellFormedBlocks() {
    return JoinBlocks(WellFormedItems());
}

// Every malformed shape at every place it can take in the well-formed field: each item's length
// running past its block (by one byte for the last item of a block, by many for every item), each item's
// value cut short, each block ending inside an item's header or with bytes after its last item, the last
// block's length running past the field, the field ending inside a block's length, and length digits that are
// not digits.
inline std::vector<MalformedField> MalformedFields() {
    std::vector<MalformedField> cases;
    const auto items = WellFormedItems();
    size_t blockAt = 0;
    for (size_t b = 0; b < items.size(); ++b) {
        size_t itemAt = blockAt + 3;
        for (size_t i = 0; i < items[b].size(); ++i) {
            const ByteString& item = items[b][i];
            const std::string where = "block " + std::to_string(b + 1) + " item " + std::to_string(i + 1);
            // One byte more only shows at the item when nothing follows it in its block; earlier
            // in the block it runs into the next item instead.
            for (const int more : {1, 300}) {
                if (more == 1 && i + 1 != items[b].size()) continue;
                auto spoilt = items;
                ByteString& target = spoilt[b][i];
                const size_t length = (size_t(uint8_t(target[2])) << 8 | uint8_t(target[3])) + size_t(more);
                target[2] = static_cast<char>(length >> 8);
                target[3] = static_cast<char>(length & 0xFF);
                cases.push_back(
                    {where + " length +" + std::to_string(more), JoinBlocks(spoilt), itemAt, "announces"});
            }
            if (item.size() > 4 && i + 1 == items[b].size()) {
                // The value loses its last bytes and nothing follows: "says 10 bytes, carries 8".
                for (size_t lose = 1; lose <= item.size() - 4; ++lose) {
                    auto spoilt = items;
                    spoilt[b][i].resize(item.size() - lose);
                    cases.push_back({where + " value short by " + std::to_string(lose), JoinBlocks(spoilt),
                                     itemAt, "announces"});
                }
            }
            for (size_t keep = 1; keep < 4; ++keep) {
                // The block ends inside this item's header.
                auto spoilt = items;
                spoilt[b].resize(i + 1);
                spoilt[b][i].resize(keep);
                cases.push_back({where + " header cut to " + std::to_string(keep), JoinBlocks(spoilt), itemAt,
                                 "header cut short"});
            }
            itemAt += item.size();
        }
        for (size_t extra = 1; extra < 4; ++extra) {
            auto spoilt = items;
            spoilt[b].push_back(ByteString(extra, '\x7F'));
            cases.push_back(
                {"block " + std::to_string(b + 1) + " with " + std::to_string(extra) + " trailing bytes",
                 JoinBlocks(spoilt), itemAt, "header cut short"});
        }
        blockAt = itemAt;
    }
    const ByteString whole = WellFormedBlocks();
    const size_t lastBlock = whole.size() - JoinBlocks({items.back()}).size();
    {
        ByteString spoilt = whole;
        spoilt.pop_back(); // the last block's length now runs one byte past the field
        cases.push_back({"last block runs past the field", spoilt, lastBlock, "block announces"});
    }
    for (const ByteString& tail : {ByteString("0"), ByteString("01")})
        cases.push_back({"field ends inside a block length (" + tail + ")", whole + tail, whole.size(),
                         "block length cut short"});
    for (const ByteString& digits : {ByteString("x01"), ByteString("0 1"), ByteString("-01")})
        cases.push_back({"block length " + digits, whole + digits + "A", whole.size(), "not three digits"});
    ByteString firstDigits = whole;
    firstDigits[1] = 'A';
    cases.push_back({"first block length not digits", firstDigits, 0, "not three digits"});
    return cases;
}

} // namespace kestrel::test
