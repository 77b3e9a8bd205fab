#pragma once

#include "netware/client/site.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// This host's account database as a directory: one Organization named after
// the host holding its users, its groups and one NCP Server object.
class SystemDirectory {
public:
    struct Account {
        QString name;
        std::uint32_t uid = 0;
        std::uint32_t gid = 0;
        QString gecos;
    };
    struct Group {
        QString name;
        std::uint32_t gid = 0;
        QStringList members;
    };

    // Every account and group the host knows (getpwent/getgrent, so NSS,
    // SSSD and LDAP accounts appear too).
    static QList<Account> readAccounts();
    static QList<Group> readGroups();
    // The account running this program.
    static QString currentAccount();
    // The account name of a uid, as the system spells it; empty when none.
    static QByteArray accountName(std::uint32_t uid);

    // Root is the supervisor, not an ordinary user; a second account with a
    // uid already seen is left out. A group's members are its listed members
    // and the accounts whose primary group it is; a group named like a user
    // (a user's private group) is left out, as a container holds each name once. A "." in an account or
    // group name, which would split a dotted name, is written "_".
    static QList<DirectoryObject> objects(const QString& organization, const QString& serverName,
                                          const QList<Account>& accounts, const QList<Group>& groups);

    // "John Smith,Room 1,..." -> full name "John Smith", given "John", surname "Smith".
    static void splitGecos(const QString& gecos, DirectoryObject& user);
};
