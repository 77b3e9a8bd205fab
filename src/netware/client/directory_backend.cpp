#include "netware/client/directory_backend.h"

bool DirectoryBackend::isContainerClass(const QString& className) {
    return className == QLatin1String("Organization") || className == QLatin1String("Organizational Unit") ||
           className == QLatin1String("Country") || className == QLatin1String("Locality") ||
           className == QLatin1String("Domain");
}

QList<DirectoryObject> DirectoryBackend::containers(const QString& base) const {
    QList<DirectoryObject> found = search(base, Scope::OneLevel, {});
    found.removeIf([](const DirectoryObject& object) { return !isContainerClass(object.className); });
    return found;
}

QList<DirectoryBackend::Named> DirectoryBackend::named(const QString& base, Scope scope, const QString& className) const {
    QList<Named> found;
    for (const DirectoryObject& object : search(base, scope, className))
        found.append({object.name, object.uid});
    return found;
}

std::optional<QStringList> DirectoryBackend::membersOf(const QString& group) const {
    const std::optional<DirectoryObject> object = find(group);
    return object ? std::optional<QStringList>(object->members) : std::nullopt;
}
