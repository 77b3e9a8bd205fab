#pragma once

#include "settings/app_state.h"
#include "fsview/volume_view.h"
#include "netware/client/netware_client.h"
#include "reports/host.h"
#include "reports/result_grid.h"
#include "reports/results_view.h"
#include "reports/run_state.h"
#include "reports/search_settings.h"

// What a report routine works with: the program's state, the panel, the grid
// and its surroundings, the client and the file-system view.
struct ReportEnv {
    AppState& app;
    SearchSettings& search;
    RunState& run;
    ResultGrid& grid;
    ResultsView& view;
    Host& host;
    NetWareClient& client;
    VolumeView& volumes;
};
