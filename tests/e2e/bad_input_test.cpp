// The bad-input corpus: hand-made malformed definition files, token files
// and containers (tests/bad_input/), each run through the real program with
// the exact console output and exit status it must give.
//
// tests/bad_input/cases.txt lists the cases. A case starts with its name and
// runs in a fresh sandbox whose working directory holds the shipped
// definition set (defs/); its lines change that and say what must come out:
//
//   case <kind>/<name>
//   # why the input is wrong and why the output is what it is
//   put <file, relative to the repository> <name in the working directory>
//   remove <name in the working directory>
//   args <arguments, separated by blanks>
//   status <exit status>
//   out <standard output, escaped>      (several lines are joined)
//   err <standard error, escaped>       (default: empty)
//
// In the expected output %PROG% stands for the program's directory.
// Escapes: \n \r \t \\ and \xHH for any byte.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/sandbox.h"

namespace {

namespace fs = std::filesystem;

struct BadInputCase {
  std::string name;
  std::vector<std::pair<std::string, std::string>> puts;
  std::vector<std::string> removes;
  std::vector<std::string> args;
  int status = -1;
  std::string out;
  std::string err;
};

fs::path corpus_root() { return vxtest::source_root() / "tests" / "bad_input"; }

std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    switch (c) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)); i += 2; break;
      default: out += c; break;
    }
  }
  return out;
}

std::vector<std::string> split_blanks(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::vector<BadInputCase> load_cases() {
  std::vector<BadInputCase> cases;
  std::ifstream in(corpus_root() / "cases.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (key == "case") {
      cases.push_back({});
      cases.back().name = rest;
      continue;
    }
    if (cases.empty()) continue;
    BadInputCase& c = cases.back();
    if (key == "put") {
      auto words = split_blanks(rest);
      c.puts.emplace_back(words.at(0), words.at(1));
    } else if (key == "remove") {
      c.removes.push_back(rest);
    } else if (key == "args") {
      c.args = split_blanks(rest);
    } else if (key == "status") {
      c.status = std::stoi(rest);
    } else if (key == "out") {
      c.out += unescape(rest);
    } else if (key == "err") {
      c.err += unescape(rest);
    } else {
      ADD_FAILURE() << "cases.txt: unknown line: " << line;
    }
  }
  return cases;
}

const std::vector<BadInputCase>& all_cases() {
  static const std::vector<BadInputCase> cases = load_cases();
  return cases;
}

std::string test_name(const testing::TestParamInfo<size_t>& info) {
  std::string name;
  for (char c : all_cases()[info.param].name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

class BadInput : public testing::TestWithParam<size_t> {};

TEST_P(BadInput, GivesItsConsoleOutputAndStatus) {
  const BadInputCase& c = all_cases()[GetParam()];
  // The POSIX build shows a message box's text on standard error.
  if (c.err.find("Vexlor Unicode: ") != std::string::npos && vxtest::under_runner()) {
    GTEST_SKIP() << "Windows shows a real message box";
  }
  vxtest::Sandbox box;
  vxtest::Sandbox::shipped_defs(box.work());
  for (const auto& name : c.removes) fs::remove(box.work() / name);
  for (const auto& [from, to] : c.puts) {
    const fs::path source = vxtest::source_root() / from;
    ASSERT_TRUE(fs::exists(source)) << from;
    fs::copy_file(source, box.work() / to, fs::copy_options::overwrite_existing);
  }
  const vxtest::RunResult result = box.run(c.args);
  std::string out = c.out;
  std::string err = c.err;
  for (std::string* text : {&out, &err}) {
    const size_t prog = text->find("%PROG%");
    if (prog == std::string::npos) continue;
    if (vxtest::under_runner()) GTEST_SKIP() << "shows the program directory";
    text->replace(prog, 6, box.prog_text());
  }
  EXPECT_EQ(result.out, out);
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.err, err);
}

std::vector<size_t> case_indexes() {
  std::vector<size_t> indexes(all_cases().size());
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = i;
  return indexes;
}

INSTANTIATE_TEST_SUITE_P(Corpus, BadInput, testing::ValuesIn(case_indexes()), test_name);

TEST(BadInputCorpus, HoldsAtLeastOneHundredFilesOfEveryKind) {
  const char* const kinds[] = {"cfg", "sidn", "tokens", "grammar", "text", "binary", "container"};
  size_t files = 0;
  for (const char* kind : kinds) {
    size_t of_kind = 0;
    for (const auto& entry : fs::directory_iterator(corpus_root() / kind)) of_kind += entry.is_regular_file();
    EXPECT_GE(of_kind, 5u) << kind;
    files += of_kind;
  }
  EXPECT_GE(files, 100u);
  // Every file of the corpus is used by a case.
  std::set<std::string> used;
  for (const auto& c : all_cases()) {
    for (const auto& put : c.puts) used.insert(put.first);
  }
  for (const char* kind : kinds) {
    for (const auto& entry : fs::directory_iterator(corpus_root() / kind)) {
      const std::string rel = "tests/bad_input/" + std::string(kind) + "/" + entry.path().filename().string();
      EXPECT_TRUE(used.count(rel)) << rel << " is not used by any case";
    }
  }
}

}  // namespace
