#pragma once

#include <QtGlobal>

// The interactive start, in the shared library the program loads only for
// it: opens the main window and runs until it closes. debugMode: "/DEBUG".
extern "C" Q_DECL_EXPORT int quarvoWindowMain(int argc, char** argv, int debugMode);

// "/?" at startup with a display: the syntax window alone, modal, then the
// program ends. No client, settings or site file is needed for it.
extern "C" Q_DECL_EXPORT int quarvoSyntaxWindowMain(int argc, char** argv);
