#include "cli/CommandSet.h"

#include "cli/SendCommand.h"
#include "pinpad/VexoAbecsCommandLimits.h"

#include <CLI/CLI.hpp>

namespace kestrel::cli {

struct CommandSet::Arguments {
    std::vector<std::string> Texts;
    std::string Text, Name;
    int Index = 0;
    std::vector<std::string> List;
    GcdArgs Gcd;
    std::string Title;
    int Wait = 0;
    CexArgs Cex;
    std::string File;
    bool Show = false;
    MediaForm Media;
    bool Strict = false;
    // send: the values of each option, and the options themselves to read back the typed order
    SendArgs Send;
    std::vector<std::string> SendItems, SendHex, SendBlocks, SendBlockHex;
    CLI::Option *SendItemOpt = nullptr, *SendHexOpt = nullptr, *SendBlockOpt = nullptr,
                *SendBlockHexOpt = nullptr;
};

namespace {

std::string DigitsHelp(const char* AWhich) {
    return std::string(AWhich) + " digits, 0 to " + std::to_string(vexo::kMaxGcdDigits) +
           " (a named prompt has its own)";
}

CLI::App* Sub(CLI::App& AApp, const char* AName, const char* ADescription) {
    CLI::App* sub = AApp.add_subcommand(AName, ADescription);
    sub->fallthrough();
    return sub;
}

// The commands whose text the display layout may cut.
CLI::App* TextSub(CLI::App& AApp, const char* AName, const char* ADescription, bool& AStrict) {
    CLI::App* sub = Sub(AApp, AName, ADescription);
    sub->add_flag("--strict", AStrict,
                  "refuse a text that does not fit the display (status 2, nothing sent) instead of sending "
                  "what fits with a warning");
    return sub;
}

} // namespace

CommandSet::CommandSet(CLI::App& AApp) : fApp(AApp), fArgs(std::make_unique<Arguments>()) {
    Arguments& a = *fArgs;
    Sub(AApp, "opn", "open a session (OPN) and read the capabilities (GIX)");
    TextSub(AApp, "clo", "close the session (CLO), leaving TEXT on the display (two lines of 16)", a.Strict)
        ->add_option("TEXT", a.Texts, "the message; a second TEXT is the second line");
    Sub(AApp, "clx",
        "close the session (CLX) leaving a message, or a media file given by its 8-character NAME")
        ->add_option("TEXT", a.Text, "the message, or a media name of exactly 8 letters and digits")
        ->required();
    Sub(AApp, "gin", "general information of an acquirer index (GIN)")
        ->add_option("IDX", a.Index, "acquirer index, 0 to 255 (0: the PIN pad itself)")
        ->required()
        ->check(CLI::Range(0, 255));
    Sub(AApp, "gix", "information items (GIX): the ones named, or every item the PIN pad offers")
        ->add_option("ID", a.List, "PP_ name (PP_SERNUM, or SERNUM) or id (0x8001, 8001h)");
    Sub(AApp, "caps", "the capabilities read with GIX: model, display, media formats");
    TextSub(AApp, "dsp", "show TEXT (DSP: two lines of 16)", a.Strict)
        ->add_option("TEXT", a.Texts, "the message; a second TEXT is the second line")
        ->required();
    TextSub(AApp, "dex", "show TEXT laid out for the PIN pad's own text display (DEX)", a.Strict)
        ->add_option("TEXT", a.Text, "the message; line breaks start new lines")
        ->required();
    TextSub(AApp, "rmc", "show TEXT until the card is removed (RMC; waits while a card is inserted)",
            a.Strict)
        ->add_option("TEXT", a.Texts, "the message; a second TEXT is the second line")
        ->required();
    Sub(AApp, "gky", "wait for a key (GKY): ENTER, F1 to F4, CLEAR or CANCEL");
    CLI::App* gcd = Sub(AApp, "gcd", "ask the cardholder to type a number (GCD)");
    gcd->add_option("PROMPT", a.Gcd.Prompt,
                    "a prompt name (msgDigiteCPF, or DigiteCPF) or its ABECS prompt number (7)")
        ->required();
    gcd->add_option("--min", a.Gcd.Min, DigitsHelp("fewest"));
    gcd->add_option("--max", a.Gcd.Max, DigitsHelp("most"));
    gcd->add_option("--wait", a.Gcd.Wait, "seconds the PIN pad waits, 1 to 255 (0: its own limit)");
    CLI::App* mnu = Sub(AApp, "mnu", "let the cardholder choose one of the OPTIONs (MNU)");
    mnu->add_option("OPTION", a.List,
                    "an option of at most " + std::to_string(vexo::kMaxMenuOptionSize) + " characters")
        ->required();
    mnu->add_option("--title", a.Title, "the menu's title");
    mnu->add_option("--wait", a.Wait, "seconds the PIN pad waits, 1 to 255 (0: its own limit)");
    CLI::App* cex = Sub(AApp, "cex", "wait for a key or card event (CEX)");
    cex->add_flag("--key", a.Cex.Key, "a key press");
    cex->add_flag("--mag", a.Cex.Mag, "a magnetic stripe swiped");
    cex->add_flag("--insert", a.Cex.Insert, "a chip card inserted");
    cex->add_flag("--remove", a.Cex.Remove, "a chip card removed");
    cex->add_flag("--ctls", a.Cex.Ctls, "a contactless card presented");
    cex->add_option("--wait", a.Cex.Wait, "seconds the PIN pad waits, 1 to 255 (0: its own limit)");
    cex->add_option("--panmask", a.Cex.PanMask, "LLRR: digits of the card number left in clear on each side");
    Sub(AApp, "lmf", "list the media files (LMF)");
    Sub(AApp, "dsi", "show a media file (DSI)")->add_option("NAME", a.Name, "media name")->required();
    Sub(AApp, "dmf", "delete media files (DMF)")->add_option("NAME", a.List, "media name")->required();
    CLI::App* upload =
        Sub(AApp, "upload", "upload a PNG, JPEG or GIF picture as a media file (MLI, MLR, MLE)");
    upload->add_option("FILE", a.File, "the picture file")->required();
    upload->add_option("--name", a.Name,
                       "media name (default: from the file name, as the window proposes it)");
    upload->add_flag("--show", a.Show, "show it afterwards (DSI)");
    upload->add_option("--png-form", a.Media.PngForm,
                       "smallest (default: the fewest bits that hold the picture) or rgb8 (8-bit RGB, for a "
                       "PIN pad whose PNG decoder takes nothing else)");
    upload->add_flag("--as-is", a.Media.AsIs,
                     "send the file's own bytes: not scaled to the display, not rewritten, no choice between "
                     "PNG and JPEG");
    CLI::App* qr = Sub(AApp, "qr", "make a QR code of TEXT, scaled to the graphic display, and upload it");
    qr->add_option("TEXT", a.Text, "the text the QR code holds")->required();
    qr->add_option("--name", a.Name, "media name (default QRCODE01)");
    qr->add_flag("--show", a.Show, "show it afterwards (DSI)");
    qr->add_option("--png-form", a.Media.PngForm, "smallest (default: 1-bit greyscale) or rgb8 (8-bit RGB)");
    CLI::App* send =
        Sub(AApp, "send", "any ABECS command by NAME, with TLV items and raw blocks in the order given");
    send->add_option("NAME", a.Send.Name, "the command (GIX, GCX, CKE, ...)")->required();
    a.SendItemOpt = send->add_option(
        "ID=VALUE", a.SendItems, "a TLV item, its value as text: ID an SPE_ name or a tag (0x001B, 001Bh)");
    a.SendHexOpt = send->add_option("--hex", a.SendHex, "ID=HEX: a TLV item given in hexadecimal");
    a.SendBlockOpt = send->add_option("--block", a.SendBlocks, "TEXT: a raw block, as text");
    a.SendBlockHexOpt = send->add_option("--block-hex", a.SendBlockHex, "HEX: a raw block in hexadecimal");
    send->add_flag("--blocking", a.Send.Blocking,
                   "wait for the cardholder (no deadline; Ctrl-C cancels with CAN) even if the command "
                   "table does not say the command does");
    send->add_option("--wait", a.Send.Wait,
                     "seconds to wait for the response: the timeout of an ordinary command; a "
                     "blocking one is cancelled with CAN after them");
    Sub(AApp, "ports", "list the ports: serial, USB, printer queues, Bluetooth (opens no PIN pad)");
    Sub(AApp, "detect", "find the serial port a PIN pad answers on (OPN, then CLO, on each)");
}

CommandSet::~CommandSet() = default;

std::string CommandSet::UnknownCommand(const CLI::App& AApp) {
    if (!AApp.get_subcommands().empty()) return {};
    for (const std::string& word : AApp.remaining())
        if (!word.empty() && word[0] != '-') return word;
    return {};
}

bool CommandSet::Chosen() const {
    for (const CLI::App* sub : fApp.get_subcommands())
        if (sub->get_name() != "session" && sub->get_name() != "check") return true;
    return false;
}

PreparedCommand CommandSet::Prepare() const {
    const Arguments& a = *fArgs;
    const std::string name = fApp.get_subcommands().at(0)->get_name();
    if (name == "opn") return MakeOpn();
    if (name == "clo") return MakeClo(a.Texts, a.Strict);
    if (name == "clx") return MakeClx(a.Text);
    if (name == "gin") return MakeGin(a.Index);
    if (name == "gix") return MakeGix(a.List);
    if (name == "caps") return MakeCaps();
    if (name == "dsp") return MakeDsp(a.Texts, a.Strict);
    if (name == "dex") return MakeDex(a.Text, a.Strict);
    if (name == "rmc") return MakeRmc(a.Texts, a.Strict);
    if (name == "gky") return MakeGky();
    if (name == "gcd") return MakeGcd(a.Gcd);
    if (name == "mnu") return MakeMnu(a.List, a.Title, a.Wait);
    if (name == "cex") return MakeCex(a.Cex);
    if (name == "lmf") return MakeLmf();
    if (name == "dsi") return MakeDsi(a.Name);
    if (name == "dmf") return MakeDmf(a.List);
    if (name == "upload") return MakeUpload(a.File, a.Name, a.Show, a.Media);
    if (name == "qr") return MakeQr(a.Text, a.Name, a.Show, a.Media);
    if (name == "send") return MakeSend(SendInOrder());
    if (name == "ports") return MakePorts();
    if (name == "detect") return MakeDetect();
    throw BadArguments("unknown command " + name);
}

SendArgs CommandSet::SendInOrder() const {
    Arguments& a = *fArgs;
    SendArgs args = a.Send;
    const std::pair<const CLI::Option*, std::pair<const std::vector<std::string>*, SendParam::Kind>> kinds[] =
        {
            {a.SendItemOpt, {&a.SendItems, SendParam::Kind::Item}},
            {a.SendHexOpt, {&a.SendHex, SendParam::Kind::HexItem}},
            {a.SendBlockOpt, {&a.SendBlocks, SendParam::Kind::Block}},
            {a.SendBlockHexOpt, {&a.SendBlockHex, SendParam::Kind::HexBlock}},
        };
    size_t used[4] = {0, 0, 0, 0};
    for (const CLI::Option* option : fApp.get_subcommands().at(0)->parse_order())
        for (size_t k = 0; k < 4; ++k) {
            const auto& [values, kind] = kinds[k].second;
            if (option != kinds[k].first || used[k] >= values->size()) continue;
            args.Params.push_back({kind, (*values)[used[k]++]});
        }
    return args;
}

} // namespace kestrel::cli
