#include "app/cli_host.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {

QString contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, file))
        bytes.append(buffer, qsizetype(n));
    return QString::fromUtf8(bytes);
}

} // namespace

TEST(CliHost, StatusTextIsThrottledButTheLastLineIsShown) {
    std::FILE* out = std::tmpfile();
    std::atomic<bool> cancel{false};
    {
        CliHost host(cancel, out);
        for (int row = 1; row <= 1000; ++row)
            host.setStatus(QString("Saving row %1").arg(row));
        host.showFinal("Process Complete.");
        host.showFinal("Process Complete.");
    }
    const QStringList lines = contents(out).split('\n', Qt::SkipEmptyParts);
    std::fclose(out);
    // A thousand statuses in well under a tenth of a second: the first shows, the rest wait.
    ASSERT_LE(lines.size(), 3);
    EXPECT_EQ(lines.first(), "Saving row 1");
    EXPECT_EQ(lines.last(), "Process Complete.");
}

TEST(CliHost, HeldBackStatusShowsAtTheNextPollAfterTheInterval) {
    std::FILE* out = std::tmpfile();
    std::atomic<bool> cancel{false};
    CliHost host(cancel, out);
    host.setStatus("Gathering stats for \\\\FS1\\SYS");
    host.setStatus("Gathering stats for \\\\FS1\\VOL1");
    host.pollEvents();
    EXPECT_FALSE(contents(out).contains("VOL1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    host.pollEvents();
    EXPECT_TRUE(contents(out).contains("Gathering stats for \\\\FS1\\VOL1\n"));
    std::fclose(out);
}

TEST(CliHost, MessagesAreNeverHeldBackAndQuestionsAnswerNo) {
    std::FILE* out = std::tmpfile();
    std::atomic<bool> cancel{false};
    CliHost host(cancel, out);
    host.setStatus("first");
    host.message("You must specify a Server");
    EXPECT_FALSE(host.ask("Continue?"));
    const QString text = contents(out);
    EXPECT_TRUE(text.contains("quarvo: You must specify a Server\n"));
    EXPECT_TRUE(text.contains("Continue? (answered No: unattended run)"));
    std::fclose(out);
}

TEST(CliHost, CtrlCBecomesACancelAtTheNextPoll) {
    std::FILE* out = std::tmpfile();
    std::atomic<bool> cancel{false};
    {
        CliHost host(cancel, out);
        ASSERT_EQ(::raise(SIGINT), 0); // held back while the host lives
        EXPECT_FALSE(cancel);
        host.pollEvents();
        EXPECT_TRUE(cancel);
    }
    std::fclose(out);
}
