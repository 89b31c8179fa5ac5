#include "RegFileFormat.h"

#include "text/Unicode.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

// The grammar, as the registry editor reads it (ws: blanks and tabs; a line ends at CR LF, LF or CR):
//
//   file     = header { EOL line }
//   header   = ws* ( "Windows Registry Editor Version 5.00" | "REGEDIT4" ) ws*     the very first line
//   line     = ws* ( "" | ";" any | "#" any | key | value ) ws*
//   key      = "[" [ "-" ] root [ "\" path ] "]"        root: HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
//   value    = ( quoted | "@" ) ws* "=" ws* data
//   data     = ( "-" | quoted | "str(2):" quoted | "dword:" ws* 1*8hex ) ws* [ ";" any ]
//            | "hex" [ "(" 1*8hex ")" ] ":" hexlist
//   quoted   = '"' { char | "\\" | '\"' } '"'            "\0" refused; any other "\" stands for itself
//   hexlist  = ws* [ byte { ws* "," ws* byte } [ ws* "," ] ] ws* [ ";" any ]       the value ends here
//            | ws* [ byte { ws* "," ws* byte } ws* "," ] ws* "\" ws* [ ";" any ]  continued on the next line
//   A continuation line holds at least one byte and goes on like hexlist. Blank lines and ";" lines inside
//   a continuation are skipped; a "#" line ends the value as refused; the end of the file ends it as read.
//
// A UTF-16LE file (byte order mark FF FE) and a UTF-8 file with its byte order mark carry the version 5
// header; without a mark the header decides: version 5 is UTF-8, REGEDIT4 is 8-bit text in Windows-1252.
// hex(1), hex(2) and hex(7) data are text in the file's form: UTF-16LE under version 5, Windows-1252 under
// REGEDIT4; they are stored as UTF-8 text like every other string. A line the grammar refuses is reported
// and skipped; so are values under a refused or a deletion key line.

namespace kalmora::registry {
namespace {

constexpr std::string_view Utf16Bom = "\xFF\xFE";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view AnsiHeader = "REGEDIT4";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

void SkipBlanks(std::string_view s, size_t& pos) {
    while (pos < s.size() && IsBlank(s[pos]))
        ++pos;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && NamesEqual(text.substr(0, prefix.size()), prefix);
}

// Nothing but blanks and perhaps a ";" comment from `pos` on.
bool EndsHere(std::string_view s, size_t pos) {
    SkipBlanks(s, pos);
    return pos == s.size() || s[pos] == ';';
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

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// A quoted string from s[pos] == '"'; pos ends after the closing quote. Empty result: fine, else the fault.
std::string ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
    ++pos;
    out.clear();
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"')
            return {};
        if (c == '\\' && pos < s.size()) {
            if (s[pos] == '0')
                return "\\0 in a quoted string";
            if (s[pos] == '\\' || s[pos] == '"')
                c = s[pos++];
        }
        out += c;
    }
    return "quoted string without closing '\"'";
}

enum class THexLine { Ends, Continues, Fault };

// One line's share of a hex list, appended to `out`.
THexLine ReadHexLine(std::string_view s, bool continuation, std::string& out) {
    size_t pos = 0;
    bool anyByte = false, trailingComma = false;
    SkipBlanks(s, pos);
    while (pos < s.size() && HexDigit(s[pos]) >= 0) {
        if (pos + 1 >= s.size() || HexDigit(s[pos + 1]) < 0)
            return THexLine::Fault;
        out += static_cast<char>(HexDigit(s[pos]) * 16 + HexDigit(s[pos + 1]));
        pos += 2;
        anyByte = true;
        trailingComma = false;
        SkipBlanks(s, pos);
        if (pos == s.size() || s[pos] != ',')
            break;
        ++pos;
        trailingComma = true;
        SkipBlanks(s, pos);
    }
    if (pos == s.size() || s[pos] == ';')
        return THexLine::Ends;
    if (s[pos] != '\\' || (anyByte && !trailingComma) || (!anyByte && continuation))
        return THexLine::Fault;
    return EndsHere(s, pos + 1) ? THexLine::Continues : THexLine::Fault;
}

// Text data given as hex bytes, in the form the file carries text in.
bool DecodeText(std::string_view bytes, bool ansi, std::string& text) {
    if (ansi) {
        text = text::Windows1252ToUtf8(bytes);
        return true;
    }
    return text::Utf16LeToUtf8(bytes, text);
}

std::string UpToNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

class TParser {
public:
    TParser(std::vector<std::string_view> lines, bool ansi, TRegFileContent& content)
        : FLines(std::move(lines)), FAnsi(ansi), FContent(content) {}

    void Run() {
        for (FIndex = 1; FIndex < FLines.size(); ++FIndex) {
            const std::string_view line = TrimBlanks(FLines[FIndex]);
            if (line.empty() || line.front() == ';' || line.front() == '#')
                continue;
            if (line.find('\0') != std::string_view::npos)
                Refuse(FIndex, "NUL character");
            else if (line.front() == '[')
                KeyLine(line);
            else if (line.front() == '"' || line.front() == '@')
                ValueLine(line);
            else
                Refuse(FIndex, "unknown line");
        }
    }

private:
    enum class TState { NoKey, Key, RefusedKey, Deletion };

    void Refuse(size_t index, std::string reason) {
        FContent.Refused.push_back({index + 1, std::move(reason)});
    }

    void KeyLine(std::string_view line) {
        FState = TState::RefusedKey;
        if (line.size() < 2 || line.back() != ']')
            return Refuse(FIndex, "key line without closing ']'");
        auto inner = line.substr(1, line.size() - 2);
        TRegFileSection section;
        section.Remove = !inner.empty() && inner.front() == '-';
        if (section.Remove)
            inner.remove_prefix(1);
        const auto slash = inner.find('\\');
        const auto root = inner.substr(0, slash);
        if (NamesEqual(root, HiveRootName(HiveId::LocalMachine)))
            section.Hive = HiveId::LocalMachine;
        else if (NamesEqual(root, HiveRootName(HiveId::CurrentUser)))
            section.Hive = HiveId::CurrentUser;
        else
            return Refuse(FIndex, "unknown hive root '" + std::string(root) + "'");
        section.Path = slash == std::string_view::npos ? std::string() : std::string(inner.substr(slash + 1));
        if (!IsValidKeyPath(section.Path))
            return Refuse(FIndex, "invalid key path");
        FState = section.Remove ? TState::Deletion : TState::Key;
        FContent.Sections.push_back(std::move(section));
    }

    void ValueLine(std::string_view line) {
        const size_t first = FIndex;
        TRegFileEntry entry;
        std::string fault = ReadValue(line, entry);
        if (!fault.empty())
            return Refuse(first, fault);
        switch (FState) {
        case TState::NoKey:
            return Refuse(first, "value outside of a key section");
        case TState::RefusedKey:
            return Refuse(first, "value under a refused key line");
        case TState::Deletion:
            return Refuse(first, "value under a key deletion line");
        case TState::Key:
            FContent.Sections.back().Entries.push_back(std::move(entry));
            return;
        }
    }

    std::string ReadValue(std::string_view line, TRegFileEntry& entry) {
        size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (std::string fault = ReadQuoted(line, pos, entry.Name); !fault.empty()) {
            return fault;
        }
        if (!IsValidValueName(entry.Name))
            return "invalid value name";
        SkipBlanks(line, pos);
        if (pos == line.size() || line[pos] != '=')
            return "missing '=' after the value name";
        ++pos;
        SkipBlanks(line, pos);
        return ReadData(line.substr(pos), entry);
    }

    std::string ReadData(std::string_view text, TRegFileEntry& entry) {
        if (!text.empty() && text.front() == '-') {
            entry.Remove = true;
            return EndsHere(text, 1) ? std::string() : "malformed value deletion";
        }
        if (!text.empty() && text.front() == '"')
            return ReadString(text, REG_SZ, entry);
        if (StartsWithNoCase(text, "str(2):\""))
            return ReadString(text.substr(7), REG_EXPAND_SZ, entry);
        if (StartsWithNoCase(text, "dword:"))
            return ReadDword(text.substr(6), entry);
        if (StartsWithNoCase(text, "hex"))
            return ReadHex(text.substr(3), entry);
        return "unknown value form";
    }

    static std::string ReadString(std::string_view text, std::uint32_t type, TRegFileEntry& entry) {
        size_t pos = 0;
        std::string value;
        if (std::string fault = ReadQuoted(text, pos, value); !fault.empty())
            return fault;
        if (!EndsHere(text, pos))
            return "text after the closing '\"'";
        entry.Type = type;
        entry.Data = StringData(value);
        return {};
    }

    static std::string ReadDword(std::string_view text, TRegFileEntry& entry) {
        size_t pos = 0;
        SkipBlanks(text, pos);
        const size_t start = pos;
        while (pos < text.size() && HexDigit(text[pos]) >= 0)
            ++pos;
        std::uint32_t value = 0;
        if (pos == start || pos - start > 8 || !EndsHere(text, pos))
            return "malformed dword value";
        std::from_chars(text.data() + start, text.data() + pos, value, 16);
        entry.Type = REG_DWORD;
        entry.Data = DwordData(value);
        return {};
    }

    std::string ReadHex(std::string_view text, TRegFileEntry& entry) {
        std::uint32_t type = REG_BINARY;
        if (!text.empty() && text.front() == '(') {
            const auto close = text.find(')');
            const auto digits = text.substr(1, close == std::string_view::npos ? 0 : close - 1);
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), type, 16);
            if (close == std::string_view::npos || digits.empty() || digits.size() > 8 || ec != std::errc() ||
                end != digits.data() + digits.size())
                return "malformed hex type";
            text.remove_prefix(close + 1);
        }
        if (text.empty() || text.front() != ':')
            return "missing ':' after hex";
        std::string data;
        THexLine state = ReadHexLine(text.substr(1), false, data);
        while (state == THexLine::Continues && FIndex + 1 < FLines.size()) {
            const std::string_view next = TrimBlanks(FLines[++FIndex]);
            if (next.empty() || next.front() == ';')
                continue;
            if (next.front() == '#')
                return "'#' comment inside hex data continued over lines";
            if (next.find('\0') != std::string_view::npos)
                return "NUL character in hex data continued on line " + std::to_string(FIndex + 1);
            state = ReadHexLine(next, true, data);
            if (state == THexLine::Fault)
                return "malformed hex data continued on line " + std::to_string(FIndex + 1);
        }
        if (state == THexLine::Fault)
            return "malformed hex data";
        entry.Type = type;
        if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
            entry.Data = std::move(data);
            return {};
        }
        std::string decoded;
        if (!DecodeText(data, FAnsi, decoded))
            return "hex(" + std::to_string(type) + ") data is not UTF-16LE text";
        entry.Data = type == REG_MULTI_SZ ? decoded : StringData(UpToNul(decoded));
        return {};
    }

    std::vector<std::string_view> FLines;
    bool FAnsi;
    TRegFileContent& FContent;
    size_t FIndex = 0;
    TState FState = TState::NoKey;
};

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
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

std::string TypePrefix(std::uint32_t type) {
    if (type == REG_BINARY)
        return "hex:";
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
    return prefix;
}

// Text as version 5 carries it in hex: UTF-16LE. Data that is not UTF-8 never gets here (CanWriteValue).
std::string Utf16(std::string_view text) {
    std::string units;
    text::Utf8ToUtf16Le(text, units);
    return units;
}

std::string FormatValue(const TRegValue& value) {
    std::string line = value.Name.empty() ? std::string("@") : Quote(value.Name);
    line += '=';
    const std::string text = UpToNul(value.Data);
    switch (value.Type) {
    case REG_SZ:
        if (!HasLineBreak(text))
            return line + Quote(text);
        return HexValue(line + TypePrefix(REG_SZ), Utf16(StringData(text)));
    case REG_EXPAND_SZ:
        if (!HasLineBreak(text))
            return line + "str(2):" + Quote(text);
        return HexValue(line + TypePrefix(REG_EXPAND_SZ), Utf16(StringData(text)));
    case REG_MULTI_SZ:
        return HexValue(line + TypePrefix(REG_MULTI_SZ), Utf16(value.Data));
    case REG_DWORD:
        if (value.Data.size() == 4) {
            std::uint32_t v = 0;
            for (int i = 3; i >= 0; --i)
                v = (v << 8) | static_cast<unsigned char>(value.Data[static_cast<size_t>(i)]);
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "dword:%08x", v);
            return line + buffer;
        }
        break;
    }
    return HexValue(line + TypePrefix(value.Type), value.Data);
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

bool IsHeader(std::string_view line, bool unicode) {
    line = TrimBlanks(line);
    return line == RegFileHeader || (!unicode && line == AnsiHeader);
}

} // namespace

bool ParseRegFile(std::string_view text, TRegFileContent& content, std::string& error) {
    content = TRegFileContent();
    std::string converted;
    bool unicode = false;
    if (text.substr(0, 2) == Utf16Bom) {
        if (!text::Utf16LeToUtf8(text.substr(2), converted)) {
            error = "broken UTF-16 text";
            return false;
        }
        text = converted;
        unicode = true;
    } else if (text.substr(0, 3) == Utf8Bom) {
        text.remove_prefix(3);
        unicode = true;
    }
    std::vector<std::string_view> lines = SplitLines(text);
    if (lines.empty() || !IsHeader(lines[0], unicode)) {
        const bool later = std::any_of(lines.begin(), lines.end(),
                                       [&](std::string_view line) { return IsHeader(line, unicode); });
        error =
            later ? "line 1: the header is not on the first line" : "not a registry file (header missing)";
        return false;
    }
    const bool ansi = TrimBlanks(lines[0]) == AnsiHeader;
    if (ansi) {
        converted = text::Windows1252ToUtf8(text);
        lines = SplitLines(converted);
    }
    TParser(std::move(lines), ansi, content).Run();
    return true;
}

std::string FirstRefusal(const TRegFileContent& content) {
    if (content.Refused.empty())
        return {};
    return "line " + std::to_string(content.Refused.front().Line) + ": " + content.Refused.front().Reason;
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

bool CanWriteValue(std::uint32_t type, std::string_view data) {
    std::string units;
    if (type == REG_MULTI_SZ)
        return text::Utf8ToUtf16Le(data, units);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const std::string text = UpToNul(data);
        return !HasLineBreak(text) || text::Utf8ToUtf16Le(text, units);
    }
    return true;
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
