#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <memory>

// How a SlapdServer is set up.
struct SlapdOptions {
    int sizeLimit = 0;                 // entries a search returns at most; 0: no limit
    bool pagingPassesSizeLimit = true; // paged searches may go past sizeLimit, as in AD
    int pageSizeLimit = 0;             // the largest page a paged search may ask for (size.pr); 0: any
    bool tls = false;                  // also ldaps:// and StartTLS, with a throw-away CA
    // slapd "access" lines; by default anyone reads, passwords serve binds only.
    QString access = {};
};

// A slapd of the test's own: configuration, database, certificates and pid
// file in the given folder, listening on free loopback ports, stopped when it
// goes. The database's suffix (baseDn()) exists from the start; load() adds
// LDIF as the directory's administrator.
//
//   SlapdServer server(dir.path());
//   server.load(DirectoryData::ldif(objects, SlapdServer::baseDn()));
//   tree.uri = server.uri();
class SlapdServer {
public:
    using Options = SlapdOptions;

    static bool available(); // the slapd binary is installed
    static int freePort();   // a loopback port nothing listens on now
    static QString baseDn() { return QStringLiteral("dc=quarvo,dc=test"); }
    static QString adminDn() { return QStringLiteral("cn=admin,dc=quarvo,dc=test"); }

    explicit SlapdServer(const QString& folder, Options options = {});
    ~SlapdServer();
    SlapdServer(const SlapdServer&) = delete;
    SlapdServer& operator=(const SlapdServer&) = delete;

    bool running() const;
    const QString& why() const { return m_why; } // why it did not start or load
    bool load(const QByteArray& ldif);
    void stop();
    // Stops it answering without closing its connections (SIGSTOP), and lets it go on.
    void freeze();
    void thaw();
    bool start(); // again, on the same ports and data

    QString uri() const;      // ldap://127.0.0.1:<port>
    QString ldapsUri() const; // ldaps://127.0.0.1:<port>, with tls
    QString caFile() const;   // the CA that signed the server's certificate
    QString otherCaFile() const; // a CA that did not
    QString adminPasswordFile() const;
    // A site file's [[tree]] section reading this server anonymously, with
    // OpenLDAP's names (as DirectoryData writes them).
    QString siteTree(const QString& name) const;

private:
    bool writeConfig();
    bool makeCertificates();
    bool openssl(const QStringList& arguments);
    bool launch();
    bool waitUntilAnswering();
    QString path(const QString& name) const;

    QString m_folder;
    Options m_options;
    int m_port = 0;
    int m_tlsPort = 0;
    std::unique_ptr<QProcess> m_process;
    QString m_why;
};
