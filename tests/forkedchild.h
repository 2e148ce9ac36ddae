// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_TESTS_FORKEDCHILD_H
#define KRCOMMON_TESTS_FORKEDCHILD_H

#include <cstdlib>
#include <grp.h>
#include <unistd.h>

// Helpers for test children made with fork(). A coverage build writes its
// counters in the exit handlers of each object (the test and the shared
// library), which _exit skips, and as the user who ran the suite; without
// these, what only a child runs would count as untested.

// Makes a root child nobody:nogroup. The code under test runs as nobody; a
// coverage build keeps root as the saved user ID, only to write its counters.
inline bool becomeNobody()
{
    constexpr uid_t nobody = 65534;
#ifdef KRCOMMON_TEST_COVERAGE
    constexpr uid_t saved = 0;
#else
    constexpr uid_t saved = nobody;
#endif
    return ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setresuid(nobody, nobody, saved) == 0;
}

// Ends the child with @p status.
[[noreturn]] inline void exitChild(int status)
{
#ifdef KRCOMMON_TEST_COVERAGE
    if (::geteuid() != 0)
        (void)::seteuid(0);
    std::exit(status);
#else
    ::_exit(status);
#endif
}

#endif
