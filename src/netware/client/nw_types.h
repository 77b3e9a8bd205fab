#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Types and codes of the client calls. Results are 0 for success; NetWare
// calls report 0x88xx/0x89xx codes, directory calls negative ones.
using NWCCODE = std::int32_t;
using NWDSCCODE = std::int32_t;
using NWCONN_HANDLE = std::uint32_t;
using NWDSContextHandle = std::uint32_t;
using NWDIR_HANDLE = std::uint8_t;

namespace nw {

// Context keys
constexpr int DCK_FLAGS = 1;
constexpr int DCK_NAME_CONTEXT = 3;
constexpr int DCK_TREE_NAME = 11;

// Context flags
constexpr std::uint32_t DCV_DEREF_ALIASES = 0x01;
constexpr std::uint32_t DCV_XLATE_STRINGS = 0x02;
constexpr std::uint32_t DCV_TYPELESS_NAMES = 0x04;
constexpr std::uint32_t DCV_CANONICALIZE_NAMES = 0x10;

constexpr NWCCODE SUCCESSFUL = 0;
constexpr NWCCODE ALREADY_ATTACHED = 0x8800;
constexpr NWCCODE INVALID_CONNECTION = 0x8801;
constexpr NWCCODE UNKNOWN_FILE_SERVER = 0x8847;
constexpr NWCCODE UNABLE_TO_ATTACH = 0x8884; // the tree or server cannot be reached
constexpr NWCCODE INVALID_DRIVE_NUMBER = 0x880F;
constexpr NWCCODE CLIENT_NOT_INITIALIZED = 0x88FF;
// Ours: the run's cancel flag stopped the walk that gathers the figures.
constexpr NWCCODE WALK_CANCELLED = 0x88FE;
// Ours: nothing is mounted on the folder of a volume that must be a mount point.
constexpr NWCCODE VOLUME_NOT_MOUNTED = 0x88FD;
// Ours: the walk that gathers the figures could not finish (out of descriptors).
constexpr NWCCODE WALK_FAILED = 0x88FC;
constexpr NWCCODE VOLUME_DOES_NOT_EXIST = 0x8998;
constexpr NWCCODE BAD_DIRECTORY_HANDLE = 0x899B;
constexpr NWCCODE INVALID_PATH = 0x899C;
constexpr NWCCODE NO_MORE_DIRECTORY_HANDLES = 0x899D;
constexpr NWCCODE INVALID_NAME_SPACE = 0x89BF;

constexpr NWDSCCODE ERR_NOT_ENOUGH_MEMORY = -301;
constexpr NWDSCCODE ERR_BAD_KEY = -302;
constexpr NWDSCCODE ERR_BAD_CONTEXT = -303;
constexpr NWDSCCODE ERR_NO_SUCH_ENTRY = -601;
constexpr NWDSCCODE ERR_NO_SUCH_ATTRIBUTE = -603;
constexpr NWDSCCODE ERR_INVALID_HANDLE = -322;
constexpr NWDSCCODE ERR_FAILED_AUTHENTICATION = -669; // wrong name or password
constexpr NWDSCCODE ERR_NO_LOGIN_METHOD = -670; // the tree has no way to check a password
// Ours: a name that several entries of the directory share.
constexpr NWDSCCODE ERR_AMBIGUOUS_NAME = -6001;
constexpr NWCCODE NO_MORE_ENTRIES = 0x89FF;

// Name spaces
constexpr std::uint8_t NW_NS_DOS = 0;
constexpr std::uint8_t NW_NS_LONG = 4;

// Search attributes and entry attributes
constexpr std::uint16_t SA_SUBDIR_ONLY = 0x10;
constexpr std::uint32_t A_DIRECTORY = 0x10;
constexpr std::uint32_t A_NEEDS_ARCHIVED = 0x20;

// Drive status
constexpr std::uint16_t NW_FREE_DRIVE = 0x0000;
constexpr std::uint16_t NW_NETWARE_DRIVE = 0x1000;
constexpr int kDriveCount = 26; // A to Z

} // namespace nw

// Space figures of a volume. Counts are 64-bit here so a large volume is
// never wrapped. Free blocks include those the file system keeps for root;
// available blocks are what users may still fill.
struct DIR_SPACE_INFO {
    std::uint64_t totalBlocks = 0;
    std::uint64_t freeBlocks = 0;
    std::uint64_t availableBlocks = 0;
    std::uint64_t purgeableBlocks = 0;
    std::uint64_t notYetPurgeableBlocks = 0;
    std::uint64_t totalDirEntries = 0;
    std::uint64_t availableDirEntries = 0;
    std::uint32_t sectorsPerBlock = 0;
};

struct NWVolMountNumWithName {
    std::uint32_t volumeNumber = 0;
    QString volumeName;
};

// Where a directory scan stands: searchDirNumber starts at -1 and each entry
// returned moves it on.
struct SEARCH_SEQUENCE {
    std::uint32_t volumeNumber = 0;
    std::uint32_t directoryNumber = 0;
    std::int32_t searchDirNumber = -1;
};

// One entry of a directory scan. Dates are packed (PackedDate); creatorID is
// the owner's object ID, 0 when no user of the server's tree owns it.
struct NW_ENTRY_INFO {
    std::uint32_t attributes = 0;
    std::uint64_t dataStreamSize = 0;
    std::uint32_t creatorID = 0;
    std::uint16_t creationDate = 0, modifyDate = 0, lastAccessDate = 0;
    QByteArray name;
};
