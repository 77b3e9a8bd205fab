#pragma once

#include "fsview/unique_fd.h"

#include <QByteArray>

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>

// A file to copy into a folder of another file system.
struct CopyRequest {
    int source = -1;            // open for reading; the caller opened it (O_NOFOLLOW) and checked it
    struct stat sourceStat {};  // fstat of source: the size, owner, mode and times the copy gets
    int destinationFolder = -1; // O_PATH or O_RDONLY | O_DIRECTORY
    QByteArray name;            // the copy's name there: one component, not "", "." or ".."; never replaced
    // Called once the copy is written, flushed and checked, right before it
    // takes the name (to set aside a file it replaces): 0 to go on, or an
    // errno that ends the copy. May be empty.
    std::function<int()> beforePlacing;
    // Called now and then with how far into the file the copy is, holes
    // included: it ends at sourceStat.st_size. May be empty.
    std::function<void(std::uint64_t done)> progress;
    const std::atomic<bool>* cancel = nullptr; // once set: stop and leave nothing
};

struct CopyResult {
    // 0: the copy is in place under its name, on disk. Otherwise an errno,
    // that of the first step that failed: ECANCELED when cancelled, EEXIST
    // when the name is taken, EINVAL for a name that is
    // not one component, EIO when the source changed while being copied or
    // the copy came out short, EFBIG, ENOSPC, ... An error leaves no file of
    // ours in the folder, except one already placed when flushing the
    // folder failed or the name no longer held it (ESTALE): the caller
    // keeps its source either way.
    int error = 0;
    UniqueFd placed; // on success: an O_PATH descriptor of the placed copy
};

// Copies the source into the folder so that nothing is lost whatever
// happens meanwhile, even a kill: the copy is written unnamed (O_TMPFILE)
// or, where the file system has none, under a name of this process's own
// (".quarvo-copy-<pid>-<random>") that it removes itself on failure; what
// a killed copy left there is reported by FolderRecovery, never removed.
// Holes stay holes. The copy gets the source's mode, extended attributes
// (ACLs included), times and, as root, owner; set-user-ID and set-group-ID
// only when the owner is the source's, as mv does. It is flushed and
// checked before it takes the name, which it never takes from another
// file. A symbolic link at the name is never followed. Needs SIGXFSZ
// ignored, so a file size limit gives EFBIG rather than a kill.
CopyResult copyFileInto(const CopyRequest& request);

// Gives a copy placed earlier (copy: a descriptor of it, O_PATH will do)
// one more name in the folder, refusing a taken name. Files that were hard
// links of each other stay so.
CopyResult linkCopyInto(int copy, int destinationFolder, const QByteArray& name);

// The process that named entry as its unfinished copy: its pid, 0 for the
// names of older versions (".quarvo-move-..."), nullopt for any other name.
std::optional<pid_t> copyTemporaryOwner(const QByteArray& entry);
