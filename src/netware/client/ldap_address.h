#pragma once

#include <QList>
#include <QString>

#include <optional>

// The uri of an ldap tree: one or more ldap://, ldaps:// or ldapi:// URLs
// separated by blanks, tried in turn.
class LdapAddress {
public:
    // Nothing, with the reason in why, for a uri that is not such a list.
    static std::optional<LdapAddress> parse(const QString& uri, QString& why);

    const QString& uri() const { return m_uri; }
    // Every URL is ldap://, the only kind StartTLS applies to.
    bool onlyPlainLdap() const;
    // A password sent here could be read on the way: some URL is plain
    // ldap:// (without StartTLS) to a host other than this machine. ldaps://
    // is encrypted, ldapi:// never leaves the host.
    bool exposesPasswords(bool startTls) const;
    static bool isLoopback(const QString& host);

private:
    struct Url {
        QString scheme; // lower-case
        QString host;
    };
    QList<Url> m_urls;
    QString m_uri;
};
