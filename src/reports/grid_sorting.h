#pragma once

#include "reports/result_grid.h"
#include "reports/results_view.h"

// Header sorting of the results grid: one toggle for the whole grid, the
// first sort descending, date headings by their hidden day key as numbers,
// every other column as case-sensitive text (padded Size cells then sort as
// numbers). Returns whether the sort was descending; the view disables
// "Show Files for Selected" and the cursor column becomes col.
bool grdDirSizes_DblClick(ResultGrid& grid, ResultsView& view, int col);
