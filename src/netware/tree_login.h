#pragma once

#include "netware/client/netware_client.h"
#include "settings/app_state.h"

#include <QString>

// Logging into a directory tree as a user: the login name built from a user
// name and a context, the client calls, and what a failure says.
namespace TreeLogin {

struct Entry {
    QString tree;
    QString user;
    QString context; // dotted, from the root (".SALES.ACME")
    QString password;
    QString server; // attached to first when not empty
};

// "Login" asks for a tree, a user name and a context; password and server may be empty.
bool allowed(const QString& tree, const QString& user, const QString& context);

// The context as a name from the root: SALES.ACME -> .SALES.ACME.
QString fcnRootedContext(const QString& context);

// ADMIN or .ADMIN with .SALES.ACME -> .ADMIN.SALES.ACME.
QString fcnLoginName(const QString& user, const QString& rootedContext);

// Logs in; on success the upper-cased tree becomes the current tree and
// blnLoggedIn is set. Returns the login's result; the password is not kept.
NWDSCCODE subLogin(NetWareClient& client, AppState& app, const Entry& entry);

// What the user is told after a failed login.
QString failureMessage(NWDSCCODE result);

} // namespace TreeLogin
