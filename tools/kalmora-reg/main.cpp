// kalmora-reg: reads and writes the settings hives from scripts. Exit 0 on success, 1 when a value or key is
// absent or the hives cannot be read or written (with a line on stderr), 2 on usage errors.

#include "registry/RegFileFormat.h"
#include "registry/RegKey.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace kalmora::registry;

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

constexpr const char* UsageText =
    "usage: kalmora-reg get KEY NAME\n"
    "       kalmora-reg set KEY NAME DATA [--type REG_SZ|REG_EXPAND_SZ|REG_DWORD]\n"
    "       kalmora-reg delete KEY [NAME]\n"
    "       kalmora-reg export [HKLM|HKCU]\n"
    "       kalmora-reg import FILE\n"
    "KEY starts with HKLM\\, HKCU\\, HKEY_LOCAL_MACHINE\\ or HKEY_CURRENT_USER\\.\n";

int Usage(const std::string& fault) {
    std::cerr << "kalmora-reg: " << fault << "\n" << UsageText;
    return ExitUsage;
}

int Failed(const std::string& what) {
    std::cerr << "kalmora-reg: " << what << "\n";
    return ExitFailed;
}

int Failed(RegStatus status, const std::string& error) {
    return Failed(error.empty() ? std::string(StatusText(status)) : error);
}

struct TKeyArgument {
    HiveId Hive;
    std::string Path;
};

std::optional<HiveId> ParseHiveName(std::string_view name) {
    if (NamesEqual(name, "HKLM") || NamesEqual(name, HiveRootName(HiveId::LocalMachine)))
        return HiveId::LocalMachine;
    if (NamesEqual(name, "HKCU") || NamesEqual(name, HiveRootName(HiveId::CurrentUser)))
        return HiveId::CurrentUser;
    return std::nullopt;
}

std::optional<TKeyArgument> ParseKey(const std::string& text) {
    const auto slash = text.find('\\');
    auto hive = ParseHiveName(std::string_view(text).substr(0, slash));
    if (!hive)
        return std::nullopt;
    TKeyArgument key{*hive, slash == std::string::npos ? std::string() : text.substr(slash + 1)};
    if (!IsValidKeyPath(key.Path))
        return std::nullopt;
    return key;
}

std::string HexBytes(const std::string& data) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
        auto byte = static_cast<unsigned char>(data[i]);
        if (i > 0)
            out += ',';
        out += Digits[byte >> 4];
        out += Digits[byte & 15];
    }
    return out;
}

std::string DisplayData(const TRegValue& value) {
    auto littleEndian = [&](size_t size) {
        unsigned long long v = 0;
        for (size_t i = size; i-- > 0;)
            v = (v << 8) | static_cast<unsigned char>(value.Data[i]);
        return std::to_string(v);
    };
    switch (value.Type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return value.Data.substr(0, value.Data.find('\0'));
    case REG_MULTI_SZ: {
        // One string a line; the empty string that ends the list is not one of them.
        std::string lines;
        for (size_t start = 0; start < value.Data.size();) {
            size_t end = std::min(value.Data.find('\0', start), value.Data.size());
            if (end == start)
                break;
            lines += (lines.empty() ? "" : "\n") + value.Data.substr(start, end - start);
            start = end + 1;
        }
        return lines;
    }
    case REG_DWORD:
        if (value.Data.size() == 4)
            return littleEndian(4);
        break;
    case REG_QWORD:
        if (value.Data.size() == 8)
            return littleEndian(8);
        break;
    }
    return HexBytes(value.Data);
}

int Get(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return Usage("get takes KEY and NAME");
    auto key = ParseKey(args[0]);
    if (!key)
        return Usage("invalid key \"" + args[0] + "\"");
    TRegKey regKey;
    std::string error;
    if (RegStatus status = TRegKey::Open(THive::Standard(key->Hive), key->Path, regKey, &error);
        status != RegStatus::Ok)
        return status == RegStatus::NotFound ? Failed("key not found: " + args[0]) : Failed(status, error);
    TRegValue value;
    if (regKey.QueryValue(args[1], value) != RegStatus::Ok)
        return Failed("value not found: " + args[1]);
    std::cout << DisplayData(value) << "\n";
    return ExitOk;
}

int Set(std::vector<std::string> args) {
    std::string typeName = "REG_SZ";
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--type") {
            if (i + 1 == args.size())
                return Usage("--type needs a type");
            typeName = args[++i];
        } else if (args[i].rfind("--type=", 0) == 0) {
            typeName = args[i].substr(7);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3)
        return Usage("set takes KEY, NAME and DATA");
    auto key = ParseKey(positional[0]);
    if (!key)
        return Usage("invalid key \"" + positional[0] + "\"");
    const std::string& name = positional[1];
    const std::string& text = positional[2];
    if (!IsValidValueName(name))
        return Usage("invalid value name");
    std::uint32_t type = REG_SZ;
    std::string data;
    if (NamesEqual(typeName, "REG_SZ") || NamesEqual(typeName, "REG_EXPAND_SZ")) {
        type = NamesEqual(typeName, "REG_SZ") ? REG_SZ : REG_EXPAND_SZ;
        data = StringData(text);
    } else if (NamesEqual(typeName, "REG_DWORD")) {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const char* begin = text.data() + (hex ? 2 : 0);
        const char* end = text.data() + text.size();
        std::uint32_t number = 0;
        auto [stop, ec] = std::from_chars(begin, end, number, hex ? 16 : 10);
        if (begin == end || ec != std::errc() || stop != end)
            return Usage("REG_DWORD data must be a 32-bit number, decimal or 0x hexadecimal");
        type = REG_DWORD;
        data = DwordData(number);
    } else {
        return Usage("unknown type \"" + typeName + "\"");
    }
    TRegKey regKey;
    std::string error;
    const THive hive = THive::Standard(key->Hive);
    RegStatus status = TRegKey::OpenOrCreate(hive, key->Path, regKey, &error);
    if (status == RegStatus::Ok)
        status = regKey.SetValue(name, type, std::move(data), &error);
    return status == RegStatus::Ok ? ExitOk : Failed(status, error);
}

int Delete(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2)
        return Usage("delete takes KEY and an optional NAME");
    auto key = ParseKey(args[0]);
    if (!key)
        return Usage("invalid key \"" + args[0] + "\"");
    const THive hive = THive::Standard(key->Hive);
    std::string error;
    RegStatus status = RegStatus::Ok;
    if (args.size() == 1) {
        if (SplitKeyPath(key->Path).empty())
            return Usage("a hive root cannot be deleted");
        status = DeleteKey(hive, key->Path, &error);
        if (status == RegStatus::NotFound)
            return Failed("key not found: " + args[0]);
    } else {
        TRegKey regKey;
        status = TRegKey::Open(hive, key->Path, regKey, &error);
        if (status == RegStatus::Ok)
            status = regKey.DeleteValue(args[1], &error);
        if (status == RegStatus::NotFound)
            return Failed("value not found: " + args[1]);
    }
    return status == RegStatus::Ok ? ExitOk : Failed(status, error);
}

int Export(const std::vector<std::string>& args) {
    std::vector<HiveId> hives{HiveId::LocalMachine, HiveId::CurrentUser};
    if (args.size() > 1)
        return Usage("export takes at most one hive");
    if (args.size() == 1) {
        auto hive = ParseHiveName(args[0]);
        if (!hive)
            return Usage("unknown hive \"" + args[0] + "\"");
        hives = {*hive};
    }
    std::string out = std::string(RegFileHeader) + "\n\n";
    for (HiveId id : hives) {
        TRegNode root;
        std::string error;
        if (RegStatus status = THive::Standard(id).Load(root, &error); status != RegStatus::Ok)
            return Failed(status, error);
        out += FormatRegSections(root, id);
    }
    std::cout << out;
    return std::cout.flush() ? ExitOk : Failed("cannot write the export");
}

int Import(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Usage("import takes FILE");
    std::string text;
    if (args[0] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        std::ifstream in(args[0], std::ios::binary);
        if (!in)
            return Failed("cannot open \"" + args[0] + "\"");
        text.assign(std::istreambuf_iterator<char>(in), {});
        if (in.bad())
            return Failed("cannot read \"" + args[0] + "\"");
    }
    TRegFileContent content;
    std::string fault;
    if (!ParseRegFile(text, content, fault))
        return Failed(args[0] + ": " + fault);
    // As the registry editor does, a refused line is skipped and the rest imported; unlike it, each is named.
    for (const auto& refused : content.Refused)
        std::cerr << "kalmora-reg: " << args[0] << ":" << refused.Line << ": " << refused.Reason << "\n";
    // Both hives change as one: a hive that cannot be read, parsed or replaced leaves the other as it was.
    std::vector<THive> hives;
    for (HiveId id : {HiveId::LocalMachine, HiveId::CurrentUser})
        if (std::any_of(content.Sections.begin(), content.Sections.end(),
                        [&](const TRegFileSection& section) { return section.Hive == id; }))
            hives.push_back(THive::Standard(id));
    std::string error;
    RegStatus status = ModifyHives(
        hives,
        [&](size_t index, TRegNode& root) {
            ApplySections(content, hives[index].Id(), root);
            return RegStatus::Ok;
        },
        &error);
    if (status != RegStatus::Ok)
        return Failed(status, error);
    return content.Refused.empty() ? ExitOk : ExitFailed;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage("no command");
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "get")
            return Get(args);
        if (command == "set")
            return Set(args);
        if (command == "delete")
            return Delete(args);
        if (command == "export")
            return Export(args);
        if (command == "import")
            return Import(args);
        if (command == "--help" || command == "-h") {
            std::cout << UsageText;
            return ExitOk;
        }
    } catch (const std::exception& e) {
        return Failed(e.what());
    }
    return Usage("unknown command \"" + command + "\"");
}
