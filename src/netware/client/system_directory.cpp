#include "netware/client/system_directory.h"

#include <QHash>
#include <QSet>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>

namespace {

QString leafName(const QString& name) {
    QString leaf = name;
    leaf.replace(QLatin1Char('.'), QLatin1Char('_'));
    return leaf;
}

bool byNameCaseless(const DirectoryObject& a, const DirectoryObject& b) {
    return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
}

QList<DirectoryObject> userObjects(const QString& org, const QList<SystemDirectory::Account>& accounts,
                                   QHash<QString, QString>& nameOfAccount,
                                   QHash<std::uint32_t, QStringList>& primaryMembers) {
    QList<DirectoryObject> users;
    QSet<std::uint32_t> seen;
    for (const SystemDirectory::Account& account : accounts) {
        if (account.uid == 0 || seen.contains(account.uid))
            continue;
        seen.insert(account.uid);
        DirectoryObject user;
        user.name = leafName(account.name) + QLatin1Char('.') + org;
        user.className = QStringLiteral("User");
        user.uid = account.uid;
        SystemDirectory::splitGecos(account.gecos, user);
        nameOfAccount.insert(account.name, user.name);
        primaryMembers[account.gid].append(user.name);
        users.append(user);
    }
    std::sort(users.begin(), users.end(), byNameCaseless);
    return users;
}

QList<DirectoryObject> groupObjects(const QString& org, const QList<SystemDirectory::Group>& groups,
                                    const QHash<QString, QString>& nameOfAccount,
                                    const QHash<std::uint32_t, QStringList>& primaryMembers) {
    QSet<QString> userNames;
    for (const QString& name : nameOfAccount)
        userNames.insert(name.toUpper());
    QList<DirectoryObject> objects;
    for (const SystemDirectory::Group& group : groups) {
        DirectoryObject object;
        object.name = leafName(group.name) + QLatin1Char('.') + org;
        if (userNames.contains(object.name.toUpper()))
            continue; // a user's private group: one container holds each name once
        object.className = QStringLiteral("Group");
        for (const QString& member : group.members) {
            const QString name = nameOfAccount.value(member);
            if (!name.isEmpty() && !object.members.contains(name))
                object.members.append(name);
        }
        for (const QString& name : primaryMembers.value(group.gid)) {
            if (!object.members.contains(name))
                object.members.append(name);
        }
        objects.append(object);
    }
    std::sort(objects.begin(), objects.end(), byNameCaseless);
    return objects;
}

} // namespace

QList<SystemDirectory::Account> SystemDirectory::readAccounts() {
    QList<Account> accounts;
    ::setpwent();
    while (const passwd* pw = ::getpwent()) {
        accounts.append({QString::fromLocal8Bit(pw->pw_name), std::uint32_t(pw->pw_uid),
                         std::uint32_t(pw->pw_gid), QString::fromLocal8Bit(pw->pw_gecos ? pw->pw_gecos : "")});
    }
    ::endpwent();
    return accounts;
}

QList<SystemDirectory::Group> SystemDirectory::readGroups() {
    QList<Group> groups;
    ::setgrent();
    while (const group* gr = ::getgrent()) {
        Group g{QString::fromLocal8Bit(gr->gr_name), std::uint32_t(gr->gr_gid), {}};
        for (char** member = gr->gr_mem; member && *member; ++member)
            g.members.append(QString::fromLocal8Bit(*member));
        groups.append(g);
    }
    ::endgrent();
    return groups;
}

QString SystemDirectory::currentAccount() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(::geteuid());
}

QByteArray SystemDirectory::accountName(std::uint32_t uid) {
    passwd entry {};
    passwd* found = nullptr;
    QByteArray buffer(16384, '\0');
    if (::getpwuid_r(uid_t(uid), &entry, buffer.data(), std::size_t(buffer.size()), &found) != 0 || !found)
        return {};
    return QByteArray(found->pw_name);
}

void SystemDirectory::splitGecos(const QString& gecos, DirectoryObject& user) {
    user.fullName = gecos.section(QLatin1Char(','), 0, 0).trimmed();
    const qsizetype lastBlank = user.fullName.lastIndexOf(QLatin1Char(' '));
    user.givenName = lastBlank < 0 ? user.fullName : user.fullName.left(lastBlank).trimmed();
    user.surname = lastBlank < 0 ? QString() : user.fullName.mid(lastBlank + 1);
}

QList<DirectoryObject> SystemDirectory::objects(const QString& organization, const QString& serverName,
                                                const QList<Account>& accounts, const QList<Group>& groups) {
    DirectoryObject org;
    org.name = organization;
    org.className = QStringLiteral("Organization");
    DirectoryObject server;
    server.name = serverName + QLatin1Char('.') + organization;
    server.className = QStringLiteral("NCP Server");
    QHash<QString, QString> nameOfAccount;
    QHash<std::uint32_t, QStringList> primaryMembers;
    QList<DirectoryObject> result{org, server};
    result += userObjects(organization, accounts, nameOfAccount, primaryMembers);
    result += groupObjects(organization, groups, nameOfAccount, primaryMembers);
    return result;
}
