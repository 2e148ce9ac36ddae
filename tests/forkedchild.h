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

// Makes a root child @p uid:@p gid. The code under test runs as that user; a
// coverage build keeps root as the saved user ID, only to write its counters.
inline bool becomeUser(uid_t uid, gid_t gid)
{
#ifdef KRCOMMON_TEST_COVERAGE
    const uid_t saved = 0;
#else
    const uid_t saved = uid;
#endif
    return ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setresuid(uid, uid, saved) == 0;
}

// Makes a root child nobody:nogroup.
inline bool becomeNobody()
{
    return becomeUser(65534, 65534);
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
