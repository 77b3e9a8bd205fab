// Files dated far beyond what any calendar form holds, as tmpfs can record
// them, through the File and Date searches.
#include "report_fixture.h"
#include "scoped_tmpfs.h"
#include "tree_builder.h"

#include "reports/report_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <limits>

namespace {

class FarDates : public ::testing::Test {
protected:
    void SetUp() override {
        builder.tree("ACME_TREE").server("FS1", {"VOL1"});
        tmpfs = std::make_unique<ScopedTmpfs>(builder.rootOf("FS1", "VOL1"));
        if (!tmpfs->mounted())
            GTEST_SKIP() << tmpfs->why().toStdString();
        const QString root = QFile::decodeName(builder.rootOf("FS1", "VOL1"));
        // The last second the C library breaks down into an int year (2,147,485,547).
        ASSERT_TRUE(dated(root + "/far/brink", 67768036191676799));
        ASSERT_TRUE(dated(root + "/far/future", std::numeric_limits<std::int64_t>::max()));
        ASSERT_TRUE(dated(root + "/far/past", std::numeric_limits<std::int64_t>::min()));
    }
    // Both times of a new file set to the given seconds; false when the file system refuses them.
    static bool dated(const QString& path, std::int64_t seconds) {
        TreeBuilder::file(path, 1);
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        struct stat st {};
        return ::utimensat(AT_FDCWD, TreeBuilder::native(path).constData(), times, 0) == 0 &&
               ::stat(TreeBuilder::native(path).constData(), &st) == 0 && st.st_mtim.tv_sec == seconds;
    }
    // "file|date" of every row after a run.
    QStringList run(ReportKind kind, int fileCol, int dateCol) {
        f = std::make_unique<ReportFixture>(builder.site());
        f->search.tabSearch = kind;
        f->search.cmbServer.showOrAdd("FS1");
        f->search.cmbVolumeList.showOrAdd("VOL1");
        f->search.lblDirectory = "\\\\FS1\\VOL1\\far";
        f->search.dateOption = DateOption::optModifyDate;
        f->search.cmbDate.text = "Between";
        f->search.txtSelectedDate = "1/1/1900";
        f->search.txtEndDate = "1/1/3000";
        btnShowUsage_Click(f->env);
        QStringList rows;
        for (qsizetype row = 1; row < f->grid.rows(); ++row)
            rows.append(f->grid.cell(row, fileCol) + "|" + f->grid.cell(row, dateCol));
        return rows;
    }

    SiteBuilder builder;
    std::unique_ptr<ScopedTmpfs> tmpfs;
    std::unique_ptr<ReportFixture> f;
};

} // namespace

TEST_F(FarDates, DateSearchHoldsThemAtThePackableEnds) {
    EXPECT_EQ(run(ReportKind::Date, 3, 4),
              (QStringList{"brink|12/31/2107", "future|12/31/2107", "past|1/1/1980"}));
}

TEST_F(FarDates, FileSearchHoldsThemAtFourDigitYears) {
    EXPECT_EQ(run(ReportKind::File, 2, 5),
              (QStringList{"brink|12/31/9999", "future|12/31/9999", "past|1/1/0001"}));
    EXPECT_GT(f->grid.cell(2, 0).toLongLong(), 0); // sort keys: days from 1 January 1990
    EXPECT_LT(f->grid.cell(3, 0).toLongLong(), 0);
}
