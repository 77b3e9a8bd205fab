#pragma once

#include "app/command_line.h"
#include "settings/search_settings.h"

#include <QString>

// Which switches exist, which belong to which function and which exclude
// each other. A mistyped switch would otherwise be skipped and the run would
// answer another question, so every word that starts a switch must be known.
class SwitchRules {
  public:
    // Refuses text before the first switch, unknown switches (naming the
    // nearest known one) and switches given twice. Throws CommandLineError.
    static void checkWords(const CommandLine& line);
    // Refuses switches that do not belong to the function, and switches
    // that contradict each other. Throws CommandLineError.
    static void checkForFunction(const CommandLine& line, ReportKind kind);

    // The known switch a word stands for ("/OUTFILE=" for "/OUTFILE=x.csv"),
    // or the word's own switch part when it is unknown.
    static QString switchOf(const QString& upperWord);
    static bool isKnown(const QString& switchText);
    // The known switch closest in spelling.
    static QString nearest(const QString& switchText);
};
