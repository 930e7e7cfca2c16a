#pragma once
// What the Command page holds, without Qt: the operator's rows turned into a command for the
// component, into a kestrel-cli command line, and the answer turned into named rows.
#include "pinpad/VexoAbecsAnyCommand.h"
#include "util/Exception.h"
#include <string>
#include <vector>

namespace kestrel {

struct TAnyFormItem {
    std::string Id;    // an SPE_ name or a tag, as typed
    std::string Value; // text, or hexadecimal when Hex
    bool Hex = false;
};

struct TAnyFormBlock {
    std::string Data; // text, or hexadecimal when Hex
    bool Hex = false;
};

// The page's content: the items go first, then the raw blocks, each in its rows' order.
struct TAnyCommandForm {
    std::string Name;
    std::vector<TAnyFormItem> Items;
    std::vector<TAnyFormBlock> Blocks;
    bool Blocking = false;

    bool operator==(const TAnyCommandForm&) const = default;
};

// The first word of the name box, upper-cased: the box offers "GIX  description".
std::string AnyFormName(const std::string& ABoxText);

// A row the page cannot send, with what the window needs to say so in the operator's language; the
// message itself is the English one the log keeps.
class EAnyFormError : public vexo::Exception {
public:
    enum class TKind { kName, kId, kHex };
    EAnyFormError(TKind AKind, bool AInBlock, size_t ARow, std::string AText);
    const char* ClassName() const noexcept override { return "EAnyFormError"; }

    TKind Kind;
    bool InBlock; // the row is a raw block's, not an item's
    size_t Row;   // from 1; 0 for the name
    std::string Text;
};

// Raises EAnyFormError naming the row and what is wrong with it, before anything can be sent:
// every row is checked and the whole command built.
vexo::TVexoAbecsAnyCommand BuildAnyForm(const TAnyCommandForm& AForm);

// The same command for kestrel-cli send, quoted for a POSIX shell; APort empty: no --port.
std::string CliSendLine(const TAnyCommandForm& AForm, const std::string& APort);

// One line of the history: "GIX SPE_IDLIST=8001 ..." without the program and the port.
std::string AnyFormSummary(const TAnyCommandForm& AForm);

struct TAnyAnswerRow {
    std::string Name;  // the PP_ name, "8099h", or "block 2" for a raw block
    std::string Value; // as the log shows it: masked when AMask
};
std::vector<TAnyAnswerRow> AnyAnswerRows(const vexo::TVexoAbecsAnyAnswer& AAnswer, bool AMask);

} // namespace kestrel

namespace kestrel {

// What the Command page remembers: every command sent, oldest first, as typed.
struct TAnyPageState {
    std::vector<TAnyCommandForm> History;
};

} // namespace kestrel
