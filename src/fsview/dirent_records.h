#pragma once

#include <cstddef>
#include <cstdint>

// The records getdents64 fills a buffer with, read without libc's DIR.
namespace DirentRecords {

// Large enough to take a whole directory of a few hundred entries at once.
constexpr std::size_t kBufferSize = 64 * 1024;

// The fixed part of a linux_dirent64 record; the name follows it.
struct Head {
    std::uint64_t ino;
    std::int64_t off;
    std::uint16_t reclen;
    std::uint8_t type;
};
constexpr std::size_t kNameOffset = offsetof(Head, type) + 1;

inline bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace DirentRecords
