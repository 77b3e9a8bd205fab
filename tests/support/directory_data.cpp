#include "directory_data.h"

#include "netware/client/ldap_names.h"

#include <QHash>

namespace {

// The value of a name's leaf: "B\\\\C" is B\C.
QString leafOf(const QString& name) {
    return LdapNames::leafValue(name.section(QLatin1Char('.'), 0, 0));
}

DirectoryObject object(const QString& name, const QString& className) {
    DirectoryObject o;
    o.name = name;
    o.className = className;
    return o;
}

QString namingAttribute(const QString& className) {
    static const QHash<QString, QString> naming = {{"Organization", "o"}, {"Organizational Unit", "ou"},
                                                   {"Country", "c"},      {"Locality", "l"},
                                                   {"Domain", "dc"}};
    return naming.value(className, QStringLiteral("cn"));
}

QStringList ldapClasses(const QString& className) {
    static const QHash<QString, QStringList> classes = {
        {"Organization", {"organization"}}, {"Organizational Unit", {"organizationalUnit"}},
        {"Country", {"country"}},           {"Locality", {"locality"}},
        {"Domain", {"domain"}},             {"User", {"inetOrgPerson", "posixAccount"}},
        {"Group", {"groupOfNames"}},        {"NCP Server", {"device"}}};
    return classes.value(className);
}

// RFC 2849: values that are not plain ASCII text, or would be misread at
// their edges, are written in base64.
QString line(const QString& attribute, const QString& value) {
    const QByteArray bytes = value.toUtf8();
    bool safe = !bytes.startsWith(' ') && !bytes.startsWith(':') && !bytes.startsWith('<') && !bytes.endsWith(' ');
    for (const char c : bytes)
        safe = safe && c > 0 && c != '\n' && c != '\r';
    if (safe)
        return attribute + QStringLiteral(": ") + value + QLatin1Char('\n');
    return attribute + QStringLiteral(":: ") + QString::fromLatin1(bytes.toBase64()) + QLatin1Char('\n');
}

QString tomlString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

class LdifWriter {
public:
    LdifWriter(const QList<DirectoryObject>& objects, const QString& baseDn) : m_baseDn(baseDn) {
        for (const DirectoryObject& o : objects)
            m_classes.insert(o.name, o.className);
    }

    QString dnOf(const QString& name) const {
        QString dn;
        QString rest = name;
        while (!rest.isEmpty()) {
            const QString parent = rest.section(QLatin1Char('.'), 1);
            dn += namingAttribute(m_classes.value(rest)) + QLatin1Char('=') + LdapNames::escapeDnValue(leafOf(rest)) +
                  QLatin1Char(',');
            rest = parent;
        }
        return dn + m_baseDn;
    }

    QString entry(const DirectoryObject& o) const {
        const QString leaf = leafOf(o.name);
        QString text = line(QStringLiteral("dn"), dnOf(o.name));
        for (const QString& ldapClass : ldapClasses(o.className))
            text += line(QStringLiteral("objectClass"), ldapClass);
        text += line(namingAttribute(o.className), leaf);
        if (o.className == QLatin1String("User"))
            text += userAttributes(o, leaf);
        if (o.className == QLatin1String("Group"))
            text += groupAttributes(o);
        return text + QLatin1Char('\n');
    }

private:
    QString userAttributes(const DirectoryObject& o, const QString& leaf) const {
        QString text = line(QStringLiteral("sn"), o.surname.isEmpty() ? leaf : o.surname) +
                       line(QStringLiteral("uid"), leaf.toLower()) +
                       line(QStringLiteral("uidNumber"), QString::number(o.uid.value_or(0))) +
                       line(QStringLiteral("gidNumber"), QStringLiteral("100")) +
                       line(QStringLiteral("homeDirectory"), QStringLiteral("/home/") + leaf.toLower());
        if (!o.givenName.isEmpty())
            text += line(QStringLiteral("givenName"), o.givenName);
        if (!o.fullName.isEmpty())
            text += line(QStringLiteral("displayName"), o.fullName);
        if (!o.passwordHash.isEmpty())
            text += line(QStringLiteral("userPassword"), QStringLiteral("{CRYPT}") + o.passwordHash);
        return text;
    }

    // groupOfNames needs a member: an empty group holds the empty DN, which
    // names nothing in the tree.
    QString groupAttributes(const DirectoryObject& o) const {
        QString text;
        if (!o.fullName.isEmpty())
            text += line(QStringLiteral("objectClass"), QStringLiteral("extensibleObject")) +
                    line(QStringLiteral("displayName"), o.fullName);
        if (o.members.isEmpty())
            return text + QStringLiteral("member:\n");
        for (const QString& member : o.members)
            text += line(QStringLiteral("member"), dnOf(member));
        return text;
    }

    QString m_baseDn;
    QHash<QString, QString> m_classes;
};

void addUsers(const DirectoryData::Shape& shape, const QStringList& units, QList<DirectoryObject>& objects) {
    for (int i = 0; i < shape.users; ++i) {
        const QString number = QStringLiteral("%1").arg(i + 1, 5, 10, QLatin1Char('0'));
        const QString unit = shape.spreadUsers ? units[i % units.size()] : units.first();
        DirectoryObject user = object(QStringLiteral("USER%1.%2").arg(number, unit), QStringLiteral("User"));
        user.uid = shape.firstUid + std::uint32_t(i);
        user.givenName = QStringLiteral("User");
        user.surname = QStringLiteral("Number ") + number;
        user.fullName = user.givenName + QLatin1Char(' ') + user.surname;
        objects.append(user);
    }
}

void addGroups(const DirectoryData::Shape& shape, const QList<DirectoryObject>& users, QList<DirectoryObject>& objects) {
    for (int g = 0; g < shape.groups; ++g) {
        DirectoryObject group =
            object(QStringLiteral("GROUP%1.%2").arg(g + 1, 3, 10, QLatin1Char('0')).arg(shape.organization), "Group");
        for (qsizetype u = g; u < users.size(); u += shape.groups)
            group.members.append(users[u].name);
        objects.append(group);
    }
}

} // namespace

QList<DirectoryObject> DirectoryData::generate(const Shape& shape) {
    const QString org = shape.organization;
    QList<DirectoryObject> objects = {object(org, QStringLiteral("Organization"))};
    QStringList units;
    for (int u = 0; u < std::max(shape.units, 1); ++u) {
        units.append(QStringLiteral("UNIT%1.%2").arg(u + 1, 3, 10, QLatin1Char('0')).arg(org));
        objects.append(object(units.last(), QStringLiteral("Organizational Unit")));
    }
    if (shape.subContainers > 0) {
        objects.append(object(QStringLiteral("MANY.") + org, QStringLiteral("Organizational Unit")));
        for (int s = 0; s < shape.subContainers; ++s)
            objects.append(object(QStringLiteral("SUB%1.MANY.%2").arg(s + 1, 4, 10, QLatin1Char('0')).arg(org),
                                  QStringLiteral("Organizational Unit")));
    }
    QList<DirectoryObject> users;
    addUsers(shape, units, users);
    objects += users;
    addGroups(shape, users, objects);
    objects.append(object(QStringLiteral("FS1.") + org, QStringLiteral("NCP Server")));
    return objects;
}

QByteArray DirectoryData::ldif(const QList<DirectoryObject>& objects, const QString& baseDn,
                               const QList<DirectoryObject>& known) {
    const LdifWriter writer(known + objects, baseDn);
    QString text;
    for (const DirectoryObject& o : objects)
        text += writer.entry(o);
    return text.toUtf8();
}

QString DirectoryData::toml(const QList<DirectoryObject>& objects) {
    QString text = QStringLiteral("[tree.objects]\n");
    for (const DirectoryObject& o : objects) {
        QStringList fields = {QStringLiteral("class = ") + tomlString(o.className)};
        if (o.uid)
            fields.append(QStringLiteral("uid = ") + QString::number(*o.uid));
        const QList<std::pair<const char*, QString>> texts = {{"full_name", o.fullName}, {"given_name", o.givenName},
                                                              {"surname", o.surname}, {"password_hash", o.passwordHash}};
        for (const auto& [key, value] : texts) {
            if (!value.isEmpty())
                fields.append(QLatin1String(key) + QStringLiteral(" = ") + tomlString(value));
        }
        if (o.className == QLatin1String("Group")) {
            QStringList members;
            for (const QString& member : o.members)
                members.append(tomlString(member));
            fields.append(QStringLiteral("members = [") + members.join(QStringLiteral(", ")) + QLatin1Char(']'));
        }
        text += tomlString(o.name) + QStringLiteral(" = { ") + fields.join(QStringLiteral(", ")) + QStringLiteral(" }\n");
    }
    return text;
}
