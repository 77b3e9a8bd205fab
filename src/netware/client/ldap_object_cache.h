#pragma once

#include "netware/client/ldap_object_reader.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>

#include <cstdint>

// What an ldap tree's directory answered, kept so that a container's
// children, an object just listed and the user of a uid are answered without
// asking again: never one request per user. It lasts a couple of minutes, so
// a long session still sees what changed in the directory.
class LdapObjectCache {
public:
    void clear();
    // Past its lifetime: clear it and ask again.
    bool expired() const;

    // Every container below the base; starts the cache's life.
    void setContainers(const QList<LdapObject>& containers);
    bool hasContainers() const { return m_containersKnown; }
    QList<DirectoryObject> containersIn(const QString& name) const;

    // Two entries whose dotted names are the same are both kept, each under
    // the name with a tag made from its DN on the leaf: BOB{1A2B3C4D}.PEOPLE.
    void add(LdapObject object);
    const LdapObject* find(const QString& name) const; // upper-case dotted name
    // What an entry added before is known as.
    const LdapObject* findDn(const QByteArray& dn) const;
    // The entries a shared name stands for, "NAME (DN)" each; empty for a name of one entry.
    QStringList sharing(const QString& name) const { return m_shared.value(name); }
    // A shared name told apart by a tag made from the entry's DN: BOB{1A2B3C4D}.PEOPLE.
    static std::uint32_t tagOf(const QByteArray& dn);
    static QString tagged(const QString& shared, std::uint32_t tag);

    // A search's result under its key, as the DNs of the entries it found.
    const QList<QByteArray>* list(const QString& key) const;
    void keepList(const QString& key, QList<QByteArray> dns);
    // Every object of a known class directly in the container is held, so
    // a name missing from it is missing from the directory.
    void markListed(const QString& container) { m_listed.insert(container); }
    bool listed(const QString& container) const { return m_listed.contains(container); }

    bool hasUsersByUid() const { return m_usersByUidKnown; }
    // The first user of each uid, as the directory listed them (by DN, each added before).
    void setUsers(const QList<QByteArray>& users);
    std::optional<DirectoryObject> userOfUid(std::uint32_t uid) const;
    // Whether the user of uid is known: every user listed, or that uid looked up.
    bool knowsUid(std::uint32_t uid) const { return m_usersByUidKnown || m_uidsLookedUp.contains(uid); }
    // The users a look-up of these uids found; the others have none.
    void setUidLookups(const QList<std::uint32_t>& uids, const QList<QByteArray>& users);

private:
    void addTagged(LdapObject object, const QString& shared);

    QHash<QString, LdapObject> m_byName;
    QHash<QByteArray, QString> m_nameOfDn;
    QHash<QString, QStringList> m_shared;
    QHash<QString, QStringList> m_containersIn; // parent -> its containers, in the directory's order
    bool m_containersKnown = false;
    void addUser(const QByteArray& dn);

    // One copy of each object, in m_byName; everything else refers to it.
    QHash<QString, QList<QByteArray>> m_lists;
    QSet<QString> m_listed;
    QHash<std::uint32_t, QByteArray> m_userByUid; // the DN
    bool m_usersByUidKnown = false;
    QSet<std::uint32_t> m_uidsLookedUp;
    QElapsedTimer m_age;
};
