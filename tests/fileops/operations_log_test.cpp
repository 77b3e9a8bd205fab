#include "fileops/operations_log.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>

// A file name may hold a line break followed by what looks like another
// outcome; the log must still show one line for the one deletion.
TEST(OperationsLogText, ControlCharactersInANameCannotStartALineOfTheirOwn) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarvo.log");
    {
        OperationsLog log(path);
        log.open();
        log.write(QStringLiteral(", Deleted \\\\FS1\\VOL1\\a\n1/1/2024 1:00:00 AM, Deleted \\\\FS1\\VOL1\\payroll.xls"
                                 "\r\x1b[2J\x7f\u009b\tb.txt"));
        log.close();
        ASSERT_FALSE(log.failed()) << log.error().toStdString();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count('\n'), 1);
    EXPECT_EQ(text.count('\r'), 1);
    EXPECT_TRUE(text.endsWith(", Deleted \\\\FS1\\VOL1\\a\\n1/1/2024 1:00:00 AM, Deleted \\\\FS1\\VOL1\\payroll.xls"
                              "\\r\\x1b[2J\\x7f\\x9b\tb.txt\r\n"))
        << text.toStdString();
}

// A line that does not fit (here a file size limit, as a full disk would
// do) is taken back whole, and the reason is the system's own.
TEST(OperationsLogText, ALineThatDoesNotFitLeavesTheLogAsItWasAndSaysWhy) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarvo.log");
    OperationsLog log(path);
    log.open();
    log.write(QStringLiteral(", Deleted \\\\FS1\\VOL1\\a.txt"));
    const qint64 whole = QFileInfo(path).size();
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit lowered{rlim_t(whole + 10), limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &lowered);
    log.write(QStringLiteral(", Deleted \\\\FS1\\VOL1\\") + QString(200, 'b'));
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldSignal);
    log.close();
    EXPECT_EQ(QFileInfo(path).size(), whole);
    EXPECT_EQ(log.error(), QString::fromLocal8Bit(std::strerror(EFBIG)));
}
