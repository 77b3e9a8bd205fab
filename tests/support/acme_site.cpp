#include "acme_site.h"

#include <QDir>
#include <QFile>

DirectoryObject AcmeSite::object(const QString& name, const QString& className, std::optional<std::uint32_t> uid) {
    DirectoryObject o;
    o.name = name;
    o.className = className;
    o.uid = uid;
    return o;
}

AcmeSite::AcmeSite() : m_path(m_dir.path()) {
    TreeConfig acme;
    acme.name = "ACME_TREE";
    acme.isDefault = true;
    acme.connected = true;
    acme.identity = "ADMIN.ACME";
    DirectoryObject jsmith = object("JSMITH.SALES.ACME", "User", 1001);
    jsmith.fullName = "John Smith";
    DirectoryObject bjones = object("BJONES.SALES.ACME", "User", 1002);
    bjones.givenName = "Barbara";
    bjones.surname = "Jones";
    DirectoryObject staff = object("STAFF.SALES.ACME", "Group");
    staff.members = {"JSMITH.SALES.ACME", "BJONES.SALES.ACME"};
    acme.objects = {object("ACME", "Organization"), object("SALES.ACME", "Organizational Unit"), jsmith, bjones,
                    object("ADMIN.ACME", "User", 1003), staff, object("EMPTY.SALES.ACME", "Group"),
                    object("FS1.ACME", "NCP Server")};
    TreeConfig host;
    host.name = "HOST_TREE";
    host.directory = DirectoryKind::System;
    host.connected = true;
    TreeConfig offline;
    offline.name = "FAR_TREE";
    m_site.trees = {acme, host, offline};
    ServerConfig fs1{"FS1", {}};
    for (const char* volume : {"SYS", "VOL1"}) {
        const QString path = m_path + "/" + QString(volume).toLower();
        QDir().mkpath(path);
        fs1.volumes.append({volume, QFile::encodeName(path)});
    }
    m_site.servers = {fs1, {"FS2", {{"SYS", QFile::encodeName(m_path + "/sys")}}}};
}

QByteArray AcmeSite::root(const QString& volume) const {
    return QFile::encodeName(m_path + "/" + volume.toLower());
}
