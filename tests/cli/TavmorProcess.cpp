// Child processes of the built `tavmor`, with their streams in files of a private folder.
#include "cli/TavmorProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TTavmorProcess::TTavmorProcess(
    const std::vector<std::string>& args, const std::string& stdinText, const std::string& workDir)
{
    char folder[] = "/tmp/tavmor-cli-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return;
    }
    FFolder = folder;
    const std::string in = FFolder + "/in";
    const std::string out = FFolder + "/out";
    const std::string err = FFolder + "/err";
    std::ofstream(in, std::ios::binary) << stdinText;

    // Everything the child needs is prepared before the fork: after it only system calls.
    std::vector<std::string> argStore { TAVMOR_BIN };
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    FPid = fork();
    if (FPid == 0) {
        const int inFd = open(in.c_str(), O_RDONLY);
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (inFd < 0 || outFd < 0 || errFd < 0 || dup2(inFd, 0) < 0 || dup2(outFd, 1) < 0
            || dup2(errFd, 2) < 0 || (!workDir.empty() && chdir(workDir.c_str()) != 0)) {
            _exit(127);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
}

TTavmorProcess::~TTavmorProcess()
{
    if (FPid > 0 && !FEnded) {
        kill(FPid, SIGKILL);
        (void)Wait();
    }
    if (!FFolder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }
}

bool TTavmorProcess::Running()
{
    if (FPid <= 0 || FEnded) {
        return false;
    }
    const pid_t done = waitpid(FPid, &FStatus, WNOHANG);
    if (done == FPid) {
        FEnded = true;
    }
    return !FEnded;
}

TTavmorResult TTavmorProcess::Wait()
{
    TTavmorResult result;
    if (FPid <= 0) {
        return result;
    }
    while (!FEnded) {
        const pid_t done = waitpid(FPid, &FStatus, 0);
        if (done == FPid) {
            FEnded = true;
        } else if (done < 0 && errno != EINTR) {
            return result;
        }
    }
    if (WIFEXITED(FStatus)) {
        result.ExitCode = WEXITSTATUS(FStatus);
    } else if (WIFSIGNALED(FStatus)) {
        result.ExitCode = 128 + WTERMSIG(FStatus);
    }
    result.Out = ReadWhole(FFolder + "/out");
    result.Err = ReadWhole(FFolder + "/err");
    return result;
}

TTavmorResult RunTavmor(
    const std::vector<std::string>& args, const std::string& stdinText, const std::string& workDir)
{
    TTavmorProcess process(args, stdinText, workDir);
    return process.Wait();
}

TTavmorResult RunTavmorOnTerminal(
    const std::vector<std::string>& args, const std::string& prompt, const std::string& typed)
{
    TTavmorResult result;
    std::vector<std::string> argStore { TAVMOR_BIN };
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) {
        return result;
    }
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    bool typedYet = prompt.empty();
    char buffer[4096];
    for (;;) {
        pollfd fd { master, POLLIN, 0 };
        // A child that stops talking for this long is stuck; the test then fails on its output.
        if (poll(&fd, 1, 20000) <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) {
            break; // EIO once the child has closed the terminal
        }
        result.Out.append(buffer, static_cast<size_t>(n));
        if (!typedYet && result.Out.find(prompt) != std::string::npos) {
            typedYet = true;
            (void)write(master, typed.data(), typed.size());
        }
    }
    close(master);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (WIFEXITED(status)) {
        result.ExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.ExitCode = 128 + WTERMSIG(status);
    }
    return result;
}
