#pragma once

#include <QString>

// Conversions between the name forms: dotted names (JSMITH.SALES.ACME, leaf
// first), tree paths (TREE\ACME\SALES, from the top down), NetWare paths
// (SERVER/VOL:\DIR) and volume paths (\\SERVER\VOL).

// SALES.ACME -> TREE\ACME\SALES; an empty name gives the tree name and "\".
QString fcnContextToTreePath(const QString& dotted, const QString& treeName);

// TREE\ACME\SALES -> SALES.ACME; TREE\[Root] -> [Root]; empty -> "[Owner unavailable]".
// A leading part without a "\" before it (a path not starting with the tree
// name) becomes the last part of the result.
QString fcnTreePathToContext(const QString& path, const QString& treeName);

// Where the server list starts, as stored: a tree path as the starting
// container window writes it (TREE\ACME\SALES\, TREE\[Root]) or a dotted
// name; as the dotted name a search starts from (SALES.ACME, [Root]).
QString fcnStoredContainerToContext(const QString& stored, const QString& treeName);

// The leaf of a dotted name: JSMITH.SALES.ACME -> JSMITH.
QString fcnLeafName(const QString& dotted);

// A.B.C -> C.B.A; a name without "." is returned unchanged.
QString fcnReverseDottedName(const QString& name);

// SERVER\VOL\DIR -> SERVER/VOL:\DIR; SERVER\VOL -> SERVER/VOL:
QString fcnNetWarePath(const QString& text);
