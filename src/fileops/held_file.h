#pragma once

#include <QByteArray>

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>

// A name taken out of its folder for the moment between a check and an act:
// renamed (never replacing anything) to a private name beside it, so that
// what is checked is exactly what is then removed or moved, whatever is
// saved under the old name meanwhile. The private name says which process
// holds it and which name it came from:
//     .quarvo-held-<pid>-<random>-<name>
// so a file a killed operation left held is given its name back later
// (FolderRecovery). Goes back under its name when dropped still held.
class HeldFile {
public:
    HeldFile() = default;
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Moves name (in folder, which must stay open meanwhile) to a fresh
    // private name. 0, or the rename's errno (ENOENT: nothing there).
    int take(int folder, const QByteArray& name);
    bool held() const { return !m_private.isEmpty(); }
    const QByteArray& privateName() const { return m_private; }

    // Status of what is held, not following a link. 0 or an errno.
    int stat(struct stat& st) const;

    // Back under its name. When the name was taken again meanwhile, the file
    // stays beside it under a visible name, given in keptAs. 0 or an errno.
    int restore(QByteArray* keptAs = nullptr);
    // Removes what is held for good. 0 or an errno (still held then).
    int remove();
    // Gives it a name in another folder of the same file system, never
    // replacing a file there. 0 or an errno (EXDEV: another file system;
    // EEXIST: the name is taken); still held on failure.
    int moveTo(int folder, const QByteArray& name);

    // The private name's parts; nullopt for a name that is not one.
    struct Parsed {
        pid_t pid = 0;
        QByteArray name;
    };
    static std::optional<Parsed> parse(const QByteArray& entry);
    // Gives a held file of another process its name back, as restore() does.
    static int restoreName(int folder, const QByteArray& entry, const QByteArray& name, QByteArray* keptAs);

private:
    int m_folder = -1;
    QByteArray m_name;
    QByteArray m_private;
};
