#include "app/ErrorText.h"
#include "util/Exception.h"
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace kestrel {

std::string ExceptionClassName(const std::exception& E) {
    if (const auto* own = dynamic_cast<const vexo::Exception*>(&E)) return own->ClassName();
    const char* mangled = typeid(E).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

} // namespace kestrel
