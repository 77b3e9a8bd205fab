#include "netware/container_tree.h"

#include <QStringList>

namespace ContainerTree {

namespace {

QString dot() {
    return QStringLiteral(".");
}

// How a class is shown: its picture, its placeholder's, and where it goes.
struct ClassForm {
    int icon = 0;
    int placeholderIcon = 0;
    enum Place { AtRoot, LikeOrganization, BelowListed } place = AtRoot;
};

std::optional<ClassForm> formOf(const QString& baseClass) {
    const QString upper = baseClass.toUpper();
    if (upper == QLatin1String("COUNTRY"))
        return ClassForm{kCountryIcon, kOrganizationIcon, ClassForm::AtRoot};
    if (upper == QLatin1String("ORGANIZATION"))
        return ClassForm{kOrganizationIcon, kOrganizationIcon, ClassForm::LikeOrganization};
    if (upper == QLatin1String("ORGANIZATIONAL UNIT"))
        return ClassForm{kUnitIcon, kUnitIcon, ClassForm::BelowListed};
    if (upper == QLatin1String("DOMAIN"))
        return ClassForm{kDomainIcon, kOrganizationIcon, ClassForm::LikeOrganization};
    return std::nullopt;
}

// Sets a context on the tree, listing under the name context, with typeless names.
NWDSCCODE openContext(NetWareClient& client, NWDSContextHandle& context, const QString& tree,
                      const QString& startContext) {
    client.NWDSCreateContextHandle(context);
    // A tree the client does not know would leave the context on another tree.
    const NWDSCCODE treeSet = client.NWDSSetContext(context, nw::DCK_TREE_NAME, tree);
    client.NWDSSetContext(context, nw::DCK_NAME_CONTEXT, startContext);
    std::uint32_t flags = 0;
    client.NWDSGetContext(context, nw::DCK_FLAGS, flags);
    client.NWDSSetContext(context, nw::DCK_FLAGS, flags | nw::DCV_TYPELESS_NAMES);
    return treeSet;
}

} // namespace

QString rootKey() {
    return QStringLiteral("[Root]");
}

QString placeholderText() {
    return QStringLiteral("_dummy");
}

QString childName(const QString& name, const QString& listed) {
    const QString suffix = dot() + listed;
    if (listed != rootKey() && name.endsWith(suffix, Qt::CaseInsensitive) && name.size() > suffix.size())
        return name.chopped(suffix.size());
    return name;
}

std::optional<Nodes> nodesOf(const ContainerEntry& entry, const QString& listed, const QString& nodeKey,
                             const QString& tree) {
    const std::optional<ClassForm> form = formOf(entry.baseClass);
    if (!form)
        return std::nullopt;
    const QString name = childName(entry.name, listed);
    const bool firstLevel = form->place == ClassForm::AtRoot ||
                            (form->place == ClassForm::LikeOrganization && listed == rootKey());
    const QString placeholderKey = firstLevel ? dot() + name : dot() + name + dot() + listed;
    QString parent = nodeKey;
    if (form->place == ClassForm::AtRoot || (form->place == ClassForm::LikeOrganization && nodeKey == tree))
        parent = rootKey();
    const QString key = placeholderKey + dot() + tree;
    return Nodes{{parent, key, name, form->icon}, {key, placeholderKey, placeholderText(), form->placeholderIcon}};
}

QString fcnNewContext(const QString& key, const QString& tree) {
    return key.mid(1, std::max<qsizetype>(0, key.size() - 1 - (tree.size() + 1)));
}

QString fcnStartContext(const QString& newContext) {
    const qsizetype at = newContext.indexOf(QLatin1Char('.'));
    return at < 0 ? newContext : newContext.mid(at + 1);
}

QString fcnSelectedPath(const QString& nodePath, const QString& tree) {
    return nodePath == tree ? tree + QStringLiteral("\\[Root]") : nodePath;
}

QString fcnFlipToDots(const QString& path, const QString& tree) {
    const QStringList parts = path.split(QLatin1Char('\\'));
    QString dotted;
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        if (i > 0 || parts[i] != tree)
            dotted += dot() + parts[i];
    }
    return dotted;
}

void subIterateContexts(NetWareClient& client, Host& host, const QString& tree, const QString& newContext,
                        const QString& startContext, const QString& nodeKey,
                        const std::function<void(const Node&)>& add) {
    NWDSContextHandle context = 0;
    const NWDSCCODE treeSet = openContext(client, context, tree, startContext);
    std::int32_t iteration = -1;
    do {
        QList<ContainerEntry> entries;
        const NWDSCCODE result = treeSet != nw::SUCCESSFUL
                                     ? treeSet
                                     : client.NWDSListContainers(context, dot() + newContext, iteration, entries);
        if (result != nw::SUCCESSFUL) {
            host.message(QStringLiteral("Error - %1 listing containers! Selected container is: %2")
                             .arg(QString::number(result), newContext));
            break;
        }
        for (const ContainerEntry& entry : std::as_const(entries)) {
            if (const std::optional<Nodes> nodes = nodesOf(entry, newContext, nodeKey, tree)) {
                add(nodes->container);
                add(nodes->placeholder);
            }
        }
        host.pollEvents();
    } while (iteration != -1);
    client.NWDSFreeContext(context);
}

} // namespace ContainerTree
