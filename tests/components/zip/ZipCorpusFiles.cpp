#include "ZipCorpusFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace kalmora::test {

namespace {

const std::string CorpusDir = KALMORA_CORPUS_DIR;

uint32_t Le(const std::string& bytes, size_t at, unsigned size) {
    uint32_t value = 0;
    for (unsigned i = 0; i < size; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

} // namespace

bool HaveCorpus() {
    return std::filesystem::exists(CorpusDir + "/INDEX.tsv");
}

std::string MissingCorpusMessage() {
    return "the public sample archives are expected at " + CorpusDir + " (INDEX.tsv there)";
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    return fields;
}

std::vector<std::vector<std::string>> ExpectedContentRows() {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(CorpusDir + "/EXPECTED-SHA256.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        rows.push_back(SplitTabs(line));
    return rows;
}

std::string CorpusPath(const std::string& relative) {
    return CorpusDir + "/" + relative;
}

std::vector<TCorpusFile> CorpusFiles(const std::vector<std::string>& methods) {
    std::vector<TCorpusFile> files;
    for (const auto& f : ExpectedContentRows()) {
        if (f.size() < 7 || std::find(methods.begin(), methods.end(), f[2]) == methods.end() ||
            f[6] == "none")
            continue;
        files.push_back(
            {f[0], f[1], f[2], std::stoull(f[3]), static_cast<uint32_t>(std::stoul(f[4], nullptr, 16))});
    }
    return files;
}

TLocalEntry LocalEntryWithMethod(const std::string& archive, uint16_t method) {
    size_t at = 0;
    while (at + 30 <= archive.size() && Le(archive, at, 4) == 0x04034B50) {
        TLocalEntry e;
        e.flags = static_cast<uint16_t>(Le(archive, at + 6, 2));
        e.method = static_cast<uint16_t>(Le(archive, at + 8, 2));
        e.crc = Le(archive, at + 14, 4);
        uint32_t compressedSize = Le(archive, at + 18, 4);
        e.size = Le(archive, at + 22, 4);
        size_t data = at + 30 + Le(archive, at + 26, 2) + Le(archive, at + 28, 2);
        if (data + compressedSize > archive.size())
            break;
        e.compressed = archive.substr(data, compressedSize);
        if (e.method == method)
            return e;
        at = data + compressedSize;
    }
    ADD_FAILURE() << "no entry with method " << method << " in the archive's local headers";
    return {};
}

std::string SafeTestName(const std::string& text) {
    std::string name;
    for (char c : text)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

} // namespace kalmora::test
