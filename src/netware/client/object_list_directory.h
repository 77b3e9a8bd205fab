#pragma once

#include "netware/client/directory_backend.h"

#include <QHash>

#include <functional>

// A directory held as a list of objects: the site file's inline trees and
// this host's accounts.
class ObjectListDirectory : public DirectoryBackend {
public:
    // Checks a user's password: 0 when it is right (see DirectoryBackend::login).
    using PasswordCheck = std::function<NWDSCCODE(const DirectoryObject& user, const QString& password)>;

    // Without a password check every login is refused.
    ObjectListDirectory(QList<DirectoryObject> objects, QString identity, PasswordCheck check = {});

    bool isContainer(const QString& base) const override;
    QList<DirectoryObject> search(const QString& base, Scope scope, const QString& className) const override;
    std::optional<DirectoryObject> find(const QString& name) const override;
    std::optional<DirectoryObject> userOfUid(std::uint32_t uid) const override;
    QString identity() const override { return m_identity; }
    NWDSCCODE login(const QString& name, const QString& password) override;

private:
    QList<DirectoryObject> m_objects;
    QHash<QString, qsizetype> m_byName; // upper-case name -> index
    QHash<std::uint32_t, qsizetype> m_userByUid; // the first user of each uid
    QString m_identity;
    PasswordCheck m_check;
};
