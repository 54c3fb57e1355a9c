#include "platform/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

TEST(Processes, ListsOthersInPidOrderAndNeverSignalsGroupsOrItself) {
  auto processes = platform::ListProcesses();
  ASSERT_TRUE(processes);
  for (size_t i = 0; i < processes->size(); ++i) {
    EXPECT_NE((*processes)[i].pid, getpid());
    EXPECT_GT((*processes)[i].pid, 0);
    if (i > 0) {
      EXPECT_LT((*processes)[i - 1].pid, (*processes)[i].pid);
    }
  }
  EXPECT_FALSE(platform::TerminateProcess(0));
  EXPECT_FALSE(platform::TerminateProcess(-1));
  EXPECT_FALSE(platform::TerminateProcess(getpid()));
}
