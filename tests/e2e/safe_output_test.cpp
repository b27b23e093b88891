// Outputs are never half-written: a conversion that fails, or is killed in
// the middle of its write, leaves the earlier output byte for byte. A killed
// one may leave its temporary file, named "<output>.<pid>-<n>.tmp".
//
// Linux only, beside the refused block name: the full disk (RLIMIT_FSIZE),
// the unprivileged user (setpriv, when the tests run as root) and the write
// fault hook (VEXLOR_WRITE_FAULT) need the native program.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>

#include "e2e/sandbox.h"

namespace {

namespace fs = std::filesystem;
using vxtest::RunOptions;
using vxtest::RunResult;
using vxtest::Sandbox;

const std::string kOld = "the earlier output";
// What a sandbox holds before a test converts anything.
const std::string kInputs = " Vexlor.cfg sidn.txt core.h app.h box.bnf many.t long.t many.bin ";

// Box ( 0 ) ... Box ( 2999 ): 39 KB as plain binary, 90 KB as text.
struct FaultSandbox : Sandbox {
  FaultSandbox() {
    box_defs(work());
    std::string body = "\r\n";
    for (int i = 0; i < 3000; ++i) body += "Box ( " + std::to_string(i) + " )\r\n";
    put("many.t", vxtest::text_token_file("b1", body));
    put("long.t", vxtest::text_token_file("b1", "\r\nBox " + std::string(256, 'n') + " ( 5 )\r\n"));
    EXPECT_EQ(run({"many.t", "/u", "/o:many.bin"}).status, 0);
  }
  RunResult run_with(const std::vector<std::string>& args, const RunOptions& options) const {
    return vxtest::run_vexlor_with(args, work(), options, exe());
  }
  // The names in the working directory (or one below it) but the sources.
  std::vector<std::string> outputs(const std::string& dir = "") const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work() / dir)) {
      const std::string name = entry.path().filename();
      if (dir.empty() && kInputs.find(" " + name + " ") != std::string::npos) continue;
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

std::string converting(const std::string& source, const std::string& form, const std::string& output) {
  return "\nConverting " + source + " to " + form + " file " + output + " ...\n";
}

TEST(SafeOutput, AFailedConversionLeavesTheEarlierOutput) {
  const bool native = !vxtest::under_runner();
  struct Case {
    std::string what;
    std::vector<std::string> args;
    RunOptions options;
    std::string out;
  };
  RunOptions no_space;
  no_space.file_size_limit = 8192;
  RunOptions failing;
  failing.env = {{"VEXLOR_WRITE_FAULT", "fail:1000"}};
  std::vector<Case> cases = {
      {"a block name over 255 units", {"long.t", "/o:out.bin"}, {}, "compressed binary"},
  };
  if (native) {
    cases.insert(cases.end(), {
        {"no space, binary", {"many.t", "/u", "/o:out.bin"}, no_space, "binary"},
        {"no space, streamed text", {"many.bin", "/o:out.t"}, no_space, "text"},
        {"a write that fails", {"many.t", "/c", "/o:out.bin"}, failing, "compressed binary"},
        {"a streamed write that fails", {"many.bin", "/o:out.t"}, failing, "text"},
    });
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FaultSandbox box;
    const std::string output = c.args.back().substr(3);
    box.put(output, kOld);
    auto r = box.run_with(c.args, c.options);
    EXPECT_EQ(r.out, converting(c.args[0], c.out, output) + "Error while writing file " + output + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(box.get(output), kOld);
    EXPECT_EQ(box.outputs(), std::vector<std::string>{output});  // and nothing else
  }
}

// Root may write anything: the unprivileged cases run as nobody then.
std::vector<std::string> unprivileged() {
  if (::geteuid() != 0) return {};
  return {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
}

TEST(SafeOutput, WhatTheUserMayNotWriteIsRefused) {
  if (vxtest::under_runner()) GTEST_SKIP() << "Linux only: permissions of a native user";
  if (::geteuid() == 0 && !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "no setpriv to leave root";
  FaultSandbox box;
  // A writable file in a directory the user may not write (no temporary
  // file can be made beside it), and a file the user may not write in a
  // directory the user may write (a rename over it would work).
  fs::create_directory(box.work() / "closed");
  fs::create_directory(box.work() / "open");
  box.put("closed/out.bin", kOld);
  box.put("open/out.bin", kOld);
  fs::permissions(box.work() / "closed/out.bin", static_cast<fs::perms>(0666));
  fs::permissions(box.work() / "closed", static_cast<fs::perms>(0555));
  fs::permissions(box.work() / "open", static_cast<fs::perms>(0777));
  fs::permissions(box.work() / "open/out.bin", static_cast<fs::perms>(0444));
  RunOptions as_user;
  as_user.prefix = unprivileged();
  for (const std::string output : {"closed/out.bin", "open/out.bin"}) {
    SCOPED_TRACE(output);
    auto r = box.run_with({"many.t", "/u", "/o:" + output}, as_user);
    EXPECT_EQ(r.out, converting("many.t", "binary", output) + "Could not write to file " + output);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(box.get(output), kOld);
    EXPECT_EQ(box.outputs(fs::path(output).parent_path()), std::vector<std::string>{"out.bin"});
  }
  fs::permissions(box.work() / "closed", static_cast<fs::perms>(0755));
}

// The fault hook stops the process once part of the output is written; the
// test looks at the files and kills it there.
TEST(SafeOutput, AConversionKilledMidWriteLeavesTheEarlierOutput) {
  if (vxtest::under_runner()) GTEST_SKIP() << "Linux only: the fault hook stops a native process";
  struct Case {
    std::string what;
    std::vector<std::string> args;
    std::string fault;
    int signal;
  };
  const Case cases[] = {
      {"killed", {"many.t", "/u", "/o:out.bin"}, "stop:20000", SIGKILL},
      {"killed while streaming text", {"many.bin", "/o:out.t"}, "stop:20000", SIGKILL},
      {"aborted", {"many.t", "/u", "/o:out.bin"}, "abort:20000", SIGABRT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FaultSandbox box;
    const std::string output = c.args.back().substr(3);
    box.put(output, kOld);
    RunOptions options;
    options.env = {{"VEXLOR_WRITE_FAULT", c.fault}};
    std::vector<std::string> seen;
    options.on_stop = [&](int pid) {
      seen = box.outputs();
      // What was written so far is in the temporary file.
      if (seen.size() == 2) {
        EXPECT_EQ(fs::file_size(box.work() / seen[1]), 20000u);
      }
      EXPECT_EQ(box.get(output), kOld);
      ::kill(pid, SIGKILL);
    };
    auto r = box.run_with(c.args, options);
    EXPECT_EQ(r.signal, c.signal);
    EXPECT_EQ(box.get(output), kOld);
    // The leftover is plainly one, and the next conversion is not misled.
    const std::vector<std::string> left = box.outputs();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(left[1].starts_with(output + ".") && left[1].ends_with(".tmp")) << left[1];
    if (c.signal == SIGKILL) {
      EXPECT_EQ(seen, left);
    }
    EXPECT_EQ(box.run(c.args).status, 0);
    EXPECT_NE(box.get(output), kOld);
    EXPECT_EQ(box.outputs().size(), 2u);
  }
}

TEST(SafeOutput, ADeviceIsWrittenInPlace) {
  if (vxtest::under_runner()) GTEST_SKIP() << "Linux only: /dev/null";
  FaultSandbox box;
  auto r = box.run({"many.t", "/o:/dev/null"});
  EXPECT_EQ(r.out, converting("many.t", "compressed binary", "/dev/null") +
                       "Warning: No file extension specified\n\nSave operation will continue..");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
