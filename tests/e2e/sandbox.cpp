#include "e2e/sandbox.h"

#include <zlib.h>

#include <cstdint>

namespace vxtest {

namespace fs = std::filesystem;

fs::path source_root() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }

Sandbox::Sandbox() {
  fs::path original = vexlor_exe();
  exe_ = (prog() / original.filename()).string();
  fs::copy_file(original, exe_, fs::copy_options::overwrite_existing);
  fs::permissions(exe_, fs::perms::owner_all, fs::perm_options::add);
}

std::string Sandbox::prog_text() const {
  if (windows_build()) return wine_path(fs::canonical(prog())) + "\\";
  return fs::canonical(prog()).string() + "/";
}

RunResult Sandbox::run(const std::vector<std::string>& args) const { return run_vexlor(args, work(), exe_); }

void Sandbox::shipped_defs(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(source_root() / "defs")) {
    fs::copy_file(entry.path(), dir / entry.path().filename(), fs::copy_options::overwrite_existing);
  }
}

void Sandbox::box_defs(const fs::path& dir) {
  write_file(dir / "Vexlor.cfg", "COREIDS core.h\nAPPIDS app.h\n");
  write_file(dir / "sidn.txt", "enum {\n  SIDN_TEST = 0x0001,\n  SIDN_APP = 0x0002,\n};\n");
  write_file(dir / "core.h", "SID_DEFINE_FIRST_ID(SIDN_TEST)\nSIDDEF(ID_BOX, \"Box\")\n");
  write_file(dir / "app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\nSIDDEF(ID_PAIR, \"Pair\")\n");
  write_file(dir / "box.bnf", grammar("FILE_TYPE = \"b\" .\nFILE_TYPE_VER = \"1\" .\n"
                                      "FILE = { :Box } .\nBox ==> :uint [ name :string ] .\nEOF\n"));
}

std::string grammar(const std::string& text) { return utf16le(u16(text), true); }

std::string text_token_file(const std::string& type_version, const std::string& body) {
  return utf16le(u16(kPlainHeader + "TORV0" + type_version + "t        " + body), true);
}

std::string inflate_body(const std::string& file) {
  // The UTF-16 header form spreads the 16 header bytes over 16 units.
  std::string header;
  size_t data_at = 16;
  if (file.size() >= 34 && file.compare(0, 2, "\xFF\xFE") == 0) {
    for (size_t i = 0; i < 16; ++i) header += file[2 + 2 * i];
    data_at = 34;
  } else if (file.size() >= 16) {
    header = file.substr(0, 16);
  }
  if (header.compare(0, 8, "KALDOA@F") != 0) return {};
  auto byte = [&](int i) { return static_cast<uLongf>(static_cast<unsigned char>(header[i])); };
  uLongf size = byte(8) | byte(9) << 8 | byte(10) << 16 | byte(11) << 24;
  std::string body(size, '\0');
  uLongf got = size;
  if (uncompress(reinterpret_cast<Bytef*>(body.data()), &got, reinterpret_cast<const Bytef*>(file.data() + data_at),
                 static_cast<uLong>(file.size() - data_at)) != Z_OK ||
      got != size) {
    return {};
  }
  return body;
}

}  // namespace vxtest
