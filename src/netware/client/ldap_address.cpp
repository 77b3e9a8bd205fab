#include "netware/client/ldap_address.h"

#include <QStringList>

#include <arpa/inet.h>
#include <ldap.h>
#include <netinet/in.h>

std::optional<LdapAddress> LdapAddress::parse(const QString& uri, QString& why) {
    LdapAddress address;
    const QStringList urls = uri.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (urls.isEmpty()) {
        why = QStringLiteral("it is empty");
        return std::nullopt;
    }
    for (const QString& url : urls) {
        LDAPURLDesc* desc = nullptr;
        if (ldap_url_parse(url.toUtf8().constData(), &desc) != LDAP_URL_SUCCESS) {
            why = QStringLiteral("\"%1\" is not an LDAP URL such as ldaps://ldap.example.com "
                                 "(ldap://, ldaps:// or ldapi://)").arg(url);
            return std::nullopt;
        }
        address.m_urls.append({QString::fromUtf8(desc->lud_scheme).toLower(), QString::fromUtf8(desc->lud_host)});
        ldap_free_urldesc(desc);
    }
    address.m_uri = urls.join(QLatin1Char(' '));
    return address;
}

bool LdapAddress::onlyPlainLdap() const {
    for (const Url& url : m_urls) {
        if (url.scheme != QLatin1String("ldap"))
            return false;
    }
    return true;
}

bool LdapAddress::exposesPasswords(bool startTls) const {
    for (const Url& url : m_urls) {
        if (url.scheme == QLatin1String("ldap") && !startTls && !isLoopback(url.host))
            return true;
    }
    return false;
}

// Names are not resolved: only what is plainly this machine counts.
bool LdapAddress::isLoopback(const QString& host) {
    QString h = host.toLower();
    if (h == QLatin1String("localhost") || h == QLatin1String("localhost."))
        return true;
    if (h.startsWith(QLatin1Char('[')) && h.endsWith(QLatin1Char(']')))
        h = h.mid(1, h.size() - 2);
    const QByteArray text = h.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}
