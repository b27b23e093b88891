#include <cstdlib>
#include <filesystem>
#include <string>

#include "bnf/bnf_model.h"
#include "bnf/bnf_parser.h"
#include "fuzz_support.h"
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

std::vector<sBNFTable*> load_fixtures() {
  InWorkDir here;  // the configuration names its files relative to it
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
    if (!tokutil_load_config(u"Vexlor.cfg")) die("defs/Vexlor.cfg does not load");
    for (const char16_t* name : {coreids_file, appids_file}) {
      if (name[0] != 0) includes += "#include \"" + std::string(name, name + std::char_traits<char16_t>::length(name)) + "\"\n";
    }
    tokutil_free_config();
  }
  sidn += "\nSIDN_FUZZ = 0x00F0\n";
  put_file("fuzz_sidn.txt", sidn);
  put_file("fuzz_ids.h", includes + kRecursiveTokens);
  put_file("recursive.bnf", "\xFF\xFE" + widen(kRecursiveGrammar));
  grammars.push_back("recursive.bnf");

  if (!tokutil_load_sidn_table(u"fuzz_sidn.txt")) die("SIDN definitions do not load");
  if (!tokutil_load_stoken_table(u"fuzz_ids.h", nullptr)) die("token definitions do not load");
  tokutil_free_sidn_table();

  std::vector<sBNFTable*> tables;
  for (const std::string& name : grammars) {
    sBNFTable* table = parse_bnf_file(u16(name).c_str());
    if (table == nullptr) die("grammar " + name + " does not load");
    tables.push_back(table);
  }
  return tables;
}

std::vector<sBNFTable*> g_tables;

void release_fixtures() {
  for (sBNFTable* table : g_tables) destroy_bnf_table(table);
  g_tables.clear();
  tokutil_free_stoken_table();
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

std::string body_header(const sBNFTable* table, char form) {
  std::string h = "TORV0";
  h += static_cast<char>(table->file_type);
  h += static_cast<char>(table->file_type_ver);
  h += form;
  h += "        ";
  return h;
}

}  // namespace vxfuzz
