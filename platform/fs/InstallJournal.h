#pragma once

// The record of a tree install in progress: which entries of the target are being replaced, by which staged
// entries beside them, and which links keep the replaced ones. It lies on disk from before the first staged
// entry is made until the last kept link is gone, so that the next start can finish what a crash interrupted.

#include <string>
#include <vector>

namespace kalmora::fs {

enum class TJournalState {
    Staging, // the new entries are being written beside their targets; nothing the target uses has changed
    Commit,  // every new entry is complete and synced; they are being renamed into place
    Undo,    // a rename failed; what was renamed is being put back
};

enum class TStagedKind : char { File = 'f', Folder = 'd', Link = 'l' };

struct TJournalEntry {
    TStagedKind Kind = TStagedKind::File;
    std::string Folder; // below the root, "/" between segments; empty for the root itself
    std::string Name;   // the target entry in that folder
    std::string Temp;   // the staged new entry beside it
    std::string Kept;   // the link that keeps the replaced entry; empty when the target is new
    long long Size = 0; // what a staged file holds when it is complete
};

struct TInstallJournal {
    TJournalState State = TJournalState::Staging;
    std::string Root; // the target folder, as the install was given it
    std::vector<TJournalEntry> Entries;
};

std::string FormatJournal(const TInstallJournal& journal);
// False when `text` is no journal of ours, or a damaged one.
bool ParseJournal(const std::string& text, TInstallJournal& journal);

// Replaces the journal at `path` durably (a synced temporary file renamed over it, the folder synced).
// 0 or the errno value.
int WriteJournal(const std::string& path, const TInstallJournal& journal);
// 0 with the journal read; ENOENT when there is none, EBADMSG when it cannot be parsed, or the errno value.
int ReadJournal(const std::string& path, TInstallJournal& journal);
// Removes the temporary files that writers of the journal killed before their rename left beside it.
void RemoveOrphanedJournalTemporaries(const std::string& path);
// Removes the journal durably; 0 or the errno value (none is no error).
int RemoveJournal(const std::string& path);

} // namespace kalmora::fs
