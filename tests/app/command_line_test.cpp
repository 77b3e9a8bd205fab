#include "acme_site.h"
#include "report_fixture.h"

#include "app/command_line.h"
#include "app/command_line_mode.h"
#include "app/switch_rules.h"
#include "netware/directory_queries.h"
#include "reports/cell_format.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// Applies a command line to a fresh panel over the ACME site, whose volume
// VOL1 holds USERS (with JSMITH below it) and DATA; "{VOL1}" in the line
// stands for the volume's local root. Keeps the error, if any.
struct Applied {
    explicit Applied(QString args) : f(acme.site()) {
        const QString root = QFile::decodeName(acme.root("VOL1"));
        QDir().mkpath(root + "/USERS/JSMITH");
        QDir().mkpath(root + "/DATA");
        args.replace("{VOL1}", root);
        const OwnerListFillers fillers{
            [this] { subListUsers(f.env, f.search.lblStartContainer, f.search.cmbSelectedOwner); },
            [this] { subListGroups(f.env, f.search.lblStartContainer, f.search.cmbGroup); }};
        try {
            subApplySwitches(CommandLine(args), f.env, fillers);
        } catch (const CommandLineError& e) {
            error = e.message();
        }
    }
    AcmeSite acme;
    ReportFixture f;
    QString error;
};

struct Refusal {
    const char* args;
    const char* message;
};

// Each line, the prefix before it, is refused with a message that starts with
// the given text, and nothing runs.
void expectRefused(const QString& prefix, std::initializer_list<Refusal> refusals) {
    for (const Refusal& r : refusals) {
        Applied a(prefix + r.args);
        EXPECT_TRUE(a.error.startsWith(r.message)) << r.args << " -> " << a.error.toStdString();
        EXPECT_EQ(a.f.grid.rows(), 0) << r.args;
    }
}

} // namespace

TEST(SwitchValue, RunsToTheNextBlankSlashAndLosesSurroundingQuotes) {
    const QString line = "/T=ACME /OUTFILE=\"C:\\MY FILES\\OUT.CSV\" /APPEND";
    EXPECT_EQ(fcnGetSwitchValue(line, 4), "ACME");
    EXPECT_EQ(fcnGetSwitchValue(line, 18), "C:\\MY FILES\\OUT.CSV");
    EXPECT_EQ(fcnGetSwitchValue("/OLDERTHAN=09/29/2003", 12), "09/29/2003");
    EXPECT_EQ(fcnGetSwitchValue("/C=\"A B /X", 4), "\"A B");
    EXPECT_THROW(fcnGetSwitchValue("/OUTFILE=\" /APPEND", 10), CommandLineError);
}

TEST(SwitchSearch, SwitchesCountOnlyWhereAWordBegins) {
    const CommandLine line("/t=acme /F=volume /V=\\\\fs1\\sys /OUTFILE=/srv/append/Out.csv");
    EXPECT_FALSE(line.has("/APPEND"));
    EXPECT_EQ(line.value("/T="), "ACME");
    EXPECT_EQ(line.typedValue("/OUTFILE="), "/srv/append/Out.csv");
    EXPECT_EQ(line.value("/OUTFILE="), "/SRV/APPEND/OUT.CSV");
    EXPECT_FALSE(line.value("/S=").has_value());
}

TEST(SwitchSearch, SwitchWordsAreThoseThatStartAWord) {
    const CommandLine line("/T=A /F=DATE /D=/srv/fs1/vol1/My Files /OPT=MODIFY /OLDERTHAN=09/29/2003 /outfle=x");
    QStringList words;
    for (const CommandLine::Word& w : line.switchWords())
        words.append(w.typed);
    EXPECT_EQ(words, (QStringList{"/T=A", "/F=DATE", "/D=/srv/fs1/vol1/My", "/OPT=MODIFY", "/OLDERTHAN=09/29/2003",
                                  "/outfle=x"}));
    EXPECT_EQ(line.leadingText(), "");
    EXPECT_EQ(CommandLine("T=A /F=VOLUME").leadingText(), "T=A");
}

TEST(SwitchNames, AWordStandsForItsSwitch) {
    EXPECT_EQ(SwitchRules::switchOf("/OUTFILE=/TMP/X.CSV"), "/OUTFILE=");
    EXPECT_EQ(SwitchRules::switchOf("/OWNER=GROUP=STAFF"), "/OWNER=");
    EXPECT_EQ(SwitchRules::switchOf("/SIZE"), "/SIZE");
    EXPECT_EQ(SwitchRules::switchOf("/SIZEGT1000"), "/SIZE");
    EXPECT_EQ(SwitchRules::switchOf("/HEADING"), "/HEADING");
    EXPECT_FALSE(SwitchRules::isKnown("/HEADING"));
    EXPECT_EQ(SwitchRules::nearest("/OUTFLE="), "/OUTFILE=");
    EXPECT_EQ(SwitchRules::nearest("/HEADING"), "/HEADINGS");
    EXPECT_EQ(SwitchRules::nearest("/IMMSUB"), "/IMMSUBS");
    EXPECT_EQ(SwitchRules::nearest("/PATERN="), "/PATTERN=");
}

TEST(Grammar, LowerCaseSwitchesWorkAndVolumesArriveUpperCased) {
    Applied a("/t=acme_tree /f=volume /v=\\\\fs1\\sys,\\\\fs2\\sys /headings /outfile=/tmp/Vol.csv");
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.f.app.treeName, "ACME_TREE");
    EXPECT_EQ(a.f.search.tabSearch, ReportKind::Volume);
    EXPECT_EQ(a.f.search.lstSelectedVolumes, (QStringList{"\\\\FS1\\SYS", "\\\\FS2\\SYS"}));
    EXPECT_TRUE(a.f.app.headings);
    EXPECT_FALSE(a.f.app.append);
    EXPECT_EQ(a.f.app.outputFilePath, "/tmp/Vol.csv");
}

TEST(Grammar, EmptyVolumeItemsAreKeptAndBlanksAfterCommasIgnored) {
    Applied a("/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS,,\\\\FS1\\VOL1");
    EXPECT_EQ(a.f.search.lstSelectedVolumes, (QStringList{"\\\\FS1\\SYS", "", "\\\\FS1\\VOL1"}));
    Applied blanks("/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS, \\\\FS1\\VOL1 ,  \\\\FS2\\SYS");
    EXPECT_EQ(blanks.f.search.lstSelectedVolumes, (QStringList{"\\\\FS1\\SYS", "\\\\FS1\\VOL1", "\\\\FS2\\SYS"}));
}

TEST(Grammar, QuotedOutfileKeepsItsBlank) {
    Applied a("/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /OUTFILE=\"/tmp/My Results/v.csv\" /APPEND");
    EXPECT_EQ(a.f.app.outputFilePath, "/tmp/My Results/v.csv");
    EXPECT_TRUE(a.f.app.append);
}

TEST(Grammar, SizeWithOrWithoutABlankBeforeTheNumber) {
    for (const QString size : {"/SIZE GT1000", "/SIZE GT 1000", "/size gt 1000 ", "/SIZEGT1000"}) {
        Applied a("/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\USERS " + size);
        ASSERT_EQ(a.error, "") << size.toStdString();
        EXPECT_EQ(a.f.search.fileOption, FileOption::optFileSize);
        EXPECT_EQ(a.f.search.cmbSizeLimit.text, ">");
        EXPECT_EQ(a.f.search.txtSearchSize, "1000");
    }
    Applied lt("/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\ /SIZE LT 0.5");
    EXPECT_EQ(lt.f.search.cmbSizeLimit.text, "<");
    EXPECT_EQ(lt.f.search.txtSearchSize, "0.5");
}

TEST(Grammar, DirectorySwitchSetsServerVolumeAndStartDirectory) {
    Applied a("/T=ACME_TREE /F=DIRECTORY /D=\\\\fs1\\vol1\\users /IMMSUBS");
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.f.search.cmbServer.text, "FS1");
    EXPECT_EQ(a.f.search.cmbServers.text, "FS1");
    EXPECT_EQ(a.f.search.cmbVolumeList.text, "VOL1");
    EXPECT_EQ(a.f.search.subDirOption, SubDirOption::optImmediateSubDirs);
    Applied all("/T=ACME_TREE /F=DIRECTORY /D=\\\\FS1\\VOL1\\ /ALLSUBS");
    EXPECT_EQ(all.f.search.subDirOption, SubDirOption::optAllSubDirs);
    EXPECT_EQ(all.f.search.lblDirectory, "\\\\FS1\\VOL1\\");
}

TEST(StartDirectory, KeepsTheCaseItWasTypedInBelowTheVolume) {
    Applied a("/T=ACME_TREE /F=DIRECTORY /D=\\\\fs1\\vol1\\Users\\JSmith /IMMSUBS");
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.f.search.lblDirectory, "\\\\FS1\\VOL1\\Users\\JSmith");
    Applied trailing("/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\USERS\\ /PATTERN=*");
    EXPECT_EQ(trailing.f.search.lblDirectory, "\\\\FS1\\VOL1\\USERS");
}

TEST(StartDirectory, AVolumeAloneIsItsRoot) {
    for (const char* d : {"\\\\FS1\\VOL1", "\\\\fs1\\vol1\\"}) {
        Applied a(QString("/T=ACME_TREE /F=DIRECTORY /D=") + d);
        ASSERT_EQ(a.error, "") << d;
        EXPECT_EQ(a.f.search.lblDirectory, "\\\\FS1\\VOL1\\") << d;
    }
}

TEST(StartDirectory, ALocalPathInsideAVolume) {
    Applied a("/T=ACME_TREE /F=FILE /D={VOL1}/USERS/./JSMITH/ /PATTERN=*");
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.f.search.lblDirectory, "\\\\FS1\\VOL1\\USERS\\JSMITH");
    EXPECT_EQ(a.f.search.cmbServer.text, "FS1");
    EXPECT_EQ(a.f.search.cmbVolumeList.text, "VOL1");
    Applied root("/T=ACME_TREE /F=DIRECTORY /D={VOL1}");
    EXPECT_EQ(root.f.search.lblDirectory, "\\\\FS1\\VOL1\\");
}

TEST(StartDirectory, TheInnermostVolumeWins) {
    Applied a("/T=ACME_TREE /F=DIRECTORY /D={VOL1}/DATA");
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.f.search.lblDirectory, "\\\\FS1\\VOL1\\DATA");
    // A second volume whose root lies inside VOL1 takes what is below it.
    AcmeSite acme;
    Site site = acme.site();
    const QByteArray data = acme.root("VOL1") + "/DATA";
    QDir().mkpath(QFile::decodeName(data) + "/2024");
    site.servers.append({"FS3", {{"ARCHIVE", data}}});
    ReportFixture f(site);
    subApplySwitches(CommandLine("/T=ACME_TREE /F=DIRECTORY /D=" + QFile::decodeName(data) + "/2024"), f.env, {});
    EXPECT_EQ(f.search.lblDirectory, "\\\\FS3\\ARCHIVE\\2024");
    EXPECT_EQ(f.search.cmbServer.text, "FS3");
}

TEST(StartDirectory, ALocalPathOutsideEveryVolumeIsRefused) {
    AcmeSite acme;
    Site site = acme.site();
    site.servers = {site.servers.first()}; // only FS1, whose volumes lie in a temporary folder
    ReportFixture f(site);
    try {
        subApplySwitches(CommandLine("/T=ACME_TREE /F=DIRECTORY /D=/definitely/not/here"), f.env, {});
        FAIL() << "accepted";
    } catch (const CommandLineError& e) {
        EXPECT_TRUE(e.message().startsWith("/definitely/not/here lies in no volume (volumes: \\\\FS1\\SYS = "))
            << e.message().toStdString();
    }
}

TEST(StartDirectory, NamesThatFindNothingAreRefusedWithWhatExists) {
    const struct {
        const char* d;
        const char* message;
    } cases[] = {
        {"\\\\FS9\\VOL1\\USERS", "There is no server FS9 (servers: FS1, FS2)."},
        {"\\\\FS1\\VOL9\\USERS", "There is no volume VOL9 on server FS1 (volumes: SYS, VOL1)."},
        {"\\\\FS1\\VOL1\\USERS\\NOBODY", "\\\\FS1\\VOL1\\USERS\\NOBODY does not exist (\\\\FS1\\VOL1\\USERS holds: JSMITH)."},
        {"\\\\FS1\\VOL1\\NOPE\\DEEPER", "\\\\FS1\\VOL1\\NOPE does not exist (\\\\FS1\\VOL1\\ holds: DATA, USERS)."},
        {"\\\\FS1\\VOL1\\USERS\\..\\..", "leaves its volume"},
        {"\\\\FS1\\VOL1\\USERS\\README", "\\\\FS1\\VOL1\\USERS\\README is not a directory."},
        {"FS1\\VOL1\\X", "/D= needs a directory path"},
    };
    for (const auto& c : cases) {
        AcmeSite acme;
        QDir().mkpath(QFile::decodeName(acme.root("VOL1")) + "/USERS/JSMITH");
        QDir().mkpath(QFile::decodeName(acme.root("VOL1")) + "/DATA");
        QFile(QFile::decodeName(acme.root("VOL1")) + "/USERS/README").open(QIODevice::WriteOnly);
        ReportFixture f(acme.site());
        try {
            subApplySwitches(CommandLine(QString("/T=ACME_TREE /F=FILE /PATTERN=* /D=") + c.d), f.env, {});
            ADD_FAILURE() << c.d << " accepted";
        } catch (const CommandLineError& e) {
            EXPECT_TRUE(e.message().contains(c.message)) << c.d << " -> " << e.message().toStdString();
            EXPECT_FALSE(e.message().contains("Error accessing volume"));
        }
    }
}

TEST(StartDirectory, ASymbolicLinkOutOfTheVolumeLeavesIt) {
    AcmeSite acme;
    const QString vol1 = QFile::decodeName(acme.root("VOL1"));
    ASSERT_TRUE(QFile::link(QFile::decodeName(acme.root("SYS")), vol1 + "/OUT"));
    ReportFixture f(acme.site());
    try {
        subApplySwitches(CommandLine("/T=ACME_TREE /F=DIRECTORY /D=\\\\FS1\\VOL1\\OUT"), f.env, {});
        FAIL() << "accepted";
    } catch (const CommandLineError& e) {
        EXPECT_TRUE(e.message().contains("leaves its volume")) << e.message().toStdString();
    }
}

TEST(Grammar, DateSwitchesWithOpt) {
    Applied older("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\USERS /OPT=MODIFY /OLDERTHAN=09/29/2003");
    ASSERT_EQ(older.error, "");
    EXPECT_EQ(older.f.search.dateOption, DateOption::optModifyDate);
    EXPECT_EQ(older.f.search.txtSelectedDate, "09/29/2003");
    Applied between("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\USERS /OPT=ACCESS /BETWEEN=1/1/2020,12/31/2020");
    EXPECT_EQ(between.f.search.dateOption, DateOption::optAccessDate);
    EXPECT_EQ(between.f.search.cmbDate.text, "Between");
    EXPECT_EQ(between.f.search.txtSelectedDate, "1/1/2020");
    EXPECT_EQ(between.f.search.txtEndDate, "12/31/2020");
    Applied newer("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\USERS /OPT=CREATE /NEWERTHAN=6/1/2024");
    EXPECT_EQ(newer.f.search.cmbDate.text, "Newer than");
}

TEST(Grammar, DateWithOptAloneKeepsTheDefaultComparison) {
    Applied a("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\USERS /OPT=MODIFY");
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.f.search.cmbDate.text, "Older than");
    EXPECT_EQ(a.f.search.txtSelectedDate, CellFormat::shortDate(QDate::currentDate()));
}

TEST(Grammar, OwnerForms) {
    Applied withSubs("/T=ACME_TREE /F=OWNER /S=fs1 /V=vol1 /C=ACME_TREE\\ACME /OWNER=ALL + SUB");
    ASSERT_EQ(withSubs.error, "");
    EXPECT_EQ(withSubs.f.search.ownerOption, OwnerOption::optAllOwners);
    EXPECT_TRUE(withSubs.f.search.chkSubContainers);
    EXPECT_EQ(withSubs.f.search.lblStartContainer, "ACME_TREE\\ACME");
    EXPECT_EQ(withSubs.f.search.cmbServer.text, "FS1");
    EXPECT_EQ(withSubs.f.search.cmbServers.entries, QStringList{"FS1"});
    EXPECT_EQ(withSubs.f.search.cmbVolumeList.text, "VOL1");
    for (const char* form : {"ALL-SUB", "ALL - SUB", "ALL- SUB", "ALL -SUB"}) {
        Applied a(QString("/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1 /OWNER=") + form);
        ASSERT_EQ(a.error, "") << form;
        EXPECT_EQ(a.f.search.ownerOption, OwnerOption::optAllOwners) << form;
        EXPECT_FALSE(a.f.search.chkSubContainers) << form;
        EXPECT_EQ(a.f.search.lblStartContainer, "ACME_TREE\\[Root]");
    }
    Applied group("/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1 /C=ACME_TREE\\ACME\\SALES /OWNER=GROUP=staff");
    ASSERT_EQ(group.error, "");
    EXPECT_EQ(group.f.search.ownerOption, OwnerOption::optGroup);
    EXPECT_EQ(group.f.search.cmbGroup.text, "STAFF");
    Applied user("/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1 /C=ACME_TREE\\ACME\\SALES /OWNER=bjones");
    ASSERT_EQ(user.error, "");
    EXPECT_EQ(user.f.search.ownerOption, OwnerOption::optSelectOwner);
    EXPECT_EQ(user.f.search.cmbSelectedOwner.text, "BJONES");
}

TEST(OwnerNames, NamesThatFindNothingAreRefusedWithWhatExists) {
    expectRefused("/T=ACME_TREE /F=OWNER ", {
        {"/S=FS9 /V=VOL1 /OWNER=ALL+SUB", "There is no server FS9 (servers: FS1, FS2)."},
        {"/S=FS1 /V=VOL7 /OWNER=ALL+SUB", "There is no volume VOL7 on server FS1 (volumes: SYS, VOL1)."},
        {"/S=FS1 /V=VOL1 /C=ACME_TREE\\ACME\\NORTH /OWNER=ALL+SUB",
         "There is no container ACME_TREE\\ACME\\NORTH (containers: ACME_TREE\\ACME, ACME_TREE\\ACME\\SALES)."},
        {"/S=FS1 /V=VOL1 /C=ACME_TREE\\ACME\\SALES /OWNER=GROUP=NOBODY",
         "There is no group NOBODY in ACME_TREE\\ACME\\SALES (groups: EMPTY, STAFF)."},
        {"/S=FS1 /V=VOL1 /C=ACME_TREE\\ACME /OWNER=GROUP=STAFF", "There is no group STAFF in ACME_TREE\\ACME (it holds no groups)."},
        {"/S=FS1 /V=VOL1 /C=ACME_TREE\\ACME /OWNER=JSMITH",
         "There is no user JSMITH in ACME_TREE\\ACME (users: ADMIN, [Supervisor], [No Owner])."},
        {"/V=VOL1 /OWNER=ALL+SUB", "You must specify a Server"},
        {"/S=FS1 /OWNER=ALL+SUB", "You must specify a Volume"},
    });
}

TEST(UnknownSwitches, AreRefusedNamingTheNearestKnownOne) {
    expectRefused("", {
        {"/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /OUTFLE=/tmp/x.csv", "Unknown switch /OUTFLE=; did you mean /OUTFILE=?"},
        {"/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /heading", "Unknown switch /heading; did you mean /HEADINGS?"},
        {"/T=ACME_TREE /F=DIRECTORY /D=\\\\FS1\\VOL1\\USERS /IMMSUB", "Unknown switch /IMMSUB; did you mean /IMMSUBS?"},
        {"/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /FOO", "Unknown switch /FOO; did you mean "},
        {"/TREE=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS", "Unknown switch /TREE=; did you mean /T=?"},
        {"ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS", "\"ACME_TREE\" is not a switch"},
        {"/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /T=FAR_TREE", "/T= is given more than once."},
    });
    EXPECT_TRUE(Applied("/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /OUTFILE=/tmp/My /Reports/x.csv")
                    .error.endsWith("(a value ends where a blank is followed by /, so a path cannot hold \" /\")"));
    EXPECT_FALSE(Applied("/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /HEADING").error.contains("a path"));
}

TEST(UnknownSwitches, LocalPathsAndDatesInValuesAreNotSwitches) {
    EXPECT_EQ(Applied("/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /OUTFILE=/tmp/append/x.csv").error, "");
    EXPECT_EQ(Applied("/T=ACME_TREE /F=DATE /D={VOL1}/USERS /OPT=MODIFY /OLDERTHAN=09/29/2003").error, "");
    EXPECT_EQ(Applied("/T=ACME_TREE /F=DATE /D={VOL1}/USERS /OPT=MODIFY /BETWEEN=1/1/2020, 12/31/2020").error, "");
}

TEST(MisplacedSwitches, ASwitchOfAnotherFunctionIsRefused) {
    expectRefused("/T=ACME_TREE ", {
        {"/F=VOLUME /V=\\\\FS1\\SYS /PATTERN=*.DOC", "/PATTERN= does not belong to /F=VOLUME, which takes /V=."},
        {"/F=DIRECTORY /D=\\\\FS1\\VOL1\\USERS /SIZE GT 1", "/SIZE does not belong to /F=DIRECTORY, which takes /D=, /IMMSUBS, /ALLSUBS, /EXPORT=, /IMPORT=, /ALLOCATED."},
        {"/F=OWNER /S=FS1 /V=VOL1 /OWNER=ALL+SUB /D=\\\\FS1\\VOL1\\USERS", "/D= does not belong to /F=OWNER"},
        {"/F=FILE /D=\\\\FS1\\VOL1\\USERS /OPT=MODIFY", "/OPT= does not belong to /F=FILE"},
    });
}

TEST(ConflictingSwitches, AreRefused) {
    expectRefused("/T=ACME_TREE ", {
        {"/F=FILE /D=\\\\FS1\\VOL1\\USERS /SIZE EQ 1 /PATTERN=*.DOC", "/PATTERN= and /SIZE cannot be used together"},
        {"/F=DIRECTORY /D=\\\\FS1\\VOL1\\USERS /ALLSUBS /IMMSUBS", "/IMMSUBS and /ALLSUBS cannot be used together"},
        {"/F=DIRECTORY /D=\\\\FS1\\VOL1\\USERS /IMPORT=a.json /EXPORT=b.json", "/EXPORT= and /IMPORT= cannot be used together"},
        {"/F=DATE /D=\\\\FS1\\VOL1\\USERS /OPT=MODIFY /OLDERTHAN=1/1/2020 /BETWEEN=1/1/2019,1/1/2020",
         "/OLDERTHAN= and /BETWEEN= cannot be used together"},
        {"/F=DATE /D=\\\\FS1\\VOL1\\USERS /OPT=MODIFY /NEWERTHAN=1/1/2020 /OLDERTHAN=1/1/2020",
         "/OLDERTHAN= and /NEWERTHAN= cannot be used together"},
        {"/F=DATE /D=\\\\FS1\\VOL1\\USERS /OLDERTHAN=01/01/2000", "/OLDERTHAN= needs /OPT=CREATE, MODIFY or ACCESS."},
        {"/F=VOLUME /V=\\\\FS1\\SYS /APPEND", "/APPEND needs /OUTFILE= with a file to append to."},
        {"/F=VOLUME /V=\\\\FS1\\SYS /OUTFILE=- /APPEND", "/APPEND needs /OUTFILE= with a file to append to."},
    });
}

TEST(Grammar, UnknownFunctionOrOptionIsRefused) {
    EXPECT_TRUE(Applied("/T=ACME_TREE /F=VOLUMES /V=\\\\FS1\\SYS").error.startsWith("Unknown function /F=VOLUMES"));
    EXPECT_TRUE(Applied("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\DATA /OPT=BIRTH").error.startsWith("Unknown /OPT=BIRTH"));
}

TEST(MalformedLines, EachEndsWithAClearMessage) {
    expectRefused("", {
        {"/F=VOLUME /V=\\\\FS1\\SYS", "You must specify a Tree"},
        {"/T=NO_SUCH_TREE /F=VOLUME /V=\\\\FS1\\SYS", "The tree NO_SUCH_TREE is not known"},
        {"/T=ACME_TREE /V=\\\\FS1\\SYS", "You must specify a Function (/F=)"},
        {"/T=ACME_TREE /F=VOLUME", "You must specify the volumes (/V=)"},
        {"/T=ACME_TREE /F=DIRECTORY /IMMSUBS", "You must specify a Directory (/D=)"},
        {"/T=ACME_TREE /F=FILE /D=FS1\\VOL1\\X", "/D= needs a directory path"},
        {"/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\DATA /SIZE 1000", "/SIZE needs GT, LT or EQ"},
        {"/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\DATA /SIZE GT", "/SIZE needs a size"},
        {"/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\DATA /SIZE GT -5", "/SIZE needs a size"},
        {"/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\DATA /OPT=MODIFY /BETWEEN=1/1/2020", "/BETWEEN= needs two dates"},
        {"/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\DATA /OPT=MODIFY /OLDERTHAN=31/12/2020", "/OLDERTHAN= needs a date"},
        {"/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\DATA /OPT=MODIFY /BETWEEN=1/1/2020,SOON", "/BETWEEN= needs a date"},
        {"/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1", "You must specify an Owner (/OWNER=)"},
        {"/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /OUTFILE=\"", "A switch value consists of a single quote character."},
        {"/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /OUTFILE= /HEADINGS", "/OUTFILE= needs a file name"},
    });
}
