#pragma once

#include "fsview/ordered_walk.h"
#include "fsview/subtree_bytes.h"
#include "reports/report_env.h"

#include <QString>

// Twips the window shows the directory grid in, and a row's height: enough
// to keep new rows in view.
constexpr int kDirectoryGridHeight = 4000;
constexpr int kDirectoryRowHeight = 240;

// The rows of a start directory's immediate subdirectories, filled from one
// walk of the start: each row sums the subtree of one subdirectory, each
// file once, while the walk is inside it.
class ImmediateRows {
public:
    explicit ImmediateRows(ReportEnv& env) : m_env(env) {}

    // A new row, "Calculating.." until finished.
    void begin(const QString& path);
    void add(const WalkedDirectory& directory) { m_sum.add(directory); }
    // Writes the size of the row begun last.
    void finish();
    // A cancel removes the row being measured; rows measured stay.
    void cancel();

    // A folder row's figures from what was summed for it.
    static RowFigures figuresOf(const SubtreeBytes& sum);

private:
    ReportEnv& m_env;
    qsizetype m_row = -1;
    SubtreeBytes m_sum;
};
