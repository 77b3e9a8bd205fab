// Site files as an administrator might write them, or mistype them: the
// byte check alone passes or refuses with a line, and SiteFile::parse (which
// makes that check first) either gives a site that holds only what the
// reader vouches for, or refuses with a SiteFileError naming the file, a
// line within it (0: none) and what is wrong. Any other exception, crash or
// sanitizer report is a fault.
#include "netware/client/site_file.h"
#include "netware/client/site_file_guard.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "%s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

// The file's contents in memory, under a path the parser can open.
QString fileWith(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("site.toml", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size))
        fail("cannot write the memory file");
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

void checkRefusal(const SiteFileError& error, const QString& path, const QByteArray& bytes) {
    if (error.path() != path)
        fail("the error names another file:", error.path());
    if (error.what_().trimmed().isEmpty() || error.message().trimmed().isEmpty())
        fail("an error without a message at line", QString::number(error.line()));
    if (error.line() < 0 || error.line() > bytes.count('\n') + 1)
        fail("an error at a line outside the file:", error.message());
}

bool hasControlOrSeparator(const QString& name, const QString& separators) {
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || separators.contains(c))
            return true;
    }
    return false;
}

// What the reader promises of every site it returns.
void checkSite(const Site& site) {
    QSet<QString> trees;
    int defaults = 0;
    for (const TreeConfig& tree : site.trees) {
        if (tree.name.trimmed().isEmpty() || tree.name.size() > 24 ||
            hasControlOrSeparator(tree.name, "\\/"))
            fail("a tree name the reader should have refused:", tree.name);
        if (trees.contains(tree.name))
            fail("a tree defined twice:", tree.name);
        trees.insert(tree.name);
        defaults += tree.isDefault ? 1 : 0;
        if (tree.directory != DirectoryKind::Inline && !tree.objects.isEmpty())
            fail("objects on a tree that is not inline:", tree.name);
        if (tree.directory == DirectoryKind::Ldap && (tree.uri.isEmpty() || tree.baseDn.isEmpty()))
            fail("an ldap tree without its address or base:", tree.name);
        QHash<QString, QString> classes;
        for (const DirectoryObject& object : tree.objects) {
            if (object.name.isEmpty() || object.name.split('.').contains(QString()) ||
                classes.contains(object.name))
                fail("an object name the reader should have refused:", object.name);
            if ((object.className == "User") != object.uid.has_value())
                fail("a uid on an object that is not a user, or a user without one:", object.name);
            if (object.className != "Group" && !object.members.isEmpty())
                fail("members of an object that is not a group:", object.name);
            classes.insert(object.name, object.className);
        }
        static const QStringList containers = {"Organization", "Organizational Unit", "Country",
                                               "Locality"};
        for (const DirectoryObject& object : tree.objects) {
            const qsizetype dot = object.name.indexOf('.');
            if (dot >= 0 && !containers.contains(classes.value(object.name.mid(dot + 1))))
                fail("an object outside any container of the tree:", object.name);
            if (dot < 0 && !containers.contains(object.className))
                fail("an object that is not a container at the top of the tree:", object.name);
            for (const QString& member : object.members) {
                if (!classes.contains(member))
                    fail("a member that is not an object of the tree:", member);
            }
        }
        if (tree.directory == DirectoryKind::Inline && !tree.identity.isEmpty() &&
            !classes.contains(tree.identity))
            fail("an identity that is not an object of the tree:", tree.identity);
    }
    if (defaults > 1)
        fail("more than one default tree");
    QSet<QString> servers;
    for (const ServerConfig& server : site.servers) {
        if (server.name.trimmed().isEmpty() || hasControlOrSeparator(server.name, "\\/") ||
            servers.contains(server.name))
            fail("a server name the reader should have refused:", server.name);
        servers.insert(server.name);
        QSet<QString> volumes;
        for (const VolumeConfig& volume : server.volumes) {
            bool blank = false;
            for (const QChar c : volume.name)
                blank = blank || c.isSpace();
            if (volume.name.isEmpty() || volume.name.size() > 15 || blank ||
                hasControlOrSeparator(volume.name, "\\/:,") || volumes.contains(volume.name))
                fail("a volume name the reader should have refused:", volume.name);
            volumes.insert(volume.name);
            if (!volume.root.startsWith('/'))
                fail("a volume root that is not absolute:", QString::fromUtf8(volume.root));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = fileWith(data, size);
    try {
        SiteFileGuard::checkBytes(path, bytes);
    } catch (const SiteFileError& error) {
        checkRefusal(error, path, bytes);
        if (error.line() < 1)
            fail("a byte refused without its line:", error.message());
    }
    try {
        checkSite(SiteFile::parse(path));
    } catch (const SiteFileError& error) {
        checkRefusal(error, path, bytes);
    }
    return 0;
}
