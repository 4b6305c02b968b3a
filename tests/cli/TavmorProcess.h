// Runs the built `tavmor` binary as a child process with files for its three streams.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

/// What a finished run left behind. A run ended by a signal has 128 + the signal number.
struct TTavmorResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

/// One child process of `tavmor`. Its stdin is a file holding stdinText (never a terminal),
/// stdout and stderr go to files read back by Wait.
class TTavmorProcess {
public:
    /// Starts `tavmor args...` in the folder `workDir` ("" = the test's own).
    TTavmorProcess(const std::vector<std::string>& args, const std::string& stdinText = "",
        const std::string& workDir = "");
    ~TTavmorProcess();
    TTavmorProcess(const TTavmorProcess&) = delete;
    TTavmorProcess& operator=(const TTavmorProcess&) = delete;

    pid_t Pid() const { return FPid; }
    /// True while the child has not ended.
    bool Running();
    /// Waits for the child to end and collects its streams.
    TTavmorResult Wait();

private:
    pid_t FPid = -1;
    int FStatus = 0;
    bool FEnded = false;
    std::string FFolder;
};

/// Starts tavmor with the arguments and waits for it.
TTavmorResult RunTavmor(const std::vector<std::string>& args, const std::string& stdinText = "",
    const std::string& workDir = "");

/// Starts tavmor with the arguments on a pseudo-terminal (stdin, stdout and stderr all on it),
/// types `typed` once `prompt` has appeared in its output ("" types nothing), and waits for
/// it. Out holds everything the terminal showed; Err stays empty.
TTavmorResult RunTavmorOnTerminal(const std::vector<std::string>& args,
    const std::string& prompt = "", const std::string& typed = "");
