#pragma once

#include "fileops/held_file.h"
#include "fileops/listed_file.h"
#include "fileops/operations_log.h"
#include "reports/report_env.h"

#include <vector>

// The steps a delete and a move share over the grid's selected rows.
namespace RowSelection {

// The rows to act on, ascending: exactly the highlighted ones.
QList<qsizetype> chosen(const ResultGrid& grid);

// The files of rows (chosen()), from the bottom up.
std::vector<ListedFile> listedFiles(const ResultGrid& grid, const QList<qsizetype>& rows, int directoryCol,
                                    int fileCol);
std::uint64_t bytesOf(const std::vector<ListedFile>& files);

// The question for one row or for several, and where the files go (empty
// for a delete).
struct Question {
    QString one;
    QString oneTitle;
    QString several;
    QString severalTitle;
    QString destination;
};
// Asks it, followed by what it acts on: the file (or how many, their size
// and the first), and where to; true for yes.
bool confirmed(Host& host, const ResultGrid& grid, const QList<qsizetype>& rows, int directoryCol, int fileCol,
               const Question& question);

// "Deleting: 120 of 2,000 files, 0.47 of 7.81 MB done"
QString progressText(const QString& doing, qint64 files, qint64 allFiles, std::uint64_t bytes,
                     std::uint64_t allBytes);

// Gives a held file its name back after why: the problem, saying where the
// file is when its name was taken meanwhile or it could not go back.
ListedFile::Problem putBack(HeldFile& held, const ListedFile::Problem& why, const QString& path);

// Takes the file's name aside (after file.find()) and checks that it still
// holds the file found; when not, gives the name back: the problem.
std::optional<ListedFile::Problem> takeAside(ListedFile& file, HeldFile& held);

// Removes the rows whose files are gone, in one pass; the rows still chosen
// stay the selection, the cursor row at its top, and none when none is
// left; the totals line counts what is left.
// chosenRows: what chosen() gave when the operation began.
void removeDone(ReportEnv& env, const QList<qsizetype>& chosenRows, const QList<qsizetype>& done);

// Closes the log; when it could not be written, the status bar and a
// message say so.
void closeLog(Host& host, OperationsLog& log);

} // namespace RowSelection
