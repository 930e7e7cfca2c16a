#pragma once
#include <exception>
#include <string>

namespace vexo {

// Base of every error the libraries raise. Logs and the error display show ClassName(), so each
// subclass names itself.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : fMessage(std::move(message)) {}
    const char* what() const noexcept override { return fMessage.c_str(); }
    const std::string& Message() const noexcept { return fMessage; }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string fMessage;
};

class ERangeError : public Exception {
public:
    ERangeError() : Exception("Range check error") {}
    explicit ERangeError(std::string message) : Exception(std::move(message)) {}
    const char* ClassName() const noexcept override { return "ERangeError"; }
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EConvertError"; }
};

// Errors from the file helpers (the platform's file errors).
class EInOutError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EInOutError"; }
};

} // namespace vexo
