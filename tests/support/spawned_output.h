#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

// What a program wrote to standard output, and how it ended.
struct SpawnedOutput {
    bool exited = false; // ended by itself, not by a signal
    int status = -1;     // its exit status then
    QByteArray out;
    bool succeeded() const { return exited && status == 0; }
};

// Runs program (found on PATH) with arguments through posix_spawn and reads
// its standard output; standard error is the test's. Not QProcess: once a
// QProcess has started a program, ThreadSanitizer no longer sees this
// process's main thread take its locks and reports races in every later
// walk that are none.
inline SpawnedOutput spawnOutput(const QString& program, const QStringList& arguments) {
    SpawnedOutput result;
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned == 0) {
        char buffer[65536];
        for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
            result.out.append(buffer, got);
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            result.exited = true;
            result.status = WEXITSTATUS(status);
        }
    }
    ::close(pipeFds[0]);
    return result;
}
