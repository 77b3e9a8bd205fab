#include "sizetree/size_tree_builder.h"

#include <cstring>

namespace {

// A file as its directory's record holds it: these figures, then its name.
struct FileRecord {
    std::uint64_t size;
    std::uint64_t allocated;
    std::int64_t mtime;
    std::int64_t ctime;
    std::uint64_t inode;
    std::uint64_t device;
    std::uint32_t uid;
    std::uint32_t links;
    std::uint32_t mtimeNsec;
    std::uint32_t ctimeNsec;
    std::uint32_t nameSize;
};

} // namespace

void SizeTreeBuilder::recordFile(const WalkedFile& file, QByteArrayView name, QByteArray& record) {
    const FileRecord figures{file.size,  file.allocated, file.mtime,     file.ctime,
                             file.inode, file.device,    file.uid,       file.links,
                             file.mtimeNsec, file.ctimeNsec, std::uint32_t(name.size())};
    record.append(reinterpret_cast<const char*>(&figures), sizeof figures);
    record.append(name.data(), name.size());
}

void SizeTreeBuilder::add(const WalkedDirectory& directory, QByteArrayView startName) {
    const std::size_t depth = std::size_t(std::max(0, directory.depth));
    if (m_folders.size() > depth)
        m_folders.resize(depth);
    const SizeTree::Index parent = m_folders.empty() ? SizeTree::kNone : m_folders.back();
    const OwnInode& own = directory.own;
    SizeTree::Item item;
    item.size = own.size;
    item.allocated = own.allocated;
    item.mtime = own.mtime;
    item.inode = directory.inode;
    item.uid = own.uid;
    const SizeTree::Index folder = m_tree.addFolder(
        parent, depth == 0 ? startName : QByteArrayView(directory.name), item, directory.device);
    m_folders.push_back(folder);
    addFiles(folder, directory.record);
}

void SizeTreeBuilder::addFiles(SizeTree::Index folder, const QByteArray& record) {
    qsizetype at = 0;
    while (at + qsizetype(sizeof(FileRecord)) <= record.size()) {
        FileRecord file;
        std::memcpy(&file, record.constData() + at, sizeof file);
        at += sizeof file;
        const QByteArrayView name(record.constData() + at, file.nameSize);
        at += file.nameSize;
        const bool again = file.links > 1 && !m_linked.insert({file.device, file.inode}).second;
        const SizeTree::Item item{file.size, file.allocated, file.mtime,     file.inode,
                                  file.ctime, file.uid,      file.mtimeNsec, file.ctimeNsec};
        m_tree.addFile(folder, name, item, again, file.links > 1);
    }
}
