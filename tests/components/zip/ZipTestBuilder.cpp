#include "ZipTestBuilder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace kalmora::test {

namespace {

void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}
void Put64(std::string& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v));
    Put32(out, static_cast<uint32_t>(v >> 32));
}

} // namespace

std::string RawDeflate(const std::string& data, int level, int strategy) {
    z_stream s{};
    if (deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&s, data.size()) + 64, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

std::string Noise(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    for (auto& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

uint32_t Crc32(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string UnicodePathExtra(const std::string& storedName, const std::string& utf8Name) {
    std::string field;
    Put16(field, 0x7075);
    Put16(field, static_cast<uint16_t>(5 + utf8Name.size()));
    field += '\x01';
    Put32(field, Crc32(storedName));
    field += utf8Name;
    return field;
}

std::string XceedUnicodeExtra(const std::u16string& name) {
    std::string field;
    Put16(field, 0x554E);
    Put16(field, static_cast<uint16_t>(8 + 2 * name.size()));
    field += "NUCX";
    Put16(field, static_cast<uint16_t>(name.size()));
    Put16(field, 0); // no comment
    for (char16_t c : name)
        Put16(field, static_cast<uint16_t>(c));
    return field;
}

TZipTestBuilder& TZipTestBuilder::Add(TTestEntry entry) {
    FEntries.push_back(std::move(entry));
    return *this;
}

TZipTestBuilder& TZipTestBuilder::AddFile(const std::string& name, const std::string& data, uint16_t method) {
    TTestEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return Add(std::move(e));
}

TZipTestBuilder& TZipTestBuilder::AddFolder(const std::string& name) {
    TTestEntry e;
    e.name = name;
    e.externalAttributes = UnixFolder;
    return Add(std::move(e));
}

std::string TZipTestBuilder::Build(const TTestArchiveOptions& options) const {
    std::string archive;
    std::string central;
    for (const auto& e : FEntries) {
        std::string stored = e.compressed ? *e.compressed : (e.method == 8 ? RawDeflate(e.data) : e.data);
        uint32_t crc = e.crc ? *e.crc : Crc32(e.data);
        uint64_t size = e.uncompressedSize ? *e.uncompressedSize : e.data.size();
        uint64_t offset = archive.size();
        uint16_t flags = static_cast<uint16_t>(e.flags | (e.dataDescriptor ? 0x0008 : 0));
        std::string zip64Extra;
        if (e.zip64) {
            Put16(zip64Extra, 0x0001);
            Put16(zip64Extra, 24);
            Put64(zip64Extra, size);
            Put64(zip64Extra, stored.size());
            Put64(zip64Extra, offset);
        }
        auto header = [&](bool local) {
            std::string h;
            Put32(h, local ? 0x04034b50 : 0x02014b50);
            if (!local)
                Put16(h, e.versionMadeBy);
            Put16(h, e.zip64 ? 45 : e.versionNeeded);
            Put16(h, flags);
            Put16(h, e.method);
            Put16(h, e.dosTime);
            Put16(h, e.dosDate);
            bool hidden = local && e.dataDescriptor;
            Put32(h, hidden ? 0 : crc);
            Put32(h, hidden ? 0 : e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(stored.size()));
            Put32(h, hidden ? 0 : e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(size));
            Put16(h, static_cast<uint16_t>(e.name.size()));
            Put16(h, static_cast<uint16_t>(e.extra.size() + zip64Extra.size()));
            if (!local) {
                Put16(h, 0); // comment
                Put16(h, 0); // disk
                Put16(h, 0); // internal attributes
                Put32(h, e.externalAttributes);
                Put32(h, e.zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(offset));
            }
            return h + e.name + zip64Extra + e.extra;
        };
        archive += header(true);
        archive += stored;
        if (e.dataDescriptor) {
            Put32(archive, 0x08074b50);
            Put32(archive, crc);
            Put32(archive, static_cast<uint32_t>(stored.size()));
            Put32(archive, static_cast<uint32_t>(size));
        }
        central += header(false);
    }
    uint64_t centralOffset = archive.size();
    archive += central;
    uint64_t count = FEntries.size();
    if (options.zip64EndRecords) {
        uint64_t recordOffset = archive.size();
        Put32(archive, 0x06064b50);
        Put64(archive, 44);
        Put16(archive, 45);
        Put16(archive, 45);
        Put32(archive, 0);
        Put32(archive, 0);
        Put64(archive, count);
        Put64(archive, count);
        Put64(archive, central.size());
        Put64(archive, centralOffset);
        Put32(archive, 0x07064b50);
        Put32(archive, 0);
        Put64(archive, recordOffset);
        Put32(archive, 1);
    }
    Put32(archive, 0x06054b50);
    Put16(archive, options.diskNumber);
    Put16(archive, options.diskNumber);
    Put16(archive, options.zip64EndRecords ? 0xFFFF : static_cast<uint16_t>(count));
    Put16(archive, options.zip64EndRecords ? 0xFFFF : static_cast<uint16_t>(count));
    Put32(archive, options.zip64EndRecords ? 0xFFFFFFFF : static_cast<uint32_t>(central.size()));
    Put32(archive, options.zip64EndRecords ? 0xFFFFFFFF : static_cast<uint32_t>(centralOffset));
    Put16(archive, static_cast<uint16_t>(options.comment.size()));
    archive += options.comment;
    return options.prefix + archive;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> ListTree(const std::string& root) {
    std::vector<std::string> paths;
    for (auto& e : std::filesystem::recursive_directory_iterator(root)) {
        std::string rel = std::filesystem::relative(e.path(), root).string();
        paths.push_back(e.is_directory() && !e.is_symlink() ? rel + "/" : rel);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

unsigned PermissionBits(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return 0xFFFFFFFF;
    return st.st_mode & 07777;
}

int RunShell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& name) {
    return RunShell("command -v " + name + " >/dev/null 2>&1") == 0;
}

} // namespace kalmora::test
