#pragma once

#include <QtGlobal>

// The interactive start, in the shared library the program loads only for
// it: opens the main window and runs until it closes. debugMode: "/DEBUG".
extern "C" Q_DECL_EXPORT int quarvoWindowMain(int argc, char** argv, int debugMode);
