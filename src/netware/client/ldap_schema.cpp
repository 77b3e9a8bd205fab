#include "netware/client/ldap_schema.h"

#include "netware/client/ldap_names.h"

#include <QRegularExpression>

namespace {

bool hasClass(const QList<QByteArray>& objectClasses, const QString& name) {
    const QByteArray wanted = name.toUtf8();
    for (const QByteArray& value : objectClasses) {
        if (value.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The container class an RDN attribute stands for: an entry holding both
// organization and dcObject under "dc=" is a Domain, under "o=" an Organization.
QString containerOfRdn(const QString& attribute) {
    const QString a = attribute.toLower();
    if (a == QLatin1String("o"))
        return QStringLiteral("Organization");
    if (a == QLatin1String("ou"))
        return QStringLiteral("Organizational Unit");
    if (a == QLatin1String("c"))
        return QStringLiteral("Country");
    if (a == QLatin1String("l"))
        return QStringLiteral("Locality");
    if (a == QLatin1String("dc"))
        return QStringLiteral("Domain");
    return {};
}

QByteArray classFilter(const QString& ldapClass) {
    return "(objectClass=" + LdapNames::escapeFilterValue(ldapClass) + ')';
}

} // namespace

QStringList LdapSchema::presetNames() {
    return {QStringLiteral("edirectory"), QStringLiteral("openldap"), QStringLiteral("ad")};
}

std::optional<LdapSchema> LdapSchema::preset(const QString& name) {
    LdapSchema schema;
    if (name == QLatin1String("edirectory"))
        return schema;
    if (name == QLatin1String("openldap")) {
        schema.serverClass = QStringLiteral("device");
        schema.fullNameAttribute = QStringLiteral("displayName");
        return schema;
    }
    if (name == QLatin1String("ad")) {
        schema.userClass = QStringLiteral("user");
        schema.groupClass = QStringLiteral("group");
        // Computers are users too in AD; classOf takes the server class first.
        schema.serverClass = QStringLiteral("computer");
        schema.fullNameAttribute = QStringLiteral("displayName");
        // CN=Users and its kind hold the accounts.
        schema.containerClasses.append({QStringLiteral("container"), QStringLiteral("Organizational Unit")});
        return schema;
    }
    return std::nullopt;
}

bool LdapSchema::isAttributeName(const QString& name) {
    static const QRegularExpression descriptor(QStringLiteral("^([A-Za-z][A-Za-z0-9-]*|[0-9]+(\\.[0-9]+)+)$"));
    return descriptor.match(name).hasMatch();
}

QString LdapSchema::classOf(const QList<QByteArray>& objectClasses, const QString& rdnAttribute) const {
    // Leaf classes first: an entry that is a user is never listed as a container.
    if (hasClass(objectClasses, serverClass))
        return QStringLiteral("NCP Server");
    if (hasClass(objectClasses, groupClass))
        return QStringLiteral("Group");
    if (hasClass(objectClasses, userClass))
        return QStringLiteral("User");
    QString found;
    for (const auto& [ldapClass, clientClass] : containerClasses) {
        if (!hasClass(objectClasses, ldapClass))
            continue;
        if (clientClass == containerOfRdn(rdnAttribute))
            return clientClass;
        if (found.isEmpty())
            found = clientClass;
    }
    return found;
}

QByteArray LdapSchema::containerFilter() const {
    QByteArray filter = "(|";
    for (const auto& entry : containerClasses)
        filter += classFilter(entry.first);
    return filter + ')';
}

QByteArray LdapSchema::filterFor(const QString& className) const {
    if (className.isEmpty())
        return "(|" + classFilter(userClass) + classFilter(groupClass) + classFilter(serverClass) +
               containerFilter() + ')';
    if (className == QLatin1String("User"))
        return classFilter(userClass);
    if (className == QLatin1String("Group"))
        return classFilter(groupClass);
    if (className == QLatin1String("NCP Server"))
        return classFilter(serverClass);
    QByteArray filter;
    for (const auto& [ldapClass, clientClass] : containerClasses) {
        if (clientClass == className)
            filter += classFilter(ldapClass);
    }
    return filter.isEmpty() ? filter : "(|" + filter + ')';
}

QList<QByteArray> LdapSchema::classAndUidAttributes() const {
    return {"objectClass", uidAttribute.toUtf8()};
}

QList<QByteArray> LdapSchema::attributes() const {
    return {"objectClass",
            uidAttribute.toUtf8(),
            fullNameAttribute.toUtf8(),
            givenNameAttribute.toUtf8(),
            surnameAttribute.toUtf8(),
            memberAttribute.toUtf8()};
}
