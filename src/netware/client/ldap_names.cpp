#include "netware/client/ldap_names.h"

#include <ldap.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

QString textOf(const berval& value) {
    return QString::fromUtf8(value.bv_val, qsizetype(value.bv_len));
}

// A value given in BER (#04...) is kept as its hex form.
QString valueOf(const LDAPAVA& ava) {
    return (ava.la_flags & LDAP_AVA_BINARY)
               ? QString::fromLatin1(QByteArray(ava.la_value.bv_val, qsizetype(ava.la_value.bv_len)).toHex())
               : textOf(ava.la_value);
}

QString dottedValue(const QString& value) {
    QString part;
    part.reserve(value.size() + 2);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        const bool edgeBlank = c == u' ' && (i == 0 || i == value.size() - 1);
        if (edgeBlank || c == u'\\' || c == u'=' || c == u'{')
            part += QLatin1Char('\\');
        part += c == u'.' ? QChar(u'_') : c;
    }
    return LdapNames::upper(part);
}

// A leaf such as uid=jsmith or cn=John Smith: a letter-led attribute, a value
// of letters, digits, "-", "_", "." and inner blanks. It reads the same as
// the parser would read it, at a fraction of the cost: most leaves are such.
std::optional<LdapNames::Placed> plainLeaf(const QByteArray& leaf, const QString& parent) {
    const qsizetype equals = leaf.indexOf('=');
    if (equals <= 0 || equals + 1 >= leaf.size() || !std::isalpha(std::uint8_t(leaf[0])) ||
        leaf[equals + 1] == ' ' || leaf.back() == ' ')
        return std::nullopt;
    for (qsizetype i = 1; i < equals; ++i) {
        if (!std::isalnum(std::uint8_t(leaf[i])) && leaf[i] != '-')
            return std::nullopt;
    }
    const qsizetype length = leaf.size() - equals - 1;
    QString dotted(length + (parent.isEmpty() ? 0 : 1 + parent.size()), Qt::Uninitialized);
    QChar* out = dotted.data();
    for (qsizetype i = equals + 1; i < leaf.size(); ++i) {
        const char c = leaf[i];
        if (!std::isalnum(std::uint8_t(c)) && c != '-' && c != '_' && c != '.' && c != ' ')
            return std::nullopt;
        *out++ = QLatin1Char(c == '.' ? '_' : char(std::toupper(std::uint8_t(c))));
    }
    if (!parent.isEmpty()) { // in place: the name is made once, at its length
        *out++ = QLatin1Char('.');
        std::copy(parent.cbegin(), parent.cend(), out);
    }
    return LdapNames::Placed{dotted, QString::fromLatin1(leaf.constData(), equals)};
}

bool sameRdn(const LdapNames::Rdn& a, const LdapNames::Rdn& b) {
    return a.attribute.compare(b.attribute, Qt::CaseInsensitive) == 0 &&
           a.value.compare(b.value, Qt::CaseInsensitive) == 0;
}

} // namespace

LdapNames::LdapNames(const QString& baseDn) {
    const std::optional<QList<Rdn>> base = parse(baseDn.toUtf8());
    m_baseValid = base.has_value() && !base->isEmpty();
    if (base)
        m_base = *base;
}

std::optional<QList<LdapNames::Rdn>> LdapNames::parse(const QByteArray& dn) {
    LDAPDN parsed = nullptr;
    if (ldap_str2dn(dn.constData(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS)
        return std::nullopt;
    QList<Rdn> rdns;
    for (int i = 0; parsed && parsed[i]; ++i) {
        Rdn rdn{textOf(parsed[i][0]->la_attr), valueOf(*parsed[i][0]), {}};
        for (int j = 1; parsed[i][j]; ++j)
            rdn.moreValues.append(valueOf(*parsed[i][j]));
        rdns.append(rdn);
    }
    ldap_dnfree(parsed);
    return rdns;
}

// Where the DN's first RDN ends: its first "," that no "\\" escapes; -1 for none.
qsizetype LdapNames::leafEnd(const QByteArray& dn) {
    for (qsizetype i = 0; i < dn.size(); ++i) {
        if (dn[i] == '\\')
            ++i;
        else if (dn[i] == ',')
            return i;
        else if (dn[i] == '"')
            return -1; // an old quoted form: parsed whole
    }
    return -1;
}

QByteArray LdapNames::parentDn(const QByteArray& dn) {
    const qsizetype comma = leafEnd(dn);
    return comma < 0 ? QByteArray() : dn.mid(comma + 1);
}

// Thousands of entries share a few parents: a parent placed once is not
// parsed again, only each entry's own RDN.
std::optional<LdapNames::Placed> LdapNames::place(const QByteArray& dn) const {
    const qsizetype comma = leafEnd(dn);
    if (comma > 0) {
        const auto parent = m_parents.constFind(dn.mid(comma + 1));
        if (parent != m_parents.constEnd()) {
            if (std::optional<Placed> plain = plainLeaf(dn.left(comma), *parent))
                return plain;
            const std::optional<QList<Rdn>> leaf = parse(dn.left(comma));
            if (!leaf || leaf->size() != 1)
                return std::nullopt;
            return Placed{parent->isEmpty() ? dottedPart(leaf->first()) : dottedPart(leaf->first()) + QLatin1Char('.') + *parent,
                          leaf->first().attribute};
        }
    }
    std::optional<Placed> placed = placeWhole(dn);
    if (placed && !placed->name.isEmpty() && comma > 0 && m_parents.size() < kMostParents) {
        const qsizetype dot = placed->name.indexOf(QLatin1Char('.'));
        m_parents.insert(dn.mid(comma + 1), dot < 0 ? QString() : placed->name.mid(dot + 1));
    }
    return placed;
}

std::optional<LdapNames::Placed> LdapNames::placeWhole(const QByteArray& dn) const {
    const std::optional<QList<Rdn>> rdns = parse(dn);
    if (!rdns || rdns->size() < m_base.size())
        return std::nullopt;
    const qsizetype below = rdns->size() - m_base.size();
    for (qsizetype i = 0; i < m_base.size(); ++i) {
        if (!sameRdn((*rdns)[below + i], m_base[i]))
            return std::nullopt;
    }
    Placed placed;
    for (qsizetype i = 0; i < below; ++i)
        placed.name += (i ? QStringLiteral(".") : QString()) + dottedPart((*rdns)[i]);
    if (below > 0)
        placed.rdnAttribute = rdns->first().attribute;
    return placed;
}

QString LdapNames::dottedPart(const Rdn& rdn) {
    QString part = dottedValue(rdn.value);
    for (const QString& more : rdn.moreValues)
        part += QLatin1Char('+') + dottedValue(more);
    return part;
}

QString LdapNames::upper(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (!c.isSurrogate())
            c = c.toUpper();
    }
    return out;
}

QString LdapNames::leafValue(const QString& part) {
    QString value;
    for (qsizetype i = 0; i < part.size(); ++i) {
        const QChar c = part[i];
        if (c == u'\\' && i + 1 < part.size()) {
            value += part[++i];
            continue;
        }
        if (c == u'{')
            break; // what tells two entries of one name apart
        value += c;
    }
    return value;
}

QString LdapNames::escapeDnValue(const QString& value) {
    QString out;
    out.reserve(value.size() + 4);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        const bool edge = (i == 0 && (c == u' ' || c == u'#')) || (i == value.size() - 1 && c == u' ');
        if (c == QChar(0))
            out += QStringLiteral("\\00");
        else if (edge || QStringLiteral(",+\"\\<>;=").contains(c))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    return out;
}

QByteArray LdapNames::escapeFilterValue(const QString& value) {
    const QByteArray bytes = value.toUtf8();
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0')
            out += '\\' + QByteArray(1, c).toHex();
        else
            out += c;
    }
    return out;
}
