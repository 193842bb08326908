// ChildExit: the end of a test's forked child, which reports a failed check by its exit status.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>

// Waits for the child, which must have exited by itself with status 0 (a status above 0 names
// the check that failed in it).
inline void ExpectChildExitsCleanly(pid_t child)
{
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
