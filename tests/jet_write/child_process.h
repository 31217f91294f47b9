// Runs the writing child (or any program) with its standard output on a pipe, so that a test
// can wait for its "go", kill it midway or race it.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "write_child.h"

namespace jet_write_test {

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;
};

// The child with `args`, under `wrapper` (for instance strace) when it is not empty.
inline Child start(const std::vector<std::string>& args,
                   const std::vector<std::string>& wrapper = {}) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    Child c;
    c.pid = ::fork();
    if (c.pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        std::vector<std::string> all = wrapper;
        all.push_back(JET_WRITE_CHILD);
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    c.out = ::fdopen(fds[0], "r");
    return c;
}

inline std::string firstLine(Child& c) {
    char buf[4096];
    if (!std::fgets(buf, sizeof buf, c.out)) return {};
    std::string s = buf;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

// The exit code, or -1 when the child was killed.
inline int finish(Child& c, bool kill) {
    if (kill) ::kill(c.pid, SIGKILL);
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    std::string rest;
    char buf[512];
    while (std::fgets(buf, sizeof buf, c.out)) rest += buf;
    std::fclose(c.out);
    if (!rest.empty()) std::cout << "[ child ] " << rest;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool haveStrace() { return std::system("strace -V >/dev/null 2>&1") == 0; }

// The sanitizer build runs fewer and smaller writers: it is several times slower.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// strace kills the child at its n-th pwrite: inside the commit, at an exact point.
inline std::vector<std::string> killAtWrite(int n) {
    const std::string inject = "inject=pwrite64:signal=SIGKILL:when=" + std::to_string(n);
    return {"strace", "-f", "-qq", "-o", "/dev/null", "-e", inject};
}

}  // namespace jet_write_test
