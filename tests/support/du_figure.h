#pragma once

#include "spawned_output.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The first figure of what a command such as du prints for path, or the sum
// of every line's first figure (find -printf '%s\n'); nothing when it could
// not run. A complaint on standard error (find's about a loop) is no failure.
inline std::optional<std::uint64_t> commandFigure(const QString& program, const QStringList& arguments,
                                                  bool sumLines = false) {
    const SpawnedOutput run = spawnOutput(program, arguments);
    if (!run.exited)
        return std::nullopt;
    const QList<QByteArray> lines = run.out.split('\n');
    std::uint64_t sum = 0;
    for (const QByteArray& line : lines) {
        bool ok = false;
        const std::uint64_t figure = line.split('\t').first().trimmed().toULongLong(&ok);
        if (ok && !sumLines)
            return figure;
        if (ok)
            sum += figure;
    }
    return sumLines ? std::optional<std::uint64_t>(sum) : std::nullopt;
}
