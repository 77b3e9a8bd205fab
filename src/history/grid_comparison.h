#pragma once

#include "history/stored_run.h"
#include "reports/result_grid.h"

// Growth since an earlier run, as two more columns of the grid: "Change(MB)"
// and "Change %" ("New" for a row the earlier run did not have). Rows the
// earlier run had and this one has not are added at the end with their
// negative change and "Gone".
namespace GridComparison {

// The columns with their figures.
void compare(ResultGrid& grid, const QList<StoredRow>& earlier);
// The columns, empty: the earlier run could not be read, and a file read by
// column keeps its shape.
void addEmptyColumns(ResultGrid& grid);
// Takes the columns and the rows marked Gone away again.
void remove(ResultGrid& grid);

} // namespace GridComparison
