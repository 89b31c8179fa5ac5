#pragma once

// The public sample archives beside the checkout, for the tests of the methods they hold samples of.
// These tests fail, naming the folder, when the samples are missing.

#include <cstdint>
#include <string>
#include <vector>

namespace kalmora::test {

bool HaveCorpus();
std::string MissingCorpusMessage();
std::string CorpusPath(const std::string& relative);

// The fields of one line of a tab-separated table.
std::vector<std::string> SplitTabs(const std::string& line);

// The rows of the expected-content table (EXPECTED-SHA256.tsv) below its header, split into fields:
// archive, name, method, size, crc32, sha256, verified_by.
std::vector<std::vector<std::string>> ExpectedContentRows();

// A file entry of a sample archive, as its expected-content table lists it.
struct TCorpusFile {
    std::string archive;
    std::string name; // as Python decodes it
    std::string method;
    uint64_t size = 0;
    uint32_t crc = 0;
};

// The files of the samples whose method is one of methods.
std::vector<TCorpusFile> CorpusFiles(const std::vector<std::string>& methods);

// One entry's stored data and its records, read from the local headers of an archive.
struct TLocalEntry {
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint64_t size = 0;
    std::string compressed;
};

// The first entry stored with method; fails the test (and returns an empty entry) when there is none.
TLocalEntry LocalEntryWithMethod(const std::string& archive, uint16_t method);

// A test name from a path: letters and digits, everything else "_".
std::string SafeTestName(const std::string& text);

} // namespace kalmora::test
