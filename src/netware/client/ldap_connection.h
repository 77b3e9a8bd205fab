#pragma once

#include "netware/client/ldap_entry.h"
#include "netware/client/site.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

#include <lber.h>

struct ldap;
struct ldapmsg;

// One session with the directory of an ldap tree over the OpenLDAP client
// library: TLS as the tree says (certificates always checked), a simple bind,
// paged searches.
class LdapConnection {
public:
    enum class Scope { Base = 0, OneLevel = 1, Subtree = 2 };

    explicit LdapConnection(const TreeConfig& tree); // no network yet
    ~LdapConnection();
    LdapConnection(const LdapConnection&) = delete;
    LdapConnection& operator=(const LdapConnection&) = delete;

    // Connects and binds as dn with the password, anonymously when both are
    // empty; the caller wipes the password. One that would cross the network
    // in the clear is refused before anything is sent.
    bool open(const QByteArray& dn, char* password, qsizetype passwordSize);
    bool isOpen() const { return m_ld != nullptr; }

    // Hands out every entry below base that the filter selects, page by page,
    // so a server's size limit does not cut the list short; false on failure
    // (a list the server still cut short is a failure too).
    bool search(const QByteArray& base, Scope scope, const QByteArray& filter, const QList<QByteArray>& attributes,
                const std::function<void(const LdapEntry&)>& each);
    struct Query {
        QByteArray base;
        Scope scope = Scope::Subtree;
        QByteArray filter;
    };
    // The entries of several searches, a few asked at once, in the order
    // they arrive; false as soon as one fails.
    bool searchEach(const QList<Query>& queries, const QList<QByteArray>& attributes,
                    const std::function<void(const LdapEntry&)>& each);

    // What waiting on the server watches: a set cancel gives up at once
    // (LDAP_USER_CANCELLED); poll runs while waiting. Either may be empty.
    void setWaitControl(const std::atomic<bool>* cancel, std::function<void()> poll) {
        m_cancel = cancel;
        m_poll = std::move(poll);
    }

    // The LDAP result code of the last failure and what happened, in words.
    int errorCode() const { return m_errorCode; }
    const QString& errorText() const { return m_errorText; }
    // The server cannot be reached (any more).
    bool unreachable() const;

private:
    static QStringList texts(char** values);
    bool fail(int code, const QString& what);
    bool failWithDiagnostic(int code, const QString& what);
    bool failTls(int code, const QString& what);
    bool setOptions();
    bool setTlsOptions();
    bool startTls();
    bool bind(const QByteArray& dn, char* password, qsizetype passwordSize);
    bool awaitResult(int messageId, struct ldapmsg*& result, const QString& what, bool all);
    // A search under way: the page it waits for.
    struct Request {
        const Query* query = nullptr;
        berval cookie{0, nullptr}; // of the next page; owned
        bool firstPage = true;
        QStringList elsewhere; // referrals met
    };
    bool sendPage(Request request, char** attributes, QHash<int, Request>& inFlight);
    bool takeMessage(struct ldapmsg* message, QHash<int, Request>::iterator request, char** attributes,
                     QHash<int, Request>& inFlight, const std::function<void(const LdapEntry&)>& each);
    bool pageEnded(struct ldapmsg* result, Request& request);
    static QString searchText(const Query& query);
    void close();

    QString m_uri;
    bool m_startTls = false;
    bool m_ldaps = false;
    QString m_caFile;
    bool m_allowPlaintextPassword = false;
    ldap* m_ld = nullptr;
    int m_errorCode = 0;
    QString m_errorText;
    int m_pageSize = 1000; // Active Directory's largest page; smaller when the server refuses it
    int m_timeoutSeconds = 30;
    const std::atomic<bool>* m_cancel = nullptr;
    std::function<void()> m_poll;
};
