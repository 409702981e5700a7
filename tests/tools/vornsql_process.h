// Runs vornsql (and python3, to read its output back) as a child process for the tools
// tests: standard input from a string, standard output and error captured in full.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vorn::test {

struct ProcessResult {
    int status = -1;  // exit status; 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Runs program with args; input goes to its standard input (from a file, so that it is a
// plain file, not a terminal); stdoutPath, when given, receives its standard output instead
// of a capture file (for instance /dev/full).
inline ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& input = "",
                                const std::string& workingFolder = "",
                                const std::string& stdoutPath = "") {
    ProcessResult result;
    char inName[] = "/tmp/vornsql-test-in-XXXXXX";
    char outName[] = "/tmp/vornsql-test-out-XXXXXX";
    char errName[] = "/tmp/vornsql-test-err-XXXXXX";
    const int inFd = mkstemp(inName);
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    if (inFd < 0 || outFd < 0 || errFd < 0)
        return result;
    if (!input.empty() && write(inFd, input.data(), input.size()) != ssize_t(input.size()))
        return result;
    lseek(inFd, 0, SEEK_SET);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        int out = outFd;
        if (!stdoutPath.empty())
            out = open(stdoutPath.c_str(), O_WRONLY);
        dup2(inFd, 0);
        dup2(out, 1);
        dup2(errFd, 2);
        if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0)
            _exit(126);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    if (pid > 0 && waitpid(pid, &wstatus, 0) == pid)
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    close(inFd);
    close(outFd);
    close(errFd);
    result.out = ReadWholeFile(outName);
    result.err = ReadWholeFile(errName);
    unlink(inName);
    unlink(outName);
    unlink(errName);
    return result;
}

inline ProcessResult RunVornsql(const std::vector<std::string>& args,
                                const std::string& input = "") {
    return RunProgram(VORNSQL_PATH, args, input);
}

// Runs a python3 script with the text as its standard input; the script's output.
inline ProcessResult RunPython(const std::string& script, const std::string& input) {
    return RunProgram("python3", {"-c", script}, input);
}

// Whether text holds part.
inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace vorn::test
