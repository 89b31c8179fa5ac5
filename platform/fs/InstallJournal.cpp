#include "InstallJournal.h"

#include "FileSystem.h"
#include "Folders.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sstream>
#include <string_view>
#include <unistd.h>

namespace kalmora::fs {
namespace {

constexpr std::string_view Header = "kalmora install journal 1";
constexpr off_t MaxJournalSize = 256 * 1024 * 1024;

constexpr std::string_view StateName(TJournalState state) {
    switch (state) {
    case TJournalState::Staging:
        return "staging";
    case TJournalState::Commit:
        return "commit";
    case TJournalState::Undo:
        return "undo";
    }
    return "";
}

// Names may hold any byte but "/" and NUL; tabs and line breaks would end a field.
std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool ParseEntry(std::string_view line, TJournalEntry& entry) {
    auto fields = SplitFields(line);
    if (fields.size() != 6 || fields[0].size() != 1)
        return false;
    const char kind = fields[0][0];
    if (kind != 'f' && kind != 'd' && kind != 'l')
        return false;
    entry.Kind = static_cast<TStagedKind>(kind);
    if (!Unescape(fields[1], entry.Folder) || !Unescape(fields[2], entry.Name) ||
        !Unescape(fields[3], entry.Temp) || !Unescape(fields[4], entry.Kept))
        return false;
    auto [end, error] = std::from_chars(fields[5].data(), fields[5].data() + fields[5].size(), entry.Size);
    if (error != std::errc() || end != fields[5].data() + fields[5].size() || entry.Size < 0)
        return false;
    // A damaged journal must never make the recovery reach outside the target.
    for (size_t start = 0; !entry.Folder.empty();) {
        size_t slash = entry.Folder.find('/', start);
        if (!IsPlainName(entry.Folder.substr(start, slash == std::string::npos ? slash : slash - start)))
            return false;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return IsPlainName(entry.Name) && IsPlainName(entry.Temp) &&
           (entry.Kept.empty() || IsPlainName(entry.Kept));
}

} // namespace

std::string FormatJournal(const TInstallJournal& journal) {
    std::string text = std::string(Header) + "\n";
    text += "state\t" + std::string(StateName(journal.State)) + "\n";
    text += "root\t" + Escape(journal.Root) + "\n";
    for (const auto& e : journal.Entries)
        text += std::string(1, static_cast<char>(e.Kind)) + "\t" + Escape(e.Folder) + "\t" + Escape(e.Name) +
                "\t" + Escape(e.Temp) + "\t" + Escape(e.Kept) + "\t" + std::to_string(e.Size) + "\n";
    text += "end\n";
    return text;
}

bool ParseJournal(const std::string& text, TInstallJournal& journal) {
    journal = TInstallJournal();
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != Header)
        return false;
    if (!std::getline(in, line) || !line.starts_with("state\t"))
        return false;
    const std::string_view state = std::string_view(line).substr(6);
    if (state == StateName(TJournalState::Staging))
        journal.State = TJournalState::Staging;
    else if (state == StateName(TJournalState::Commit))
        journal.State = TJournalState::Commit;
    else if (state == StateName(TJournalState::Undo))
        journal.State = TJournalState::Undo;
    else
        return false;
    if (!std::getline(in, line) || !line.starts_with("root\t") ||
        !Unescape(std::string_view(line).substr(5), journal.Root) || journal.Root.empty())
        return false;
    while (std::getline(in, line)) {
        if (line == "end")
            return in.peek() == std::char_traits<char>::eof();
        TJournalEntry entry;
        if (!ParseEntry(line, entry))
            return false;
        journal.Entries.push_back(std::move(entry));
    }
    return false; // the end line is missing
}

int WriteJournal(const std::string& path, const TInstallJournal& journal) {
    TFileDescriptor folder = OpenDirectory(ParentDirectory(path));
    if (!folder.IsOpen())
        return errno;
    const std::string text = FormatJournal(journal);
    const std::string name = BaseName(path);
    return WriteFileAtomically(folder.Get(), name, TemporarySiblingName(name), TReplace::Existing, true,
                               [&text](int fd) { return WriteAll(fd, text.data(), text.size()); });
}

void RemoveOrphanedJournalTemporaries(const std::string& path) {
    TFileDescriptor folder = OpenDirectory(ParentDirectory(path));
    std::vector<std::string> names;
    if (!folder.IsOpen() || ListNames(folder.Get(), names) != 0)
        return;
    const std::string suffix = "." + BaseName(path);
    for (const auto& name : names)
        if (name.ends_with(suffix) && IsOrphanedTemporaryName(name))
            ::unlinkat(folder.Get(), name.c_str(), 0);
}

int ReadJournal(const std::string& path, TInstallJournal& journal) {
    TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.IsOpen())
        return errno;
    std::string text;
    if (int err = ReadAll(fd.Get(), MaxJournalSize, text))
        return err == EFBIG ? EBADMSG : err;
    return ParseJournal(text, journal) ? 0 : EBADMSG;
}

int RemoveJournal(const std::string& path) {
    TFileDescriptor folder = OpenDirectory(ParentDirectory(path));
    if (!folder.IsOpen())
        return errno;
    if (int err = RemoveAt(folder.Get(), BaseName(path), 0); err && err != ENOENT)
        return err;
    return SyncFile(folder.Get());
}

} // namespace kalmora::fs
