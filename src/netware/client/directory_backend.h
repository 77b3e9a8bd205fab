#pragma once

#include "netware/client/nw_types.h"
#include "netware/client/site.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <atomic>
#include <functional>
#include <optional>

// What a tree's directory answers: its objects by name, by place and by
// owner uid. Names are full typeless dotted names from the root, without a
// leading or trailing "."; an empty base means the root.
class DirectoryBackend {
public:
    enum class Scope { OneLevel = 1, Subtree = 2 };

    virtual ~DirectoryBackend() = default;

    // Whether the base names the root or an existing container.
    virtual bool isContainer(const QString& base) const = 0;
    // Objects of the class (any class when empty) below the base.
    virtual QList<DirectoryObject> search(const QString& base, Scope scope, const QString& className) const = 0;
    // Only their names and uids: for a list of 100,000 users, far less to
    // copy, and nothing kept that the list does not need.
    struct Named {
        QString name;
        std::optional<std::uint32_t> uid;
    };
    virtual QList<Named> named(const QString& base, Scope scope, const QString& className) const;
    virtual std::optional<DirectoryObject> find(const QString& name) const = 0;
    // The user that owns files of this uid, if the tree has one.
    virtual std::optional<DirectoryObject> userOfUid(std::uint32_t uid) const = 0;
    // Who the directory reports: the user logged in, else who the tree
    // names; empty for [PUBLIC].
    virtual QString identity() const = 0;

    // The containers directly below the base (Organization, Organizational
    // Unit, Country, Locality, Domain), each with its class.
    virtual QList<DirectoryObject> containers(const QString& base) const;
    static bool isContainerClass(const QString& className);
    // Checks a user's password and, on success, continues as that user
    // (identity() answers the name). 0 on success; nw::UNABLE_TO_ATTACH when
    // the directory cannot be reached; another code for a wrong name or password.
    // The password is not kept.
    virtual NWDSCCODE login(const QString& name, const QString& password) = 0;

    // Why the last call failed, when it did: a client code and the reason in
    // words ("ldap://fs1: Can't contact LDAP server"). Calls that fail return
    // what they found so far (often nothing), so callers ask this after a call.
    struct Failure {
        NWDSCCODE code = 0;
        QString text;
    };
    virtual Failure lastFailure() const { return {}; }

    // A group's members, each as find() knows it, fetched together where a
    // server is asked; nothing when there is no such group or the directory
    // failed (lastFailure()).
    virtual std::optional<QStringList> membersOf(const QString& group) const;
    // The users of uids about to be asked for one by one (userOfUid): a
    // backend that asks a server can fetch them together. A failure is lastFailure().
    virtual void prefetchUids(const QList<std::uint32_t>& uids) const {}

    // What a request that waits on the network watches: once cancel is set it
    // gives up (a "stopped" failure); poll runs while it waits. Both may be empty.
    virtual void setWaitControl(const std::atomic<bool>* cancel, std::function<void()> poll) {}
};
