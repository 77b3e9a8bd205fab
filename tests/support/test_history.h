#pragma once

#include <QTemporaryDir>

#include <cstdlib>

// Every run a test makes keeps its history here, a folder of the test
// process's own, never in the user's or the machine's store.
class TestHistory {
public:
    TestHistory() {
        if (m_folder.isValid())
            ::setenv("QUARVO_HISTORY", m_folder.filePath(QStringLiteral("history.sqlite")).toLocal8Bit().constData(), 1);
    }

private:
    QTemporaryDir m_folder;
};
