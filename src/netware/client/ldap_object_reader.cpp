#include "netware/client/ldap_object_reader.h"

#include <cstdint>

namespace {

std::optional<std::uint32_t> uidOf(const QString& text) {
    bool ok = false;
    const qulonglong value = text.trimmed().toULongLong(&ok);
    if (!ok || value > UINT32_MAX)
        return std::nullopt;
    return std::uint32_t(value);
}

} // namespace

LdapObjectReader::LdapObjectReader(LdapSchema schema, const QString& baseDn)
    : m_schema(std::move(schema)), m_names(baseDn) {}

std::optional<LdapObject> LdapObjectReader::read(const LdapEntry& entry) const {
    const std::optional<LdapNames::Placed> placed = m_names.place(entry.dn);
    if (!placed || placed->name.isEmpty())
        return std::nullopt;
    LdapObject found;
    DirectoryObject& object = found.object;
    object.className = m_schema.classOf(entry.valuesOf(QStringLiteral("objectClass")), placed->rdnAttribute);
    if (object.className.isEmpty())
        return std::nullopt;
    object.name = placed->name;
    found.dn = entry.dn;
    const bool user = object.className == QLatin1String("User");
    const bool group = object.className == QLatin1String("Group");
    if (user) {
        object.uid = uidOf(entry.firstOf(m_schema.uidAttribute));
        object.givenName = entry.firstOf(m_schema.givenNameAttribute);
        object.surname = entry.firstOf(m_schema.surnameAttribute);
    }
    if (user || group)
        object.fullName = entry.firstOf(m_schema.fullNameAttribute);
    if (group)
        found.memberDns = entry.valuesOf(m_schema.memberAttribute);
    return found;
}
