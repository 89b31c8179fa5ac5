#pragma once

// Runs the reader on an archive in a temporary folder and records what it reported per entry.

#include "ZipTestBuilder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kalmora::test {

struct TItemFailure {
    std::string name;
    std::string className;
    std::string message;
};

// The failures as one line for an assertion's message.
std::string FailureNames(const std::vector<TItemFailure>& failures);

// An entry whose stored bytes are given as they are, with the CRC and size of data.
TTestEntry RawEntry(const std::string& name, const std::string& data, uint16_t method,
                    const std::string& compressed, std::optional<uint64_t> declaredSize = {});

// A tool-made archive among the fixtures, with the password it was made with.
struct TFixtureArchive {
    std::string label;
    std::string archive;
    std::string password;
};

class ZipExtractFixture : public ::testing::Test {
protected:
    std::string ArchivePath() const { return FTemp / "archive.zip"; }
    std::string Out() const { return FTemp / "out"; }
    std::string Temp() const { return FTemp.Path(); }

    // Writes the archive, extracts all of it below Out() and returns the entries that failed.
    std::vector<TItemFailure> Extract(const std::string& archive, const std::string& password = {});
    // Extracts an archive file already on disk with the given component settings.
    std::vector<TItemFailure> ExtractFile(const std::string& path, TZipArchive& zip);
    std::vector<std::string> OutTree() const { return ListTree(Out()); }
    std::string OutFile(const std::string& name) const { return ReadFileBytes(Out() + "/" + name); }

    TTestFolder FTemp;
};

} // namespace kalmora::test
