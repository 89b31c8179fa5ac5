#include "TreeInstall.h"

#include "FileSystem.h"
#include "Folders.h"
#include "InstallJournal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kalmora::fs {
namespace {

constexpr mode_t NewFileMode = 0644;
constexpr mode_t NewFolderMode = 0755;

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

std::optional<struct stat> StatAt(int dir, const std::string& name, int& error) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return st;
    error = errno;
    return std::nullopt;
}

bool ExistsAt(int dir, const std::string& name) {
    int ignored = 0;
    return StatAt(dir, name, ignored).has_value();
}

// Opens the folder `name` of the open `parent` without following a link; 0 or the errno value.
int OpenFolderAt(int parent, const std::string& name, TFileDescriptor& folder) {
    TFileDescriptor opened = OpenDirectoryAt(parent, name);
    if (!opened.IsOpen())
        return errno;
    folder = std::move(opened);
    return 0;
}

// Opens `folder` (segments below the open root) without following any link; 0 or the errno value.
int OpenBelow(int root, const std::string& folder, TFileDescriptor& opened) {
    opened.Reset(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    if (!opened.IsOpen())
        return errno;
    for (size_t start = 0; start < folder.size();) {
        size_t end = folder.find('/', start);
        if (end == std::string::npos)
            end = folder.size();
        TFileDescriptor next;
        if (int err = OpenFolderAt(opened.Get(), folder.substr(start, end - start), next))
            return err;
        opened = std::move(next);
        start = end + 1;
    }
    return 0;
}

// The folder of the entries being worked on; entries of one folder follow each other in a journal.
class TFolderCursor {
public:
    explicit TFolderCursor(int root) : FRoot(root) {}
    // 0 with `dir` the open folder, or the errno value.
    int Open(const std::string& folder, int& dir) {
        if (!FFolder.IsOpen() || folder != FPath) {
            FPath = folder;
            if (int err = OpenBelow(FRoot, folder, FFolder)) {
                FFolder.Reset();
                return err;
            }
        }
        dir = FFolder.Get();
        return 0;
    }

private:
    int FRoot;
    std::string FPath;
    TFileDescriptor FFolder;
};

// Hard links are what keeps a replaced entry; a file system without them gets a copy instead.
bool LinksUnsupported(int error) {
    return error == EPERM || error == EMLINK || error == EOPNOTSUPP;
}

int RemoveEntryAt(int dir, const std::string& name, TStagedKind kind) {
    const int err = kind == TStagedKind::Folder ? RemoveTreeAt(dir, name) : RemoveAt(dir, name, 0);
    return err == ENOENT ? 0 : err;
}

// What one staged entry is made with, beside what the journal holds of it.
struct TStaging {
    mode_t Mode = 0;
    std::optional<std::pair<uid_t, gid_t>> Owner; // the replaced file's, kept when we may
};

class TTreeInstall {
public:
    TTreeInstall(std::string journalPath, TCopyFailure* failure)
        : FJournalPath(std::move(journalPath)), FFailure(failure) {}

    bool Install(const std::string& source, const std::string& target, const TOwnModeTest& hasOwnMode);
    bool Finish();

private:
    // The first failure is the one reported; what failed while cleaning up after it only follows from it.
    bool Fail(const std::string& path, int error) {
        if (FFailure && !FFailed) {
            FFailure->Path = path;
            FFailure->Error = error;
        }
        FFailed = true;
        return false;
    }
    std::string TargetPath(const TJournalEntry& entry) const {
        return FJournal.Root + "/" + Join(entry.Folder, entry.Name);
    }
    bool FailAt(const TJournalEntry& entry, int error) { return Fail(TargetPath(entry), error); }

    mode_t ModeFor(const std::string& relative, const struct stat& source, const struct stat* replaced,
                   bool folder) const;
    bool Plan(int source, int target, const std::string& folder);
    int Stage(TFolderCursor& sources, TFolderCursor& targets, size_t i);
    int StageFile(int fromDir, const std::string& fromName, int toDir, const std::string& toName,
                  const TStaging& staging);
    int StageNewFolder(int from, int to, const std::string& relative);
    int KeepReplaced(int dir, const TJournalEntry& entry);
    int SyncFolders();
    int SetState(TJournalState state);

    int RenameIntoPlace(TFolderCursor& targets, const TJournalEntry& entry);
    bool Commit();
    bool Undo(size_t renamed);
    bool Discard();
    bool Forward();
    bool RemoveKeptLinks();
    bool Back();
    bool Complete();

    std::string FJournalPath;
    TCopyFailure* FFailure;
    bool FFailed = false;
    TInstallJournal FJournal;
    std::optional<TJournalState> FOnDisk; // what the journal on disk says, when there is one
    std::vector<TStaging> FStaging;
    TFileDescriptor FRoot;
    TOwnModeTest FHasOwnMode;
    mode_t FUmask = ProcessUmask();
};

mode_t TTreeInstall::ModeFor(const std::string& relative, const struct stat& source,
                             const struct stat* replaced, bool folder) const {
    if (FHasOwnMode && FHasOwnMode(relative))
        return source.st_mode & 0777;
    if (replaced)
        return replaced->st_mode & 0777;
    return (folder ? NewFolderMode : NewFileMode) & ~FUmask;
}

bool TTreeInstall::Plan(int source, int target, const std::string& folder) {
    const std::string shownFolder = FJournal.Root + (folder.empty() ? "" : "/" + folder);
    RemoveOrphanedTemporaries(target);
    std::vector<std::string> names;
    if (int err = ListNames(source, names))
        return Fail(shownFolder, err);
    std::sort(names.begin(), names.end());
    std::vector<std::string> mergedFolders;
    for (const auto& name : names) {
        const std::string relative = Join(folder, name);
        const std::string shown = shownFolder + "/" + name;
        int err = 0;
        const auto from = StatAt(source, name, err);
        if (!from)
            return Fail(shown, err);
        const auto existing = StatAt(target, name, err);
        if (!existing && err != ENOENT)
            return Fail(shown, err);
        TJournalEntry entry{TStagedKind::File, folder, name, TemporarySiblingName(name), {}, 0};
        TStaging staging;
        if (S_ISDIR(from->st_mode)) {
            if (existing && S_ISDIR(existing->st_mode)) {
                mergedFolders.push_back(name);
                continue;
            }
            if (existing)
                return Fail(shown, ENOTDIR); // never replaced, never followed
            entry.Kind = TStagedKind::Folder;
            staging.Mode = ModeFor(relative, *from, nullptr, true);
        } else if (S_ISREG(from->st_mode) || S_ISLNK(from->st_mode)) {
            if (existing && S_ISDIR(existing->st_mode))
                return Fail(shown, EISDIR);
            entry.Kind = S_ISREG(from->st_mode) ? TStagedKind::File : TStagedKind::Link;
            entry.Size = S_ISREG(from->st_mode) ? from->st_size : 0;
            staging.Mode = ModeFor(relative, *from, existing ? &*existing : nullptr, false);
            if (existing) {
                entry.Kept = TemporarySiblingName(name);
                staging.Owner = std::make_pair(existing->st_uid, existing->st_gid);
            }
        } else {
            return Fail(shown, EINVAL); // devices, pipes and sockets have no place in a package
        }
        FJournal.Entries.push_back(std::move(entry));
        FStaging.push_back(staging);
    }
    for (const auto& name : mergedFolders) {
        TFileDescriptor from, to;
        if (int err = OpenFolderAt(source, name, from))
            return Fail(shownFolder + "/" + name, err);
        if (int err = OpenFolderAt(target, name, to))
            return Fail(shownFolder + "/" + name, err);
        if (!Plan(from.Get(), to.Get(), Join(folder, name)))
            return false;
    }
    return true;
}

int TTreeInstall::StageFile(int fromDir, const std::string& fromName, int toDir, const std::string& toName,
                            const TStaging& staging) {
    TFileDescriptor in(::openat(fromDir, fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!in.IsOpen())
        return errno;
    struct stat st {};
    if (::fstat(in.Get(), &st) != 0)
        return errno;
    TFileDescriptor out(
        ::openat(toDir, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.IsOpen())
        return errno;
    if (int err = CopyContent(in.Get(), out.Get()))
        return err;
    // Only root may give a file away; anyone else's replaced file becomes theirs, as any copy would.
    if (staging.Owner && ::geteuid() == 0 &&
        ::fchown(out.Get(), staging.Owner->first, staging.Owner->second) != 0)
        return errno;
    if (::fchmod(out.Get(), staging.Mode) != 0)
        return errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.Get(), times);
    if (int err = SyncFile(out.Get()))
        return err;
    return out.Close();
}

int CopyLinkAt(int fromDir, const std::string& fromName, int toDir, const std::string& toName) {
    std::string text(PATH_MAX + 1, '\0');
    const ssize_t n = ::readlinkat(fromDir, fromName.c_str(), text.data(), text.size());
    if (n < 0)
        return errno;
    if (static_cast<size_t>(n) >= text.size())
        return ENAMETOOLONG;
    text.resize(static_cast<size_t>(n));
    return ::symlinkat(text.c_str(), toDir, toName.c_str()) == 0 ? 0 : errno;
}

int TTreeInstall::StageNewFolder(int from, int to, const std::string& relative) {
    std::vector<std::string> names;
    if (int err = ListNames(from, names))
        return err;
    for (const auto& name : names) {
        const std::string child = Join(relative, name);
        int err = 0;
        const auto st = StatAt(from, name, err);
        if (!st)
            return err;
        if (S_ISREG(st->st_mode)) {
            err = StageFile(from, name, to, name, {ModeFor(child, *st, nullptr, false), {}});
        } else if (S_ISLNK(st->st_mode)) {
            err = CopyLinkAt(from, name, to, name);
        } else if (S_ISDIR(st->st_mode)) {
            if ((err = MakeFolderAt(to, name, 0700)) != 0)
                return err;
            TFileDescriptor subFrom, subTo;
            if ((err = OpenFolderAt(from, name, subFrom)) != 0 || (err = OpenFolderAt(to, name, subTo)) != 0)
                return err;
            err = StageNewFolder(subFrom.Get(), subTo.Get(), child);
            if (!err)
                err = SyncFile(subTo.Get());
            // Last, so that a folder without write permission could still be filled.
            if (!err && ::fchmod(subTo.Get(), ModeFor(child, *st, nullptr, true)) != 0)
                err = errno;
        } else {
            err = EINVAL;
        }
        if (err)
            return err;
    }
    return 0;
}

int TTreeInstall::KeepReplaced(int dir, const TJournalEntry& entry) {
    int err = LinkAt(dir, entry.Name, dir, entry.Kept);
    if (!LinksUnsupported(err))
        return err;
    int ignored = 0;
    const auto st = StatAt(dir, entry.Name, ignored);
    if (st && S_ISLNK(st->st_mode))
        return CopyLinkAt(dir, entry.Name, dir, entry.Kept);
    if (!st || !S_ISREG(st->st_mode))
        return err;
    return StageFile(dir, entry.Name, dir, entry.Kept, {static_cast<mode_t>(st->st_mode & 0777), {}});
}

int TTreeInstall::Stage(TFolderCursor& sources, TFolderCursor& targets, size_t i) {
    const TJournalEntry& entry = FJournal.Entries[i];
    int from = -1, to = -1;
    if (int err = sources.Open(entry.Folder, from))
        return err;
    if (int err = targets.Open(entry.Folder, to))
        return err;
    int err = 0;
    switch (entry.Kind) {
    case TStagedKind::File:
        err = StageFile(from, entry.Name, to, entry.Temp, FStaging[i]);
        break;
    case TStagedKind::Link:
        err = CopyLinkAt(from, entry.Name, to, entry.Temp);
        break;
    case TStagedKind::Folder: {
        if ((err = MakeFolderAt(to, entry.Temp, 0700)) != 0)
            break;
        TFileDescriptor source, staged;
        if ((err = OpenFolderAt(from, entry.Name, source)) != 0 ||
            (err = OpenFolderAt(to, entry.Temp, staged)) != 0)
            break;
        err = StageNewFolder(source.Get(), staged.Get(), Join(entry.Folder, entry.Name));
        if (!err)
            err = SyncFile(staged.Get());
        if (!err && ::fchmod(staged.Get(), FStaging[i].Mode) != 0)
            err = errno;
        break;
    }
    }
    if (!err && !entry.Kept.empty())
        err = KeepReplaced(to, entry);
    return err;
}

int TTreeInstall::SyncFolders() {
    std::set<std::string> folders;
    for (const auto& entry : FJournal.Entries)
        folders.insert(entry.Folder);
    for (const auto& folder : folders) {
        TFileDescriptor fd;
        if (int err = OpenBelow(FRoot.Get(), folder, fd))
            return err;
        if (int err = SyncFile(fd.Get()))
            return err;
    }
    return 0;
}

int TTreeInstall::SetState(TJournalState state) {
    FJournal.State = state;
    int err = WriteJournal(FJournalPath, FJournal);
    // A failed write may still have replaced the journal; only a read tells.
    TInstallJournal onDisk;
    if (!err)
        FOnDisk = state;
    else if (ReadJournal(FJournalPath, onDisk) == 0)
        FOnDisk = onDisk.State;
    return err;
}

int TTreeInstall::RenameIntoPlace(TFolderCursor& targets, const TJournalEntry& entry) {
    int dir = -1;
    if (int err = targets.Open(entry.Folder, dir))
        return err;
    // A new entry must not take the place of one that appeared meanwhile.
    return entry.Kept.empty() ? RenameNoReplaceAt(dir, entry.Temp, dir, entry.Name)
                              : RenameAt(dir, entry.Temp, dir, entry.Name);
}

// Every staged entry is complete and synced; a crash from here on is finished forward.
bool TTreeInstall::Commit() {
    if (int err = SetState(TJournalState::Commit)) {
        Fail(FJournalPath, err);
        Discard();
        return false;
    }
    TFolderCursor targets(FRoot.Get());
    for (size_t i = 0; i < FJournal.Entries.size(); ++i)
        if (int err = RenameIntoPlace(targets, FJournal.Entries[i])) {
            FailAt(FJournal.Entries[i], err);
            return Undo(i);
        }
    if (int err = SyncFolders()) {
        Fail(FJournal.Root, err);
        return Undo(FJournal.Entries.size());
    }
    // The whole set is in; kept links that cannot go now are removed by the next start.
    RemoveKeptLinks();
    return true;
}

// Puts back the first `renamed` entries, which were taken into place before a rename or sync failed.
bool TTreeInstall::Undo(size_t renamed) {
    // From here a crash is finished backward; should the journal not take it, forward is whole as well.
    SetState(TJournalState::Undo);
    TFolderCursor targets(FRoot.Get());
    for (size_t i = renamed; i-- > 0;) {
        const TJournalEntry& entry = FJournal.Entries[i];
        int dir = -1;
        if (targets.Open(entry.Folder, dir) != 0)
            return false;
        // Each step leaves either the old or the new entry at the target's name, never none.
        if (entry.Kept.empty()) {
            if (RenameNoReplaceAt(dir, entry.Name, dir, entry.Temp) != 0)
                return false;
            continue;
        }
        const int linked = LinkAt(dir, entry.Name, dir, entry.Temp);
        if (linked != 0 && !(LinksUnsupported(linked) && RenameAt(dir, entry.Name, dir, entry.Temp) == 0))
            return false;
        if (RenameAt(dir, entry.Kept, dir, entry.Name) != 0)
            return false;
    }
    Discard();
    return false;
}

// Removes every staged entry and kept link, with the target as it was before the install, and the journal.
bool TTreeInstall::Discard() {
    // With "commit" on disk a missing staged entry means one renamed into place, so they may only go once the
    // journal says otherwise, or is gone.
    if (FOnDisk == TJournalState::Commit && SetState(TJournalState::Undo) != 0 &&
        RemoveJournal(FJournalPath) != 0)
        return false;
    TFolderCursor targets(FRoot.Get());
    int first = 0;
    for (const auto& entry : FJournal.Entries) {
        int dir = -1;
        int err = targets.Open(entry.Folder, dir);
        if (!err)
            err = RemoveEntryAt(dir, entry.Temp, entry.Kind);
        if (!err && !entry.Kept.empty())
            err = RemoveEntryAt(dir, entry.Kept, TStagedKind::File);
        if (err && !first)
            first = err;
    }
    if (first)
        return Fail(FJournal.Root, first);
    SyncFolders();
    if (int err = RemoveJournal(FJournalPath))
        return Fail(FJournalPath, err);
    FOnDisk.reset();
    return true;
}

// Renames in what a crash left staged, once every staged entry is known complete.
bool TTreeInstall::Forward() {
    TFolderCursor targets(FRoot.Get());
    for (const auto& entry : FJournal.Entries) {
        int dir = -1;
        if (int err = targets.Open(entry.Folder, dir))
            return FailAt(entry, err);
        if (!ExistsAt(dir, entry.Temp))
            continue; // renamed in before the crash
        if (int err = RenameIntoPlace(targets, entry))
            return FailAt(entry, err);
    }
    if (int err = SyncFolders())
        return Fail(FJournal.Root, err);
    return RemoveKeptLinks();
}

// With the whole set in place: the kept links go, then the journal.
bool TTreeInstall::RemoveKeptLinks() {
    TFolderCursor targets(FRoot.Get());
    for (const auto& entry : FJournal.Entries) {
        if (entry.Kept.empty())
            continue;
        int dir = -1;
        int err = targets.Open(entry.Folder, dir);
        if (!err)
            err = RemoveEntryAt(dir, entry.Kept, TStagedKind::File);
        if (err)
            return FailAt(entry, err);
    }
    if (int err = SyncFolders())
        return Fail(FJournal.Root, err);
    if (int err = RemoveJournal(FJournalPath))
        return Fail(FJournalPath, err);
    FOnDisk.reset();
    return true;
}

// Every staged entry still there is whole, and every one that is gone was renamed into place.
bool TTreeInstall::Complete() {
    TFolderCursor targets(FRoot.Get());
    for (const auto& entry : FJournal.Entries) {
        int dir = -1;
        if (targets.Open(entry.Folder, dir) != 0)
            return false;
        int err = 0;
        if (const auto staged = StatAt(dir, entry.Temp, err)) {
            if (entry.Kind == TStagedKind::File &&
                (!S_ISREG(staged->st_mode) || staged->st_size != entry.Size))
                return false;
        } else if (err != ENOENT || (entry.Kept.empty() && !ExistsAt(dir, entry.Name))) {
            return false;
        }
    }
    return true;
}

// Puts every replaced entry back from its kept link and removes the new ones, whatever was renamed already.
bool TTreeInstall::Back() {
    if (FOnDisk != TJournalState::Undo)
        if (int err = SetState(TJournalState::Undo))
            return Fail(FJournalPath, err);
    TFolderCursor targets(FRoot.Get());
    for (const auto& entry : FJournal.Entries) {
        int dir = -1;
        if (int err = targets.Open(entry.Folder, dir))
            return FailAt(entry, err);
        int err = 0;
        if (!entry.Kept.empty()) {
            if (ExistsAt(dir, entry.Kept))
                err = RenameAt(dir, entry.Kept, dir, entry.Name);
        } else if (!ExistsAt(dir, entry.Temp)) {
            err = RemoveEntryAt(dir, entry.Name, entry.Kind);
        }
        if (err)
            return FailAt(entry, err);
    }
    return Discard();
}

bool TTreeInstall::Install(const std::string& source, const std::string& target,
                           const TOwnModeTest& hasOwnMode) {
    FHasOwnMode = hasOwnMode;
    FJournal.Root = target;
    TFileDescriptor from = OpenDirectory(source);
    if (!from.IsOpen()) {
        const int err = errno;
        return Fail(source, err);
    }
    FRoot = OpenDirectory(target);
    if (!FRoot.IsOpen()) {
        const int err = errno;
        return Fail(target, err);
    }
    if (!Plan(from.Get(), FRoot.Get(), {}))
        return false;
    if (FJournal.Entries.empty())
        return true;
    // From before the first staged entry exists, so that a crash leaves nothing nobody knows about.
    if (int err = SetState(TJournalState::Staging)) {
        if (FOnDisk)
            Discard();
        return Fail(FJournalPath, err);
    }
    TFolderCursor sources(from.Get());
    TFolderCursor targets(FRoot.Get());
    for (size_t i = 0; i < FJournal.Entries.size(); ++i)
        if (int err = Stage(sources, targets, i)) {
            FailAt(FJournal.Entries[i], err);
            Discard();
            return false;
        }
    if (int err = SyncFolders()) {
        Fail(FJournal.Root, err);
        Discard();
        return false;
    }
    return Commit();
}

bool TTreeInstall::Finish() {
    RemoveOrphanedJournalTemporaries(FJournalPath);
    if (int err = ReadJournal(FJournalPath, FJournal))
        return err == ENOENT || Fail(FJournalPath, err);
    FOnDisk = FJournal.State;
    FRoot = OpenDirectory(FJournal.Root);
    if (!FRoot.IsOpen()) {
        const int err = errno;
        return Fail(FJournal.Root, err);
    }
    switch (FJournal.State) {
    case TJournalState::Staging:
        return Discard();
    case TJournalState::Commit:
        return Complete() ? Forward() : Back();
    case TJournalState::Undo:
        return Back();
    }
    return false;
}

} // namespace

bool InstallTree(const std::string& source, const std::string& target, const std::string& journalPath,
                 const TOwnModeTest& hasOwnMode, TCopyFailure* failure) {
    if (!FinishInterruptedInstall(journalPath, failure))
        return false;
    return TTreeInstall(journalPath, failure).Install(source, target, hasOwnMode);
}

bool FinishInterruptedInstall(const std::string& journalPath, TCopyFailure* failure) {
    return TTreeInstall(journalPath, failure).Finish();
}

} // namespace kalmora::fs
