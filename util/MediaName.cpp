#include "util/MediaName.h"
#include "util/Strings.h"

namespace vexo {

std::string FormatMediaName(std::string_view AName) {
    return CompletarDireita(UpperCase(SomenteAlfaNumericos(AName)), static_cast<int>(kMediaNameSize), ' ');
}

} // namespace vexo
