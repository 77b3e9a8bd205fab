#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// How a directory names the classes and attributes the client reads: users,
// groups and their members, servers, the owner uid and the names of a user.
// Presets hold what eDirectory, OpenLDAP (inetOrgPerson, posixAccount,
// groupOfNames) and Active Directory use; a site file may change each name.
struct LdapSchema {
    QString userClass = QStringLiteral("inetOrgPerson");
    QString groupClass = QStringLiteral("groupOfNames");
    QString serverClass = QStringLiteral("ncpServer");
    QString memberAttribute = QStringLiteral("member");
    QString uidAttribute = QStringLiteral("uidNumber");
    QString fullNameAttribute = QStringLiteral("fullName");
    QString givenNameAttribute = QStringLiteral("givenName");
    QString surnameAttribute = QStringLiteral("sn");
    // LDAP class -> the container class the client reports, first match wins.
    QList<std::pair<QString, QString>> containerClasses = {
        {QStringLiteral("organizationalUnit"), QStringLiteral("Organizational Unit")},
        {QStringLiteral("organization"), QStringLiteral("Organization")},
        {QStringLiteral("country"), QStringLiteral("Country")},
        {QStringLiteral("locality"), QStringLiteral("Locality")},
        {QStringLiteral("domain"), QStringLiteral("Domain")},
        {QStringLiteral("dcObject"), QStringLiteral("Domain")}};

    static QStringList presetNames(); // edirectory, openldap, ad
    static std::optional<LdapSchema> preset(const QString& name);
    // Letters, digits and "-" starting with a letter, or a numeric OID.
    static bool isAttributeName(const QString& name);

    // The client's class of an entry ("User", "Organization", ...; empty for
    // none it knows), from its objectClass values and the attribute of its RDN.
    QString classOf(const QList<QByteArray>& objectClasses, const QString& rdnAttribute) const;
    // The filter selecting a client class; empty for one the directory cannot hold.
    QByteArray filterFor(const QString& className) const;
    // Container classes only.
    QByteArray containerFilter() const;
    // What an entry must carry for classOf and the object's attributes.
    QList<QByteArray> attributes() const;
    // Only what tells an entry's class and uid: a list of names and uids needs no more.
    QList<QByteArray> classAndUidAttributes() const;
};
