#include "unprivileged_run.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr uid_t nobody = 65534;
constexpr int dropFailed = 2;
constexpr int writeFailed = 3;

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray readAll(int fd) {
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return bytes;
        bytes.append(buffer, n);
    }
}

int runChild(int out, const std::function<QByteArray()>& work) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0
        || ::setresuid(nobody, nobody, nobody) != 0)
        return dropFailed;
    return writeAll(out, work()) ? 0 : writeFailed;
}

} // namespace

UnprivilegedResult runUnprivileged(const std::function<QByteArray()>& work) {
    if (::geteuid() != 0)
        return {work(), {}};
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {std::nullopt, QStringLiteral("no pipe to an unprivileged child")};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        ::_exit(runChild(pipeFds[1], work));
    }
    ::close(pipeFds[1]);
    const QByteArray output = child > 0 ? readAll(pipeFds[0]) : QByteArray();
    ::close(pipeFds[0]);
    if (child < 0)
        return {std::nullopt, QStringLiteral("cannot fork an unprivileged child")};
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {output, {}};
    if (WIFEXITED(status) && WEXITSTATUS(status) == dropFailed)
        return {std::nullopt, QStringLiteral("a child cannot drop to uid and gid 65534 here")};
    return {std::nullopt, QStringLiteral("the unprivileged child failed (status %1)").arg(status)};
}
