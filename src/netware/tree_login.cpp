#include "netware/tree_login.h"

namespace TreeLogin {

bool allowed(const QString& tree, const QString& user, const QString& context) {
    return !tree.isEmpty() && !user.isEmpty() && !context.isEmpty();
}

QString fcnRootedContext(const QString& context) {
    return context.startsWith(QLatin1Char('.')) ? context : QLatin1Char('.') + context;
}

QString fcnLoginName(const QString& user, const QString& rootedContext) {
    return (user.startsWith(QLatin1Char('.')) ? user : QLatin1Char('.') + user) + rootedContext;
}

NWDSCCODE subLogin(NetWareClient& client, AppState& app, const Entry& entry) {
    NWDSContextHandle context = 0;
    client.NWDSCreateContextHandle(context);
    if (!entry.server.isEmpty()) {
        // Only the login's result counts: a wrong server shows up there.
        NWCONN_HANDLE connection = 0;
        client.NWAttachToFileServer(entry.server, 0, connection);
    }
    const QString tree = entry.tree.toUpper();
    // A tree the client does not know cannot be attached to; the context
    // would otherwise stay on the client's current tree and log in there.
    const NWDSCCODE result =
        client.NWDSSetContext(context, nw::DCK_TREE_NAME, tree) != nw::SUCCESSFUL
            ? nw::UNABLE_TO_ATTACH
            : client.NWDSLogin(context, 0, fcnLoginName(entry.user, entry.context), entry.password, 0);
    client.NWDSFreeContext(context);
    if (result == nw::SUCCESSFUL) {
        app.blnLoggedIn = true;
        app.treeName = tree;
    }
    return result;
}

QString failureMessage(NWDSCCODE result) {
    return result == nw::UNABLE_TO_ATTACH ? QStringLiteral("Unable to attach to selected tree!")
                                          : QStringLiteral("Invalid Login id or Password, try again!");
}

} // namespace TreeLogin
