#pragma once

#include <QByteArray>

// A tree far deeper than PATH_MAX: levels nested "d" directories, every
// tenth beside a directory "l" holding a file "f".
namespace DeepTree {

constexpr int kLeafEvery = 10;

void build(const QByteArray& root, int levels);
// Removes what lies below root, however deep (QTemporaryDir cannot).
void remove(const QByteArray& root);
// File descriptors this process has open now.
int openFdCount();

} // namespace DeepTree
