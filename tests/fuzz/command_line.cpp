// Command lines, as typed or as a script builds them: whatever the text, the
// switch checks pass or refuse it with a message, and applying it to a fresh
// panel over a small fixed site either sets the panel consistently or is
// refused with a CommandLineError that says why; nothing else. Input: the
// argument string in UTF-8.
#include "app/cli_host.h"
#include "app/command_line.h"
#include "app/command_line_mode.h"
#include "app/switch_rules.h"
#include "netware/directory_queries.h"
#include "reports/cell_format.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char* what, const QString& line, const QString& detail = {}) {
    std::fprintf(stderr, "%s\ncommand line: \"%s\"\n%s\n", what, line.toUtf8().constData(),
                 detail.toUtf8().constData());
    std::abort();
}

DirectoryObject object(const char* name, const char* className,
                       std::optional<std::uint32_t> uid = {}) {
    DirectoryObject o;
    o.name = QString::fromLatin1(name);
    o.className = QString::fromLatin1(className);
    o.uid = uid;
    return o;
}

// An inline tree ACME_TREE (ACME, SALES below it, users JSMITH, BJONES and
// ADMIN, groups STAFF and EMPTY, the server FS1), the host's own tree, a tree
// that is not connected, and servers FS1 (SYS, VOL1) and FS2 (SYS) whose
// volumes hold a few folders: names with a blank, outside ASCII, two that
// differ only in case, and a symbolic link out of the volume.
struct FixedSite {
    QTemporaryDir dir;
    Site site;

    FixedSite() {
        TreeConfig acme;
        acme.name = "ACME_TREE";
        acme.isDefault = true;
        acme.connected = true;
        acme.identity = "ADMIN.ACME";
        DirectoryObject staff = object("STAFF.SALES.ACME", "Group");
        staff.members = {"JSMITH.SALES.ACME", "BJONES.SALES.ACME"};
        acme.objects = {object("ACME", "Organization"),
                        object("SALES.ACME", "Organizational Unit"),
                        object("JSMITH.SALES.ACME", "User", 1001),
                        object("BJONES.SALES.ACME", "User", 1002),
                        object("ADMIN.ACME", "User", 1003),
                        staff,
                        object("EMPTY.SALES.ACME", "Group"),
                        object("FS1.ACME", "NCP Server")};
        TreeConfig host;
        host.name = "HOST_TREE";
        host.directory = DirectoryKind::System;
        host.connected = true;
        TreeConfig far;
        far.name = "FAR_TREE";
        site.trees = {acme, host, far};
        const QString root = dir.path();
        for (const char* folder :
             {"sys", "vol1/USERS/JSMITH", "vol1/DATA/My Docs", "vol1/DATA/Caf\u00e9",
              "vol1/CASE/abc", "vol1/CASE/ABC", "fs2sys"})
            QDir().mkpath(root + "/" + QString::fromUtf8(folder));
        if (::symlink("/", QFile::encodeName(root + "/vol1/OUT").constData()) != 0)
            fail("cannot make the symbolic link", root);
        site.servers = {{"FS1",
                         {{"SYS", QFile::encodeName(root + "/sys")},
                          {"VOL1", QFile::encodeName(root + "/vol1")}}},
                        {"FS2", {{"SYS", QFile::encodeName(root + "/fs2sys")}}}};
    }
};

const Site& fixedSite() {
    static const FixedSite fixed;
    return fixed.site;
}

std::FILE* nowhere() {
    static std::FILE* file = std::fopen("/dev/null", "w");
    return file;
}

// The switch checks alone: they pass or refuse with a message, and what
// checkWords passes holds only known switches, each once.
void checkRules(const CommandLine& line, const QString& text) {
    if (line.upper().size() != line.typed().size())
        fail("the upper-cased line has another length", text);
    try {
        SwitchRules::checkWords(line);
        QStringList seen;
        for (const CommandLine::Word& word : line.switchWords()) {
            const QString name = SwitchRules::switchOf(word.upper);
            if (!SwitchRules::isKnown(name) || seen.contains(name))
                fail("checkWords let an unknown or repeated switch through", text, name);
            seen.append(name);
        }
        if (!line.leadingText().isEmpty())
            fail("checkWords let text before the first switch through", text);
    } catch (const CommandLineError& error) {
        if (error.message().trimmed().isEmpty())
            fail("checkWords refused without a message", text);
    }
    for (const ReportKind kind : {ReportKind::Owner, ReportKind::Volume, ReportKind::Directory,
                                  ReportKind::File, ReportKind::Date}) {
        try {
            SwitchRules::checkForFunction(line, kind);
        } catch (const CommandLineError& error) {
            if (error.message().trimmed().isEmpty())
                fail("checkForFunction refused without a message", text);
        }
    }
}

const VolumeConfig* volumeOf(const Site& site, const QString& server, const QString& volume) {
    const ServerConfig* s = site.findServer(server);
    if (!s)
        return nullptr;
    for (const VolumeConfig& v : s->volumes) {
        if (v.name == volume)
            return &v;
    }
    return nullptr;
}

// A panel the switches were applied to: the run it describes can start.
void checkApplied(const CommandLine& line, const ReportEnv& env, const QString& text) {
    const Site& site = env.client.site();
    const SearchSettings& s = env.search;
    if (!site.findTree(env.app.treeName))
        fail("a tree that is not in the site", text, env.app.treeName);
    static const QStringList functions = {"OWNER", "VOLUME", "DIRECTORY", "FILE", "DATE"};
    if (functions.value(int(s.tabSearch) - 1) != line.value("/F=").value_or(QString()).trimmed())
        fail("the tab is not the function of /F=", text);
    const QString server = s.cmbServer.text;
    switch (s.tabSearch) {
    case ReportKind::Volume:
        if (s.lstSelectedVolumes.isEmpty())
            fail("a volume run without volumes", text);
        break;
    case ReportKind::Owner:
        if (!volumeOf(site, server, s.cmbVolumeList.text))
            fail("an owner run on a volume that is not in the site", text,
                 server + "/" + s.cmbVolumeList.text);
        break;
    case ReportKind::Directory:
    case ReportKind::File:
    case ReportKind::Date:
        if (!volumeOf(site, server, s.cmbVolumeList.text) ||
            !s.lblDirectory.startsWith("\\\\" + server + "\\" + s.cmbVolumeList.text + "\\"))
            fail("a start directory outside the volume shown", text, s.lblDirectory);
        break;
    }
    if (s.tabSearch == ReportKind::File && s.fileOption == FileOption::optFileSize) {
        static const QRegularExpression number("^[0-9]+(\\.[0-9]*)?$");
        if (!number.match(s.txtSearchSize).hasMatch())
            fail("a size that is not a number", text, s.txtSearchSize);
    }
    if (s.tabSearch == ReportKind::Date &&
        (!CellFormat::parseShortDate(s.txtSelectedDate).isValid() ||
         !CellFormat::parseShortDate(s.txtEndDate).isValid()))
        fail("a date switch let a text through that is no date", text,
             s.txtSelectedDate + " " + s.txtEndDate);
    if (!s.subbtnShowUsageEnable())
        fail("the switches were taken but Show Usage could not be pressed", text);
    if (line.has("/OUTFILE=") && env.app.outputFilePath.trimmed().isEmpty())
        fail("/OUTFILE= without a file name accepted", text);
    if (env.app.append &&
        (env.app.outputFilePath.trimmed().isEmpty() || env.app.outputFilePath.trimmed() == "-"))
        fail("/APPEND accepted without a file to append to", text, env.app.outputFilePath);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The arguments of a process cannot hold a 0 byte.
    if (std::memchr(data, 0, size))
        return 0;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const CommandLine line(text);
    checkRules(line, text);

    // Everything a command-line run starts with, fresh for each line.
    RunState run;
    CliHost host(run.cancel, run, CliHost::Options{nowhere(), false, 80});
    NetWareClient client(fixedSite());
    client.NWCallsInit();
    AppState app;
    app.commandLineMode = true;
    SearchSettings search = SearchSettings::withDefaults(CellFormat::shortDate(QDate(2024, 2, 29)));
    ResultGrid grid;
    ResultsView view;
    VolumeView volumes(client);
    ReportEnv env{app, search, run, grid, view, host, client, volumes};
    const OwnerListFillers fillers = OwnerListFillers::fromDirectory(env);
    try {
        subApplySwitches(line, env, fillers);
    } catch (const CommandLineError& error) {
        if (error.message().trimmed().isEmpty())
            fail("refused without a message", text);
        return 0;
    }
    checkApplied(line, env, text);
    return 0;
}
