#include "netware/server_starting_container.h"

#include "netware/directory_queries.h"
#include "netware/name_forms.h"

namespace ServerStartingContainer {

namespace {

QString rootOf(const QString& tree) {
    return tree + QStringLiteral("\\[Root]");
}

Option optionShowing(const QString& saved, const Labels& labels) {
    if (saved == labels.lblTreeRoot)
        return Option::optRoot;
    return saved == labels.lblCurrentContext ? Option::optCurrentContext : Option::optCustom;
}

} // namespace

QString fcnSavedStartContainer(const AppState& app) {
    const QString& container = app.serverSearchContainer;
    if (container.isEmpty())
        return {};
    if (container.compare(QLatin1String("[Root]"), Qt::CaseInsensitive) == 0)
        return rootOf(app.treeName);
    // From the root, so it reads as the labels do, with a closing "\".
    return fcnContextToTreePath(QLatin1Char('.') + container, app.treeName);
}

Labels subListTreeContainers(const DirectoryEnv& env, const QString& oldTree, QString& savedStartContainer) {
    const QString& tree = env.app.treeName;
    Labels labels;
    labels.lblTreeRoot = rootOf(tree);
    labels.lblCurrentContext = fcnContextToTreePath(fcnWhoAmIContext(env), tree);
    if (!env.app.serverSearchContainer.isEmpty())
        savedStartContainer = fcnSavedStartContainer(env.app);
    if (savedStartContainer.isEmpty() || oldTree != tree)
        return labels;
    labels.option = optionShowing(savedStartContainer, labels);
    if (labels.option == Option::optCustom)
        labels.lblCustomContext = savedStartContainer;
    return labels;
}

Outcome subSelect(const DirectoryEnv& env, SettingsStore& settings, const Choice& choice, const QString& oldTree,
                  const QString& savedStartContainer) {
    AppState& app = env.app;
    if (choice.option == Option::optCustom && choice.caption.isEmpty()) {
        env.host.message(QStringLiteral("You must specify a container to continue."),
                         QStringLiteral("Select Specific Container"));
        return Outcome::NoContainer;
    }
    env.host.setBusy(true);
    settings.writeUser(QStringLiteral("StartingServerContext"), choice.caption);
    app.serverSearchContainer = choice.option == Option::optRoot
                                    ? QStringLiteral("[Root]")
                                    : fcnStoredContainerToContext(choice.caption, app.treeName);
    settings.writeUser(QStringLiteral("Tree"), app.treeName);
    settings.writeUser(QStringLiteral("ServerSearchSubContainers"),
                       choice.searchSubContainers ? QStringLiteral("True") : QStringLiteral("False"));
    app.serverSearchSubContainers = choice.searchSubContainers;
    subListServers(env, settings, QStringLiteral("NCP Server"));
    env.host.setBusy(false);
    if (!env.search.cmbServer.isEmpty()) {
        if (oldTree != app.treeName)
            env.search.lblStartContainer = rootOf(app.treeName);
        return Outcome::Done;
    }
    env.host.message(QStringLiteral("There are no servers in the selected container or sub-containers.  "
                                    "Please choose another starting container."),
                     QStringLiteral("No Servers in Container"));
    settings.writeUser(QStringLiteral("StartingServerContext"), savedStartContainer);
    app.serverSearchContainer = fcnStoredContainerToContext(savedStartContainer, app.treeName);
    return Outcome::NoServers;
}

} // namespace ServerStartingContainer
