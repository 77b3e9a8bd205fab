#include "netware/directory_queries.h"

#include <algorithm>

#include "netware/name_forms.h"
#include "netware/query_context.h"

namespace {

class BusyPointer {
public:
    explicit BusyPointer(Host& host) : m_host(host) { m_host.setBusy(true); }
    ~BusyPointer() { m_host.setBusy(false); }

private:
    Host& m_host;
};

void debugMessage(const DirectoryEnv& env, const QString& text) {
    if (env.app.debugMode)
        env.host.message(text);
}

QString searchBase(const QString& context) {
    return context == QLatin1String("[Root]") ? context : context + QLatin1Char('.');
}

// Leaf names of the objects of a class directly in the container (a tree
// path); false when the directory failed part-way (the client says why).
bool listContainerObjects(const DirectoryEnv& env, const QString& container, const QString& className, ChoiceList& target) {
    target.entries.clear();
    target.text.clear();
    env.run.cancel = false;
    QueryContext context(env, container);
    QString nameContext;
    env.client.NWDSGetContext(context.handle(), nw::DCK_NAME_CONTEXT, nameContext);
    nameContext = nameContext.trimmed();
    if (!nameContext.isEmpty())
        nameContext = fcnReverseDottedName(nameContext);
    env.app.ownerContext = fcnTreePathToContext(nameContext, env.app.treeName);
    std::int32_t iteration = -1;
    do {
        QStringList names;
        if (const NWDSCCODE result = env.client.NWDSSearch(context.handle(), searchBase(env.app.ownerContext), 1,
                                                           className, iteration, names);
            result != nw::SUCCESSFUL)
            return result == nw::ERR_NO_SUCH_ENTRY;
        for (const QString& name : std::as_const(names)) {
            if (env.run.cancelled())
                return true;
            target.entries.append(fcnLeafName(name));
            env.host.pollEvents();
        }
        env.host.pollEvents();
    } while (iteration != -1);
    // In name order, not the directory's: a long list is read by eye.
    std::sort(target.entries.begin(), target.entries.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return true;
}

void selectFirst(ChoiceList& list) {
    if (!list.entries.isEmpty())
        list.text = list.entries.first();
}

void addUnique(QStringList& list, const QString& name) {
    if (!list.contains(name))
        list.append(name);
}

void placeVolume(const DirectoryEnv& env, const QString& server, const QString& volume, const QString& windowName,
                 int mode, ChoiceList* cliVolumes) {
    SearchSettings& s = env.search;
    if (windowName == QLatin1String("frmCreateCommandLineRun")) {
        if (cliVolumes)
            addUnique(cliVolumes->entries, volume);
    } else if (windowName == QLatin1String("frmMain") && mode == 0) {
        addUnique(s.lstAvailableVolumes, volume);
        if (s.cmbServers.text == QLatin1String("[All Servers]"))
            s.grdServerVolumeList.append({server, volume});
    } else if (windowName == QLatin1String("frmMain")) {
        addUnique(s.cmbVolumeList.entries, volume);
    }
}

} // namespace

void subGetDefaultTree(const DirectoryEnv& env) {
    // A fresh context names the client's current tree; a QueryContext would
    // name the current tree name, which may be a tree no longer connected.
    NWDSContextHandle context = 0;
    env.client.NWDSCreateContextHandle(context);
    QString tree;
    env.client.NWDSGetContext(context, nw::DCK_TREE_NAME, tree);
    env.client.NWDSFreeContext(context);
    env.app.treeName = tree.trimmed();
}

QStringList subListConnectedTrees(const DirectoryEnv& env) {
    BusyPointer busy(env.host);
    NWDSContextHandle context = 0;
    env.client.NWDSCreateContextHandle(context);
    QStringList trees;
    int count = 0;
    const NWDSCCODE result = env.client.NWDSScanConnsForTrees(context, 16, count, trees);
    env.client.NWDSFreeContext(context);
    if (result != nw::SUCCESSFUL) {
        env.host.message(QStringLiteral("NWDSScanConnsForTrees failed, E=") + QString::number(result), {},
                         Host::Icon::Critical);
        return {};
    }
    return trees;
}

QStringList subListAvailableTrees(const DirectoryEnv& env, const QString& windowName) {
    BusyPointer busy(env.host);
    QStringList trees;
    std::uint32_t handle = 0;
    env.client.NWGetObjectNamesBeginA(DirectoryClient::kTreeNameType, handle);
    QString name;
    while (env.client.NWGetObjectNamesNextA(handle, 127, name) == nw::SUCCESSFUL) {
        if (windowName == QLatin1String("frmAvailableTrees"))
            trees.append(name);
    }
    env.client.NWGetObjectNamesEndA(handle);
    return trees;
}

void subListServers(const DirectoryEnv& env, const SettingsStore& settings, const QString& className) {
    env.app.serverSearchContainer = fcnStoredContainerToContext(settings.startingServerContext(), env.app.treeName);
    env.app.serverSearchSubContainers = settings.serverSearchSubContainers();
    QueryContext context(env, fcnContextToTreePath(env.app.serverSearchContainer, env.app.treeName));
    SearchSettings& s = env.search;
    s.cmbServer = ChoiceList{};
    s.cmbServers = ChoiceList{{QStringLiteral("[All Servers]")}, {}};
    s.cmbVolumeList = ChoiceList{};
    const int scope = env.app.serverSearchSubContainers ? 2 : 1;
    std::int32_t iteration = -1;
    do {
        QStringList names;
        if (env.client.NWDSSearch(context.handle(), env.app.serverSearchContainer, scope, className, iteration,
                                  names) != nw::SUCCESSFUL)
            break;
        for (const QString& name : std::as_const(names)) {
            s.cmbServer.entries.append(fcnLeafName(name));
            s.cmbServers.entries.append(fcnLeafName(name));
        }
    } while (iteration != -1);
}

void subListServerVolumes(const DirectoryEnv& env, const QString& server, const QString& windowName, int mode,
                          ChoiceList* cliVolumes) {
    NWCONN_HANDLE connection = 0;
    const NWCCODE result = env.client.NWCCOpenConnByName(0, server, 2, 0, 0, connection);
    if (result != nw::SUCCESSFUL && result != nw::ALREADY_ATTACHED)
        return;
    for (std::uint32_t nameSpace = 0; nameSpace <= 4; ++nameSpace) {
        std::uint32_t iteration = 0;
        do {
            std::uint32_t returned = 0;
            std::vector<NWVolMountNumWithName> volumes;
            if (env.client.NWScanMountedVolumeList(connection, 1, nameSpace, iteration, 1, returned, volumes) !=
                nw::SUCCESSFUL)
                break;
            for (const NWVolMountNumWithName& volume : volumes) {
                const QString name = volume.volumeName.section(QChar(0), 0, 0);
                if (name.isEmpty() || name == QLatin1String("_ADMIN") || name == QLatin1String("NSS_ADMIN"))
                    continue;
                placeVolume(env, server, name, windowName, mode, cliVolumes);
            }
        } while (iteration != 0);
    }
}

bool subListUsers(const DirectoryEnv& env, const QString& container, ChoiceList& target) {
    const bool listed = listContainerObjects(env, container, QStringLiteral("User"), target);
    if (listed && target.entries.isEmpty() && env.app.ownerContext == QLatin1String("[Root]"))
        env.host.setStatus(QStringLiteral("No users are directly in [Root]: choose a container with the ... button "
                                          "beside Starting Container to list its users."));
    target.details.clear();
    target.entries.append(QStringLiteral("[Supervisor]"));
    target.entries.append(QStringLiteral("[No Owner]"));
    selectFirst(target);
    return listed;
}

void subAddFullNames(const DirectoryEnv& env, ChoiceList& users) {
    users.details.clear();
    for (const QString& user : std::as_const(users.entries))
        users.details.append(user.startsWith(QLatin1Char('[')) ? QString()
                                                               : fcnGetFullName(env, fcnOwnerDottedName(env.app, user)));
}

bool subListGroups(const DirectoryEnv& env, const QString& container, ChoiceList& target) {
    const bool listed = listContainerObjects(env, container, QStringLiteral("Group"), target);
    selectFirst(target);
    return listed;
}

QString fcnReadAttribute(const DirectoryEnv& env, const QString& object, const QString& attribute, bool* failed) {
    QueryContext context(env, env.app.treeName + QStringLiteral("\\[Root]"));
    const QString name = QLatin1Char('.') + object;
    const bool members = env.run.ownerKind == QLatin1String("Group");
    QStringList values;
    std::int32_t iteration = -1;
    do {
        QStringList batch;
        const NWDSCCODE result = env.client.NWDSRead(context.handle(), name, attribute, iteration, batch);
        if (result != nw::SUCCESSFUL) {
            debugMessage(env, QStringLiteral("NWDSRead result = ") + QString::number(result));
            if (failed)
                *failed = result != nw::ERR_NO_SUCH_ENTRY && result != nw::ERR_NO_SUCH_ATTRIBUTE;
            return {};
        }
        values += batch;
    } while (iteration != -1);
    if (members) {
        debugMessage(env, QStringLiteral("Total members = ") + QString::number(values.size()));
        for (QString value : std::as_const(values))
            env.search.lstGroupOfUsers.append(value.startsWith(QLatin1String("CN=")) ? value.mid(3) : value);
        return {};
    }
    QString value = values.value(0);
    if (value.startsWith(QLatin1String("CN=")))
        value = value.mid(3);
    return fcnLeafName(value);
}

QString fcnGetFullName(const DirectoryEnv& env, const QString& user) {
    QString name = fcnReadAttribute(env, user, QStringLiteral("Full Name"));
    if (name == QLatin1String("?") || name.isEmpty()) {
        name = fcnReadAttribute(env, user, QStringLiteral("Given Name")) + QLatin1Char(' ') +
               fcnReadAttribute(env, user, QStringLiteral("Surname"));
    }
    return name.trimmed();
}

QString fcnOwnerDottedName(const AppState& app, const QString& owner) {
    const QString& context = app.ownerContext;
    if (context.isEmpty() || context == QLatin1String("[Root]") || owner.contains(QLatin1Char('.')) ||
        owner.startsWith(QLatin1Char('[')))
        return owner;
    return owner + QLatin1Char('.') + context;
}

QString fcnWhoAmIContext(const DirectoryEnv& env) {
    QueryContext context(env, std::nullopt, std::uint32_t(6));
    QString name;
    env.client.NWDSWhoAmI(context.handle(), name);
    name = name.trimmed();
    if (name.toUpper().startsWith(QLatin1String("[PUBLIC]")))
        return QStringLiteral("[PUBLIC]");
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QString fcnDefaultStartContainer(const DirectoryEnv& env) {
    const QString root = env.app.treeName + QStringLiteral("\\[Root]");
    const TreeConfig* tree = env.client.site().findTree(env.app.treeName);
    if (!tree || tree->directory != DirectoryKind::System)
        return root;
    // The host's tree keeps every user and group in its one organization:
    // starting there lists them at once.
    QueryContext context(env, std::nullopt, std::nullopt);
    std::int32_t iteration = -1;
    QList<ContainerEntry> entries;
    if (env.client.NWDSListContainers(context.handle(), QStringLiteral("[Root]"), iteration, entries) !=
            nw::SUCCESSFUL ||
        entries.isEmpty())
        return root;
    return fcnContextToTreePath(entries.first().name, env.app.treeName);
}
