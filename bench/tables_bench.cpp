// Token lookups by name and by id on a table of 10,000 tokens, as loaded
// from definition files, against a walk through the same table.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/report.h"
#include "tables/sidn.h"
#include "tables/stoken.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTokens = 10000;

std::string token_name(int i) {
  std::string name = "Token_";
  name += std::to_string(i * 7919 % 100003);
  return name;
}

// The definition files in a temporary working directory.
class DefinitionFiles {
 public:
  DefinitionFiles() : old_cwd_(fs::current_path()) {
    dir_ = fs::temp_directory_path() / ("vexlor-tables-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    fs::current_path(dir_);
    std::ofstream("sidn.txt") << "SIDN_CORE = 0x0002\nSIDN_APP = 0x0003\n";
    std::ofstream core("core.h");
    core << "SID_DEFINE_FIRST_ID(SIDN_CORE)\n";
    for (int i = 0; i < kTokens; ++i) {
      if (i == kTokens / 2) core << "SID_DEFINE_FIRST_ID(SIDN_APP)\n";
      core << "SIDDEF(SID_" << i << ", \"" << token_name(i) << "\")\n";
    }
  }
  ~DefinitionFiles() {
    fs::current_path(old_cwd_);
    fs::remove_all(dir_);
  }
  std::size_t core_bytes() const { return static_cast<std::size_t>(fs::file_size(dir_ / "core.h")); }

 private:
  fs::path old_cwd_;
  fs::path dir_;
};

// Loads the table once for the whole program.
class LoadedTable {
 public:
  LoadedTable() {
    {
      DefinitionFiles files;
      sSIDNTable* sidn = nullptr;
      loaded_ = tokutil_load_sidn_table(rep_, sidn, u"sidn.txt") &&
                tokutil_load_stoken_table(rep_, table_, sidn, u"core.h", nullptr);
      tokutil_free_sidn_table(sidn);
    }
    if (!loaded_) return;
    for (const sShapeTokenDef* def = table_.entries; def->name != nullptr; ++def) {
      std::u16string name(def->name);
      // Mixed case, as text token files may write the names.
      for (char16_t& c : name) {
        if (c >= u'a' && c <= u'z' && (&c - name.data()) % 2 == 0) c = static_cast<char16_t>(c - 32);
      }
      names_.push_back(name);
      ids_.push_back(def->id);
    }
  }
  ~LoadedTable() { tokutil_free_stoken_table(table_); }
  bool loaded() const { return loaded_; }
  const sTokenTable& tokens() const { return table_; }
  const std::vector<std::u16string>& names() const { return names_; }
  const std::vector<sUInt>& ids() const { return ids_; }

 private:
  sReporter rep_;
  sTokenTable table_;
  bool loaded_ = false;
  std::vector<std::u16string> names_;
  std::vector<sUInt> ids_;
};

const LoadedTable& table() {
  static LoadedTable t;
  return t;
}

// Runs `body` with the loaded table, or with a copy of it that the lookups
// can only walk (a table the loader did not index).
template <typename Body>
void with_table(benchmark::State& state, bool walk, Body body) {
  if (!table().loaded()) {
    state.SkipWithError("token table did not load");
    return;
  }
  if (!walk) {
    body(table().tokens());
    return;
  }
  std::vector<sShapeTokenDef> copy;
  for (const sShapeTokenDef* def = table().tokens().entries;; ++def) {
    copy.push_back(*def);
    if (def->name == nullptr) break;
  }
  const sTokenTable unindexed{copy.data()};
  body(unindexed);
}

void find_by_name(benchmark::State& state, bool walk) {
  with_table(state, walk, [&](const sTokenTable& tokens) {
    const auto& names = table().names();
    std::size_t i = 0;
    for (auto _ : state) {
      benchmark::DoNotOptimize(tokutil_find_stoken_by_name(tokens, names[i].c_str()));
      i = (i + 4099) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
  });
}

void find_by_id(benchmark::State& state, bool walk) {
  with_table(state, walk, [&](const sTokenTable& tokens) {
    const auto& ids = table().ids();
    std::size_t i = 0;
    for (auto _ : state) {
      benchmark::DoNotOptimize(tokutil_find_stoken_by_id(tokens, ids[i]));
      i = (i + 4099) % ids.size();
    }
    state.SetItemsProcessed(state.iterations());
  });
}

void find_missing_name(benchmark::State& state) {
  with_table(state, false, [&](const sTokenTable& tokens) {
    for (auto _ : state) benchmark::DoNotOptimize(tokutil_find_stoken_by_name(tokens, u"NoSuchTokenName"));
    state.SetItemsProcessed(state.iterations());
  });
}

// Both passes over the core file, the copies of the names and the index.
void BM_LoadTable(benchmark::State& state) {
  DefinitionFiles files;
  sReporter rep;
  sSIDNTable* sidn = nullptr;
  if (!tokutil_load_sidn_table(rep, sidn, u"sidn.txt")) {
    state.SkipWithError("SIDN table did not load");
    return;
  }
  for (auto _ : state) {
    sTokenTable tokens;
    if (!tokutil_load_stoken_table(rep, tokens, sidn, u"core.h", nullptr)) {
      state.SkipWithError("token table did not load");
      break;
    }
    tokutil_free_stoken_table(tokens);
  }
  tokutil_free_sidn_table(sidn);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * files.core_bytes()));
}

void BM_FindByName(benchmark::State& state) { find_by_name(state, false); }
void BM_FindById(benchmark::State& state) { find_by_id(state, false); }
void BM_FindByNameWalk(benchmark::State& state) { find_by_name(state, true); }
void BM_FindByIdWalk(benchmark::State& state) { find_by_id(state, true); }
void BM_FindMissingName(benchmark::State& state) { find_missing_name(state); }

BENCHMARK(BM_LoadTable);
BENCHMARK(BM_FindByName);
BENCHMARK(BM_FindById);
BENCHMARK(BM_FindMissingName);
BENCHMARK(BM_FindByNameWalk);
BENCHMARK(BM_FindByIdWalk);

}  // namespace
