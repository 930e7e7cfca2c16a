#pragma once
#include <QString>
#include <QStringList>

namespace kestrel {

// A 2048-bit RSA public-key modulus to show on the Open page; the secure opening is refused anyway.
#define SAMPLE_MODULUS                                                                                       \
    "98F135D25F557203301850C5A38FD547923A736994E3BF911A61DBE22E44158B\n"                                     \
    "AE97BA94D0EDA82F8F6D05584EF8AA38922766581E27A1C08A6A63EC24EDE6A4\n"                                     \
    "6B4CB2424A23D5962217BEADDBC496CB8E81973E0BECD7B03898D190F9EBDACC\n"                                     \
    "0CB1E29C658CDA1495E60AF593BD04CF0FD630F1F29D0DA9953F48F1A09F76B5\n"                                     \
    "A170B33839263059F28C105D1FB17C2390C192CFD3AC94AF0F21DDB66CAD4A26\n"                                     \
    "8D116ECE1738F7D93D9C172411E20B8F6B0D549B6F03675A1600A35A099950D8\n"                                     \
    "36F675CC81E74EF5E8E25D940ED904759531985D5D9DC9F81818E811892F902B\n"                                     \
    "D23F0824128B2F330C5C7FD0A6A3A4506513270E269E0D37F2A74DE452E6B439"

// Every named PP_ identifier, padded with spaces to 14 characters, in ascending order.
QStringList GIXParamItems();
// The fifteen lines that explain the CEX event codes.
QString CEXLegend();
QStringList MsgAlignNames();
QStringList GCDPromptNames();

// Multi-line box text as the PIN pad expects it: lines separated by CR LF.
QString MemoText(const QString& APlainText);

} // namespace kestrel
