#include "app/name_lookup.h"

#include "app/command_line.h"
#include "netware/directory_queries.h"
#include "netware/name_forms.h"
#include "netware/query_context.h"

#include <algorithm>

namespace {

constexpr qsizetype kListedNames = 30;
// A directory of thousands of containers is listed in part only.
constexpr qsizetype kMostContainers = 1000;

// The containers directly below one, by full dotted name; the call's result.
NWDSCCODE listContainers(NetWareClient& client, const QueryContext& context, const QString& dotted,
                         QStringList& names) {
    std::int32_t iteration = -1;
    do {
        QList<ContainerEntry> batch;
        if (const NWDSCCODE result =
                client.NWDSListContainers(context.handle(), dotted, iteration, batch);
            result != nw::SUCCESSFUL)
            return result;
        for (const ContainerEntry& entry : std::as_const(batch))
            names.append(entry.name);
    } while (iteration != -1);
    return nw::SUCCESSFUL;
}

} // namespace

QString NameLookup::listed(const QStringList& names) {
    if (names.size() <= kListedNames) return names.join(QStringLiteral(", "));
    return names.first(kListedNames).join(QStringLiteral(", ")) +
           QStringLiteral(" and %1 more").arg(names.size() - kListedNames);
}

QString NameLookup::server(const QString& name) const {
    if (const ServerConfig* found = m_env.client.site().findServer(name.trimmed()))
        return found->name;
    QStringList known;
    for (const ServerConfig& s : m_env.client.site().servers)
        known.append(s.name);
    throw CommandLineError(
        QStringLiteral("There is no server %1 (servers: %2).").arg(name, listed(known)));
}

QString NameLookup::volume(const QString& server, const QString& name) const {
    ChoiceList mounted;
    subListServerVolumes(m_env, server, QStringLiteral("frmCreateCommandLineRun"), 0, &mounted);
    const qsizetype index = mounted.findUpper(name.trimmed().toUpper());
    if (index >= 0) return mounted.entries[index];
    throw CommandLineError(QStringLiteral("There is no volume %1 on server %2 (volumes: %3).")
                               .arg(name, server, listed(mounted.entries)));
}

void NameLookup::container(const QString& treePath) const {
    // A dotted name (SALES.ACME) would pass the look-up below and then find
    // no one: the run reads /C= as a tree path.
    const QString typed = treePath.trimmed();
    const QString belowTree = typed.section(QLatin1Char('\\'), 1);
    const bool treeAlone = typed.compare(m_env.app.treeName, Qt::CaseInsensitive) == 0;
    if ((!typed.contains(QLatin1Char('\\')) && !treeAlone) || belowTree.contains(QLatin1Char('.'))) {
        QStringList parts = (belowTree.isEmpty() ? typed : belowTree).split(QLatin1Char('.'), Qt::SkipEmptyParts);
        std::reverse(parts.begin(), parts.end());
        throw CommandLineError(QStringLiteral("/C= takes a tree path, the tree and its containers from the top "
                                              "down, such as %1\\%2; %3 is not one.")
                                   .arg(m_env.app.treeName, parts.isEmpty() ? QStringLiteral("[Root]")
                                                                             : parts.join(QLatin1Char('\\')),
                                        typed));
    }
    const QueryContext context(m_env, std::nullopt);
    QStringList below;
    const QString dotted = fcnTreePathToContext(treePath.trimmed(), m_env.app.treeName);
    const NWDSCCODE result = listContainers(m_env.client, context, dotted, below);
    if (result == nw::SUCCESSFUL) return;
    if (result != nw::ERR_NO_SUCH_ENTRY)
        throw CommandLineError(
            QStringLiteral("The container %1 cannot be looked up in %2 (error %3).")
                .arg(treePath, m_env.app.treeName, QString::number(result)));
    throw CommandLineError(QStringLiteral("There is no container %1 (containers: %2).")
                               .arg(treePath, listed(containers())));
}

// Every container of the tree as a tree path, top down.
QStringList NameLookup::containers() const {
    const QueryContext context(m_env, std::nullopt);
    QStringList dotted;
    QStringList pending = {QStringLiteral("[Root]")};
    while (!pending.isEmpty() && dotted.size() < kMostContainers) {
        QStringList below;
        listContainers(m_env.client, context, pending.takeFirst(), below);
        dotted += below;
        pending += below;
    }
    QStringList paths;
    for (const QString& name : std::as_const(dotted))
        paths.append(fcnContextToTreePath(name, m_env.app.treeName));
    return paths;
}

QString NameLookup::containerHolding(const QString& className, const QString& leaf) const {
    const QueryContext context(m_env, std::nullopt);
    QStringList holders;
    std::int32_t iteration = -1;
    do {
        QStringList names;
        if (m_env.client.NWDSSearch(context.handle(), QStringLiteral("[Root]"), 2, className, iteration, names) !=
            nw::SUCCESSFUL)
            break;
        for (const QString& name : std::as_const(names)) {
            if (fcnLeafName(name).compare(leaf, Qt::CaseInsensitive) == 0)
                holders.append(name.section(QLatin1Char('.'), 1));
        }
    } while (iteration != -1);
    if (holders.size() > 1) {
        QStringList paths;
        for (const QString& dotted : std::as_const(holders))
            paths.append(fcnContextToTreePath(dotted, m_env.app.treeName));
        throw CommandLineError(QStringLiteral("Several containers hold %1 (%2): name one with /C=.")
                                   .arg(leaf, listed(paths)));
    }
    return holders.isEmpty() ? QString() : fcnContextToTreePath(holders.front(), m_env.app.treeName);
}
