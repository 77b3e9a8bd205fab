#pragma once

#include "netware/client/client_core.h"
#include "netware/client/directory_backend.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

// A container as NWDSListContainers reports it.
struct ContainerEntry {
    QString name;      // full dotted name
    QString baseClass; // "Organization", "Organizational Unit", ...
};

// The directory-services calls: contexts, searches, reads, name and ID
// mapping, the trees the workstation sees. Names given to the calls are
// typeless dotted names taken from the root, with or without a leading or
// a trailing "."; "[Root]" is the root. Names returned are full dotted names.
class DirectoryClient : public ClientCore {
public:
    static constexpr std::uint32_t kSupervisorId = 0xFFFFFFFFu; // root's files
    static constexpr std::uint32_t kTreeNameType = 0x7802;

    // Object IDs of users are their uids; root's is the supervisor's; 0 is nobody.
    static std::uint32_t objectIdOfUid(std::uint32_t uid) { return uid == 0 ? kSupervisorId : uid; }
    static std::uint32_t uidOfObjectId(std::uint32_t id) { return id == kSupervisorId ? 0 : id; }
    // Objects without a uid get IDs from the upper half, which uids of real
    // accounts do not reach.
    static constexpr std::uint32_t kNoUidIds = 0x80000000u;
    static bool isWithoutUid(std::uint32_t id) { return id >= kNoUidIds && id != kSupervisorId; }
    // The ID NWDSMapNameToID gives an object of this name and uid.
    static std::uint32_t objectIdOf(const QString& name, std::optional<std::uint32_t> uid);

    NWDSCCODE NWDSCreateContextHandle(NWDSContextHandle& context);
    NWDSCCODE NWDSFreeContext(NWDSContextHandle context);
    NWDSCCODE NWDSSetContext(NWDSContextHandle context, int key, const QString& value);
    NWDSCCODE NWDSSetContext(NWDSContextHandle context, int key, std::uint32_t value);
    NWDSCCODE NWDSGetContext(NWDSContextHandle context, int key, QString& value);
    NWDSCCODE NWDSGetContext(NWDSContextHandle context, int key, std::uint32_t& value);

    // Objects of a class below base, one batch a call: iterationHandle starts at
    // -1 and is -1 again after the last batch. With objectIDs, each object's ID
    // comes beside its name, as NWDSMapNameToID would give it: a list of
    // 100,000 users needs no look-up per name.
    NWDSCCODE NWDSSearch(NWDSContextHandle context, const QString& baseObjectName, int scope,
                         const QString& objectClass, std::int32_t& iterationHandle, QStringList& objectNames,
                         QList<std::uint32_t>* objectIDs = nullptr);
    // Values of one attribute ("Member", "Full Name", "Given Name", "Surname"), in batches.
    NWDSCCODE NWDSRead(NWDSContextHandle context, const QString& objectName, const QString& attributeName,
                       std::int32_t& iterationHandle, QStringList& values);
    NWDSCCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE connection, const QString& objectName,
                              std::uint32_t& objectID);
    NWDSCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE connection, std::uint32_t objectID,
                              QString& objectName);
    NWDSCCODE NWDSWhoAmI(NWDSContextHandle context, QString& objectName);
    NWDSCCODE NWDSScanConnsForTrees(NWDSContextHandle context, int numOfPtrs, int& numOfTrees,
                                    QStringList& treeNames);
    // Logs into the context's tree as the user (a dotted name) with the
    // password: 0 on success, nw::UNABLE_TO_ATTACH when the tree cannot be
    // reached, another code for a wrong name or password. The password is
    // handed to the tree's directory and not kept.
    NWDSCCODE NWDSLogin(NWDSContextHandle context, std::uint32_t optionsFlag, const QString& objectName,
                        const QString& password, std::uint32_t validityPeriod);
    // The containers directly below a container, one batch a call.
    NWDSCCODE NWDSListContainers(NWDSContextHandle context, const QString& container,
                                 std::int32_t& iterationHandle, QList<ContainerEntry>& entries);

    // Names of objects of a type on the network; the type 0x7802 gives the trees.
    NWCCODE NWGetObjectNamesBeginA(std::uint32_t objectType, std::uint32_t& handle);
    NWCCODE NWGetObjectNamesNextA(std::uint32_t handle, int maxLength, QString& name);
    NWCCODE NWGetObjectNamesEndA(std::uint32_t handle);

    // The directory of a tree (null for an unknown tree or one that cannot be read).
    const DirectoryBackend* directoryOf(const QString& treeName);
    // Why the tree's directory cannot answer, in words; empty while it can.
    // Asks the directory once (for LDAP: connects, binds and reads the base).
    QString directoryProblem(const QString& treeName);
    // What every directory's requests watch while they wait on the network
    // (DirectoryBackend::setWaitControl): a run's Stop, its event loop.
    void setDirectoryWaitControl(const std::atomic<bool>* cancel, std::function<void()> poll);
    // The tree a server belongs to: the one holding its NCP Server object, else the default tree.
    const TreeConfig* treeOfServer(const QString& serverName);

protected:
    explicit DirectoryClient(Site site);
    void resetDirectoryState();
    // After a call on directory came back empty: its failure (code and
    // reason kept) when it failed, otherwise.
    NWDSCCODE failureOf(const DirectoryBackend& directory, NWDSCCODE otherwise);

private:
    struct Context {
        QString treeName;
        std::uint32_t flags = nw::DCV_DEREF_ALIASES | nw::DCV_XLATE_STRINGS | nw::DCV_CANONICALIZE_NAMES;
        QString nameContext = QStringLiteral("[Root]");
    };
    struct Pending {
        QStringList items;
        qsizetype next = 0;
        QList<std::uint32_t> ids; // beside the items, when asked for
    };

    Context* findContext(NWDSContextHandle context);
    const DirectoryBackend* directoryOfContext(NWDSContextHandle context, NWDSCCODE& error);
    std::unique_ptr<DirectoryBackend> makeDirectory(const TreeConfig& tree) const;
    DirectoryBackend* backendOf(const QString& treeName);
    // A query whose results come in batches: the first call (iterationHandle
    // -1) asks the directory for all of them, later calls hand out the rest.
    // A query that gives IDs fills its list; batchIds gets the batch's part.
    using Query = std::function<NWDSCCODE(const DirectoryBackend&, QStringList&, QList<std::uint32_t>&)>;
    NWDSCCODE batched(NWDSContextHandle context, std::int32_t& iterationHandle, QStringList& batch,
                      QList<std::uint32_t>* batchIds, const Query& query);
    // Hands out the next batch of a pending list; starts one when iterationHandle is -1.
    void nextBatch(std::int32_t& iterationHandle, Pending all, QStringList& batch, QList<std::uint32_t>* batchIds);

    QMap<NWDSContextHandle, Context> m_contexts;
    NWDSContextHandle m_nextContext = 1;
    QHash<QString, std::shared_ptr<DirectoryBackend>> m_directories;
    const std::atomic<bool>* m_waitCancel = nullptr;
    std::function<void()> m_waitPoll;
    QMap<std::int32_t, Pending> m_pending;
    std::int32_t m_nextPending = 1;
    QMap<std::uint32_t, Pending> m_nameScans;
    QStringList m_loggedInTrees; // logged into during this process, in order
    std::uint32_t m_nextNameScan = 1;
};

// Takes a dotted name as the calls accept it to the full form: no leading or
// trailing ".", no type prefixes ("CN=", "OU=", ...); "[Root]" becomes empty.
QString canonicalDottedName(const QString& name);
