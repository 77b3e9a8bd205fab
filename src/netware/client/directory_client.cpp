#include "netware/client/directory_client.h"


#include "netware/client/ldap_directory.h"
#include "netware/client/object_list_directory.h"
#include "netware/client/pam_login.h"
#include "netware/client/password_hash.h"
#include "netware/client/site_loader.h"
#include "netware/client/system_directory.h"
#include "netware/client/system_site.h"

#include <QRegularExpression>

namespace {

constexpr qsizetype kBatchBytes = 4096; // what one client buffer holds

QString attributeOf(const DirectoryObject& object, const QString& attribute, bool& known) {
    known = true;
    if (attribute == QLatin1String("Full Name"))
        return object.fullName;
    if (attribute == QLatin1String("Given Name"))
        return object.givenName;
    if (attribute == QLatin1String("Surname"))
        return object.surname;
    known = false;
    return {};
}

QStringList valuesOf(const DirectoryObject& object, const QString& attribute) {
    if (attribute == QLatin1String("Member"))
        return object.members;
    bool known = false;
    const QString value = attributeOf(object, attribute, known);
    return known && !value.isEmpty() ? QStringList{value} : QStringList{};
}

NWDSCCODE checkInlinePassword(const DirectoryObject& user, const QString& password) {
    return PasswordHash::matches(user.passwordHash, password) ? nw::SUCCESSFUL : nw::ERR_FAILED_AUTHENTICATION;
}

// Host accounts log in with their system password, asked of PAM by the
// account's real name (the directory writes a "." in it as "_").
NWDSCCODE checkAccountPassword(const DirectoryObject& user, const QString& password) {
    const QByteArray account = user.uid ? SystemDirectory::accountName(*user.uid) : QByteArray();
    return account.isEmpty() ? nw::ERR_FAILED_AUTHENTICATION : PamLogin::check(account, password);
}

} // namespace

QString canonicalDottedName(const QString& name) {
    QString text = name.trimmed();
    // "\ " is a blank a name ends with, not one typed around it.
    qsizetype escapes = 0;
    for (qsizetype i = text.size() - 1; i >= 0 && text[i] == u'\\'; --i)
        ++escapes;
    if (escapes % 2 == 1)
        text += QLatin1Char(' ');
    if (text.startsWith(QLatin1Char('.')))
        text.remove(0, 1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.compare(QLatin1String("[Root]"), Qt::CaseInsensitive) == 0)
        return {};
    static const QRegularExpression typePrefix(QStringLiteral("(^|\\.)(CN|OU|O|C|L)="),
                                               QRegularExpression::CaseInsensitiveOption);
    text.replace(typePrefix, QStringLiteral("\\1"));
    return text;
}

DirectoryClient::DirectoryClient(Site site) : ClientCore(std::move(site)) {}

void DirectoryClient::resetDirectoryState() {
    m_contexts.clear();
    m_pending.clear();
    m_nameScans.clear();
}

NWDSCCODE DirectoryClient::NWDSCreateContextHandle(NWDSContextHandle& context) {
    if (!m_initialized)
        return done(nw::CLIENT_NOT_INITIALIZED);
    Context c;
    if (const TreeConfig* tree = m_site.defaultTree())
        c.treeName = tree->name;
    context = m_nextContext++;
    m_contexts.insert(context, c);
    return done(nw::SUCCESSFUL);
}

NWDSCCODE DirectoryClient::NWDSFreeContext(NWDSContextHandle context) {
    return done(m_contexts.remove(context) ? nw::SUCCESSFUL : nw::ERR_BAD_CONTEXT);
}

DirectoryClient::Context* DirectoryClient::findContext(NWDSContextHandle context) {
    auto it = m_contexts.find(context);
    return it == m_contexts.end() ? nullptr : &it.value();
}

NWDSCCODE DirectoryClient::NWDSSetContext(NWDSContextHandle context, int key, const QString& value) {
    Context* c = findContext(context);
    if (!c)
        return done(nw::ERR_BAD_CONTEXT);
    if (key == nw::DCK_TREE_NAME) {
        const TreeConfig* tree = m_site.findTree(value.trimmed());
        if (!tree)
            return done(nw::ERR_NO_SUCH_ENTRY);
        c->treeName = tree->name;
    } else if (key == nw::DCK_NAME_CONTEXT) {
        c->nameContext = value;
    } else {
        return done(nw::ERR_BAD_KEY);
    }
    return done(nw::SUCCESSFUL);
}

NWDSCCODE DirectoryClient::NWDSSetContext(NWDSContextHandle context, int key, std::uint32_t value) {
    Context* c = findContext(context);
    if (!c)
        return done(nw::ERR_BAD_CONTEXT);
    if (key != nw::DCK_FLAGS)
        return done(nw::ERR_BAD_KEY);
    c->flags = value;
    return done(nw::SUCCESSFUL);
}

NWDSCCODE DirectoryClient::NWDSGetContext(NWDSContextHandle context, int key, QString& value) {
    Context* c = findContext(context);
    if (!c)
        return done(nw::ERR_BAD_CONTEXT);
    if (key == nw::DCK_TREE_NAME)
        value = c->treeName;
    else if (key == nw::DCK_NAME_CONTEXT)
        value = c->nameContext;
    else
        return done(nw::ERR_BAD_KEY);
    return done(nw::SUCCESSFUL);
}

NWDSCCODE DirectoryClient::NWDSGetContext(NWDSContextHandle context, int key, std::uint32_t& value) {
    Context* c = findContext(context);
    if (!c)
        return done(nw::ERR_BAD_CONTEXT);
    if (key != nw::DCK_FLAGS)
        return done(nw::ERR_BAD_KEY);
    value = c->flags;
    return done(nw::SUCCESSFUL);
}

std::unique_ptr<DirectoryBackend> DirectoryClient::makeDirectory(const TreeConfig& tree) const {
    if (tree.directory == DirectoryKind::Inline)
        return std::make_unique<ObjectListDirectory>(tree.objects, tree.identity, checkInlinePassword);
    if (tree.directory == DirectoryKind::System) {
        const QString org = SystemSite::serverName(SiteLoader::hostName());
        QString identity = SystemDirectory::currentAccount();
        identity.replace(QLatin1Char('.'), QLatin1Char('_'));
        return std::make_unique<ObjectListDirectory>(
            SystemDirectory::objects(org, org, SystemDirectory::readAccounts(), SystemDirectory::readGroups()),
            identity + QLatin1Char('.') + org, checkAccountPassword);
    }
    return std::make_unique<LdapDirectory>(tree);
}

DirectoryBackend* DirectoryClient::backendOf(const QString& treeName) {
    const TreeConfig* tree = m_site.findTree(treeName);
    if (!tree)
        return nullptr;
    auto it = m_directories.find(tree->name);
    if (it == m_directories.end()) {
        it = m_directories.insert(tree->name, std::shared_ptr<DirectoryBackend>(makeDirectory(*tree)));
        it.value()->setWaitControl(m_waitCancel, m_waitPoll);
    }
    return it.value().get();
}

void DirectoryClient::setDirectoryWaitControl(const std::atomic<bool>* cancel, std::function<void()> poll) {
    m_waitCancel = cancel;
    m_waitPoll = std::move(poll);
    for (const std::shared_ptr<DirectoryBackend>& directory : std::as_const(m_directories))
        directory->setWaitControl(m_waitCancel, m_waitPoll);
}

const DirectoryBackend* DirectoryClient::directoryOf(const QString& treeName) {
    return backendOf(treeName);
}

QString DirectoryClient::directoryProblem(const QString& treeName) {
    const DirectoryBackend* directory = directoryOf(treeName);
    if (!directory)
        return QStringLiteral("there is no tree %1").arg(treeName);
    if (directory->isContainer({}))
        return {};
    const QString reason = directory->lastFailure().text;
    return QStringLiteral("tree %1: %2").arg(treeName.toUpper(), reason.isEmpty() ? QStringLiteral("its root cannot be read") : reason);
}

const TreeConfig* DirectoryClient::treeOfServer(const QString& serverName) {
    for (const TreeConfig& tree : m_site.trees) {
        const DirectoryBackend* directory = directoryOf(tree.name);
        if (!directory)
            continue;
        for (const DirectoryObject& server : directory->search({}, DirectoryBackend::Scope::Subtree,
                                                               QStringLiteral("NCP Server"))) {
            if (server.name.section(QLatin1Char('.'), 0, 0).compare(serverName, Qt::CaseInsensitive) == 0)
                return &tree;
        }
    }
    return m_site.defaultTree();
}

const DirectoryBackend* DirectoryClient::directoryOfContext(NWDSContextHandle context, NWDSCCODE& error) {
    Context* c = findContext(context);
    error = nw::ERR_BAD_CONTEXT;
    if (!c)
        return nullptr;
    const DirectoryBackend* directory = directoryOf(c->treeName);
    error = directory ? nw::SUCCESSFUL : nw::ERR_NO_SUCH_ENTRY;
    return directory;
}

void DirectoryClient::nextBatch(std::int32_t& iterationHandle, Pending all, QStringList& batch,
                                QList<std::uint32_t>* batchIds) {
    if (iterationHandle == -1) {
        iterationHandle = m_nextPending++;
        m_pending.insert(iterationHandle, std::move(all));
    }
    Pending& pending = m_pending[iterationHandle];
    const bool withIds = batchIds && pending.ids.size() == pending.items.size();
    qsizetype bytes = 0;
    while (pending.next < pending.items.size() && (batch.isEmpty() || bytes < kBatchBytes)) {
        bytes += (pending.items[pending.next].size() + 1) * 2 + 8;
        if (withIds)
            batchIds->append(pending.ids[pending.next]);
        batch.append(pending.items[pending.next++]);
    }
    if (pending.next >= pending.items.size()) {
        m_pending.remove(iterationHandle);
        iterationHandle = -1;
    }
}

NWDSCCODE DirectoryClient::failureOf(const DirectoryBackend& directory, NWDSCCODE otherwise) {
    const DirectoryBackend::Failure failure = directory.lastFailure();
    if (failure.code == 0)
        return otherwise;
    return failedAsDirectory(failure.code, failure.text);
}

NWDSCCODE DirectoryClient::batched(NWDSContextHandle context, std::int32_t& iterationHandle, QStringList& batch,
                                   QList<std::uint32_t>* batchIds, const Query& query) {
    batch.clear();
    if (batchIds)
        batchIds->clear();
    NWDSCCODE error = 0;
    const DirectoryBackend* directory = directoryOfContext(context, error);
    if (!directory)
        return done(error);
    Pending all;
    if (iterationHandle == -1) {
        if (const NWDSCCODE result = query(*directory, all.items, all.ids); result != nw::SUCCESSFUL)
            return done(result);
    } else if (!m_pending.contains(iterationHandle)) {
        return done(nw::ERR_INVALID_HANDLE);
    }
    nextBatch(iterationHandle, std::move(all), batch, batchIds);
    return done(nw::SUCCESSFUL);
}

NWDSCCODE DirectoryClient::NWDSSearch(NWDSContextHandle context, const QString& baseObjectName, int scope,
                                      const QString& objectClass, std::int32_t& iterationHandle,
                                      QStringList& objectNames, QList<std::uint32_t>* objectIDs) {
    const auto query = [&](const DirectoryBackend& directory, QStringList& all, QList<std::uint32_t>& ids) {
        const QString base = canonicalDottedName(baseObjectName);
        if (!directory.isContainer(base))
            return failureOf(directory, nw::ERR_NO_SUCH_ENTRY);
        const auto level = scope == 1 ? DirectoryBackend::Scope::OneLevel : DirectoryBackend::Scope::Subtree;
        const QList<DirectoryBackend::Named> found = directory.named(base, level, objectClass);
        all.reserve(found.size());
        for (const DirectoryBackend::Named& object : found) {
            all.append(object.name);
            if (objectIDs)
                ids.append(objectIdOf(object.name, object.uid));
        }
        return failureOf(directory, nw::SUCCESSFUL);
    };
    return batched(context, iterationHandle, objectNames, objectIDs, query);
}

NWDSCCODE DirectoryClient::NWDSRead(NWDSContextHandle context, const QString& objectName,
                                    const QString& attributeName, std::int32_t& iterationHandle,
                                    QStringList& values) {
    return batched(context, iterationHandle, values, nullptr, [&](const DirectoryBackend& directory, QStringList& all, QList<std::uint32_t>&) {
        if (attributeName == QLatin1String("Member")) {
            const std::optional<QStringList> members = directory.membersOf(canonicalDottedName(objectName));
            if (const NWDSCCODE failed = failureOf(directory, members ? nw::SUCCESSFUL : nw::ERR_NO_SUCH_ENTRY))
                return failed;
            all = *members;
            return all.isEmpty() ? nw::ERR_NO_SUCH_ATTRIBUTE : nw::SUCCESSFUL;
        }
        const std::optional<DirectoryObject> object = directory.find(canonicalDottedName(objectName));
        if (!object)
            return failureOf(directory, nw::ERR_NO_SUCH_ENTRY);
        all = valuesOf(*object, attributeName);
        return all.isEmpty() ? nw::ERR_NO_SUCH_ATTRIBUTE : nw::SUCCESSFUL;
    });
}

NWDSCCODE DirectoryClient::NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE, const QString& objectName,
                                           std::uint32_t& objectID) {
    if (objectName.trimmed().compare(QLatin1String("[Supervisor]"), Qt::CaseInsensitive) == 0) {
        objectID = kSupervisorId;
        return done(findContext(context) ? nw::SUCCESSFUL : nw::ERR_BAD_CONTEXT);
    }
    NWDSCCODE error = 0;
    const DirectoryBackend* directory = directoryOfContext(context, error);
    if (!directory)
        return done(error);
    const QString name = canonicalDottedName(objectName);
    const std::optional<DirectoryObject> object = directory->find(name);
    if (!object)
        return done(failureOf(*directory, nw::ERR_NO_SUCH_ENTRY));
    objectID = objectIdOf(object->name, object->uid);
    return done(nw::SUCCESSFUL);
}

std::uint32_t DirectoryClient::objectIdOf(const QString& name, std::optional<std::uint32_t> uid) {
    if (uid)
        return objectIdOfUid(*uid);
    // Objects that own no files still get an ID, from a range uids do not
    // reach; seed 0 keeps it the same from one run to the next.
    return kNoUidIds | (qHash(name.toUpper(), 0) & 0x7FFFFFFFu);
}

NWDSCCODE DirectoryClient::NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE, std::uint32_t objectID,
                                           QString& objectName) {
    NWDSCCODE error = 0;
    const DirectoryBackend* directory = directoryOfContext(context, error);
    if (!directory)
        return done(error);
    if (objectID == kSupervisorId) {
        objectName = QStringLiteral("[Supervisor]");
        return done(nw::SUCCESSFUL);
    }
    const std::optional<DirectoryObject> user = directory->userOfUid(uidOfObjectId(objectID));
    if (!user || objectID == 0)
        return done(failureOf(*directory, nw::ERR_NO_SUCH_ENTRY));
    objectName = user->name;
    return done(nw::SUCCESSFUL);
}

NWDSCCODE DirectoryClient::NWDSWhoAmI(NWDSContextHandle context, QString& objectName) {
    NWDSCCODE error = 0;
    const DirectoryBackend* directory = directoryOfContext(context, error);
    if (!directory)
        return done(error);
    objectName = directory->identity().isEmpty() ? QStringLiteral("[PUBLIC]") : directory->identity();
    return done(nw::SUCCESSFUL);
}

NWDSCCODE DirectoryClient::NWDSScanConnsForTrees(NWDSContextHandle context, int numOfPtrs, int& numOfTrees,
                                                 QStringList& treeNames) {
    treeNames.clear();
    if (!findContext(context))
        return done(nw::ERR_BAD_CONTEXT);
    for (const TreeConfig& tree : m_site.trees) {
        if ((tree.connected || m_loggedInTrees.contains(tree.name)) && treeNames.size() < numOfPtrs)
            treeNames.append(tree.name);
    }
    numOfTrees = int(treeNames.size());
    return done(nw::SUCCESSFUL);
}

NWDSCCODE DirectoryClient::NWDSLogin(NWDSContextHandle context, std::uint32_t, const QString& objectName,
                                     const QString& password, std::uint32_t) {
    const Context* c = findContext(context);
    if (!c)
        return done(nw::ERR_BAD_CONTEXT);
    DirectoryBackend* directory = backendOf(c->treeName);
    if (!directory)
        return done(nw::UNABLE_TO_ATTACH);
    // The C calls below would take a password only up to a NUL: "secret\0x" would pass for "secret".
    if (password.contains(QChar(0)))
        return done(nw::ERR_FAILED_AUTHENTICATION);
    const NWDSCCODE result = directory->login(canonicalDottedName(objectName), password);
    if (result == nw::SUCCESSFUL && !m_loggedInTrees.contains(c->treeName))
        m_loggedInTrees.append(c->treeName);
    return done(result);
}

NWDSCCODE DirectoryClient::NWDSListContainers(NWDSContextHandle context, const QString& container,
                                              std::int32_t& iterationHandle, QList<ContainerEntry>& entries) {
    entries.clear();
    QStringList batch;
    const NWDSCCODE result =
        batched(context, iterationHandle, batch, nullptr, [&](const DirectoryBackend& directory, QStringList& all, QList<std::uint32_t>&) {
            const QString base = canonicalDottedName(container);
            if (!directory.isContainer(base))
                return nw::ERR_NO_SUCH_ENTRY;
            for (const DirectoryObject& object : directory.containers(base))
                all.append(object.name + QLatin1Char('\n') + object.className);
            return nw::SUCCESSFUL;
        });
    for (const QString& item : std::as_const(batch))
        entries.append({item.section(QLatin1Char('\n'), 0, 0), item.section(QLatin1Char('\n'), 1)});
    return result;
}

NWCCODE DirectoryClient::NWGetObjectNamesBeginA(std::uint32_t objectType, std::uint32_t& handle) {
    QStringList names;
    if (objectType == kTreeNameType) {
        for (const TreeConfig& tree : m_site.trees)
            names.append(tree.name);
    }
    handle = m_nextNameScan++;
    m_nameScans.insert(handle, Pending{names, 0});
    return done(nw::SUCCESSFUL);
}

NWCCODE DirectoryClient::NWGetObjectNamesNextA(std::uint32_t handle, int maxLength, QString& name) {
    auto it = m_nameScans.find(handle);
    if (it == m_nameScans.end())
        return done(nw::ERR_INVALID_HANDLE);
    if (it->next >= it->items.size())
        return done(nw::NO_MORE_ENTRIES);
    name = it->items[it->next++].left(maxLength);
    return done(nw::SUCCESSFUL);
}

NWCCODE DirectoryClient::NWGetObjectNamesEndA(std::uint32_t handle) {
    return done(m_nameScans.remove(handle) ? nw::SUCCESSFUL : nw::ERR_INVALID_HANDLE);
}
