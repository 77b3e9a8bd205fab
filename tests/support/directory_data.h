#pragma once

#include "netware/client/site.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// The objects of a test directory in one place, written both as LDIF for a
// slapd (OpenLDAP's classes: inetOrgPerson with posixAccount, groupOfNames,
// device for servers) and as the objects of an inline tree, so the two trees
// hold the same objects and must answer alike.
class DirectoryData {
public:
    struct Shape {
        int users = 0;
        int groups = 0; // in the organization; the users are dealt round them as members
        int units = 1;  // organizational units UNIT001... below the organization
        bool spreadUsers = false; // users dealt round the units; else all in the first
        int subContainers = 0;    // units SUB0001... below a unit MANY of their own
        QString organization = QStringLiteral("ACME");
        std::uint32_t firstUid = 10000;
    };

    // The organization, its units, users USER00001... (uid, full, given and
    // surname), groups GROUP001..., a server FS1 and the sub-containers.
    static QList<DirectoryObject> generate(const Shape& shape);
    // Below baseDn, containers before what they hold. Names give the RDN
    // values (o=, ou=, c=, l=, dc=, cn= by class); a user needs a surname
    // (inetOrgPerson's sn), its password_hash becomes userPassword {CRYPT}.
    // known: objects loaded before, whose children these objects may be.
    static QByteArray ldif(const QList<DirectoryObject>& objects, const QString& baseDn,
                           const QList<DirectoryObject>& known = {});
    // The [tree.objects] table of a site file.
    static QString toml(const QList<DirectoryObject>& objects);
};
