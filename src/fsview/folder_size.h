#pragma once

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

// The size of a folder as a file manager gives it: the apparent bytes of
// every file below it at any depth (directories themselves count nothing,
// every hard link counts). Walked on all cores, on the folder's own file
// system, following no link. Nothing when cancelled.
struct FolderSize {
    static std::optional<std::uint64_t> of(const QByteArray& path, const std::atomic<bool>& cancel,
                                           const std::function<void()>& poll = {}, int threads = 0);
};
