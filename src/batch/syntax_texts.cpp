#include "batch/syntax_texts.h"

namespace SyntaxTexts {

namespace {

const char* const kCaptions[kTopicCount] = {
    "/T = Tree", "/HEADINGS", "/F= Function", "OWNER", "VOLUME", "DIRECTORY", "FILE", "DATE", "/OUTFILE=",
};

// Lines opening with this mark are notes of the terminal help and the manual
// page only; the window and its print-outs show the topics without them.
constexpr QChar kTerminalOnly = QChar(0x01);

const char* const kDirectoryForms =
    "\x01           \\\\Server\\Volume\\Directory, \\\\Server\\Volume for its root, or a local path inside a volume";

QStringList topicLines(int topic) {
    switch (topic) {
    case 0:
        return {"/T= <Tree>", "",
                "This is the name of the tree the server is in.  You must always include a Tree in your query.",
                "", "Example: /T=MyTree"};
    case 1:
        return {"/HEADINGS", "", "Add this option if you wish to include headings in your output"};
    case 2:
        return {"/F=", "", "This is the function you wish to perform:", "    OWNER", "    VOLUME",
                "    DIRECTORY", "    FILE", "    DATE"};
    case 3:
        return {"/F=OWNER", "", "        /S=Server", "        /V=volume", "        /C=Container",
                "        /Owner=", "           ALL+SUB - All Owners, Include Subdirectories",
                "           ALL-SUB - All Owners, Exclude Subdirectories",
                "           <User ID> - The user id of the user to query",
                "           GROUP= <Group Name> - Name of the Group to query",
                "        /IMPORT=<file> - Take the volume's space from a scan (see DIRECTORY)",
                "\x01           (one with owners, as ncdu -x -e -o writes of the volume's root)",
                "        /ALLOCATED - Accepted: owners' figures are the blocks taken anyway", "",
                "Example:", "",
                "quarvo /T=MyTree /F=OWNER /S=MyServer /V=VOL1 '/C=MyTree\\MyOrg\\MyOU' "
                "/OWNER=GROUP=MyGroupofUsers '/OUTFILE=/srv/reports/owner.csv' /APPEND"};
    case 4:
        return {"/F=VOLUME", "", "        /V=\\\\MyServer\\volume,\\\\MyOtherServer\\volume",
                "\x01           (blanks after the commas are ignored)", "",
                "Example:", "",
                "quarvo /T=MyTree /F=VOLUME '/V=\\\\MyServer\\SYS,\\\\MyServer\\vol1' /HEADINGS "
                "'/OUTFILE=/srv/reports/volume.csv'"};
    case 5:
        return {"/F=DIRECTORY", "", "        /D=Directory", kDirectoryForms,
                "        /IMMSUBS - Immediate Sub-directories",
                "        /ALLSUBS - All Sub-Directories (Individually)", "\x01           (one of them, not both)",
                "        /EXPORT=<file> - Also write the tree walked in ncdu's export format",
                "\x01           (ncdu -f <file> and gdu -f <file> browse it)",
                "        /IMPORT=<file> - Read the tree from such a file instead of walking it",
                "\x01           (ncdu -o and gdu -o write them too; /D= names the directory it is of)",
                "        /ALLOCATED - Sizes as the blocks the files take (du -B1), not their lengths", "",
                "Example:", "",
                "quarvo /T=MyTree /F=DIRECTORY '/D=\\\\MyServer\\VOL1\\MyDirectory' /IMMSUBS /HEADINGS "
                "'/OUTFILE=/srv/reports/dir.csv'"};
    case 6:
        return {"/F=FILE", "", "        /D=Directory", kDirectoryForms, "        /PATTERN= File Pattern to search",
                "        /SIZE [LT] [GT] [EQ] <File Size>", "           GT - Greater than",
                "           LT - Less than", "           EQ -Equal",
                "           <File size> - Size of the files to search for",
                "\x01           (/PATTERN= or /SIZE, not both)",
                "        /IMPORT=<file> - Take the files from a scan (see DIRECTORY), not a walk",
                "\x01           (owners and dates only from one that has them, as ncdu -e -o writes)",
                "        /ALLOCATED - Sizes as the blocks the files take, not their lengths",
                "\x01           (/SIZE then compares those too)", "",
                "Example:", "",
                "quarvo /T=MyTree /F=FILE '/D=\\\\MyServer\\VOL1\\MyDirectory' '/PATTERN=*' /HEADINGS "
                "'/OUTFILE=/srv/reports/file.csv'"};
    case 7:
        return {"/F=DATE", "", "        /D=Directory", kDirectoryForms, "        /OPT= Option",
                "           CREATE - Based on Creation Date", "           MODIFY - Based on Modify Date",
                "           ACCESS - Based on Last Access Date",
                "        /OLDERTHAN=<date> - Files Older than <date>",
                "        /NEWERTHAN=<date> - Files Newer than <date>",
                "        /BETWEEN=<startdate,enddate> - Files between startdate and enddate",
                "\x01           (one of them, and only with /OPT=)",
                "        /IMPORT=<file> - Take the files from a scan (see DIRECTORY), not a walk",
                "\x01           (only with /OPT=MODIFY, and a scan with dates, as ncdu -e -o writes)", "",
                "Example:", "",
                "quarvo /T=MyTree /F=DATE '/D=\\\\MyServer\\VOL1\\MyDirectory' /OPT=CREATE "
                "/OLDERTHAN=09/29/2003 /HEADINGS '/OUTFILE=/srv/reports/date.csv'"};
    case 8:
        return {"/OUTFILE=", "/APPEND", "", "/OUTFILE=This is the name of the results file.",
                "\x01/OUTFILE=- (or no /OUTFILE=) writes the results to standard output.", "",
                "/APPEND - include this if you wish to append to an existing file, exclude it to "
                "overwrite the file.",
                "\x01Without /APPEND the file is replaced only once the run is complete; a stopped run "
                "leaves its rows in <file>.partial and the file as it was.",
                "", "Example: '/OUTFILE=/srv/reports/outfile.csv' /APPEND"};
    default:
        return {};
    }
}

const char* const kFailureNote = "Every failure says why on standard error.";

const char* const kClosingNotes =
    "quarvo -h (or --help) prints this help, quarvo --list every tree, server and\n"
    "volume with its local root, quarvo --version the version. quarvo /? opens\n"
    "the syntax window, or prints this help when there is no display.\n"
    "\n"
    "Switch names and NetWare names are case-insensitive; /OUTFILE= and the\n"
    "directories of /D= keep the case they were typed in. Without /OUTFILE= (or\n"
    "with /OUTFILE=-) the results go to standard output. Messages go to standard\n"
    "error; on a terminal one progress line shows the directory being read and\n"
    "the counts so far. Ctrl-C stops a run and keeps what it found in\n"
    "<file>.partial.\n"
    "\n"
    "Every complete run is kept in the history (QUARVO_HISTORY, or history = in\n"
    "the site file, says where); /NOHISTORY leaves a run out. quarvo --history\n"
    "[/T= /S= /V= /F= /D=] lists the runs kept. /COMPARE=LAST, /COMPARE=<date>\n"
    "(the last run on or before that day) or /COMPARE=<run> adds the fields\n"
    "Change(MB) and Change % from that earlier run of the same report; rows it\n"
    "had and this one has not follow, marked Gone.\n";

// "    1  a switch is missing, ...": the meaning's later lines under its first.
QString statusLines(const ExitStatus& exit) {
    const QString indent(7, QLatin1Char(' '));
    return QStringLiteral("    %1  ").arg(exit.status) +
           exit.lines.join(QLatin1Char('\n') + indent) + QLatin1Char('\n');
}

QStringList lines(int topic, bool withNotes) {
    QStringList result;
    for (const QString& line : topicLines(topic)) {
        if (!line.startsWith(kTerminalOnly))
            result.append(line);
        else if (withNotes)
            result.append(line.mid(1));
    }
    return result;
}

} // namespace

QString caption(int topic) {
    return topic >= 0 && topic < kTopicCount ? QString::fromLatin1(kCaptions[topic]) : QString();
}

QString description(int topic) {
    return lines(topic, false).join(QStringLiteral("\r\n"));
}

QString printAllText() {
    QString text;
    for (int topic = 0; topic < kTopicCount; ++topic)
        text += description(topic) + QStringLiteral("\r\n\r\n***************\r\n\r\n");
    return text;
}

QStringList helpLines(int topic) {
    return lines(topic, true);
}

QString usageLine() {
    return QStringLiteral("Usage: quarvo /T=<tree> /F=<function> [switches]");
}

QList<ExitStatus> exitStatuses() {
    return {{0, {"the report ran and its results were written"}},
            {1,
             {"a switch is missing, unknown, misplaced or in conflict with another,",
              "a name finds nothing, the site file cannot be used, or the tree's",
              "directory cannot be read for an Owner, File or Date run, or an",
              "/IMPORT= file holds no scan, or not the dates or owners the run needs"}},
            {2, {"the output file or the export could not be written, or a walk ran", "out of file descriptors"}},
            {3, {"the run was cancelled or could not start"}},
            {4, {"the results were written, but the run could not be kept in the history", "or compared with it"}}};
}

QString failureNote() {
    return QString::fromLatin1(kFailureNote);
}

QString closingNotes() {
    return QString::fromLatin1(kClosingNotes);
}

QString closingText() {
    QString text = QStringLiteral("Exit status:\n");
    for (const ExitStatus& exit : exitStatuses())
        text += statusLines(exit);
    return text + failureNote() + QStringLiteral("\n\n") + closingNotes();
}

QString helpText() {
    QString text = usageLine() + QStringLiteral("\n\n");
    for (int topic = 0; topic < kTopicCount; ++topic)
        text += helpLines(topic).join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    return text + closingText();
}

} // namespace SyntaxTexts
