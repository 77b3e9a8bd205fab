#pragma once

#include "reports/result_grid.h"
#include "settings/search_settings.h"

#include <QString>

// Clears the grid and gives it the columns of a layout: "Owner", "Directory",
// "File", "OwnerFile", "Volumes" or "Date" (whose date column is headed after
// the chosen date basis). Any other name only clears it.
void subInitializeGrid(ResultGrid& grid, const QString& layout,
                       DateOption dateOption = DateOption::None);
