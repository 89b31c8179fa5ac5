#include "RegFileFormat.h"

#include "text/Unicode.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace kalmora::registry {
namespace {

constexpr std::string_view Utf16Bom = "\xFF\xFE";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && NamesEqual(text.substr(0, prefix.size()), prefix);
}

// Reads a quoted string starting at s[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
    ++pos;
    out.clear();
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"')
            return true;
        if (c == '\\' && pos < s.size() && (s[pos] == '\\' || s[pos] == '"'))
            c = s[pos++];
        out += c;
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "xx,xx,..." with blanks and continuation backslashes already joined away.
bool ReadHexList(std::string_view s, std::string& out) {
    out.clear();
    s = TrimBlanks(s);
    if (s.empty())
        return true;
    size_t pos = 0;
    for (;;) {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        if (pos + 2 > s.size())
            return false;
        int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        if (pos == s.size())
            return true;
        if (s[pos] != ',')
            return false;
        ++pos;
        // regedit ends a wrapped list with a comma before the backslash: allow a trailing comma.
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
        if (pos == s.size())
            return true;
    }
}

// regedit writes REG_EXPAND_SZ as UTF-16LE bytes ending in a NUL unit. Only data of exactly that shape is
// converted: UTF-8 text with its one NUL never has it, so data this store wrote itself stays as it is.
void ConvertRegeditExpandString(std::string& data) {
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 1] != 0 || data[data.size() - 2] != 0)
        return;
    for (size_t i = 0; i + 2 < data.size(); i += 2)
        if (data[i] == 0 && data[i + 1] == 0)
            return;
    std::string text;
    if (!text::Utf16LeToUtf8(std::string_view(data).substr(0, data.size() - 2), text))
        return;
    data = StringData(text);
}

bool ParseValue(std::string_view text, TRegFileEntry& entry, std::string& fault) {
    if (text == "-") {
        entry.Remove = true;
        return true;
    }
    if (!text.empty() && text.front() == '"') {
        size_t pos = 0;
        std::string value;
        if (!ReadQuoted(text, pos, value) || !TrimBlanks(text.substr(pos)).empty()) {
            fault = "malformed string value";
            return false;
        }
        entry.Type = REG_SZ;
        entry.Data = StringData(value);
        return true;
    }
    if (StartsWithNoCase(text, "str(2):")) {
        text.remove_prefix(7);
        size_t pos = 0;
        std::string value;
        if (text.empty() || text.front() != '"' || !ReadQuoted(text, pos, value) ||
            !TrimBlanks(text.substr(pos)).empty()) {
            fault = "malformed str(2) value";
            return false;
        }
        entry.Type = REG_EXPAND_SZ;
        entry.Data = StringData(value);
        return true;
    }
    if (StartsWithNoCase(text, "dword:")) {
        auto digits = TrimBlanks(text.substr(6));
        std::uint32_t value = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (digits.empty() || digits.size() > 8 || ec != std::errc() ||
            end != digits.data() + digits.size()) {
            fault = "malformed dword value";
            return false;
        }
        entry.Type = REG_DWORD;
        entry.Data = DwordData(value);
        return true;
    }
    if (StartsWithNoCase(text, "hex")) {
        text.remove_prefix(3);
        std::uint32_t type = REG_BINARY;
        if (!text.empty() && text.front() == '(') {
            auto close = text.find(')');
            auto digits = text.substr(1, close == std::string_view::npos ? 0 : close - 1);
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), type, 16);
            if (close == std::string_view::npos || digits.empty() || digits.size() > 8 || ec != std::errc() ||
                end != digits.data() + digits.size()) {
                fault = "malformed hex type";
                return false;
            }
            text.remove_prefix(close + 1);
        }
        if (text.empty() || text.front() != ':') {
            fault = "missing ':' after hex";
            return false;
        }
        if (!ReadHexList(text.substr(1), entry.Data)) {
            fault = "malformed hex data";
            return false;
        }
        entry.Type = type;
        if (type == REG_EXPAND_SZ)
            ConvertRegeditExpandString(entry.Data);
        return true;
    }
    fault = "unknown value form";
    return false;
}

bool ParseSectionLine(std::string_view line, TRegFileSection& section, std::string& fault) {
    if (line.size() < 2 || line.back() != ']') {
        fault = "section line without closing ']'";
        return false;
    }
    auto inner = line.substr(1, line.size() - 2);
    section.Remove = !inner.empty() && inner.front() == '-';
    if (section.Remove)
        inner.remove_prefix(1);
    auto slash = inner.find('\\');
    auto root = inner.substr(0, slash);
    if (NamesEqual(root, HiveRootName(HiveId::LocalMachine)))
        section.Hive = HiveId::LocalMachine;
    else if (NamesEqual(root, HiveRootName(HiveId::CurrentUser)))
        section.Hive = HiveId::CurrentUser;
    else {
        fault = "unknown hive root '" + std::string(root) + "'";
        return false;
    }
    section.Path = slash == std::string_view::npos ? std::string() : std::string(inner.substr(slash + 1));
    if (!IsValidKeyPath(section.Path)) {
        fault = "invalid key path";
        return false;
    }
    return true;
}

bool IsCleanText(const std::string& data) {
    if (data.empty() || data.back() != '\0')
        return false;
    return std::none_of(data.begin(), data.end() - 1,
                        [](char c) { return c == '\0' || c == '\r' || c == '\n'; });
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string HexValue(std::string prefix, const std::string& data) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out = prefix;
    size_t column = out.size();
    for (size_t i = 0; i < data.size(); ++i) {
        auto byte = static_cast<unsigned char>(data[i]);
        out += Digits[byte >> 4];
        out += Digits[byte & 15];
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
            if (column > 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    return out;
}

std::string FormatValue(const TRegValue& value) {
    std::string line = value.Name.empty() ? std::string("@") : Quote(value.Name);
    line += '=';
    const std::string text = IsCleanText(value.Data) ? value.Data.substr(0, value.Data.size() - 1) : "";
    if (value.Type == REG_SZ && IsCleanText(value.Data))
        return line + Quote(text);
    if (value.Type == REG_EXPAND_SZ && IsCleanText(value.Data))
        return line + "str(2):" + Quote(text);
    if (value.Type == REG_DWORD && value.Data.size() == 4) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(value.Data[static_cast<size_t>(i)]);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", v);
        return line + buffer;
    }
    if (value.Type == REG_BINARY)
        return HexValue(line + "hex:", value.Data);
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.Type));
    return HexValue(line + prefix, value.Data);
}

void FormatNode(const TRegNode& node, const std::string& path, bool isRoot, std::string& out) {
    if (!isRoot || !node.Values.empty()) {
        out += "[" + path + "]\n";
        for (const auto& value : node.Values)
            out += FormatValue(value) + "\n";
        out += "\n";
    }
    for (const auto& sub : node.SubKeys)
        FormatNode(sub, path + "\\" + sub.Name, false, out);
}

} // namespace

bool ParseRegFile(std::string_view text, TRegFileContent& content, std::string& error) {
    content.Sections.clear();
    std::string converted;
    if (text.substr(0, 2) == Utf16Bom) {
        if (!text::Utf16LeToUtf8(text.substr(2), converted)) {
            error = "broken UTF-16 text";
            return false;
        }
        text = converted;
    } else if (text.substr(0, 3) == Utf8Bom) {
        text.remove_prefix(3);
    }

    std::vector<std::string_view> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }

    auto fail = [&](size_t index, const std::string& fault) {
        error = "line " + std::to_string(index + 1) + ": " + fault;
        return false;
    };

    bool haveHeader = false;
    TRegFileSection* section = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = TrimBlanks(lines[i]);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.find('\0') != std::string_view::npos)
            return fail(i, "NUL character");
        if (!haveHeader) {
            if (line != RegFileHeader && line != "REGEDIT4")
                return fail(i, "not a registry file (header missing)");
            haveHeader = true;
            continue;
        }
        if (line.front() == '[') {
            TRegFileSection parsed;
            std::string fault;
            if (!ParseSectionLine(line, parsed, fault))
                return fail(i, fault);
            section = &content.Sections.emplace_back(std::move(parsed));
            continue;
        }
        if (!section)
            return fail(i, "value outside of a key section");
        TRegFileEntry entry;
        size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() == '"') {
            if (!ReadQuoted(line, pos, entry.Name))
                return fail(i, "unterminated value name");
        } else {
            return fail(i, "unknown line");
        }
        if (!IsValidValueName(entry.Name))
            return fail(i, "invalid value name");
        auto rest = TrimBlanks(line.substr(pos));
        if (rest.empty() || rest.front() != '=')
            return fail(i, "missing '=' after the value name");
        std::string valueText(TrimBlanks(rest.substr(1)));
        // Hex lists go on over lines that end in a backslash.
        const size_t firstLine = i;
        while (StartsWithNoCase(valueText, "hex") && !valueText.empty() && valueText.back() == '\\') {
            valueText.pop_back();
            if (++i >= lines.size())
                return fail(firstLine, "hex data continues past the end of the file");
            valueText += TrimBlanks(lines[i]);
        }
        std::string fault;
        if (section->Remove)
            return fail(firstLine, "value in a key deletion section");
        if (!ParseValue(valueText, entry, fault))
            return fail(firstLine, fault);
        section->Entries.push_back(std::move(entry));
    }
    if (!haveHeader) {
        error = "not a registry file (header missing)";
        return false;
    }
    return true;
}

void ApplySections(const TRegFileContent& content, HiveId hive, TRegNode& root) {
    for (const auto& section : content.Sections) {
        if (section.Hive != hive)
            continue;
        if (section.Remove) {
            root.Remove(section.Path);
            continue;
        }
        TRegNode& node = root.Create(section.Path);
        for (const auto& entry : section.Entries) {
            if (entry.Remove)
                node.RemoveValue(entry.Name);
            else
                node.SetValue(entry.Name, entry.Type, entry.Data);
        }
    }
}

std::string FormatRegSections(const TRegNode& root, HiveId hive) {
    std::string out;
    FormatNode(root, std::string(HiveRootName(hive)), true, out);
    return out;
}

std::string FormatRegFile(const TRegNode& root, HiveId hive) {
    return std::string(RegFileHeader) + "\n\n" + FormatRegSections(root, hive);
}

} // namespace kalmora::registry
