#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QString>

#include <optional>

// Names of a directory below its base DN as dotted names: the entry
// cn=JSMITH,ou=SALES,o=ACME,<base> is JSMITH.SALES.ACME, its RDN values leaf
// first, upper-case (names are case-insensitive), a "." in a value written "_"
// as it would split the name. A "\", "=" or "{" in a value and a blank at
// either end of one are escaped with "\", so that no part is ever read as a
// type prefix ("CN="), a tree path separator or trimmed away; the values of a
// multi-valued RDN are joined with "+". The other way needs the directory
// (which attribute names each part), so it is not here.
class LdapNames {
public:
    struct Rdn {
        QString attribute;
        QString value; // unescaped
        QStringList moreValues; // of a multi-valued RDN, after the first
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
    // One part of a dotted name from an RDN.
    static QString dottedPart(const Rdn& rdn);
    // Upper case character by character: "straße" stays apart from "STRASSE".
    static QString upper(const QString& text);
    // The value a dotted part was made from, as far as it can be told (a "_"
    // may have been a ".", a "+" may join two values), for a search filter.
    static QString leafValue(const QString& part);

    // The DN without its first RDN: "ou=SALES,o=ACME" for "cn=BOB,ou=SALES,o=ACME".
    static QByteArray parentDn(const QByteArray& dn);
    // RDNs leaf first; nothing when
    // the text is no DN. "" is the empty DN.
    static std::optional<QList<Rdn>> parse(const QByteArray& dn);
    // A value put into a DN (RFC 4514): "Smith, John" -> "Smith\, John".
    static QString escapeDnValue(const QString& value);
    // A value put into a search filter (RFC 4515): "*)(uid=*" -> "\2a\29\28uid=\2a".
    static QByteArray escapeFilterValue(const QString& value);

private:
    static constexpr qsizetype kMostParents = 100'000;
    static qsizetype leafEnd(const QByteArray& dn);
    std::optional<Placed> placeWhole(const QByteArray& dn) const;

    // Parent DN -> its dotted name ("" for the base), as placed before.
    mutable QHash<QByteArray, QString> m_parents;
    QList<Rdn> m_base;
    bool m_baseValid = false;
};
