#pragma once

#include "netware/client/ldap_entry.h"
#include "netware/client/ldap_names.h"
#include "netware/client/ldap_schema.h"
#include "netware/client/site.h"

#include <optional>

// An object of an ldap tree with the DN it came from, which later searches,
// lookups and binds start from.
struct LdapObject {
    DirectoryObject object;
    QByteArray dn;
};

// Turns what a search returned into the objects the client reports: the
// dotted name from the DN, the class from objectClass, a user's uid and
// names, a group's members as dotted names.
class LdapObjectReader {
public:
    LdapObjectReader(LdapSchema schema, const QString& baseDn);

    // Nothing for the base itself, an entry outside it or of a class the client does not know.
    std::optional<LdapObject> read(const LdapEntry& entry) const;
    const LdapSchema& schema() const { return m_schema; }

private:
    // Members outside the tree's base have no dotted name and are left out.
    QStringList membersOf(const LdapEntry& entry) const;

    LdapSchema m_schema;
    LdapNames m_names;
};
