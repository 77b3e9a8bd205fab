#include "netware/client/ldap_directory.h"

#include "netware/client/password_file.h"
#include "netware/client/secret_bytes.h"

#include <ldap.h>

#include <algorithm>
#include <vector>

namespace {

// An unreachable server is not asked again on every call (the file reports
// ask for owners often); a login always asks.
constexpr qint64 kRetryAfterMs = 30'000;

// The attributes a leaf is usually named by; other leaves are found by
// listing their container.
constexpr const char* kLeafNaming[] = {"cn", "uid"};

QString parentOf(const QString& name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

// What a leaf may have been named: a "_" stands for itself or a "." (so both
// of dot.ted and dot_ted are found and told apart), a "+" may have joined the
// values of a multi-valued RDN.
QList<QByteArray> leafPatterns(const QString& value) {
    QByteArrayList pieces;
    for (const QString& piece : value.split(QLatin1Char('_')))
        pieces.append(LdapNames::escapeFilterValue(piece));
    QByteArray pattern = pieces.join('*');
    while (pattern.contains("**"))
        pattern.replace("**", "*");
    QList<QByteArray> patterns{pattern};
    if (const qsizetype plus = value.indexOf(QLatin1Char('+')); plus > 0)
        patterns.append(LdapNames::escapeFilterValue(value.left(plus)));
    return patterns;
}

QString listKey(const QString& base, DirectoryBackend::Scope scope, const QString& className) {
    return base + QLatin1Char('\n') + QString::number(int(scope)) + QLatin1Char('\n') + className;
}

LdapConnection::Scope ldapScope(DirectoryBackend::Scope scope) {
    return scope == DirectoryBackend::Scope::OneLevel ? LdapConnection::Scope::OneLevel
                                                      : LdapConnection::Scope::Subtree;
}

} // namespace

LdapDirectory::LdapDirectory(TreeConfig tree)
    : m_tree(std::move(tree)), m_reader(m_tree.schema, m_tree.baseDn) {}

LdapDirectory::~LdapDirectory() = default;

void LdapDirectory::fail(NWDSCCODE code, const QString& text) const {
    m_failure = {code, text};
}

void LdapDirectory::failFrom(const LdapConnection& connection, NWDSCCODE code) const {
    fail(code, connection.errorText());
}

QString LdapDirectory::identity() const {
    return m_loginName.isEmpty() ? m_tree.identity : m_loginName;
}

bool LdapDirectory::openAsTree(LdapConnection& connection) const {
    bool opened = false;
    if (m_tree.passwordFile.isEmpty()) {
        opened = connection.open(m_tree.bindDn.toUtf8(), nullptr, 0);
    } else {
        PasswordFile password(m_tree.passwordFile);
        if (!password.ok()) {
            fail(nw::UNABLE_TO_ATTACH, m_tree.uri + QStringLiteral(": ") + password.why());
            return false;
        }
        opened = connection.open(m_tree.bindDn.toUtf8(), password.data(), password.size());
    }
    if (!opened) {
        failFrom(connection, nw::UNABLE_TO_ATTACH);
        m_connectFailure = m_failure;
        m_sinceConnectFailure.start();
    }
    return opened;
}

void LdapDirectory::setWaitControl(const std::atomic<bool>* cancel, std::function<void()> poll) {
    m_cancel = cancel;
    m_poll = std::move(poll);
    if (m_connection)
        m_connection->setWaitControl(m_cancel, m_poll);
}

bool LdapDirectory::connect(bool retry) const {
    if (m_connection && m_connection->isOpen())
        return true;
    if (!retry && m_sinceConnectFailure.isValid() && !m_sinceConnectFailure.hasExpired(kRetryAfterMs)) {
        m_failure = m_connectFailure;
        return false;
    }
    auto connection = std::make_unique<LdapConnection>(m_tree);
    connection->setWaitControl(m_cancel, m_poll);
    if (!openAsTree(*connection))
        return false;
    m_sinceConnectFailure.invalidate();
    m_connection = std::move(connection);
    // A new connection binds as the tree says, whoever had logged in.
    if (!m_loginName.isEmpty()) {
        m_loginName.clear();
        m_cache.clear();
    }
    return true;
}

std::optional<QList<LdapObject>> LdapDirectory::fetch(const QByteArray& baseDn, LdapConnection::Scope scope,
                                                      const QByteArray& filter) const {
    QList<LdapObject> found;
    if (!fetchEach(baseDn, scope, filter, [&](LdapObject&& object) { found.append(std::move(object)); },
                   [&] { found.clear(); }))
        return std::nullopt;
    return found;
}

bool LdapDirectory::fetchEach(const QByteArray& baseDn, LdapConnection::Scope scope, const QByteArray& filter,
                              const std::function<void(LdapObject&&)>& each, const std::function<void()>& restart,
                              const QList<QByteArray>& attributes) const {
    return fetchEach(QList<LdapConnection::Query>{{baseDn, scope, filter}}, each, restart, attributes);
}

bool LdapDirectory::fetchEach(const QList<LdapConnection::Query>& queries,
                              const std::function<void(LdapObject&&)>& each, const std::function<void()>& restart,
                              const QList<QByteArray>& attributes) const {
    const QList<QByteArray> asked = attributes.isEmpty() ? m_reader.schema().attributes() : attributes;
    for (int attempt = 0;; ++attempt) {
        const bool kept = m_connection && m_connection->isOpen();
        if (!connect(attempt > 0))
            return false;
        if (attempt > 0)
            restart();
        if (m_connection->searchEach(queries, asked, [&](const LdapEntry& entry) {
                if (std::optional<LdapObject> object = m_reader.read(entry))
                    each(std::move(*object));
            }))
            return true;
        // A dropped connection is made again once; a server that hangs is not waited for twice.
        const bool lost = m_connection->unreachable() && m_connection->errorCode() != LDAP_TIMEOUT;
        failFrom(*m_connection, m_connection->errorCode() == LDAP_NO_SUCH_OBJECT ? nw::ERR_NO_SUCH_ENTRY
                                                                                 : nw::UNABLE_TO_ATTACH);
        if (!lost || !kept || attempt > 0)
            return false;
        m_connection.reset(); // the server dropped it, perhaps idle too long
    }
}

bool LdapDirectory::loadContainers() const {
    const QByteArray baseDn = m_tree.baseDn.toUtf8();
    const std::optional<QList<LdapObject>> found =
        fetch(baseDn, LdapConnection::Scope::Subtree, m_reader.schema().containerFilter());
    if (!found) {
        if (m_failure.code == nw::ERR_NO_SUCH_ENTRY)
            fail(nw::ERR_NO_SUCH_ENTRY, QStringLiteral("%1: base %2 does not exist").arg(m_tree.uri, m_tree.baseDn));
        return false;
    }
    QList<LdapObject> containers = *found;
    containers.removeIf([](const LdapObject& o) { return !isContainerClass(o.object.className); });
    m_cache.setContainers(containers);
    return true;
}

bool LdapDirectory::ready(bool mayRefresh) const {
    if (mayRefresh && m_cache.expired())
        m_cache.clear();
    return m_cache.hasContainers() || loadContainers();
}

std::optional<QByteArray> LdapDirectory::dnOfContainer(const QString& name) const {
    if (name.isEmpty())
        return m_tree.baseDn.toUtf8();
    const LdapObject* known = m_cache.find(name);
    if (!known || !isContainerClass(known->object.className))
        return std::nullopt;
    return known->dn;
}

bool LdapDirectory::isContainer(const QString& base) const {
    m_failure = {};
    if (!ready(true))
        return false;
    return dnOfContainer(LdapNames::upper(base)).has_value();
}

QList<DirectoryObject> LdapDirectory::containers(const QString& base) const {
    m_failure = {};
    if (!ready(true))
        return {};
    return m_cache.containersIn(LdapNames::upper(base));
}

const QList<QByteArray>* LdapDirectory::listed(const QString& base, Scope scope, const QString& className) const {
    m_failure = {};
    if (!ready(true))
        return nullptr;
    const QString container = LdapNames::upper(base);
    const QString key = listKey(container, scope, className);
    if (const QList<QByteArray>* kept = m_cache.list(key))
        return kept;
    const QByteArray filter = m_reader.schema().filterFor(className);
    const std::optional<QByteArray> baseDn = dnOfContainer(container);
    if (filter.isEmpty() || !baseDn)
        return nullptr;
    // Straight into the cache: a list of 100,000 users is held once.
    QList<QByteArray> kept;
    const bool read = fetchEach(*baseDn, ldapScope(scope), filter, [&](LdapObject&& object) {
        // A subtree search holds its base; a filter may catch a class that another one wins.
        if (object.object.name == container || (!className.isEmpty() && object.object.className != className))
            return;
        kept.append(object.dn);
        m_cache.add(std::move(object));
    }, [&] { kept.clear(); });
    if (!read)
        return nullptr;
    m_cache.keepList(key, std::move(kept));
    if (scope == Scope::OneLevel && className.isEmpty())
        m_cache.markListed(container);
    return m_cache.list(key);
}

QList<DirectoryObject> LdapDirectory::search(const QString& base, Scope scope, const QString& className) const {
    const QList<QByteArray>* dns = listed(base, scope, className);
    return dns ? cachedObjects(*dns) : QList<DirectoryObject>();
}

// A container's list is kept: what is asked next (full names, a group's
// members) is about its objects. A subtree's list not yet kept is read
// straight through, never into the cache: an All Owners run over 100,000
// users holds their names and uids only. Names the list or the cache share
// are told apart as the cache would.
QList<DirectoryBackend::Named> LdapDirectory::named(const QString& base, Scope scope, const QString& className) const {
    m_failure = {};
    if (!ready(true))
        return {};
    const QString container = LdapNames::upper(base);
    QList<Named> found;
    const QList<QByteArray>* kept = m_cache.list(listKey(container, scope, className));
    if (!kept && scope == Scope::OneLevel && !(kept = listed(base, scope, className)))
        return {};
    if (kept) {
        found.reserve(kept->size());
        for (const QByteArray& dn : *kept) {
            if (const LdapObject* object = m_cache.findDn(dn))
                found.append({object->object.name, object->object.uid});
        }
        return found;
    }
    const QByteArray filter = m_reader.schema().filterFor(className);
    const std::optional<QByteArray> baseDn = dnOfContainer(container);
    if (filter.isEmpty() || !baseDn)
        return {};
    QList<std::uint32_t> tags; // of each entry found, should its name turn out shared
    const bool read = fetchEach(*baseDn, ldapScope(scope), filter, [&](LdapObject&& object) {
        if (object.object.name == container || (!className.isEmpty() && object.object.className != className))
            return;
        QString& name = object.object.name;
        const std::uint32_t tag = LdapObjectCache::tagOf(object.dn);
        if (const LdapObject* known = m_cache.findDn(object.dn))
            name = known->object.name;
        else if (m_cache.find(name) || !m_cache.sharing(name).isEmpty())
            name = LdapObjectCache::tagged(name, tag);
        tags.append(tag);
        found.append({std::move(name), object.object.uid});
    }, [&] {
        found.clear();
        tags.clear();
    }, m_reader.schema().classAndUidAttributes());
    if (read)
        tagShared(found, tags);
    return read ? found : QList<Named>();
}

// Entries of the list that share a name get the cache's tags: sorted by a
// hash of the name, only neighbours need comparing.
void LdapDirectory::tagShared(QList<Named>& found, const QList<std::uint32_t>& tags) {
    std::vector<std::pair<std::size_t, qsizetype>> byHash;
    byHash.reserve(std::size_t(found.size()));
    for (qsizetype i = 0; i < found.size(); ++i)
        byHash.emplace_back(qHash(found[i].name), i);
    std::sort(byHash.begin(), byHash.end());
    QList<qsizetype> shared;
    for (std::size_t i = 0; i < byHash.size(); ++i) {
        for (std::size_t j = i + 1; j < byHash.size() && byHash[j].first == byHash[i].first; ++j) {
            if (found[byHash[i].second].name == found[byHash[j].second].name)
                shared << byHash[i].second << byHash[j].second;
        }
    }
    std::sort(shared.begin(), shared.end());
    shared.erase(std::unique(shared.begin(), shared.end()), shared.end());
    for (const qsizetype at : std::as_const(shared))
        found[at].name = LdapObjectCache::tagged(found[at].name, tags[at]);
}

LdapConnection::Query LdapDirectory::lookUpQuery(const QStringList& leaves, const QByteArray& containerDn) const {
    QByteArray naming;
    for (const QString& leaf : leaves) {
        for (const QByteArray& value : leafPatterns(LdapNames::leafValue(leaf))) {
            for (const char* attribute : kLeafNaming)
                naming += QByteArray("(") + attribute + '=' + value + ')';
        }
    }
    return leavesQuery(containerDn, naming);
}

// Objects of any known class directly under the container that match any of the terms.
LdapConnection::Query LdapDirectory::leavesQuery(const QByteArray& containerDn, const QByteArray& terms) const {
    return {containerDn, LdapConnection::Scope::OneLevel, "(&" + m_reader.schema().filterFor({}) + "(|" + terms + "))"};
}

void LdapDirectory::lookUp(const QList<LdapConnection::Query>& queries) const {
    fetchEach(queries, [&](LdapObject&& object) { m_cache.add(std::move(object)); }, [] {});
}

std::optional<DirectoryObject> LdapDirectory::find(const QString& name) const {
    const LdapObject* known = held(name);
    return known ? std::optional<DirectoryObject>(objectOf(*known)) : std::nullopt;
}

// The cache's entry of the name, looked up in the directory when it is not
// held yet; null when there is none or the directory failed.
const LdapObject* LdapDirectory::held(const QString& name) const {
    m_failure = {};
    const QString wanted = LdapNames::upper(name);
    if (wanted.isEmpty() || !ready(false))
        return nullptr;
    if (const LdapObject* known = m_cache.find(wanted))
        return known;
    const QString parent = parentOf(wanted);
    const std::optional<QByteArray> parentDn = dnOfContainer(parent);
    if (parentDn && !m_cache.listed(parent) && m_cache.sharing(wanted).isEmpty()) {
        lookUp({lookUpQuery({wanted.section(QLatin1Char('.'), 0, 0)}, *parentDn)});
        if (m_failure.code == 0 && !m_cache.find(wanted))
            search(parent, Scope::OneLevel, {}); // named otherwise, or not there: the whole container once
    }
    if (const LdapObject* known = m_cache.find(wanted))
        return known;
    if (const QStringList sharing = m_cache.sharing(wanted); !sharing.isEmpty() && m_failure.code == 0)
        fail(nw::ERR_AMBIGUOUS_NAME, QStringLiteral("%1 is the name of %2 entries; name one of them: %3")
                                         .arg(wanted, QString::number(sharing.size()), sharing.join(QStringLiteral(", "))));
    return nullptr;
}

QList<DirectoryObject> LdapDirectory::cachedObjects(const QList<QByteArray>& dns) const {
    QList<DirectoryObject> objects;
    objects.reserve(dns.size());
    for (const QByteArray& dn : dns) {
        if (const LdapObject* object = m_cache.findDn(dn))
            objects.append(objectOf(*object));
    }
    return objects;
}

// A group's members named as the cache knows them: a name two entries
// share comes with the tag of the one the group lists.
DirectoryObject LdapDirectory::objectOf(const LdapObject& held) const {
    DirectoryObject object = held.object;
    for (const QByteArray& dn : held.memberDns) {
        if (const QString name = memberName(dn); !name.isEmpty())
            object.members.append(name);
    }
    return object;
}

// Empty for a member outside the tree's base.
QString LdapDirectory::memberName(const QByteArray& dn) const {
    if (const LdapObject* known = m_cache.findDn(dn))
        return known->object.name;
    const std::optional<LdapNames::Placed> placed = m_reader.names().place(dn);
    return placed ? placed->name : QString();
}

// Each member is looked up by its own DN's naming value under its own
// container, so the entry the group lists is the one that is found, even
// where another entry's name reads the same.
std::optional<QStringList> LdapDirectory::membersOf(const QString& name) const {
    const LdapObject* group = held(name);
    if (!group)
        return std::nullopt;
    const QList<QByteArray> dns = group->memberDns; // the cache may grow while they are fetched
    fetchByDn(dns);
    if (m_failure.code != 0)
        return std::nullopt;
    QStringList members;
    for (const QByteArray& dn : dns) {
        if (const QString name = memberName(dn); !name.isEmpty())
            members.append(name);
    }
    return members;
}

void LdapDirectory::fetchByDn(const QList<QByteArray>& dns) const {
    constexpr qsizetype kLeavesPerSearch = 100;
    QHash<QByteArray, QByteArrayList> termsByParent;
    QByteArrayList parents; // in the order first met
    for (const QByteArray& dn : dns) {
        if (m_cache.findDn(dn))
            continue;
        // Outside the base, or in a container that is gone: no entry to find.
        const std::optional<LdapNames::Placed> placed = m_reader.names().place(dn);
        const std::optional<QByteArray> parent =
            placed && !placed->name.isEmpty() ? dnOfContainer(parentOf(placed->name)) : std::nullopt;
        const QByteArray parentText = LdapNames::parentDn(dn);
        const std::optional<QList<LdapNames::Rdn>> leaf =
            LdapNames::parse(dn.left(dn.size() - parentText.size() - 1));
        if (!parent || parentText.isEmpty() || !leaf || leaf->isEmpty())
            continue;
        if (!termsByParent.contains(*parent))
            parents.append(*parent);
        termsByParent[*parent].append("(" + leaf->first().attribute.toUtf8() + '=' +
                                      LdapNames::escapeFilterValue(leaf->first().value) + ')');
    }
    QList<LdapConnection::Query> queries;
    for (const QByteArray& parent : std::as_const(parents)) {
        const QByteArrayList& terms = termsByParent[parent];
        for (qsizetype at = 0; at < terms.size(); at += kLeavesPerSearch)
            queries.append(leavesQuery(parent, terms.mid(at, kLeavesPerSearch).join()));
    }
    if (!queries.isEmpty())
        lookUp(queries);
}

void LdapDirectory::prefetchUids(const QList<std::uint32_t>& uids) const {
    constexpr qsizetype kUidsPerSearch = 100;
    m_failure = {};
    if (!ready(false))
        return;
    QList<std::uint32_t> unknown;
    for (const std::uint32_t uid : uids) {
        if (!m_cache.knowsUid(uid))
            unknown.append(uid);
    }
    const QByteArray attribute = m_reader.schema().uidAttribute.toUtf8();
    for (qsizetype at = 0; at < unknown.size() && m_failure.code == 0; at += kUidsPerSearch) {
        const QList<std::uint32_t> batch = unknown.mid(at, kUidsPerSearch);
        QByteArray any;
        for (const std::uint32_t uid : batch)
            any += "(" + attribute + '=' + QByteArray::number(uid) + ')';
        const QByteArray filter = "(&" + m_reader.schema().filterFor(QStringLiteral("User")) + "(|" + any + "))";
        QList<QByteArray> dns;
        if (!fetchEach(m_tree.baseDn.toUtf8(), LdapConnection::Scope::Subtree, filter, [&](LdapObject&& object) {
                dns.append(object.dn);
                m_cache.add(std::move(object));
            }, [&] { dns.clear(); }))
            return;
        m_cache.setUidLookups(batch, dns);
    }
}

std::optional<DirectoryObject> LdapDirectory::userOfUid(std::uint32_t uid) const {
    m_failure = {};
    if (!ready(false))
        return std::nullopt;
    if (!m_cache.knowsUid(uid)) {
        search({}, Scope::Subtree, QStringLiteral("User"));
        const QList<QByteArray>* users = m_cache.list(listKey({}, Scope::Subtree, QStringLiteral("User")));
        if (m_failure.code != 0 || !users)
            return std::nullopt;
        m_cache.setUsers(*users);
    }
    return m_cache.userOfUid(uid);
}

NWDSCCODE LdapDirectory::login(const QString& name, const QString& password) {
    m_failure = {};
    // A simple bind without a password succeeds anonymously (RFC 4513).
    if (password.isEmpty()) {
        fail(nw::ERR_FAILED_AUTHENTICATION, QStringLiteral("an empty password is refused"));
        return m_failure.code;
    }
    const QString user = LdapNames::upper(name);
    if (!connect(true))
        return m_failure.code;
    const std::optional<DirectoryObject> object = find(user);
    if (m_failure.code != 0)
        return m_failure.code;
    if (!object || object->className != QLatin1String("User")) {
        fail(nw::ERR_FAILED_AUTHENTICATION, QStringLiteral("there is no user %1").arg(user));
        return m_failure.code;
    }
    auto connection = std::make_unique<LdapConnection>(m_tree);
    connection->setWaitControl(m_cancel, m_poll);
    SecretBytes secret(password);
    if (!connection->open(m_cache.find(user)->dn, secret.data(), secret.size())) {
        const int code = connection->errorCode();
        failFrom(*connection, code == LDAP_INVALID_CREDENTIALS        ? nw::ERR_FAILED_AUTHENTICATION
                              : code == LDAP_CONFIDENTIALITY_REQUIRED ? nw::ERR_NO_LOGIN_METHOD
                                                                      : nw::UNABLE_TO_ATTACH);
        return m_failure.code;
    }
    // What this user may read can differ from what the tree's bind could.
    m_connection = std::move(connection);
    m_cache.clear();
    m_loginName = object->name;
    return nw::SUCCESSFUL;
}
