#pragma once

#include "netware/client/directory_backend.h"
#include "netware/client/ldap_connection.h"
#include "netware/client/ldap_object_cache.h"
#include "netware/client/ldap_object_reader.h"

#include <QElapsedTimer>

#include <memory>

// The directory of an ldap tree: an LDAP server (eDirectory, OpenLDAP, AD)
// read over one connection made on the first call and kept. The tree's base
// DN is its [Root]; each list is one paged search, kept for a while, so names
// just listed and the users of uids are answered without further requests.
// A subtree's names and uids (an All Owners run over the whole tree) are read
// straight through instead, and a group's members are fetched by their DNs.
class LdapDirectory : public DirectoryBackend {
public:
    explicit LdapDirectory(TreeConfig tree); // no network yet
    ~LdapDirectory() override;

    bool isContainer(const QString& base) const override;
    QList<DirectoryObject> search(const QString& base, Scope scope, const QString& className) const override;
    QList<Named> named(const QString& base, Scope scope, const QString& className) const override;
    std::optional<DirectoryObject> find(const QString& name) const override;
    std::optional<DirectoryObject> userOfUid(std::uint32_t uid) const override;
    QString identity() const override;
    QList<DirectoryObject> containers(const QString& base) const override;
    // Binds as the user's DN; on success the connection goes on as that user.
    NWDSCCODE login(const QString& name, const QString& password) override;
    Failure lastFailure() const override { return m_failure; }
    // Each member by its DN, a hundred to a search under its container (an OR
    // filter), not one search each.
    std::optional<QStringList> membersOf(const QString& name) const override;
    // Only the users of these uids, a hundred to a search: an owner run
    // below one container need not read every user of the tree.
    void prefetchUids(const QList<std::uint32_t>& uids) const override;
    void setWaitControl(const std::atomic<bool>* cancel, std::function<void()> poll) override;

private:
    // Connected, with the containers known; else the failure is recorded.
    // Only the calls that list refresh what has been kept too long: a name
    // or a uid asked for right after a list is answered from that list.
    bool ready(bool mayRefresh) const;
    // A connection bound as the tree says; after a failure the server is
    // asked again only once a while has passed, unless retry.
    bool connect(bool retry) const;
    // Binds as the tree's service account (its password read from its file), else anonymously.
    bool openAsTree(LdapConnection& connection) const;
    bool loadContainers() const;
    // The objects one paged search finds; once more on a fresh connection
    // when the server dropped a kept one.
    std::optional<QList<LdapObject>> fetch(const QByteArray& baseDn, LdapConnection::Scope scope,
                                           const QByteArray& filter) const;
    // Each object of the search as it arrives; restart when the search is made
    // again on a new connection. Without attributes, all the schema reads.
    bool fetchEach(const QByteArray& baseDn, LdapConnection::Scope scope, const QByteArray& filter,
                   const std::function<void(LdapObject&&)>& each, const std::function<void()>& restart,
                   const QList<QByteArray>& attributes = {}) const;
    bool fetchEach(const QList<LdapConnection::Query>& queries, const std::function<void(LdapObject&&)>& each,
                   const std::function<void()>& restart, const QList<QByteArray>& attributes = {}) const;
    std::optional<QByteArray> dnOfContainer(const QString& name) const;
    DirectoryObject objectOf(const LdapObject& held) const;
    QString memberName(const QByteArray& dn) const;
    // The entries of these DNs not yet in the cache, asked together.
    void fetchByDn(const QList<QByteArray>& dns) const;
    // The objects these entries became in the cache, in this order.
    QList<DirectoryObject> cachedObjects(const QList<QByteArray>& dns) const;
    static void tagShared(QList<Named>& found, const QList<std::uint32_t>& tags);
    // The DNs a search found, kept in the cache; null when it failed.
    const QList<QByteArray>* listed(const QString& base, Scope scope, const QString& className) const;
    // The search for leaves by their values directly under their container's DN.
    LdapConnection::Query lookUpQuery(const QStringList& leaves, const QByteArray& containerDn) const;
    LdapConnection::Query leavesQuery(const QByteArray& containerDn, const QByteArray& terms) const;
    const LdapObject* held(const QString& name) const;
    // What such searches find goes into the cache; they are asked together.
    void lookUp(const QList<LdapConnection::Query>& queries) const;
    void fail(NWDSCCODE code, const QString& text) const;
    void failFrom(const LdapConnection& connection, NWDSCCODE code) const;

    TreeConfig m_tree;
    LdapObjectReader m_reader;
    mutable std::unique_ptr<LdapConnection> m_connection;
    mutable LdapObjectCache m_cache;
    mutable Failure m_failure;
    mutable Failure m_connectFailure;
    mutable QElapsedTimer m_sinceConnectFailure;
    mutable QString m_loginName; // empty while bound as the tree says
    const std::atomic<bool>* m_cancel = nullptr;
    std::function<void()> m_poll;
};
