#pragma once

#include "netware/client/site.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// What a tree's directory answers: its objects by name, by place and by
// owner uid. Names are full typeless dotted names from the root, without a
// leading or trailing "."; an empty base means the root.
class DirectoryBackend {
public:
    enum class Scope { OneLevel = 1, Subtree = 2 };

    virtual ~DirectoryBackend() = default;

    // Whether the base names the root or an existing container.
    virtual bool isContainer(const QString& base) const = 0;
    // Objects of the class (any class when empty) below the base.
    virtual QList<DirectoryObject> search(const QString& base, Scope scope, const QString& className) const = 0;
    virtual std::optional<DirectoryObject> find(const QString& name) const = 0;
    // The user that owns files of this uid, if the tree has one.
    virtual std::optional<DirectoryObject> userOfUid(std::uint32_t uid) const = 0;
    // Who the directory reports before a login; empty for [PUBLIC].
    virtual QString identity() const = 0;
};
