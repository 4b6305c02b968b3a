// What the command line's messages look like, for tests that compare its stderr.
#pragma once

#include <string>

inline const std::string kQuestion = "Output file exists. Do you want to overwrite it?";

/// The final line of a job that wrote `output`, without its summary (see Plain).
inline std::string Done(const std::string& output)
{
    return "tavmor: " + output + ": Operation completed successfully\n";
}

/// The final line of a job on `input` that wrote nothing.
inline std::string Aborted(const std::string& input)
{
    return "tavmor: " + input + ": Operation aborted\n";
}

/// A message about `file`.
inline std::string About(const std::string& file, const std::string& text)
{
    return "tavmor: " + file + ": " + text + "\n";
}

/// stderr with the summaries of final lines ("(W x H, B-bit, N bytes (...), S s)") taken out,
/// since they carry times; the summary itself is checked where it matters.
inline std::string Plain(const std::string& err)
{
    const std::string done = "Operation completed successfully";
    std::string out = err;
    for (size_t at = out.find(done); at != std::string::npos; at = out.find(done, at + 1)) {
        const size_t open = at + done.size();
        if (out.compare(open, 2, " (") == 0) {
            const size_t end = out.find('\n', open);
            out.erase(open, end - open);
        }
    }
    return out;
}
