// The debug channel shows only while a debugger or tracer watches the
// program; then each failed check is one line on standard error.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::Sandbox;

TEST(DebugChannel, SilentWithoutATracer) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  auto r = box.run({"missing.t", "/k"});
  EXPECT_EQ(r.out, "Failed to load file missing.t\n");
  EXPECT_EQ(r.err, "");
}

TEST(DebugChannel, ShowsFailedChecksUnderATracer) {
  const std::string strace = "/usr/bin/strace";
  if (vxtest::under_runner() || !std::filesystem::exists(strace)) GTEST_SKIP() << "needs strace";
  Sandbox box;
  Sandbox::box_defs(box.work());
  auto r = vxtest::run_vexlor({"-qq", "-e", "trace=none", box.exe(), "missing.t", "/k"}, box.work(), strace);
  if (r.err.find("ptrace") != std::string::npos) GTEST_SKIP() << "tracing is not permitted here";
  EXPECT_EQ(r.out, "Failed to load file missing.t\n");
  EXPECT_EQ(r.err, "\nFAILED: (f = fopen (fname, \"rb\")) != 0 [File: AppUtil Line: 292]\n");
  EXPECT_EQ(r.status, 1);
}

}  // namespace
