#pragma once

#include "netware/client/ldap_schema.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// What the workstation can see: directory trees and file servers with their
// volume tables. Built from the host itself and, where present, a site file.

enum class DirectoryKind { System, Inline, Ldap };

// One object of an inline directory, keyed by its typeless dotted name.
struct DirectoryObject {
    QString name;        // dotted, upper-case, leaf first: JSMITH.SALES.ACME
    QString className;   // "Organization", "Organizational Unit", "User", "Group", ...
    std::optional<std::uint32_t> uid; // users: the object ID and the files' owner uid
    QString fullName;
    QString givenName;
    QString surname;
    QStringList members; // groups: dotted names, upper-case
    QString passwordHash; // users: salted hash for a login, may be empty
    int line = 0;        // where the site file defined it, for messages
};

struct TreeConfig {
    QString name; // upper-case, at most 24 characters
    DirectoryKind directory = DirectoryKind::Inline;
    bool isDefault = false;
    bool connected = false;
    QString identity; // who NWDSWhoAmI reports before a login; empty means [PUBLIC]
    QList<DirectoryObject> objects; // inline trees, in file order
    // ldap trees
    QString uri;          // ldap://, ldaps:// or ldapi:// URLs, separated by blanks
    QString baseDn;       // what the tree's [Root] stands for
    QString bindDn;       // the service bind; anonymous when empty
    QString passwordFile; // its password, read for each bind and wiped after
    bool startTls = false;
    QString caFile; // signs the server's certificate; empty: the system's store
    bool allowPlaintextPassword = false; // passwords may cross plain ldap:// to another host
    int timeoutSeconds = 30; // how long one request (a page, a bind) may go unanswered
    LdapSchema schema;
};

struct VolumeConfig {
    QString name;      // upper-case, at most 15 characters
    QByteArray root;   // local path of the volume's root directory
    bool mountPoint = false; // root must be a mount point: a disk of its own

    // False while a volume that must be a mount point has nothing mounted on
    // its root: the folder beneath would pass for the volume. Asked anew each time.
    bool mountedNow() const;
};

struct ServerConfig {
    QString name; // upper-case
    QList<VolumeConfig> volumes; // in table order
};

struct Site {
    QList<TreeConfig> trees;
    QList<ServerConfig> servers;
    // Where the runs are kept: a file of SQLite or a postgresql:// address;
    // empty for the default place.
    QString history;
    int historyKeepDays = 400; // runs older than this are dropped

    const TreeConfig* findTree(const QString& name) const;
    const ServerConfig* findServer(const QString& name) const;
    const TreeConfig* defaultTree() const;
};
