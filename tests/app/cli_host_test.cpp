#include "temporary_file.h"

#include "app/cli_host.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {

// A host writing to a temporary file that passes for a terminal, or not.
struct Hosted {
    explicit Hosted(bool terminal, int width = 200) : host(cancel, run, CliHost::Options{out.file, terminal, width}) {}
    QString text() { return out.text(); }

    TemporaryFile out; // outlives the host, which clears its line when it goes
    std::atomic<bool> cancel{false};
    RunState run;
    CliHost host;
};

bool blocked(int signal) {
    sigset_t current;
    pthread_sigmask(SIG_SETMASK, nullptr, &current);
    return sigismember(&current, signal) == 1;
}

} // namespace

TEST(CliHostOffATerminal, OnlyMessagesAndClosingLinesAppear) {
    Hosted h(false);
    for (int row = 1; row <= 50; ++row)
        h.host.setStatus(QString("Saving row %1").arg(row));
    h.run.progress.directory = "\\\\FS1\\VOL1\\USERS";
    h.host.pollEvents();
    h.host.message("You must specify a Server");
    h.host.showFinal("Process Complete.");
    EXPECT_EQ(h.text(), "quarvo: You must specify a Server\nProcess Complete.\n");
    EXPECT_EQ(h.host.lastStatus(), "Saving row 50");
}

TEST(CliHostOnATerminal, OneLineIsRedrawnAndClearedBeforeAnythingElse) {
    Hosted h(true);
    h.host.setStatus("Gathering stats for \\\\FS1\\SYS");
    h.host.message("Volume Access Error");
    h.host.showFinal("Process Complete.");
    const QString text = h.text();
    EXPECT_TRUE(text.startsWith("\r")) << text.toStdString();
    EXPECT_TRUE(text.contains("Gathering stats for \\\\FS1\\SYS\033[K\r\033[Kquarvo: Volume Access Error\n"))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith("quarvo: Volume Access Error\nProcess Complete.\n")) << text.toStdString();
}

TEST(CliHostOnATerminal, RedrawsAreThrottled) {
    Hosted h(true);
    for (int row = 1; row <= 1000; ++row)
        h.host.setStatus(QString("Saving row %1").arg(row));
    // A thousand statuses come far faster than ten draws a second allow.
    EXPECT_LT(h.text().count("\033[K"), 100);
    EXPECT_TRUE(h.text().contains("Saving row 1\033[K"));
}

TEST(CliHostOnATerminal, TheLineShowsTheWalksProgress) {
    Hosted h(true);
    h.run.progress.directories = 1234;
    h.run.progress.files = 56789;
    h.run.progress.bytes = 3 * 1024 * 1024;
    h.run.progress.directory = "\\\\FS1\\VOL1\\USERS\\JSMITH";
    h.host.pollEvents();
    const QString text = h.text();
    EXPECT_TRUE(text.contains("1,234 directories, 56,789 files, 3.0 MB, ")) << text.toStdString();
    EXPECT_TRUE(text.contains("  \\\\FS1\\VOL1\\USERS\\JSMITH\033[K")) << text.toStdString();
}

TEST(CliHostOnATerminal, NamesCannotDriveTheTerminal) {
    Hosted h(true);
    h.run.progress.directory = "\\\\FS1\\VOL1\\\033]0;pwned\007";
    h.host.pollEvents();
    h.host.message("Unable to access \\\\FS1\\VOL1\\\033[2J");
    h.host.showFinal(QString(QChar(0x9b)) + "2J done");
    const QString text = h.text();
    EXPECT_FALSE(text.contains("\033]")) << text.toStdString();
    EXPECT_FALSE(text.contains("\033[2J"));
    EXPECT_FALSE(text.contains(QChar(0x9b)));
    EXPECT_TRUE(text.contains("\\\\FS1\\VOL1\\\\x1b]0;pwned\\x07\033[K")) << text.toStdString();
    EXPECT_TRUE(text.contains("quarvo: Unable to access \\\\FS1\\VOL1\\\\x1b[2J\n"));
}

TEST(CliHostOffATerminal, MessagesAreEscapedToo) {
    Hosted h(false);
    h.host.message("Unable to access \\\\FS1\\VOL1\\a\nquarvo: Process Complete.");
    EXPECT_EQ(h.text(), "quarvo: Unable to access \\\\FS1\\VOL1\\a\\x0aquarvo: Process Complete.\n");
}

TEST(CliHost, QuestionsAreAnsweredNo) {
    Hosted h(false);
    EXPECT_FALSE(h.host.ask("Continue?"));
    EXPECT_TRUE(h.text().contains("Continue? (answered No: unattended run)"));
}

TEST(CliHostSignals, HeldBackOnlyOnceAskedAndCtrlCBecomesACancel) {
    {
        Hosted h(false);
        // The site file is read before this point; Ctrl-C must still end the program then.
        EXPECT_FALSE(blocked(SIGINT));
        h.host.catchStopSignals();
        EXPECT_TRUE(blocked(SIGINT));
        EXPECT_TRUE(blocked(SIGTERM));
        ASSERT_EQ(::raise(SIGINT), 0); // held back while the host lives
        EXPECT_FALSE(h.cancel);
        h.host.pollEvents();
        EXPECT_TRUE(h.cancel);
        EXPECT_TRUE(h.host.interrupted());
        ASSERT_EQ(::raise(SIGTERM), 0); // still pending when the host goes: taken, not fatal
    }
    EXPECT_FALSE(blocked(SIGINT));
}

TEST(CliHostSignals, ACtrlCDuringARunIsTakenWithinSixtyFourPolls) {
    Hosted h(false);
    h.host.catchStopSignals();
    h.host.pollEvents(); // the run's first poll asks at once
    ASSERT_EQ(::raise(SIGINT), 0);
    int polls = 0;
    while (!h.cancel && polls < 64) {
        h.host.pollEvents();
        ++polls;
    }
    EXPECT_TRUE(h.cancel) << "still running after " << polls << " polls";
    EXPECT_TRUE(h.host.interrupted());
}
