#include "netware/client/ldap_object_cache.h"

namespace {

constexpr qint64 kLifetimeMs = 120'000;

QString parentOf(const QString& name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

void LdapObjectCache::clear() {
    *this = LdapObjectCache();
}

bool LdapObjectCache::expired() const {
    return m_age.isValid() && m_age.hasExpired(kLifetimeMs);
}

void LdapObjectCache::setContainers(const QList<LdapObject>& containers) {
    clear();
    m_age.start();
    for (const LdapObject& container : containers) {
        add(container);
        m_containersIn[parentOf(container.object.name)].append(container.object.name);
    }
    m_containersKnown = true;
}

QList<DirectoryObject> LdapObjectCache::containersIn(const QString& name) const {
    QList<DirectoryObject> found;
    for (const QString& child : m_containersIn.value(name))
        found.append(m_byName.value(child).object);
    return found;
}

void LdapObjectCache::add(const LdapObject& object) {
    m_byName.insert(object.object.name, object);
}

const LdapObject* LdapObjectCache::find(const QString& name) const {
    const auto it = m_byName.constFind(name);
    return it == m_byName.constEnd() ? nullptr : &it.value();
}

const QList<DirectoryObject>* LdapObjectCache::list(const QString& key) const {
    const auto it = m_lists.constFind(key);
    return it == m_lists.constEnd() ? nullptr : &it.value();
}

void LdapObjectCache::keepList(const QString& key, const QList<DirectoryObject>& objects) {
    m_lists.insert(key, objects);
}

void LdapObjectCache::setUsers(const QList<DirectoryObject>& users) {
    m_userByUid.clear();
    for (const DirectoryObject& user : users) {
        if (user.uid && !m_userByUid.contains(*user.uid))
            m_userByUid.insert(*user.uid, user);
    }
    m_usersByUidKnown = true;
}

void LdapObjectCache::setUidLookups(const QList<std::uint32_t>& uids, const QList<DirectoryObject>& users) {
    for (const DirectoryObject& user : users) {
        if (user.uid && !m_userByUid.contains(*user.uid))
            m_userByUid.insert(*user.uid, user);
    }
    for (const std::uint32_t uid : uids)
        m_uidsLookedUp.insert(uid);
}

std::optional<DirectoryObject> LdapObjectCache::userOfUid(std::uint32_t uid) const {
    const auto it = m_userByUid.constFind(uid);
    if (it == m_userByUid.constEnd())
        return std::nullopt;
    return *it;
}
