#pragma once
#include <exception>
#include <string>

namespace kestrel {

// The class name the error display shows: our own errors name themselves, the platform's libraries'
// errors show their C++ type.
std::string ExceptionClassName(const std::exception& E);

} // namespace kestrel
