#pragma once

#include "netware/client/ldap_entry.h"
#include "netware/client/ldap_names.h"
#include "netware/client/ldap_schema.h"
#include "netware/client/site.h"

#include <optional>

// An object of an ldap tree with the DN it came from, which later searches,
// lookups and binds start from.
struct LdapObject {
    DirectoryObject object; // a group's members are not named here: see memberDns
    QByteArray dn;
    QList<QByteArray> memberDns; // a group's, as the directory lists them
};

// Turns what a search returned into the objects the client reports: the
// dotted name from the DN, the class from objectClass, a user's uid and
// names, a group's members as their DNs (named only when asked for: a
// member's name depends on what else the directory holds).
class LdapObjectReader {
public:
    LdapObjectReader(LdapSchema schema, const QString& baseDn);

    // Nothing for the base itself, an entry outside it or of a class the client does not know.
    std::optional<LdapObject> read(const LdapEntry& entry) const;
    const LdapSchema& schema() const { return m_schema; }

    // Where a DN sits below the base, as a dotted name.
    const LdapNames& names() const { return m_names; }

private:
    LdapSchema m_schema;
    LdapNames m_names;
};
