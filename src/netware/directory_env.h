#pragma once

#include "netware/client/netware_client.h"
#include "settings/app_state.h"
#include "settings/host.h"
#include "settings/run_state.h"
#include "settings/search_settings.h"

// What the directory queries work with: the program's state, the search
// panel's lists they fill, the run whose Stop they heed, where messages go,
// and the client. A report's surroundings give one of these.
struct DirectoryEnv {
    AppState& app;
    SearchSettings& search;
    RunState& run;
    Host& host;
    NetWareClient& client;
};
