#include "netware/client/object_list_directory.h"

namespace {

QString parentOf(const QString& name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

bool isBelow(const QString& name, const QString& base, DirectoryBackend::Scope scope) {
    if (scope == DirectoryBackend::Scope::OneLevel)
        return parentOf(name).compare(base, Qt::CaseInsensitive) == 0;
    return base.isEmpty() || name.endsWith(QLatin1Char('.') + base, Qt::CaseInsensitive);
}

} // namespace

ObjectListDirectory::ObjectListDirectory(QList<DirectoryObject> objects, QString identity, PasswordCheck check)
    : m_objects(std::move(objects)), m_identity(std::move(identity)), m_check(std::move(check)) {
    for (qsizetype i = 0; i < m_objects.size(); ++i) {
        const DirectoryObject& object = m_objects[i];
        m_byName.insert(object.name.toUpper(), i);
        if (object.className == QLatin1String("User") && object.uid && !m_userByUid.contains(*object.uid))
            m_userByUid.insert(*object.uid, i);
    }
}

bool ObjectListDirectory::isContainer(const QString& base) const {
    if (base.isEmpty())
        return true;
    const std::optional<DirectoryObject> object = find(base);
    return object && isContainerClass(object->className);
}

QList<DirectoryObject> ObjectListDirectory::search(const QString& base, Scope scope,
                                                   const QString& className) const {
    QList<DirectoryObject> found;
    for (const DirectoryObject& object : m_objects) {
        if ((className.isEmpty() || object.className == className) && isBelow(object.name, base, scope))
            found.append(object);
    }
    return found;
}

std::optional<DirectoryObject> ObjectListDirectory::find(const QString& name) const {
    const auto it = m_byName.constFind(name.toUpper());
    if (it == m_byName.constEnd())
        return std::nullopt;
    return m_objects[*it];
}

std::optional<DirectoryObject> ObjectListDirectory::userOfUid(std::uint32_t uid) const {
    const auto it = m_userByUid.constFind(uid);
    if (it == m_userByUid.constEnd())
        return std::nullopt;
    return m_objects[*it];
}

NWDSCCODE ObjectListDirectory::login(const QString& name, const QString& password) {
    const std::optional<DirectoryObject> user = find(name);
    if (!user || user->className != QLatin1String("User"))
        return nw::ERR_FAILED_AUTHENTICATION;
    if (!m_check)
        return nw::ERR_NO_LOGIN_METHOD;
    const NWDSCCODE result = m_check(*user, password);
    if (result == nw::SUCCESSFUL)
        m_identity = user->name;
    return result;
}
