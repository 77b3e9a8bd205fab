#pragma once

#include "settings/settings_store.h"
#include "netware/directory_env.h"

#include <QString>
#include <QStringList>

// The questions the program puts to the directory and the servers outside
// the reports: trees, servers, volumes, users, groups, attributes, who is
// logged in. They fill the lists of the search panel.

// Makes the client's current tree the current tree name.
void subGetDefaultTree(const DirectoryEnv& env);
// The trees the workstation is connected to; a failed scan says so.
QStringList subListConnectedTrees(const DirectoryEnv& env);
// Every tree on the network, for the window that lists them ("frmAvailableTrees");
// empty for any other window.
QStringList subListAvailableTrees(const DirectoryEnv& env, const QString& windowName);
// Fills both server boxes with the servers (objects of the class) below the
// server search container, after "[All Servers]" in the Volume tab's box.
void subListServers(const DirectoryEnv& env, const SettingsStore& settings, const QString& className);
// Adds the server's mounted volumes, once each, to the list the window and
// mode name: "frmMain" mode 0 the available volumes (and, under "[All Servers]",
// the server-volume pairs), "frmMain" other modes the volume box,
// "frmCreateCommandLineRun" the builder's volume list (cliVolumes).
void subListServerVolumes(const DirectoryEnv& env, const QString& server, const QString& windowName, int mode,
                          ChoiceList* cliVolumes = nullptr);
// Fills target with the users (leaf names) directly in the container (a tree
// path), then "[Supervisor]" and "[No Owner]"; the first entry is shown.
// False when the directory failed part-way (the client's directoryFailure).
bool subListUsers(const DirectoryEnv& env, const QString& container, ChoiceList& target);
// Each listed user's full name beside it, for a list a person reads.
void subAddFullNames(const DirectoryEnv& env, ChoiceList& users);
// Fills target with the groups directly in the container; false as above.
bool subListGroups(const DirectoryEnv& env, const QString& container, ChoiceList& target);
// One value of an attribute, before its first "."; while the owner kind is
// "Group" the members go to the group-of-users list instead. failed, when
// given, tells a directory that did not answer from an absent value.
QString fcnReadAttribute(const DirectoryEnv& env, const QString& object, const QString& attribute, bool* failed = nullptr);
// "Full Name", else given name and surname; trimmed.
QString fcnGetFullName(const DirectoryEnv& env, const QString& user);
// The logged-in user's container with a leading ".", or "[PUBLIC]".
QString fcnWhoAmIContext(const DirectoryEnv& env);
// An owner as a row names it (relative to the owner context of the report
// that listed it), as the directory's full dotted name.
QString fcnOwnerDottedName(const AppState& app, const QString& owner);
// Where Select Owner and Select Group start on a first start: the tree's
// root, or on the host's own tree the organization holding its accounts.
QString fcnDefaultStartContainer(const DirectoryEnv& env);
