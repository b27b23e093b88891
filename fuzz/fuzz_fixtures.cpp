#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bnf/bnf_model.h"
#include "bnf/bnf_parser.h"
#include "bnf/tokenizer.h"
#include "common/report.h"
#include "fuzz_support.h"
#include "shape/conversion.h"
#include "tables/config.h"
#include "tables/sidn.h"
#include "tables/stoken.h"

namespace vxfuzz {

namespace fs = std::filesystem;

namespace {

// A grammar that nests without bound (a Node holds Nodes) and uses every
// construct and value kind, with literals that have binary forms (on, off,
// Node, Leaf) and literals that have none (note, kind).
constexpr const char* kRecursiveGrammar =
    "// Nested nodes for the fuzz targets.\n"
    "FILE_TYPE = \"r\" .\n"
    "FILE_TYPE_VER = \"1\" .\n"
    "FILE = { :Node } .\n"
    "Node ==> { :Item } .\n"
    "Item = :Node | :Leaf | ( on :sint ) | ( off :dword :byte ) | ( note :string )\n"
    "     | ( :ARRAY ( :uint :float ) ,pairs :INDEX ( pairs ) ) | ( kind [ :token ] ) .\n"
    "Leaf ==> :string [ :float ] .\n"
    "EOF\n";

constexpr const char* kRecursiveTokens =
    "SID_DEFINE_FIRST_ID(SIDN_FUZZ)\n"
    "SIDDEF(FZ_NODE, \"Node\")\n"
    "SIDDEF(FZ_LEAF, \"Leaf\")\n"
    "SIDDEF(FZ_ON, \"on\")\n"
    "SIDDEF(FZ_OFF, \"off\")\n"
    "SIDDEF(FZ_PLAIN, \"Plain\")\n";

sReporter g_reporter;
sTokenTable g_tokens;
std::vector<sBNFTable*> g_tables;

std::vector<sBNFTable*> load_fixtures() {
  // Every file of the set is opened by its full name, or relative to the
  // work directory (the includes of the token definitions).
  const std::u16string base = work_dir_prefix();
  const fs::path defs = fs::path(VEXLOR_ROOT) / "defs";
  std::string sidn, includes;
  std::vector<std::string> grammars;
  if (fs::exists(defs / "Vexlor.cfg")) {
    for (const auto& entry : fs::directory_iterator(defs)) {
      const std::string name = entry.path().filename().string();
      put_file(name, slurp(entry.path()));
      if (entry.path().extension() == ".bnf") grammars.push_back(name);
    }
    sidn = slurp(defs / "sidn.txt");
    sConfig config;
    if (!tokutil_load_config(g_reporter, config, work_path("Vexlor.cfg").c_str())) die("defs/Vexlor.cfg does not load");
    for (const char16_t* name : {config.coreids_file, config.appids_file}) {
      if (name[0] != 0) includes += "#include \"" + std::string(name, name + std::char_traits<char16_t>::length(name)) + "\"\n";
    }
    tokutil_free_config(config);
  }
  sidn += "\nSIDN_FUZZ = 0x00F0\n";
  put_file("fuzz_sidn.txt", sidn);
  put_file("fuzz_ids.h", includes + kRecursiveTokens);
  put_file("recursive.bnf", "\xFF\xFE" + widen(kRecursiveGrammar));
  grammars.push_back("recursive.bnf");

  sSIDNTable* sidn_table = nullptr;
  if (!tokutil_load_sidn_table(g_reporter, sidn_table, work_path("fuzz_sidn.txt").c_str())) {
    die("SIDN definitions do not load");
  }
  if (!tokutil_load_stoken_table(g_reporter, g_tokens, sidn_table, u"fuzz_ids.h", nullptr, base.c_str())) {
    die("token definitions do not load");
  }
  tokutil_free_sidn_table(sidn_table);

  std::vector<sBNFTable*> tables;
  for (const std::string& name : grammars) {
    sBNFTable* table = parse_bnf_file(grammar_tokenizer(), g_reporter, g_tokens, work_path(name).c_str());
    if (table == nullptr) die("grammar " + name + " does not load");
    tables.push_back(table);
  }
  return tables;
}

void release_fixtures() {
  for (sBNFTable* table : g_tables) destroy_bnf_table(table);
  g_tables.clear();
  tokutil_free_stoken_table(g_tokens);
}

}  // namespace

const std::vector<sBNFTable*>& fixture_grammars() {
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    g_tables = load_fixtures();
    std::atexit(release_fixtures);
  }
  return g_tables;
}

const sTokenTable& fixture_tokens() {
  fixture_grammars();
  return g_tokens;
}

sReporter& reporter() { return g_reporter; }

sTokenizer& grammar_tokenizer() {
  static const std::unique_ptr<sTokenizer> tokenizer = std::make_unique<sTokenizer>();
  return *tokenizer;
}

sConversion& conversion() {
  static sConversion conv(fixture_tokens());
  // Made before the first input: after an input that leaves more blocks
  // allocated than it freed, libFuzzer runs it again to look for a leak.
  if (conv.tokenizer == nullptr) conv.tokenizer = std::make_unique<sTokenizer>();
  return conv;
}

bool conversion_tokenizer_open() {
  const sConversion& conv = conversion();
  return conv.tokenizer != nullptr && tokenizer_is_open(*conv.tokenizer);
}

std::string body_header(const sBNFTable* table, char form) {
  std::string h = "TORV0";
  h += static_cast<char>(table->file_type);
  h += static_cast<char>(table->file_type_ver);
  h += form;
  h += "        ";
  return h;
}

}  // namespace vxfuzz
