// The subcommands: each checks its arguments, then calls the PIN-pad component and reads the results
// out of its response. Output layout and exit codes live elsewhere.
#include "cli/Commands.h"

#include "cli/Progress.h"
#include "device/VexoDevice.h"
#include "media/MediaError.h"
#include "media/MediaType.h"
#include "media/PictureIO.h"
#include "media/QRCode.h"
#include "pinpad/PictureUpload.h"
#include "pinpad/PinPadDetection.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCommandLimits.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsReturnCode.h"
#include "pinpad/VexoAbecsTables.h"
#include "trace/MessageDecoder.h"
#include "trace/ValueText.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/MediaName.h"
#include "util/NumberText.h"
#include "util/Strings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <sstream>

namespace kestrel::cli {

using vexo::ByteString;
using vexo::TVexoAbecsPinPad;

std::string Hex4(uint16_t AID) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", AID);
    return text;
}

namespace {

// How much of a value is hidden: card items always (unless the user asks for clear text); any
// other value of a response that may quote a card (a typed number, an event) in its card-number-like
// runs; the PIN pad's own information (GIX) not at all, as a serial number is no card's.
enum class Masking { None, CardItems, CardNumbers };

ByteString Masked(uint16_t ATag, std::string_view AValue, Masking AMasking) {
    if (AMasking == Masking::None) return ByteString(AValue);
    if (AMasking == Masking::CardItems && !kestrel::trace::IsCardDataTag(ATag)) return ByteString(AValue);
    return kestrel::trace::MaskValue(ATag, true, AValue);
}

Masking ResponseMasking(bool AMask) {
    return AMask ? Masking::CardNumbers : Masking::None;
}

// A value as a person reads it: text when every byte is printable, else hexadecimal.
std::string ShownValue(uint16_t ATag, std::string_view AValue, Masking AMasking, bool* AIsHex = nullptr,
                       bool AQuoted = false) {
    const ByteString shown = Masked(ATag, AValue, AMasking);
    const bool printable = kestrel::trace::IsPrintable(shown);
    if (AIsHex) *AIsHex = !printable;
    if (!printable) return kestrel::trace::HexBytes(shown, AMasking != Masking::None);
    return AQuoted ? "\"" + vexo::AnsiToText(shown) + "\"" : vexo::AnsiToText(shown);
}

JsonValue ItemJson(const kestrel::trace::DecodedTLV& AItem, Masking AMasking) {
    bool hex = false;
    JsonValue item = JsonValue::Object();
    item.Set("id", Hex4(AItem.Tag));
    item.Set("name", AItem.Name);
    item.Set("value", ShownValue(AItem.Tag, AItem.Value, AMasking, &hex));
    if (hex) item.Set("hex", true);
    return item;
}

std::string ItemLine(const kestrel::trace::DecodedTLV& AItem, Masking AMasking) {
    return "  " + AItem.Name + " = " + ShownValue(AItem.Tag, AItem.Value, AMasking, nullptr, true);
}

kestrel::trace::DecodedMessage LastResponse(const TVexoAbecsPinPad& APinPad) {
    return kestrel::trace::DecodeResponse(APinPad.Response().AsString());
}

std::vector<kestrel::trace::DecodedTLV> ResponseItems(const TVexoAbecsPinPad& APinPad) {
    std::vector<kestrel::trace::DecodedTLV> items;
    for (const auto& block : LastResponse(APinPad).Blocks)
        items.insert(items.end(), block.Items.begin(), block.Items.end());
    return items;
}

// Every TLV item of the last response, in order, as JSON under "items" and as text lines.
void AddItems(CommandContext& AContext, CommandResult& AResult, Masking AMasking) {
    JsonValue list = JsonValue::Array();
    for (const auto& item : ResponseItems(AContext.PinPad)) {
        list.Push(ItemJson(item, AMasking));
        AResult.Lines.push_back(ItemLine(item, AMasking));
    }
    AResult.Fields.Set("items", std::move(list));
}

void AddField(CommandResult& AResult, const std::string& AName, JsonValue AValue, const std::string& AText) {
    AResult.Fields.Set(AName, std::move(AValue));
    AResult.Lines.push_back(AName + ": " + AText);
}

void AddField(CommandResult& AResult, const std::string& AName, const std::string& AValue) {
    AddField(AResult, AName, AValue, AValue);
}

int ParseInt(const std::string& AText, int AMin, int AMax, const std::string& AWhat) {
    try {
        return static_cast<int>(vexo::ParseInteger(AText, AWhat, AMin, AMax));
    } catch (const vexo::ERangeError&) {
        throw BadArguments(AWhat + " must be from " + std::to_string(AMin) + " to " + std::to_string(AMax) +
                           ", not " + AText);
    } catch (const vexo::EConvertError&) {
        throw BadArguments(AWhat + " must be a number from " + std::to_string(AMin) + " to " +
                           std::to_string(AMax) + ", not \"" + AText + "\"");
    }
}

void CheckByte(int AValue, const char* AWhat) {
    if (AValue < 0 || AValue > 255) throw BadArguments(std::string(AWhat) + " must be from 0 to 255");
}

std::string JoinLines(const std::vector<std::string>& ATexts) {
    // Two texts are two display lines, as the window's two line edits are.
    return ATexts.size() == 2 ? ATexts[0] + "\r" + ATexts[1] : ATexts.empty() ? std::string() : ATexts[0];
}

// The layout of a two-line message (DSP, RMC, CLO), by the component's own rule and settings.
std::string TwoLineLayout(const std::string& AText) {
    static const TVexoAbecsPinPad layout;
    return layout.FormatMSG_S32(AText);
}

std::string DroppedWarning(const vexo::TDroppedText& ADropped, const char* AWhere) {
    return std::to_string(ADropped.Count) + " character(s) did not fit " + AWhere + " and were not sent: \"" +
           ADropped.Text + "\"";
}

// The warning for a text the layout cuts, or the refusal under --strict.
std::optional<std::string> CheckLayout(const std::string& ACommand, const std::string& AText,
                                       const std::string& ALaidOut, const char* AWhere, bool AStrict) {
    const vexo::TDroppedText dropped = vexo::DroppedByLayout(AText, ALaidOut);
    if (dropped.Count == 0) return std::nullopt;
    if (AStrict)
        throw BadArguments(ACommand + ": --strict: " + std::to_string(dropped.Count) +
                           " character(s) do not fit " + AWhere + ": \"" + dropped.Text +
                           "\"; nothing was sent");
    return DroppedWarning(dropped, AWhere);
}

PreparedCommand TwoLineCommand(const std::string& AName, const std::string& AMessage, bool AStrict,
                               void (TVexoAbecsPinPad::*ASend)(const std::string&)) {
    const auto warning = CheckLayout(AName, AMessage, TwoLineLayout(AMessage), "two lines of 16", AStrict);
    return {AName, true, [=](CommandContext& AContext, CommandResult& AResult) {
                (AContext.PinPad.*ASend)(AMessage);
                if (warning) AResult.Warnings.push_back(*warning);
            }};
}

std::string MediaTypeWord(vexo::TVexoAbecsPinPadMediaType AType) {
    return kestrel::media::MediaTypeName(static_cast<kestrel::media::MediaType>(AType));
}

// The upload the window's Media Load runs, with a progress bar over the MLR packets in place of
// the window's.
void Upload(CommandContext& AContext, CommandResult& AResult, const std::string& AName,
            const ByteString& ABytes, vexo::TVexoAbecsPinPadMediaType AType, bool AShow) {
    TVexoAbecsPinPad& pinpad = AContext.PinPad;
    ProgressBar bar(AContext.ShowProgress, "upload " + vexo::Trim(pinpad.FormatSPE_MFNAME(AName)));
    pinpad.SetOnProgress([&](vexo::TComponent*, int ADone, int ATotal) { bar.Show(ADone, ATotal); });
    const auto start = std::chrono::steady_clock::now();
    try {
        std::stringstream file(ABytes);
        pinpad.LoadMedia(AName, file, AType);
    } catch (...) {
        pinpad.SetOnProgress(nullptr);
        bar.Abandon();
        throw;
    }
    pinpad.SetOnProgress(nullptr);
    bar.Done();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The name as people read it; the JSON keeps the 8 bytes the PIN pad was given beside it.
    AddField(AResult, "name", vexo::Trim(pinpad.FormatSPE_MFNAME(AName)));
    AResult.Fields.Set("raw_name", pinpad.FormatSPE_MFNAME(AName));
    AddField(AResult, "type", MediaTypeWord(AType));
    AddField(AResult, "bytes", JsonValue(static_cast<int64_t>(ABytes.size())), std::to_string(ABytes.size()));
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    AddField(AResult, "seconds", JsonValue(std::stod(text)), text);
    AResult.Primary = vexo::Trim(pinpad.FormatSPE_MFNAME(AName));
    if (AShow) pinpad.DSI(AName);
}

std::optional<size_t> PromptByName(const std::string& AName) {
    std::string wanted = vexo::LowerCase(AName);
    if (wanted.starts_with("msg")) wanted.erase(0, 3);
    for (size_t i = 0; i < vexo::MSGIDXNames.size(); ++i) {
        std::string name = vexo::LowerCase(vexo::MSGIDXNames[i]);
        if (name.starts_with("msg")) name.erase(0, 3);
        if (name == wanted) return i;
    }
    return std::nullopt;
}

} // namespace

void CheckExplicitMediaName(const std::string& AName, const std::string& AWhat) {
    const size_t end = AName.find_last_not_of(' ');
    const std::string name = end == std::string::npos ? std::string() : AName.substr(0, end + 1);
    bool valid = !name.empty() && name.size() <= vexo::kMediaNameSize;
    for (char c : name)
        valid = valid && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
    if (!valid)
        throw BadArguments(
            AWhat + " \"" + AName +
            "\" is not a media name: 1 to 8 ASCII letters and digits, nothing else (it is never "
            "shortened)");
}

void CheckMediaName(const std::string& AName, const char* AWhat) {
    for (char c : AName)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return;
    throw BadArguments(std::string(AWhat) + " \"" + AName +
                       "\" has no ASCII letter or digit: media names keep only those");
}

uint16_t ParseInformationId(const std::string& AText) {
    std::string hex;
    if (AText.size() > 2 && (AText.starts_with("0x") || AText.starts_with("0X")))
        hex = AText.substr(2);
    else if (AText.size() > 1 && (AText.back() == 'h' || AText.back() == 'H') &&
             vexo::EhHexadecimal(AText.substr(0, AText.size() - 1)))
        hex = AText.substr(0, AText.size() - 1);
    if (!hex.empty()) {
        if (hex.size() > 4 || !vexo::EhHexadecimal(hex))
            throw BadArguments("\"" + AText + "\" is not an id from 0x0000 to 0xFFFF");
        return static_cast<uint16_t>(std::stoul(hex, nullptr, 16));
    }
    if (const auto tag = vexo::PPNameToTagAnyForm(AText)) return *tag;
    throw BadArguments("\"" + AText + "\" is not a PP_ name (such as PP_SERNUM) nor an id such as 0x8001");
}

PreparedCommand MakeOpn() {
    return {"opn", true, [](CommandContext& AContext, CommandResult& AResult) {
                TVexoAbecsPinPad& pinpad = AContext.PinPad;
                // OPN reads the capabilities afterwards; what the result shows is OPN's own answer.
                std::optional<int> status;
                pinpad.SetOnEndCommand([&](vexo::TComponent*) {
                    if (!status && pinpad.Response().ID() == "OPN") status = pinpad.Response().STAT();
                });
                try {
                    pinpad.OPN();
                } catch (...) {
                    pinpad.SetOnEndCommand(nullptr);
                    throw;
                }
                pinpad.SetOnEndCommand(nullptr);
                AResult.Response = "OPN";
                AResult.ReturnCode = status.value_or(0);
                AResult.ReturnText = vexo::ReturnStatusMessage(AResult.ReturnCode.value_or(0));
            }};
}

PreparedCommand MakeClo(const std::vector<std::string>& ATexts, bool AStrict) {
    if (ATexts.size() > 2) throw BadArguments("clo takes at most two lines of text");
    return TwoLineCommand("clo", JoinLines(ATexts), AStrict, &TVexoAbecsPinPad::CLO);
}

PreparedCommand MakeClx(const std::string& ATextOrName) {
    return {"clx", true,
            [ATextOrName](CommandContext& AContext, CommandResult&) { AContext.PinPad.CLX(ATextOrName); }};
}

PreparedCommand MakeGin(int AIndex) {
    if (AIndex < 0 || AIndex > 255) throw BadArguments("gin: IDX must be from 0 to 255");
    return {"gin", true, [AIndex](CommandContext& AContext, CommandResult& AResult) {
                AContext.PinPad.GIN(static_cast<uint8_t>(AIndex));
                const ByteString data = AContext.PinPad.Response().GetResponseData();
                bool hex = false;
                // The PIN pad's own information, like GIX's: nothing of a card in it.
                const Masking masking = AContext.Mask ? Masking::CardItems : Masking::None;
                const std::string shown = ShownValue(0, data, masking, &hex);
                AResult.Fields.Set("data", shown);
                if (hex) AResult.Fields.Set("hex", true);
                AResult.Lines.push_back("  " + ShownValue(0, data, masking, nullptr, true));
                AResult.Primary = shown;
            }};
}

PreparedCommand MakeGix(const std::vector<std::string>& AIds) {
    std::vector<uint16_t> ids;
    for (const auto& text : AIds)
        ids.push_back(ParseInformationId(text));
    return {"gix", true, [ids](CommandContext& AContext, CommandResult& AResult) {
                if (ids.empty())
                    AContext.PinPad.GIX();
                else
                    AContext.PinPad.GIX(ids);
                const Masking masking = AContext.Mask ? Masking::CardItems : Masking::None;
                AddItems(AContext, AResult, masking);
                const auto items = ResponseItems(AContext.PinPad);
                if (items.size() == 1) AResult.Primary = ShownValue(items[0].Tag, items[0].Value, masking);
            }};
}

PreparedCommand MakeCaps() {
    return {"caps", true, [](CommandContext& AContext, CommandResult& AResult) {
                const auto caps = AContext.PinPad.GetPinPadCapabilities();
                const auto flag = [&](const char* AName, bool AValue) {
                    AddField(AResult, AName, JsonValue(AValue), AValue ? "yes" : "no");
                };
                const auto number = [&](const char* AName, uint32_t AValue) {
                    AddField(AResult, AName, JsonValue(AValue), std::to_string(AValue));
                };
                AddField(AResult, "serial_number", caps.SerialNumber);
                AddField(AResult, "part_number", caps.PartNumber);
                AddField(AResult, "model", caps.Model);
                AddField(AResult, "memory", caps.Memory);
                AddField(AResult, "manufacturer", caps.Manufacturer);
                char version[32];
                std::snprintf(version, sizeof version, "%.2f", caps.SpecificationVersion);
                AddField(AResult, "specification_version", JsonValue(caps.SpecificationVersion), version);
                flag("contactless", caps.SupportContactless);
                flag("graphic_display", caps.DisplayIsGraphic);
                flag("color_display", caps.DisplayIsColor);
                number("text_rows", caps.DisplayTextModeDimensions.Rows);
                number("text_cols", caps.DisplayTextModeDimensions.Cols);
                number("pixel_rows", caps.DisplayGraphicPixels.Rows);
                number("pixel_cols", caps.DisplayGraphicPixels.Cols);
                flag("png", caps.MediaPNGisSupported);
                flag("jpeg", caps.MediaJPGisSupported);
                flag("gif", caps.MediaGIFisSupported);
                AResult.Primary = caps.Model;
            }};
}

PreparedCommand MakeDsp(const std::vector<std::string>& ATexts, bool AStrict) {
    if (ATexts.empty() || ATexts.size() > 2) throw BadArguments("dsp takes one or two lines of text");
    return TwoLineCommand("dsp", JoinLines(ATexts), AStrict, &TVexoAbecsPinPad::DSP);
}

// The display's size comes from the PIN pad (GIX), so the layout is known only once the port is open;
// under --strict a text that does not fit is still refused before DEX goes out.
PreparedCommand MakeDex(const std::string& AText, bool AStrict) {
    return {"dex", true, [AText, AStrict](CommandContext& AContext, CommandResult& AResult) {
                TVexoAbecsPinPad& pinpad = AContext.PinPad;
                const auto display = pinpad.GetPinPadCapabilities().DisplayTextModeDimensions;
                const std::string where = "the display's " + std::to_string(display.Rows) + " lines of " +
                                          std::to_string(display.Cols);
                const auto warning =
                    CheckLayout("dex", AText, pinpad.FormatSPE_DSPMSG(AText), where.c_str(), AStrict);
                pinpad.DEX(AText);
                if (warning) AResult.Warnings.push_back(*warning);
            }};
}

PreparedCommand MakeRmc(const std::vector<std::string>& ATexts, bool AStrict) {
    if (ATexts.empty() || ATexts.size() > 2) throw BadArguments("rmc takes one or two lines of text");
    return TwoLineCommand("rmc", JoinLines(ATexts), AStrict, &TVexoAbecsPinPad::RMC);
}

PreparedCommand MakeGky() {
    return {"gky", true, [](CommandContext& AContext, CommandResult& AResult) {
                const int code = AContext.PinPad.GKY();
                const char* name = vexo::GkyKeyName(code);
                if (!name) {
                    // Not a key: the PIN pad gave up (012) or refused the command.
                    AResult.What = Outcome::PinPadError;
                    AResult.Error = vexo::ReturnCodeErrorMessage(code);
                    return;
                }
                AddField(AResult, "key", JsonValue(code), std::to_string(code));
                AddField(AResult, "key_name", name);
                AResult.Primary = name;
            }};
}

PreparedCommand MakeGcd(const GcdArgs& AArgs) {
    if (const std::string problem =
            vexo::GcdLimitsProblem(std::max(AArgs.Min, 0), std::max(AArgs.Max, 0), "--min", "--max");
        !problem.empty())
        throw BadArguments("gcd: " + problem);
    CheckByte(AArgs.Wait, "gcd: --wait");
    const bool byNumber = !AArgs.Prompt.empty() && vexo::EhNumerico(AArgs.Prompt);
    int number = 0;
    std::optional<size_t> named;
    if (byNumber) {
        number = ParseInt(AArgs.Prompt, 1, 65535, "gcd: the prompt number");
    } else {
        named = PromptByName(AArgs.Prompt);
        if (!named)
            throw BadArguments("gcd: \"" + AArgs.Prompt +
                               "\" is not a prompt name (such as msgDigiteCPF) nor a prompt number");
        number = static_cast<int>(*named) + 1;
    }
    const auto wait = static_cast<uint8_t>(AArgs.Wait);
    const bool limitsGiven = AArgs.Min >= 0 || AArgs.Max >= 0;
    int min = std::max(AArgs.Min, 0), max = std::max(AArgs.Max, 0);
    if (named && limitsGiven) {
        // A limit not given keeps the prompt's own.
        const auto table = vexo::GCDPromptTable[*named];
        if (AArgs.Min < 0) min = table.MinDig;
        if (AArgs.Max < 0) max = table.MaxDig;
    }
    return {"gcd", true, [=](CommandContext& AContext, CommandResult& AResult) {
                std::string value;
                if (named && !limitsGiven)
                    value = AContext.PinPad.GCD(static_cast<vexo::TVexoAbecsMSGIDX>(*named), wait);
                else
                    value = AContext.PinPad.GCD(static_cast<uint16_t>(number), static_cast<uint8_t>(min),
                                                static_cast<uint8_t>(max), wait);
                const std::string shown =
                    ShownValue(vexo::PP_VALUE, vexo::TextToAnsi(value), ResponseMasking(AContext.Mask));
                AddField(AResult, "value", shown);
                AResult.Primary = shown;
            }};
}

PreparedCommand MakeMnu(const std::vector<std::string>& AOptions, const std::string& ATitle, int AWait) {
    if (AOptions.empty()) throw BadArguments("mnu needs at least one OPTION");
    CheckByte(AWait, "mnu: --wait");
    for (size_t i = 0; i < AOptions.size(); ++i) {
        if (AOptions[i].empty())
            throw BadArguments("mnu: option " + std::to_string(i + 1) +
                               " is empty, which would shift the others");
        if (vexo::TextLength(AOptions[i]) > vexo::kMaxMenuOptionSize)
            throw BadArguments("mnu: option " + std::to_string(i + 1) + " is longer than " +
                               std::to_string(vexo::kMaxMenuOptionSize) + " characters");
    }
    const auto wait = static_cast<uint8_t>(AWait);
    return {"mnu", true, [=](CommandContext& AContext, CommandResult& AResult) {
                const std::string choice = AContext.PinPad.MNU(AOptions, ATitle, wait);
                AddField(AResult, "choice", choice);
                // "02" and "2" both name the second option.
                if (!choice.empty() && choice.size() <= 3 && vexo::EhNumerico(choice)) {
                    const size_t index = static_cast<size_t>(std::stoi(choice));
                    if (index >= 1 && index <= AOptions.size())
                        AddField(AResult, "option", AOptions[index - 1]);
                }
                AResult.Primary = choice;
            }};
}

PreparedCommand MakeCex(const CexArgs& AArgs) {
    if (!AArgs.Key && !AArgs.Mag && !AArgs.Insert && !AArgs.Remove && !AArgs.Ctls)
        throw BadArguments("cex needs at least one of --key, --mag, --insert, --remove, --ctls");
    if (AArgs.Insert && AArgs.Remove)
        throw BadArguments("cex: --insert and --remove exclude each other (the ICC position holds one)");
    CheckByte(AArgs.Wait, "cex: --wait");
    if (!AArgs.PanMask.empty() && (AArgs.PanMask.size() != 4 || !vexo::EhNumerico(AArgs.PanMask)))
        throw BadArguments(
            "cex: --panmask takes four digits LLRR (digits kept on the left and on the right)");
    const CexArgs args = AArgs;
    return {"cex", true, [args](CommandContext& AContext, CommandResult& AResult) {
                AContext.PinPad.CEX(args.Key, args.Mag, args.Insert, args.Remove, args.Ctls,
                                    static_cast<uint8_t>(args.Wait), args.PanMask);
                const ByteString event = AContext.PinPad.Response().GetResponseFromTagValue(vexo::PP_EVENT);
                const std::string eventText = vexo::AnsiToText(event);
                AddField(AResult, "event", eventText);
                if (const char* name = vexo::CexEventName(eventText)) AddField(AResult, "event_name", name);
                AddItems(AContext, AResult, ResponseMasking(AContext.Mask));
                AResult.Primary = eventText;
            }};
}

PreparedCommand MakeLmf() {
    return {"lmf", true, [](CommandContext& AContext, CommandResult& AResult) {
                AContext.PinPad.LMF();
                std::vector<std::string> names;
                AContext.PinPad.Response().GetResponseFromTagValue(vexo::PP_MFNAME, names);
                // Names without the blanks that pad them to 8; the JSON keeps them as the PIN pad sent
                // them, in the same order.
                std::vector<std::string> shown;
                for (const auto& name : names)
                    shown.push_back(vexo::Trim(name));
                AResult.Fields.Set("files", JsonValue::StringArray(shown));
                AResult.Fields.Set("raw_names", JsonValue::StringArray(names));
                for (const auto& name : shown) {
                    AResult.Lines.push_back("  " + name);
                    AResult.Primary += (AResult.Primary.empty() ? "" : "\n") + name;
                }
                if (names.empty()) AResult.Lines.push_back("  (no media files)");
            }};
}

PreparedCommand MakeDsi(const std::string& AName) {
    CheckExplicitMediaName(AName, "dsi: NAME");
    return {"dsi", true, [AName](CommandContext& AContext, CommandResult&) { AContext.PinPad.DSI(AName); }};
}

PreparedCommand MakeDmf(const std::vector<std::string>& ANames) {
    if (ANames.empty()) throw BadArguments("dmf needs at least one NAME");
    for (const auto& name : ANames)
        CheckExplicitMediaName(name, "dmf: NAME");
    return {"dmf", true, [ANames](CommandContext& AContext, CommandResult&) {
                if (ANames.size() == 1)
                    AContext.PinPad.DMF(ANames[0]);
                else
                    AContext.PinPad.DMF(ANames);
            }};
}

kestrel::media::PngForm ParsePngFormOption(const std::string& AText, const char* ACommand) {
    const auto form = kestrel::media::ParsePngForm(AText);
    if (!form)
        throw BadArguments(std::string(ACommand) + ": --png-form must be smallest or rgb8, not \"" + AText +
                           "\"");
    return *form;
}

void AddNotes(CommandResult& AResult, const std::vector<std::string>& ANotes) {
    if (ANotes.empty()) return;
    AResult.Fields.Set("notes", JsonValue::StringArray(ANotes));
    for (const auto& note : ANotes)
        AResult.Lines.push_back("note: " + note);
}

PreparedCommand MakeUpload(const std::string& AFile, const std::string& AName, bool AShow,
                           const MediaForm& AForm) {
    kestrel::media::PictureFile picture;
    if (!AName.empty()) CheckExplicitMediaName(AName, "upload: --name");
    try {
        picture = kestrel::media::ReadPictureFile(AFile);
    } catch (const std::exception& e) {
        throw UnusableFile(std::string("upload: ") + e.what());
    }
    const std::string name = AName.empty() ? kestrel::media::MediaNameFromFileName(AFile) : AName;
    CheckMediaName(name, "upload: the media name");
    const kestrel::media::PngForm form = ParsePngFormOption(AForm.PngForm, "upload");
    const bool asIs = AForm.AsIs;
    return {"upload", true, [=](CommandContext& AContext, CommandResult& AResult) {
                const kestrel::media::UploadPlan plan =
                    vexo::PlanPictureUpload(AContext.PinPad, picture, form, asIs);
                // The type declared to the PIN pad is the format of the bytes it receives, whatever the
                // file's extension says.
                Upload(AContext, AResult, name, plan.Bytes, vexo::PinPadMediaType(plan.Type), AShow);
                AddNotes(AResult, plan.Notes);
            }};
}

PreparedCommand MakeQr(const std::string& AText, const std::string& AName, bool AShow,
                       const MediaForm& AForm) {
    if (AText.empty()) throw BadArguments("qr: the text is empty, so there is no QR code to send");
    if (!AName.empty()) CheckExplicitMediaName(AName, "qr: --name");
    kestrel::media::Picture bitmap;
    try {
        bitmap = kestrel::media::QRCodeToBitmap(kestrel::media::QRCodeText(AText));
    } catch (const std::exception& e) {
        throw UnusableFile(std::string("qr: ") + e.what());
    }
    const std::string name = AName.empty() ? std::string("QRCODE01") : AName;
    const kestrel::media::PngForm form = ParsePngFormOption(AForm.PngForm, "qr");
    return {"qr", true, [=](CommandContext& AContext, CommandResult& AResult) {
                const vexo::TQRCodeUpload upload = vexo::PlanQRCodeUpload(AContext.PinPad, bitmap, form);
                AddField(AResult, "side", JsonValue(upload.Scaled.Width),
                         std::to_string(upload.Scaled.Width));
                Upload(AContext, AResult, name, upload.Plan.Bytes, vexo::PinPadMediaType(upload.Plan.Type),
                       AShow);
            }};
}

PreparedCommand MakePorts() {
    return {"ports", false, [](CommandContext& AContext, CommandResult& AResult) {
                vexo::TVexoDevice& device = AContext.PinPad.Device();
                const auto section = [&](const char* AName, const char* ATitle,
                                         std::vector<std::string> AList) {
                    AResult.Fields.Set(AName, JsonValue::StringArray(AList));
                    AResult.Lines.push_back(std::string(ATitle) + ":");
                    for (const auto& port : AList) {
                        AResult.Lines.push_back("  " + port);
                        AResult.Primary += (AResult.Primary.empty() ? "" : "\n") + port;
                    }
                    if (AList.empty()) AResult.Lines.push_back("  (none)");
                };
                std::vector<std::string> list;
                device.AcharPortasSeriais(list);
                section("serial", "serial ports", std::move(list));
                list.clear();
                device.AcharPortasUSB(list);
                section("usb", "USB devices", std::move(list));
                list.clear();
                device.AcharPortasRAW(list);
                section("printers", "printer queues", std::move(list));
                list.clear();
                device.AcharPortasBlueTooth(list, true);
                section("bluetooth", "Bluetooth devices", std::move(list));
            }};
}

PreparedCommand MakeDetect() {
    return {"detect", false, [](CommandContext& AContext, CommandResult& AResult) {
                const vexo::TPinPadDetection detection = vexo::DetectPinPad(AContext.PinPad);
                AResult.Fields.Set("tried", JsonValue::StringArray(detection.Candidates));
                if (detection.Found.empty()) {
                    AResult.What = Outcome::PortNotOpen;
                    AResult.Error = "PinPad not Found";
                    AResult.Fields.Set("port", JsonValue());
                    return;
                }
                AResult.Fields.Set("port", detection.Found);
                AResult.Lines.push_back("PinPad Found on " + detection.Found);
                AResult.Primary = detection.Found;
            }};
}

} // namespace kestrel::cli
