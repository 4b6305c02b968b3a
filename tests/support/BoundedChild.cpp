// A forked child with an address-space budget, reporting back through a pipe.
#include "support/BoundedChild.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

/// The process's current virtual size in bytes, from /proc (0 when unknown).
uint64_t VirtualSize()
{
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) {
        return 0;
    }
    unsigned long pages = 0;
    const bool ok = std::fscanf(f, "%lu", &pages) == 1;
    std::fclose(f);
    return ok ? uint64_t { pages } * uint64_t(sysconf(_SC_PAGESIZE)) : 0;
}

/// A "Vm..." field of /proc/self/status in bytes (0 when unknown).
uint64_t StatusField(const char* name)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) {
        return 0;
    }
    char line[256];
    uint64_t kib = 0;
    const size_t length = std::strlen(name);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
            kib = std::strtoull(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kib * 1024;
}

/// Resets the peak resident size to the current one (Linux 4.0 and later).
void ResetPeakRss()
{
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (f) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

void WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += size_t(n);
    }
}

} // namespace

TChildResult RunBounded(const std::function<std::string()>& body, uint64_t budgetBytes)
{
    TChildResult result;
    int fds[2];
    if (::pipe(fds) != 0) {
        return result;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        // The sanitizers reserve their shadow memory at start-up, so the budget counts from
        // the size the child already has.
        const rlimit limit { VirtualSize() + budgetBytes, VirtualSize() + budgetBytes };
        ::setrlimit(RLIMIT_AS, &limit);
        ResetPeakRss();
        const uint64_t before = StatusField("VmHWM");
        std::string report = body();
        const uint64_t after = StatusField("VmHWM");
        const uint64_t growth = after > before ? after - before : 0;
        WriteAll(fds[1], std::to_string(growth) + "\n" + report);
        ::close(fds[1]);
        ::_exit(0);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return result;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer, size_t(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    const size_t newline = text.find('\n');
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && newline != std::string::npos) {
        result.Finished = true;
        result.RssGrowthBytes = std::stoull(text.substr(0, newline));
        result.Report = text.substr(newline + 1);
    }
    return result;
}
