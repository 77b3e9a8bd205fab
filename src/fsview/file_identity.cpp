#include "fsview/file_identity.h"

FileIdentity FileIdentity::of(const struct stat& st) {
    return {std::uint64_t(st.st_dev),         std::uint64_t(st.st_ino),          std::uint64_t(st.st_size),
            st.st_mtim.tv_sec,                std::uint32_t(st.st_mtim.tv_nsec), st.st_ctim.tv_sec,
            std::uint32_t(st.st_ctim.tv_nsec)};
}

QString FileIdentity::difference(const struct stat& st, const struct stat* ownChange) const {
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("it is no longer a regular file");
    if (!sameInode(st))
        return QStringLiteral("it was replaced by another file");
    if (size != std::uint64_t(st.st_size))
        return QStringLiteral("its size changed");
    if (mtime != st.st_mtim.tv_sec || mtimeNsec != std::uint32_t(st.st_mtim.tv_nsec))
        return QStringLiteral("it was modified");
    if (sameStatusTime(st))
        return {};
    const bool ours = ownChange && ownChange->st_ino == st.st_ino && ownChange->st_dev == st.st_dev &&
                      ownChange->st_ctim.tv_sec == st.st_ctim.tv_sec &&
                      ownChange->st_ctim.tv_nsec == st.st_ctim.tv_nsec;
    return ours ? QString() : QStringLiteral("its permissions, owner or links changed");
}
