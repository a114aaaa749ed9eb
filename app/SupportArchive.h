// The support bundle's archive writer: packs every file of the log folder
// into one ZIP file (PKWARE format through libzip), one entry per file named
// by the file's name alone, with the file's modification time in DOS form.
// Entries whose names end in an already-compressed extension are stored,
// every other entry is deflated. Qt-free; called by the support dialog on
// the user-interface thread; any thread may call it for its own files.
#pragma once

#include <string>
#include <vector>

namespace app {

// True when `name` ends, ignoring letter case, in ".Z", ".zip", ".zoo",
// ".arc", ".lzh", ".arj", ".gz" or ".tgz": such an entry is stored.
bool IsStoredInArchive(const std::string& name);

struct SupportArchiveResult {
    bool written = false;              // the archive was created and closed
    std::vector<std::string> entries;  // file names added, in folder-listing order
    std::vector<std::string> skipped;  // files that could not be read
    std::string error;                 // why it was not written
};

// Writes `zipPath` (replacing an existing file) from every regular file of
// `logFolder`, in the order of the folder listing. A file that cannot be
// read, and anything that is not a regular file (a symbolic link, a pipe),
// is left out and the others are still added.
SupportArchiveResult WriteSupportArchive(const std::string& logFolder, const std::string& zipPath);

}  // namespace app
