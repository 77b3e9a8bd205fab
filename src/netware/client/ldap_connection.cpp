#include "netware/client/ldap_connection.h"

#include "netware/client/ldap_address.h"

#include <QFile>
#include <QHash>

#include <ldap.h>

#include <QElapsedTimer>

#include <algorithm>

#include <sys/time.h>

#include <vector>

namespace {

constexpr int kSmallestPage = 50;
constexpr qsizetype kSearchesInFlight = 4; // on one connection at once

// A server's refusal of the page size asked for, not of the search.
bool refusesPageSize(int code) {
    return code == LDAP_ADMINLIMIT_EXCEEDED || code == LDAP_UNWILLING_TO_PERFORM;
}
constexpr time_t kConnectSeconds = 5; // a host that does not answer
constexpr long kWaitSliceMicroseconds = 100'000; // how often a wait looks at Stop

QString ldapText(int code) {
    return QString::fromUtf8(ldap_err2string(code));
}

// Read in place: the names and values point into the message until copied.
LdapEntry readEntry(LDAP* ld, LDAPMessage* message) {
    LdapEntry entry;
    BerElement* ber = nullptr;
    berval dn{0, nullptr};
    if (ldap_get_dn_ber(ld, message, &ber, &dn) != LDAP_SUCCESS)
        return entry;
    entry.dn = QByteArray(dn.bv_val, qsizetype(dn.bv_len));
    berval name{0, nullptr};
    berval* values = nullptr;
    while (ldap_get_attribute_ber(ld, message, ber, &name, &values) == LDAP_SUCCESS && name.bv_val) {
        QList<QByteArray> copied;
        for (berval* v = values; v && v->bv_val; ++v)
            copied.append(QByteArray(v->bv_val, qsizetype(v->bv_len)));
        entry.attributes.append({QByteArray(name.bv_val, qsizetype(name.bv_len)), std::move(copied)});
        ldap_memfree(values);
        values = nullptr;
    }
    ber_free(ber, 0);
    return entry;
}

// The cookie of the page response, empty after the last page.
int nextCookie(LDAP* ld, LDAPControl** controls, berval& cookie) {
    ber_memfree(cookie.bv_val);
    cookie = berval{0, nullptr};
    LDAPControl* page = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, controls, nullptr);
    if (!page)
        return LDAP_SUCCESS; // the server ignored paging and sent everything
    ber_int_t estimate = 0;
    return ldap_parse_pageresponse_control(ld, page, &estimate, &cookie);
}

} // namespace

LdapConnection::LdapConnection(const TreeConfig& tree)
    : m_uri(tree.uri),
      m_startTls(tree.startTls),
      m_caFile(tree.caFile),
      m_allowPlaintextPassword(tree.allowPlaintextPassword),
      m_timeoutSeconds(tree.timeoutSeconds) {
    m_ldaps = m_uri.contains(QLatin1String("ldaps://"), Qt::CaseInsensitive);
}

LdapConnection::~LdapConnection() {
    close();
}

void LdapConnection::close() {
    if (m_ld)
        ldap_unbind_ext_s(m_ld, nullptr, nullptr);
    m_ld = nullptr;
}

bool LdapConnection::fail(int code, const QString& what) {
    m_errorCode = code;
    m_errorText = m_uri + QStringLiteral(": ") + what;
    return false;
}

// The library's own words first, then what the server or TLS added.
bool LdapConnection::failWithDiagnostic(int code, const QString& what) {
    QString text = what.isEmpty() ? ldapText(code) : what + QStringLiteral(": ") + ldapText(code);
    char* diagnostic = nullptr;
    if (m_ld && ldap_get_option(m_ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == LDAP_OPT_SUCCESS && diagnostic) {
        const QString said = QString::fromUtf8(diagnostic);
        if (!said.isEmpty() && said != QLatin1String("(unknown error code)"))
            text += QStringLiteral(" (%1)").arg(said);
        ldap_memfree(diagnostic);
    }
    return fail(code, text);
}

// The library does not say why a handshake failed; a certificate the CA did
// not sign is the usual reason.
bool LdapConnection::failTls(int code, const QString& what) {
    failWithDiagnostic(code, what);
    const QString store = m_caFile.isEmpty() ? QStringLiteral("the system's store") : m_caFile;
    m_errorText += QStringLiteral("; if TLS failed, the library gives no reason: the usual ones are a server "
                                  "certificate not signed by a CA in %1, or not made out to the host named in the uri")
                       .arg(store);
    return false;
}

bool LdapConnection::unreachable() const {
    return m_errorCode == LDAP_SERVER_DOWN || m_errorCode == LDAP_CONNECT_ERROR || m_errorCode == LDAP_TIMEOUT ||
           m_errorCode == LDAP_CONFIDENTIALITY_REQUIRED;
}

bool LdapConnection::open(const QByteArray& dn, char* password, qsizetype passwordSize) {
    close();
    QString why;
    const std::optional<LdapAddress> address = LdapAddress::parse(m_uri, why);
    if (!address)
        return fail(LDAP_PARAM_ERROR, why);
    if (passwordSize > 0 && !m_allowPlaintextPassword && address->exposesPasswords(m_startTls))
        return fail(LDAP_CONFIDENTIALITY_REQUIRED,
                    QStringLiteral("refusing to send a password over plain ldap:// to a host other than this "
                                   "machine; use ldaps:// or starttls = true (or allow_plaintext_password = true)"));
    if (ldap_initialize(&m_ld, address->uri().toUtf8().constData()) != LDAP_SUCCESS) {
        m_ld = nullptr;
        return fail(LDAP_PARAM_ERROR, QStringLiteral("the address cannot be used"));
    }
    if (!setOptions() || !startTls() || !bind(dn, password, passwordSize)) {
        close();
        return false;
    }
    return true;
}

bool LdapConnection::setOptions() {
    const int version = LDAP_VERSION3;
    const timeval connect{std::min<time_t>(kConnectSeconds, m_timeoutSeconds), 0};
    const timeval operation{m_timeoutSeconds, 0};
    const int never = LDAP_DEREF_NEVER;
    if (ldap_set_option(m_ld, LDAP_OPT_PROTOCOL_VERSION, &version) != LDAP_OPT_SUCCESS ||
        ldap_set_option(m_ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF) != LDAP_OPT_SUCCESS ||
        ldap_set_option(m_ld, LDAP_OPT_RESTART, LDAP_OPT_ON) != LDAP_OPT_SUCCESS ||
        ldap_set_option(m_ld, LDAP_OPT_DEREF, &never) != LDAP_OPT_SUCCESS ||
        ldap_set_option(m_ld, LDAP_OPT_NETWORK_TIMEOUT, &connect) != LDAP_OPT_SUCCESS ||
        ldap_set_option(m_ld, LDAP_OPT_TIMEOUT, &operation) != LDAP_OPT_SUCCESS)
        return fail(LDAP_PARAM_ERROR, QStringLiteral("the client library refused its options"));
    return (m_ldaps || m_startTls) ? setTlsOptions() : true;
}

// Per connection, so the tree's CA holds whatever ldap.conf says; without a
// ca_file the library's default store (ldap.conf's TLS_CACERT, the system's).
QStringList LdapConnection::texts(char** values) {
    QStringList out;
    for (int i = 0; values && values[i]; ++i)
        out.append(QString::fromUtf8(values[i]));
    return out;
}

bool LdapConnection::setTlsOptions() {
    const int demand = LDAP_OPT_X_TLS_DEMAND;
    if (ldap_set_option(m_ld, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand) != LDAP_OPT_SUCCESS)
        return fail(LDAP_PARAM_ERROR, QStringLiteral("certificate checks cannot be turned on"));
    const QByteArray caFile = QFile::encodeName(m_caFile);
    if (!m_caFile.isEmpty() && ldap_set_option(m_ld, LDAP_OPT_X_TLS_CACERTFILE, caFile.constData()) != LDAP_OPT_SUCCESS)
        return fail(LDAP_PARAM_ERROR, QStringLiteral("the ca_file %1 cannot be used").arg(m_caFile));
    const int client = 0;
    if (ldap_set_option(m_ld, LDAP_OPT_X_TLS_NEWCTX, &client) != LDAP_OPT_SUCCESS)
        return failWithDiagnostic(LDAP_PARAM_ERROR,
                                  m_caFile.isEmpty() ? QStringLiteral("TLS cannot be set up")
                                                     : QStringLiteral("TLS cannot be set up with %1").arg(m_caFile));
    return true;
}

bool LdapConnection::startTls() {
    if (!m_startTls)
        return true;
    const int rc = ldap_start_tls_s(m_ld, nullptr, nullptr);
    return rc == LDAP_SUCCESS || failTls(rc, QStringLiteral("StartTLS"));
}

bool LdapConnection::bind(const QByteArray& dn, char* password, qsizetype passwordSize) {
    berval credentials{ber_len_t(passwordSize), password};
    int messageId = 0;
    int rc = ldap_sasl_bind(m_ld, dn.isEmpty() ? "" : dn.constData(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                            nullptr, &messageId);
    // Waited for in slices, as a search is: a Stop ends a bind to a server that hangs.
    LDAPMessage* result = nullptr;
    if (rc == LDAP_SUCCESS) {
        if (!awaitResult(messageId, result, QStringLiteral("bind"), true))
            return false;
        int code = LDAP_SUCCESS;
        rc = ldap_parse_result(m_ld, result, &code, nullptr, nullptr, nullptr, nullptr, 1);
        if (rc == LDAP_SUCCESS)
            rc = code;
    }
    if (rc == LDAP_SUCCESS)
        return true;
    if (rc == LDAP_TIMEOUT)
        return fail(rc, QStringLiteral("bind: no answer within %1 seconds (the tree's timeout)").arg(m_timeoutSeconds));
    if (m_ldaps && (rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR))
        return failTls(rc, QString());
    if (dn.isEmpty())
        return failWithDiagnostic(rc, QString());
    return failWithDiagnostic(rc, QStringLiteral("bind as %1").arg(QString::fromUtf8(dn)));
}

bool LdapConnection::search(const QByteArray& base, Scope scope, const QByteArray& filter,
                            const QList<QByteArray>& attributes, const std::function<void(const LdapEntry&)>& each) {
    return searchEach({{base, scope, filter}}, attributes, each);
}

// A few searches in flight on the connection: the server looks for the
// entries of the next while those of one are read. Each goes page by page;
// a page size the server refuses is halved and the search asked again.
bool LdapConnection::searchEach(const QList<Query>& queries, const QList<QByteArray>& attributes,
                                const std::function<void(const LdapEntry&)>& each) {
    if (!m_ld)
        return fail(LDAP_SERVER_DOWN, ldapText(LDAP_SERVER_DOWN));
    std::vector<char*> names;
    for (const QByteArray& name : attributes)
        names.push_back(const_cast<char*>(name.constData()));
    names.push_back(nullptr);
    QHash<int, Request> inFlight;
    qsizetype next = 0;
    bool ok = true;
    while (ok && (next < queries.size() || !inFlight.isEmpty())) {
        while (ok && next < queries.size() && inFlight.size() < kSearchesInFlight)
            ok = sendPage(Request{&queries[next++], {}, true, {}}, names.data(), inFlight);
        LDAPMessage* message = nullptr;
        if (!ok || !awaitResult(LDAP_RES_ANY, message, QStringLiteral("search"), false)) {
            ok = false;
            break;
        }
        const auto request = inFlight.find(ldap_msgid(message));
        if (request != inFlight.end())
            ok = takeMessage(message, request, names.data(), inFlight, each);
        ldap_msgfree(message);
    }
    // The others are called off, unless the connection itself is gone.
    for (auto it = inFlight.begin(); it != inFlight.end(); ++it) {
        if (!ok && !unreachable())
            ldap_abandon_ext(m_ld, it.key(), nullptr, nullptr);
        ber_memfree(it->cookie.bv_val);
    }
    return ok;
}

bool LdapConnection::sendPage(Request request, char** attributes, QHash<int, Request>& inFlight) {
    const Query& query = *request.query;
    LDAPControl* page = nullptr;
    if (ldap_create_page_control(m_ld, ber_int_t(m_pageSize), &request.cookie, 0, &page) != LDAP_SUCCESS)
        return fail(LDAP_NO_MEMORY, QStringLiteral("cannot ask for paged results"));
    LDAPControl* controls[] = {page, nullptr};
    int messageId = 0;
    const int rc = ldap_search_ext(m_ld, query.base.constData(), int(query.scope), query.filter.constData(), attributes,
                                   0, controls, nullptr, nullptr, LDAP_NO_LIMIT, &messageId);
    ldap_control_free(page);
    if (rc != LDAP_SUCCESS)
        return failWithDiagnostic(rc, searchText(query));
    inFlight.insert(messageId, std::move(request));
    return true;
}

// An entry is handed out as it arrives; a page's end sends the next page,
// or asks again with smaller pages, or ends the search.
bool LdapConnection::takeMessage(LDAPMessage* message, QHash<int, Request>::iterator request, char** attributes,
                                 QHash<int, Request>& inFlight, const std::function<void(const LdapEntry&)>& each) {
    const int type = ldap_msgtype(message);
    if (type == LDAP_RES_SEARCH_ENTRY) {
        each(readEntry(m_ld, message));
        return true;
    }
    if (type == LDAP_RES_SEARCH_REFERENCE) {
        char** urls = nullptr;
        if (ldap_parse_reference(m_ld, message, &urls, nullptr, 0) == LDAP_SUCCESS)
            request->elsewhere += texts(urls);
        ber_memvfree(reinterpret_cast<void**>(urls));
        return true;
    }
    if (type != LDAP_RES_SEARCH_RESULT)
        return true;
    Request ended = std::move(*request);
    inFlight.erase(request);
    const bool ok = pageEnded(message, ended);
    // A server that takes smaller pages only (OpenLDAP's size.pr, AD's
    // MaxPageSize) refuses the first one: ask again with smaller ones.
    if (!ok && ended.firstPage && refusesPageSize(m_errorCode) && m_pageSize > kSmallestPage) {
        m_pageSize = std::max(kSmallestPage, m_pageSize / 2);
        ber_memfree(ended.cookie.bv_val);
        return sendPage(Request{ended.query, {}, true, {}}, attributes, inFlight);
    }
    if (!ok || ended.cookie.bv_len == 0) {
        ber_memfree(ended.cookie.bv_val);
        return ok;
    }
    ended.firstPage = false;
    return sendPage(std::move(ended), attributes, inFlight);
}

QString LdapConnection::searchText(const Query& query) {
    return QStringLiteral("search below %1").arg(QString::fromUtf8(query.base));
}

// The next message of a request (all: the whole answer), waited for in
// slices: a Stop ends the wait at once, as does silence longer than the
// tree's timeout.
bool LdapConnection::awaitResult(int messageId, LDAPMessage*& result, const QString& what, bool all) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        timeval slice{0, kWaitSliceMicroseconds};
        const int type = ldap_result(m_ld, messageId, all ? LDAP_MSG_ALL : LDAP_MSG_ONE, &slice, &result);
        if (type > 0)
            return true;
        if (type < 0) {
            int code = LDAP_OTHER;
            ldap_get_option(m_ld, LDAP_OPT_RESULT_CODE, &code);
            return failWithDiagnostic(code, what);
        }
        const bool stopped = m_cancel && m_cancel->load();
        if (stopped || waited.hasExpired(qint64(m_timeoutSeconds) * 1000)) {
            if (messageId != LDAP_RES_ANY) // several: the caller abandons each
                ldap_abandon_ext(m_ld, messageId, nullptr, nullptr);
            return stopped ? fail(LDAP_USER_CANCELLED, what + QStringLiteral(": stopped"))
                           : fail(LDAP_TIMEOUT, QStringLiteral("%1: no answer within %2 seconds (the tree's timeout)")
                                                   .arg(what, QString::number(m_timeoutSeconds)));
        }
        if (m_poll)
            m_poll();
    }
}

// What the server said at a page's end: the cookie of the next page, or
// why the search failed.
bool LdapConnection::pageEnded(LDAPMessage* result, Request& request) {
    const QString what = searchText(*request.query);
    LDAPControl** returned = nullptr;
    char** referrals = nullptr;
    int code = LDAP_SUCCESS;
    int rc = ldap_parse_result(m_ld, result, &code, nullptr, nullptr, &referrals, &returned, 0);
    if (rc == LDAP_SUCCESS)
        rc = code; // what the server said of the search
    QStringList& elsewhere = request.elsewhere;
    elsewhere += texts(referrals);
    ber_memvfree(reinterpret_cast<void**>(referrals));
    // Entries held by another server are not followed: their users' space
    // would be counted as no one's.
    if (!elsewhere.isEmpty() && (rc == LDAP_SUCCESS || rc == LDAP_REFERRAL))
        rc = LDAP_REFERRAL;
    if (rc == LDAP_SUCCESS)
        rc = nextCookie(m_ld, returned, request.cookie);
    const QByteArray& base = request.query->base;
    if (rc == LDAP_SIZELIMIT_EXCEEDED)
        fail(rc, QStringLiteral("the server's size limit cut the list below %1 short even with paged results; "
                                "its administrator can let paged searches through (OpenLDAP: "
                                "size.prtotal=unlimited)").arg(QString::fromUtf8(base)));
    else if (rc == LDAP_REFERRAL)
        fail(rc, QStringLiteral("%1: the directory refers part of it to %2, which is not followed; "
                                "give the tree a base (or uri) that holds all of its users")
                     .arg(what, elsewhere.isEmpty() ? QStringLiteral("another server") : elsewhere.join(QStringLiteral(", "))));
    else if (rc != LDAP_SUCCESS)
        failWithDiagnostic(rc, what);
    ldap_controls_free(returned);
    return rc == LDAP_SUCCESS;
}
