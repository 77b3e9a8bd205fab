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
    for (const LdapObject& container : containers)
        add(container);
    for (const LdapObject& container : containers) {
        const QString name = m_nameOfDn.value(container.dn);
        m_containersIn[parentOf(name)].append(name);
    }
    m_containersKnown = true;
}

QList<DirectoryObject> LdapObjectCache::containersIn(const QString& name) const {
    QList<DirectoryObject> found;
    for (const QString& child : m_containersIn.value(name))
        found.append(m_byName.value(child).object);
    return found;
}

void LdapObjectCache::add(LdapObject object) {
    const QString name = object.object.name;
    if (const auto known = m_nameOfDn.constFind(object.dn); known != m_nameOfDn.constEnd()) {
        object.object.name = *known;
        m_byName.insert(*known, std::move(object));
    } else if (m_shared.contains(name)) {
        addTagged(std::move(object), name);
    } else if (const auto taken = m_byName.constFind(name); taken != m_byName.constEnd()) {
        addTagged(m_byName.take(name), name);
        addTagged(std::move(object), name);
    } else {
        m_nameOfDn.insert(object.dn, name);
        m_byName.insert(name, std::move(object));
    }
}

// FNV-1a: stable from run to run, unlike qHash.
std::uint32_t LdapObjectCache::tagOf(const QByteArray& dn) {
    std::uint32_t hash = 2166136261u;
    for (const char c : dn)
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    return hash;
}

QString LdapObjectCache::tagged(const QString& shared, std::uint32_t tag) {
    const QString text = QStringLiteral("{%1}").arg(tag, 8, 16, QLatin1Char('0')).toUpper();
    const qsizetype dot = shared.indexOf(QLatin1Char('.'));
    return dot < 0 ? shared + text : shared.left(dot) + text + shared.mid(dot);
}

void LdapObjectCache::addTagged(LdapObject object, const QString& shared) {
    object.object.name = tagged(shared, tagOf(object.dn));
    m_byName.insert(object.object.name, object);
    m_nameOfDn.insert(object.dn, object.object.name);
    m_shared[shared].append(QStringLiteral("%1 (%2)").arg(object.object.name, QString::fromUtf8(object.dn)));
}

const LdapObject* LdapObjectCache::find(const QString& name) const {
    const auto it = m_byName.constFind(name);
    return it == m_byName.constEnd() ? nullptr : &it.value();
}

const LdapObject* LdapObjectCache::findDn(const QByteArray& dn) const {
    const auto it = m_nameOfDn.constFind(dn);
    return it == m_nameOfDn.constEnd() ? nullptr : find(*it);
}

const QList<QByteArray>* LdapObjectCache::list(const QString& key) const {
    const auto it = m_lists.constFind(key);
    return it == m_lists.constEnd() ? nullptr : &it.value();
}

void LdapObjectCache::keepList(const QString& key, QList<QByteArray> dns) {
    m_lists.insert(key, std::move(dns));
}

void LdapObjectCache::addUser(const QByteArray& dn) {
    const LdapObject* user = findDn(dn);
    if (user && user->object.uid && !m_userByUid.contains(*user->object.uid))
        m_userByUid.insert(*user->object.uid, dn);
}

void LdapObjectCache::setUsers(const QList<QByteArray>& users) {
    m_userByUid.clear();
    for (const QByteArray& dn : users)
        addUser(dn);
    m_usersByUidKnown = true;
}

void LdapObjectCache::setUidLookups(const QList<std::uint32_t>& uids, const QList<QByteArray>& users) {
    for (const QByteArray& dn : users)
        addUser(dn);
    for (const std::uint32_t uid : uids)
        m_uidsLookedUp.insert(uid);
}

std::optional<DirectoryObject> LdapObjectCache::userOfUid(std::uint32_t uid) const {
    const auto it = m_userByUid.constFind(uid);
    const LdapObject* user = it == m_userByUid.constEnd() ? nullptr : findDn(*it);
    if (!user)
        return std::nullopt;
    return user->object;
}
