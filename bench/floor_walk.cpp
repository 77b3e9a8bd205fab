// The least work a walking report cannot avoid, for comparison: list every
// directory with getdents64 and stat every file (or, with --pattern, only the
// files whose name matches), on the same number of threads, and print only
// the totals. No order, no rows, no output file.
//
//   floor_walk ROOT [--threads N] [--pattern GLOB]
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Shared {
    std::mutex mutex;
    std::condition_variable more;
    std::vector<std::string> pending;
    int busy = 0;
    dev_t device = 0;
    const char* pattern = nullptr;
    std::atomic<std::uint64_t> files{0}, bytes{0}, directories{0};
};

struct Head {
    std::uint64_t ino;
    std::int64_t off;
    std::uint16_t reclen;
    std::uint8_t type;
};

void listDirectory(Shared& s, const std::string& path, std::vector<std::string>& found, char* buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    std::uint64_t files = 0, bytes = 0;
    for (long got; (got = ::syscall(SYS_getdents64, fd, buffer, 65536)) > 0;) {
        for (long at = 0; at < got;) {
            const Head* head = reinterpret_cast<const Head*>(buffer + at);
            const char* name = buffer + at + offsetof(Head, type) + 1;
            at += head->reclen;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            const bool directory = head->type == DT_DIR;
            if (!directory && s.pattern && ::fnmatch(s.pattern, name, FNM_CASEFOLD) != 0)
                continue;
            struct stat st {};
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                if (st.st_dev == s.device)
                    found.push_back(path + '/' + name);
            } else {
                ++files;
                bytes += std::uint64_t(st.st_size);
            }
        }
    }
    ::close(fd);
    s.files += files;
    s.bytes += bytes;
    ++s.directories;
}

void work(Shared& s) {
    std::vector<char> buffer(65536);
    std::vector<std::string> found;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.more.wait(lock, [&] { return !s.pending.empty() || s.busy == 0; });
        if (s.pending.empty())
            break;
        const std::string path = std::move(s.pending.back());
        s.pending.pop_back();
        ++s.busy;
        lock.unlock();
        listDirectory(s, path, found, buffer.data());
        lock.lock();
        --s.busy;
        for (std::string& dir : found)
            s.pending.push_back(std::move(dir));
        found.clear();
        s.more.notify_all();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: floor_walk ROOT [--threads N] [--pattern GLOB]\n");
        return 2;
    }
    Shared s;
    int threads = int(std::thread::hardware_concurrency());
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--threads") == 0)
            threads = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--pattern") == 0)
            s.pattern = argv[i + 1];
    }
    struct stat root {};
    if (::stat(argv[1], &root) != 0) {
        std::perror(argv[1]);
        return 2;
    }
    s.device = root.st_dev;
    s.pending.push_back(argv[1]);
    std::vector<std::thread> workers;
    for (int i = 0; i < std::max(threads, 1); ++i)
        workers.emplace_back(work, std::ref(s));
    for (std::thread& worker : workers)
        worker.join();
    std::printf("%llu directories, %llu files, %llu bytes\n", (unsigned long long)s.directories.load(),
                (unsigned long long)s.files.load(), (unsigned long long)s.bytes.load());
    return 0;
}
