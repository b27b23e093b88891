// Conversions on four threads at once over one shared set of definitions
// give exactly what one thread gives: the same output bytes, the same
// errors and the same debug lines for each document.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/engine_fixture.h"
#include "support/test_support.h"
#include "vexlor/vexlor.h"

namespace {

using vxtest::file_bytes;
using vxtest::source_path;

struct Job {
  std::string name;
  std::vector<std::uint8_t> source;
  vexlor::Form form;
  vexlor::Compression compression;
};

// What one job gave: the converted bytes and their conversion back, or the
// error; and every debug line on the way.
struct Outcome {
  std::vector<std::uint8_t> output;
  std::vector<std::uint8_t> back;
  vexlor::ErrorCode code = vexlor::ErrorCode::kNone;
  std::string message;
  std::uint32_t position = 0;
  std::vector<std::string> debug;

  bool operator==(const Outcome&) const = default;
};

Outcome run(const std::shared_ptr<const vexlor::Definitions>& definitions, const Job& job) {
  Outcome outcome;
  vexlor::Converter converter(definitions, [&](std::string_view line) { outcome.debug.emplace_back(line); });
  vexlor::Error error;
  std::optional<vexlor::Document> document = converter.read_memory(job.source, job.name, &error);
  if (document) {
    auto output = converter.write_memory(*document, job.form, job.compression, &error);
    if (output) {
      outcome.output = *output;
      std::optional<vexlor::Document> again = converter.read_memory(*output, job.name, &error);
      if (again) {
        const vexlor::Form back = job.form == vexlor::Form::kText ? vexlor::Form::kBinary : vexlor::Form::kText;
        auto bytes = converter.write_memory(*again, back, vexlor::Compression::kNone, &error);
        if (bytes) outcome.back = *bytes;
      }
    }
  }
  outcome.code = error.code;
  outcome.message = error.message;
  outcome.position = error.position;
  return outcome;
}

std::vector<std::uint8_t> bytes_of(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

TEST(Threads, FourThreadsGiveWhatOneThreadGives) {
  vexlor::Error error;
  auto definitions = vexlor::Definitions::load({source_path("defs")}, &error);
  ASSERT_TRUE(definitions) << error.message;

  std::vector<Job> jobs{
      {"robot.s", file_bytes(source_path("examples/robot.s")), vexlor::Form::kBinary, vexlor::Compression::kZlib},
      {"cube.s", file_bytes(source_path("examples/cube.s")), vexlor::Form::kBinary, vexlor::Compression::kNone},
      {"basic.ml", file_bytes(source_path("examples/basic.ml")), vexlor::Form::kBinary,
       vexlor::Compression::kHuffman},
      {"bad.s",
       bytes_of(vxtest::utf16le(u"KALDOA@@@@@@@@@@TORV0s1t        \r\nShape bad (\r\n\tInfo ( \"x\" one 0 )\r\n)\r\n",
                                true)),
       vexlor::Form::kBinary, vexlor::Compression::kNone},
  };
  // A binary body cut short: a failing binary read, with its debug lines.
  {
    auto converter = vexlor::Converter(definitions);
    std::optional<vexlor::Document> robot = converter.read_memory(jobs[0].source, "robot.s");
    ASSERT_TRUE(robot);
    auto binary = converter.write_memory(*robot, vexlor::Form::kBinary, vexlor::Compression::kNone);
    ASSERT_TRUE(binary);
    binary->resize(binary->size() - 7);
    jobs.push_back({"cut.sb", *binary, vexlor::Form::kText, vexlor::Compression::kZlib});
  }

  std::vector<Outcome> expected;
  for (const Job& job : jobs) expected.push_back(run(definitions, job));
  EXPECT_EQ(expected[3].code, vexlor::ErrorCode::kReadFailed);
  EXPECT_EQ(expected[4].code, vexlor::ErrorCode::kReadFailed);
  // Reading a binary body reports on the debug channel ("Passed end of
  // block" behind every array), so the lines of each conversion are compared
  // too.
  EXPECT_FALSE(expected[0].debug.empty());
  for (std::size_t i = 0; i < 3; ++i) EXPECT_FALSE(expected[i].back.empty()) << jobs[i].name;

  constexpr int kThreads = 4;
  constexpr int kRounds = 12;
  std::vector<std::vector<Outcome>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread takes the jobs in its own order.
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t k = 0; k < jobs.size(); ++k) {
          const std::size_t j = (k + static_cast<std::size_t>(t + round)) % jobs.size();
          Outcome outcome = run(definitions, jobs[j]);
          if (round == 0 && got[t].size() < jobs.size()) got[t].resize(jobs.size());
          if (!(outcome == expected[j])) got[t][j].message = "differs in round " + std::to_string(round);
          if (round == 0) got[t][j] = std::move(outcome);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      EXPECT_TRUE(got[t][j] == expected[j]) << "thread " << t << ", " << jobs[j].name << ": " << got[t][j].message;
    }
  }
}

}  // namespace
