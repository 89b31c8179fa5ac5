#pragma once

// The error classes of the ZIP reader. Their names and texts are the ones the callers and the tools'
// "ERRORCLASS: message" lines show, so they are fixed.

#include "runtime/Exceptions.h"

namespace kalmora {

class EAbException : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EAbException"; }
};

class EAbUnhandledType : public EAbException {
public:
    EAbUnhandledType() : EAbException("Unhandled Archive Type") {}
    std::string_view ClassName() const noexcept override { return "EAbUnhandledType"; }
};

class EAbNoSuchDirectory : public EAbException {
public:
    EAbNoSuchDirectory() : EAbException("Directory does not exist") {}
    std::string_view ClassName() const noexcept override { return "EAbNoSuchDirectory"; }
};

class EAbZipInvalid : public EAbException {
public:
    EAbZipInvalid() : EAbException("Invalid file - not a PKZip file") {}
    std::string_view ClassName() const noexcept override { return "EAbZipInvalid"; }
};

class EAbZipInvalidPassword : public EAbException {
public:
    EAbZipInvalidPassword() : EAbException("Cannot extract file - invalid password") {}
    std::string_view ClassName() const noexcept override { return "EAbZipInvalidPassword"; }
};

class EAbZipInvalidMethod : public EAbException {
public:
    EAbZipInvalidMethod() : EAbException("Cannot extract file - unsupported compression method") {}
    std::string_view ClassName() const noexcept override { return "EAbZipInvalidMethod"; }
};

class EAbZipVersion : public EAbException {
public:
    EAbZipVersion() : EAbException("Cannot extract file - newer version required") {}
    std::string_view ClassName() const noexcept override { return "EAbZipVersion"; }
};

class EAbZipBadCRC : public EAbException {
public:
    EAbZipBadCRC() : EAbException("Failed CRC Check") {}
    std::string_view ClassName() const noexcept override { return "EAbZipBadCRC"; }
};

// Compressed data or an entry's records that cannot be decoded; the message names the fault.
class EAbZipDataError : public EAbException {
public:
    using EAbException::EAbException;
    std::string_view ClassName() const noexcept override { return "EAbZipDataError"; }
};

// An entry name that would place the entry outside the base directory (absolute, drive, "..").
class EAbZipUnsafeName : public EAbException {
public:
    explicit EAbZipUnsafeName(const std::string& name)
        : EAbException("Cannot extract file - name leaves the target folder: " + name) {}
    std::string_view ClassName() const noexcept override { return "EAbZipUnsafeName"; }
};

} // namespace kalmora
