#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Names of a directory below its base DN as dotted names: the entry
// cn=JSMITH,ou=SALES,o=ACME,<base> is JSMITH.SALES.ACME, its RDN values leaf
// first, upper-case (names are case-insensitive), a "." in a value written "_"
// as it would split the name. The other way needs the directory (which
// attribute names each part), so it is not here.
class LdapNames {
public:
    struct Rdn {
        QString attribute;
        QString value; // unescaped
    };
    struct Placed {
        QString name;         // dotted; empty for the base itself
        QString rdnAttribute; // of the leaf, "cn"; empty for the base
    };

    explicit LdapNames(const QString& baseDn);
    bool baseIsValid() const { return m_baseValid; }

    // Where an entry sits below the base; nothing for a DN that cannot be read
    // or lies outside the base.
    std::optional<Placed> place(const QByteArray& dn) const;
    // One part of a dotted name from an RDN value.
    static QString dottedPart(const QString& value);

    // RDNs leaf first (the first value of a multi-valued RDN); nothing when
    // the text is no DN. "" is the empty DN.
    static std::optional<QList<Rdn>> parse(const QByteArray& dn);
    // A value put into a DN (RFC 4514): "Smith, John" -> "Smith\, John".
    static QString escapeDnValue(const QString& value);
    // A value put into a search filter (RFC 4515): "*)(uid=*" -> "\2a\29\28uid=\2a".
    static QByteArray escapeFilterValue(const QString& value);

private:
    QList<Rdn> m_base;
    bool m_baseValid = false;
};
