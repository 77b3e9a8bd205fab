#include "report_fixture.h"

#include "app/command_line.h"
#include "app/command_line_mode.h"
#include "reports/cell_format.h"

#include <gtest/gtest.h>

namespace {

Site acmeSite() {
    Site site;
    TreeConfig tree;
    tree.name = "ACME_TREE";
    tree.isDefault = true;
    site.trees.append(tree);
    return site;
}

// Applies a command line to a fresh panel; returns the error, if any.
struct Applied {
    explicit Applied(const QString& args) : f(acmeSite()) {
        try {
            subApplySwitches(CommandLine(args), f.env, fillers);
        } catch (const CommandLineError& e) {
            error = e.message();
        }
    }
    ReportFixture f;
    OwnerListFillers fillers;
    QString error;
};

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

TEST(Grammar, LowerCaseSwitchesWorkAndVolumesArriveUpperCased) {
    Applied a("/t=acme_tree /f=volume /v=\\\\fs1\\sys,\\\\fs2\\vol1 /headings /outfile=/tmp/Vol.csv");
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.f.app.treeName, "ACME_TREE");
    EXPECT_EQ(a.f.search.tabSearch, ReportKind::Volume);
    EXPECT_EQ(a.f.search.lstSelectedVolumes, (QStringList{"\\\\FS1\\SYS", "\\\\FS2\\VOL1"}));
    EXPECT_TRUE(a.f.app.headings);
    EXPECT_FALSE(a.f.app.append);
    EXPECT_EQ(a.f.app.outputFilePath, "/tmp/Vol.csv");
}

TEST(Grammar, EmptyVolumeItemsAreKept) {
    Applied a("/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS,,\\\\FS1\\VOL1");
    EXPECT_EQ(a.f.search.lstSelectedVolumes, (QStringList{"\\\\FS1\\SYS", "", "\\\\FS1\\VOL1"}));
}

TEST(Grammar, QuotedOutfileKeepsItsBlank) {
    Applied a("/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /OUTFILE=\"/tmp/My Results/v.csv\" /APPEND");
    EXPECT_EQ(a.f.app.outputFilePath, "/tmp/My Results/v.csv");
    EXPECT_TRUE(a.f.app.append);
}

TEST(Grammar, SizeWithOrWithoutABlankBeforeTheNumber) {
    for (const QString& size : {"/SIZE GT1000", "/SIZE GT 1000", "/size gt 1000 "}) {
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

TEST(Grammar, PatternWinsOverSize) {
    Applied a("/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\USERS /SIZE EQ 1 /PATTERN=*.DOC");
    EXPECT_EQ(a.f.search.fileOption, FileOption::optFileType);
    EXPECT_EQ(a.f.search.txtFileType, "*.DOC");
    EXPECT_EQ(a.f.search.txtSearchSize, "0");
}

TEST(Grammar, DirectorySwitchSetsServerVolumeAndStartDirectory) {
    Applied a("/T=ACME_TREE /F=DIRECTORY /D=\\\\fs1\\vol1\\users /IMMSUBS");
    EXPECT_EQ(a.f.search.cmbServer.text, "FS1");
    EXPECT_EQ(a.f.search.cmbServers.text, "FS1");
    EXPECT_EQ(a.f.search.cmbVolumeList.text, "VOL1");
    EXPECT_EQ(a.f.search.lblDirectory, "\\\\FS1\\VOL1\\USERS");
    EXPECT_EQ(a.f.search.subDirOption, SubDirOption::optImmediateSubDirs);
    Applied all("/T=ACME_TREE /F=DIRECTORY /D=\\\\FS1\\VOL1\\ /ALLSUBS");
    EXPECT_EQ(all.f.search.subDirOption, SubDirOption::optAllSubDirs);
    EXPECT_EQ(all.f.search.lblDirectory, "\\\\FS1\\VOL1\\");
}

TEST(Grammar, DateWithoutOptKeepsTheDefaults) {
    Applied a("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\USERS /OLDERTHAN=01/01/2000");
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.f.search.cmbDate.text, "Older than");
    EXPECT_EQ(a.f.search.txtSelectedDate, CellFormat::shortDate(QDate::currentDate()));
    EXPECT_EQ(a.f.search.dateOption, DateOption::optCreationDate);
}

TEST(Grammar, DateSwitchesWithOpt) {
    Applied older("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\U /OPT=MODIFY /OLDERTHAN=09/29/2003");
    EXPECT_EQ(older.f.search.dateOption, DateOption::optModifyDate);
    EXPECT_EQ(older.f.search.txtSelectedDate, "09/29/2003");
    Applied between("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\U /OPT=ACCESS /BETWEEN=1/1/2020,12/31/2020");
    EXPECT_EQ(between.f.search.dateOption, DateOption::optAccessDate);
    EXPECT_EQ(between.f.search.cmbDate.text, "Between");
    EXPECT_EQ(between.f.search.txtSelectedDate, "1/1/2020");
    EXPECT_EQ(between.f.search.txtEndDate, "12/31/2020");
    Applied newer("/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\U /OPT=CREATE /NEWERTHAN=6/1/2024");
    EXPECT_EQ(newer.f.search.cmbDate.text, "Newer than");
}

TEST(Grammar, OwnerForms) {
    Applied withSubs("/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1 /C=ACME_TREE\\ACME /OWNER=ALL + SUB");
    EXPECT_EQ(withSubs.f.search.ownerOption, OwnerOption::optAllOwners);
    EXPECT_TRUE(withSubs.f.search.chkSubContainers);
    EXPECT_EQ(withSubs.f.search.lblStartContainer, "ACME_TREE\\ACME");
    EXPECT_EQ(withSubs.f.search.cmbServer.text, "FS1");
    EXPECT_EQ(withSubs.f.search.cmbServers.entries, QStringList{"FS1"});
    EXPECT_EQ(withSubs.f.search.cmbVolumeList.text, "VOL1");
    for (const char* form : {"ALL-SUB", "ALL - SUB", "ALL- SUB", "ALL -SUB"}) {
        Applied a(QString("/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1 /OWNER=") + form);
        EXPECT_EQ(a.f.search.ownerOption, OwnerOption::optAllOwners) << form;
        EXPECT_FALSE(a.f.search.chkSubContainers) << form;
    }
    Applied group("/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1 /OWNER=GROUP=staff");
    EXPECT_EQ(group.f.search.ownerOption, OwnerOption::optGroup);
    EXPECT_EQ(group.f.search.cmbGroup.text, "STAFF");
    EXPECT_EQ(group.f.search.cmbGroup.entries, QStringList{"STAFF"});
}

TEST(Grammar, SelectOwnerShowsTheListedUser) {
    ReportFixture f(acmeSite());
    OwnerListFillers fillers;
    fillers.listUsers = [&] {
        f.search.cmbSelectedOwner.entries = {"bsmith", "jsmith", "[Supervisor]", "[No Owner]"};
        f.search.cmbSelectedOwner.text = "bsmith";
    };
    subApplySwitches(CommandLine("/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1 /OWNER=jsmith"), f.env, fillers);
    EXPECT_EQ(f.search.ownerOption, OwnerOption::optSelectOwner);
    EXPECT_EQ(f.search.cmbSelectedOwner.text, "jsmith");
}

TEST(Grammar, OwnerWithoutServerSaysSoAndStillRuns) {
    ReportFixture f(acmeSite());
    f.app.outputFilePath = "/dev/null";
    const int status = subRunCommandLine("/T=ACME_TREE /F=OWNER /V=VOL1 /OWNER=ALL+SUB", f.env, {});
    ASSERT_FALSE(f.host.messages.isEmpty());
    EXPECT_EQ(f.host.messages[0], "You must specify a Server");
    EXPECT_EQ(f.run.resultsKind, "Owner"); // the run went ahead
    EXPECT_EQ(status, 0);
}

TEST(Grammar, UnknownFunctionOrOptionIsRefused) {
    EXPECT_TRUE(Applied("/T=ACME_TREE /F=VOLUMES /V=\\\\FS1\\SYS").error.startsWith("Unknown function /F=VOLUMES"));
    EXPECT_TRUE(Applied("/T=ACME_TREE /F=DATE /D=\\\\FS1\\V\\D /OPT=BIRTH").error.startsWith("Unknown /OPT=BIRTH"));
}

TEST(MalformedLines, EachEndsWithAClearMessage) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"/F=VOLUME /V=\\\\FS1\\SYS", "You must specify a Tree"},
        {"/T=NO_SUCH_TREE /F=VOLUME /V=\\\\FS1\\SYS", "The tree NO_SUCH_TREE is not known"},
        {"/T=ACME_TREE /V=\\\\FS1\\SYS", "You must specify a Function (/F=)"},
        {"/T=ACME_TREE /F=VOLUME", "You must specify the volumes (/V=)"},
        {"/T=ACME_TREE /F=DIRECTORY /IMMSUBS", "You must specify a Directory (/D=)"},
        {"/T=ACME_TREE /F=DIRECTORY /D=\\\\FS1\\VOL1", "/D= needs a directory path"},
        {"/T=ACME_TREE /F=FILE /D=FS1\\VOL1\\X", "/D= needs a directory path"},
        {"/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\X /SIZE 1000", "/SIZE needs GT, LT or EQ"},
        {"/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\X /SIZE GT", "/SIZE needs a size"},
        {"/T=ACME_TREE /F=FILE /D=\\\\FS1\\VOL1\\X /SIZE GT -5", "/SIZE needs a size"},
        {"/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\X /OPT=MODIFY /BETWEEN=1/1/2020", "/BETWEEN= needs two dates"},
        {"/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\X /OPT=MODIFY /OLDERTHAN=31/12/2020", "/OLDERTHAN= needs a date"},
        {"/T=ACME_TREE /F=DATE /D=\\\\FS1\\VOL1\\X /OPT=MODIFY /BETWEEN=1/1/2020,SOON", "/BETWEEN= needs a date"},
        {"/T=ACME_TREE /F=OWNER /S=FS1 /V=VOL1", "You must specify an Owner (/OWNER=)"},
        {"/T=ACME_TREE /F=VOLUME /V=\\\\FS1\\SYS /OUTFILE=\"", "single quote character"},
    };
    for (const auto& c : cases) {
        ReportFixture f(acmeSite());
        EXPECT_EQ(subRunCommandLine(c.args, f.env, {}), 1) << c.args;
        ASSERT_EQ(f.host.messages.size(), 1) << c.args;
        EXPECT_TRUE(f.host.messages[0].contains(c.message)) << c.args << " -> " << f.host.messages[0].toStdString();
        EXPECT_EQ(f.grid.rows(), 0) << c.args; // nothing ran
    }
}
