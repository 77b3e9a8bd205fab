#pragma once

#include "settings/app_state.h"
#include "fsview/volume_view.h"
#include "netware/client/netware_client.h"
#include "netware/directory_env.h"
#include "settings/host.h"
#include "reports/result_grid.h"
#include "reports/results_view.h"
#include "settings/run_state.h"
#include "settings/search_settings.h"
#include "sizetree/size_tree.h"

#include <functional>

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
    // Where a Directory walk keeps every folder and file it saw, for a
    // window to browse; null: nothing kept (the command line).
    SizeTree* sizeTree = nullptr;
    // Called while the walk fills sizeTree, at most every sizeTreeGrewEvery
    // milliseconds, between two folders (the tree as it stands is whole):
    // a window may show the run so far.
    std::function<void()> sizeTreeGrew;
    int sizeTreeGrewEvery = 2000;

    // What the directory queries need of it.
    operator DirectoryEnv() const { return {app, search, run, host, client}; }
};
