#pragma once

#include "fsview/unique_fd.h"

#include <QByteArray>

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>

// A file to copy into a folder of another file system.
struct CopyRequest {
    int source = -1;            // open for reading; the caller opened it (O_NOFOLLOW) and checked it
    struct stat sourceStat {};  // fstat of source: the size, owner, mode and times the copy gets
    int destinationFolder = -1; // O_PATH or O_RDONLY | O_DIRECTORY
    QByteArray name;            // the copy's name there: one component, not "", "." or ".."
    bool overwrite = false;     // replace a file of that name (in one rename, never deleted first)
    // Called now and then with how far into the file the copy is, holes
    // included: it ends at sourceStat.st_size. May be empty.
    std::function<void(std::uint64_t done)> progress;
    const std::atomic<bool>* cancel = nullptr; // once set: stop and leave nothing
};

struct CopyResult {
    // 0: the copy is in place under its name, on disk. Otherwise an errno,
    // that of the first step that failed: ECANCELED when cancelled, EEXIST
    // when the name is taken and not overwriting, EINVAL for a name that is
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
// or, where the file system has none, under a ".quarvo-move-" name that a
// later such copy into that folder removes once a day old (replacing a
// file also takes such a name for the moment between link and rename).
// Holes stay holes. The copy gets the source's mode, extended attributes
// (ACLs included), times and, as root, owner; set-user-ID and set-group-ID
// only when the owner is the source's, as mv does. It is flushed and
// checked before it takes the name. A symbolic link at the name is never
// followed. Needs SIGXFSZ ignored, so a file size limit gives EFBIG
// rather than a kill.
CopyResult copyFileInto(const CopyRequest& request);

// Gives a copy placed earlier (copy: a descriptor of it, O_PATH will do)
// one more name in the folder, placed as copyFileInto places: a taken name
// refused unless overwrite, then replaced in one rename. Files that were
// hard links of each other stay so.
CopyResult linkCopyInto(int copy, int destinationFolder, const QByteArray& name, bool overwrite);

// Removes the regular files named ".quarvo-move-" and letters or digits
// (the temporaries a killed copy left) that were last modified more than a
// day before now, from the folder (O_PATH will do). Never follows a link.
// It reads the whole folder: once per folder of a move is enough.
void removeStaleMoveTemporaries(int folder, std::time_t now);
