#pragma once

// The window toolkit's runtime folder for a run without XDG_RUNTIME_DIR: without one the toolkit makes a
// folder in the temporary directory and leaves it there. A private one for this run is made instead, named
// after the process, and removed with everything in it when the run ends; those of processes that were killed
// are removed when the next run starts.

#include <string>

namespace kalmora {

class TRuntimeFolder {
public:
    // Sets XDG_RUNTIME_DIR to the new folder unless it is set already.
    TRuntimeFolder();
    ~TRuntimeFolder() { Remove(); }
    TRuntimeFolder(const TRuntimeFolder&) = delete;
    TRuntimeFolder& operator=(const TRuntimeFolder&) = delete;

    // The folder made for this run; empty when none was needed or it could not be made.
    const std::string& Path() const { return FPath; }
    // Removes the folder and unsets XDG_RUNTIME_DIR; nothing when there is none.
    void Remove();

private:
    std::string FPath;
};

// Removes the runtime folders in `tempDir` that processes of this user which no longer exist left behind.
void RemoveStaleRuntimeFolders(const std::string& tempDir);

} // namespace kalmora
