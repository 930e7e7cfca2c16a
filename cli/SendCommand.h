#pragma once
#include "cli/Commands.h"
#include <string>
#include <vector>

namespace kestrel::cli {

// The parameters of send in the order they were typed, since the order of blocks is their meaning.
struct SendParam {
    enum class Kind { Item, HexItem, Block, HexBlock };
    Kind What = Kind::Item;
    std::string Text; // "ID=VALUE", "ID=HEX", the block's text or hexadecimal
};

struct SendArgs {
    std::string Name;
    std::vector<SendParam> Params;
    bool Blocking = false;
    double Wait = 0; // seconds; 0: not given
};

// Any ABECS command by name: every parameter is checked and the command built before the port opens.
PreparedCommand MakeSend(const SendArgs& AArgs);

} // namespace kestrel::cli
