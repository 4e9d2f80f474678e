// The main of every test executable: GoogleTest's, unless the executable was started again to
// run a child body (child_body.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "common/child_body.h"
#include "common/process.h"

int main(int argc, char** argv) {
  int status = 0;
  if (testing_child::RunRequestedBody(testing_process::Arguments(argc, argv), status)) {
    // No static destructors: what the body left open (a connection, a transaction) ends with
    // the process, not through the runtime's own clean-up.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
