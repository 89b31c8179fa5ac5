#pragma once

// The error classes of the ZIP reader. Their names and the texts their messages begin with are the ones the
// callers and the tools' "ERRORCLASS: message" lines show, so they are fixed; what follows after ": " names
// the fault in the archive.

#include "runtime/Exceptions.h"

#include <cstdint>
#include <cstdio>
#include <string>

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

// The end record was found, but the archive's structure around it does not hold together.
class EAbZipInvalid : public EAbException {
public:
    explicit EAbZipInvalid(std::string fault)
        : EAbException("Invalid file - not a PKZip file: " + fault), FFault(std::move(fault)) {}
    std::string_view ClassName() const noexcept override { return "EAbZipInvalid"; }
    // What is wrong, e.g. "central directory offset beyond end of file".
    const std::string& Fault() const noexcept { return FFault; }

private:
    std::string FFault;
};

class EAbZipInvalidPassword : public EAbException {
public:
    EAbZipInvalidPassword() : EAbException("Cannot extract file - invalid password") {}
    std::string_view ClassName() const noexcept override { return "EAbZipInvalidPassword"; }
};

class EAbZipInvalidMethod : public EAbException {
public:
    // method: the method's name or what else makes the entry unreadable ("strong encryption").
    explicit EAbZipInvalidMethod(const std::string& method)
        : EAbException("Cannot extract file - unsupported compression method: " + method) {}
    std::string_view ClassName() const noexcept override { return "EAbZipInvalidMethod"; }
};

class EAbZipVersion : public EAbException {
public:
    // version: the low byte of "version needed to extract", 10 times the major plus the minor version.
    explicit EAbZipVersion(unsigned version)
        : EAbException("Cannot extract file - newer version required: " + std::to_string(version / 10) + "." +
                       std::to_string(version % 10)) {}
    std::string_view ClassName() const noexcept override { return "EAbZipVersion"; }
};

class EAbZipBadCRC : public EAbException {
public:
    EAbZipBadCRC(uint32_t stored, uint32_t computed)
        : EAbException("Failed CRC Check: stored " + Hex(stored) + ", data " + Hex(computed)) {}
    std::string_view ClassName() const noexcept override { return "EAbZipBadCRC"; }

private:
    static std::string Hex(uint32_t value) {
        char text[9];
        std::snprintf(text, sizeof text, "%08x", value);
        return text;
    }
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
