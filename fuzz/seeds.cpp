// Writes the seed corpora of the fuzz targets, one directory per target,
// from the shipped examples and definitions and from small hand-made cases
// that reach every branch the targets start from (every compression mark in
// both header forms, every value kind of the grammars).
//
//   fuzz_seeds <output directory>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "container/fioshare.h"
#include "container/huffman.h"
#include "fuzz_support.h"
#include "seeds.h"

namespace fs = std::filesystem;

namespace vxfuzz {

namespace {

fs::path g_out;
int g_count = 0;

void make_dir(const std::string& target) { fs::create_directories(g_out / target); }

}  // namespace

void put_seed(const std::string& target, const std::string& name, std::string_view bytes) {
  make_dir(target);
  std::FILE* f = std::fopen((g_out / target / name).c_str(), "wb");
  if (f == nullptr) die("cannot write seed " + name);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  ++g_count;
}

std::vector<std::pair<std::string, std::string>> source_files(const std::string& dir) {
  std::vector<std::pair<std::string, std::string>> files;
  const fs::path root = fs::path(VEXLOR_ROOT) / dir;
  if (!fs::is_directory(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.emplace_back(entry.path().filename().string(), slurp(entry.path()));
  }
  return files;
}

namespace {

// A container around `body` as the program writes it.
std::string contain(std::string_view body, sUInt mark, int unicode) {
  const std::u16string name = work_path("seed.tmp");
  sFioShareFile* stream = fioshare_file_open(reporter(), name.c_str(), FIO_WRITE, mark, unicode);
  if (stream == nullptr) die("cannot open a write stream");
  if (!body.empty() && fioshare_write(stream, body.data(), static_cast<sUInt>(body.size())) != body.size()) {
    die("cannot write a body");
  }
  if (!fioshare_file_close(stream)) die("cannot close a write stream");
  return read_file("seed.tmp");
}

std::string huff(std::string_view data) {
  std::string out(data.size() + 1024, '\0');
  sUInt n = 0;
  if (!huff_encode(reinterpret_cast<const sByte*>(data.data()), static_cast<sUInt>(data.size()),
                   reinterpret_cast<sByte*>(out.data()), static_cast<sUInt>(out.size()), &n)) {
    die("cannot encode");
  }
  out.resize(n);
  return out;
}

void container_seeds(const std::vector<std::string>& bodies) {
  int i = 0;
  for (const std::string& body : bodies) {
    for (sUInt mark : {FIO_COMP_NONE, FIO_COMP_ZLIB, FIO_COMP_HUFF}) {
      for (int unicode : {0, 1}) {
        put_seed("container_open_fuzz", "body" + std::to_string(i) + "_" + static_cast<char>(mark) +
                                            (unicode ? "_utf16" : "_8bit"),
                 contain(body, mark, unicode));
      }
    }
    put_seed("container_open_fuzz", "body" + std::to_string(i) + "_bare", body);
    ++i;
  }
}

void huffman_seeds(const std::vector<std::string>& bodies) {
  int i = 0;
  for (const std::string& body : bodies) {
    const std::string data = body.substr(0, 0xFFFF);
    std::string input;
    input += static_cast<char>(data.size() & 0xFF);
    input += static_cast<char>(data.size() >> 8);
    input += huff(data);
    put_seed("huffman_decode_fuzz", "data" + std::to_string(i), input);
    put_seed("huffman_roundtrip_fuzz", "data" + std::to_string(i), data);
    ++i;
  }
}

void value_text_seeds() {
  const struct {
    std::uint32_t bits;
    const char* text;
  } values[] = {
      {0x3FC00000u, "1.5"},       {0x3DCCCCCDu, "0.1"},     {0x7F7FFFFFu, "3.40282347e+38"},
      {0x00000001u, "1.4e-45"},   {0x80000000u, "-0"},      {0x7F800000u, "inf"},
      {0xFFC00001u, "-nan"},      {0x7FFFFFFFu, "0x1p-3"},  {0x80000000u, "-2147483648"},
      {0xFFFFFFFFu, "4294967295"}, {0x0000002Au, "  007x"}, {0x12345678u, "1e99999"},
  };
  int i = 0;
  for (const auto& v : values) {
    std::string seed{static_cast<char>(v.bits), static_cast<char>(v.bits >> 8), static_cast<char>(v.bits >> 16),
                     static_cast<char>(v.bits >> 24)};
    put_seed("value_text_fuzz", "value" + std::to_string(i++), seed + widen(v.text));
  }
}

void cmdline_seeds() {
  const char* const lines[] = {
      "vexlor file.s /o:out.dat /c /u",
      "/usr/local/bin/vexlor /home/me/a.s /o:/tmp/.bin",
      "vexlor \"my file.s\" /k",
      "vexlor a.s b.s /k /o:\"x y.dat\"",
      "vexlor C:\\data\\shape.s /o:\\dev\\data\\.dat",
      "vexlor -data.s /O:a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r /check /keep",
      "vexlor .s /o:.bin",
  };
  int i = 0;
  for (const char* line : lines) put_seed("cmdline_fuzz", "line" + std::to_string(i++), widen(line));
}

void table_seeds() {
  put_seed("sidn_load_fuzz", "enum", "enum {\n\tSIDN_CORE = 0x0001,\n\tSIDN_B = 1F, // note\n};\n");
  put_seed("sidn_load_fuzz", "bad", "SIDN_A=1\nSIDN_C\n");
  put_seed("config_load_fuzz", "plain", "COREIDS core.h\nAPPIDS app.h\nFILE_EXT *.s *.sb Shape files\r\n"
                                        "FILE_EXT *.t \"\" text only\nFILE_EXT *.x\nCOREIDSX\n");
  put_seed("stoken_load_fuzz", "ranges", "#define SIDSTR_PREFIX SID_DECLARE_STR_PREFIX(P_)\n"
                                         "SID_DEFINE_FIRST_ID(SIDN_CORE)\nSIDDEF(SID_X, \"X\")\n"
                                         "SIDDEF(SID_Y, \"Y\") // y\n#include \"app.h\"\n"
                                         "SID_DEFINE_FIRST_ID(SIDN_WIDE)\nSIDDEF(SID_Z, \"\")\n");
  put_seed("stoken_load_fuzz", "self", "SIDDEF(SID_X, \"X\")\n#include input.h\n");
  for (const auto& [name, bytes] : source_files("tests/bad_input/cfg")) put_seed("config_load_fuzz", name, bytes);
  for (const auto& [name, bytes] : source_files("tests/bad_input/sidn")) put_seed("sidn_load_fuzz", name, bytes);
  for (const auto& [name, bytes] : source_files("tests/bad_input/tokens")) put_seed("stoken_load_fuzz", name, bytes);
  for (const auto& [name, bytes] : source_files("defs")) {
    if (name == "sidn.txt") put_seed("sidn_load_fuzz", name, bytes);
    if (name.ends_with(".cfg")) put_seed("config_load_fuzz", name, bytes);
    if (name.ends_with(".h")) put_seed("stoken_load_fuzz", name, bytes);
  }
}

}  // namespace

}  // namespace vxfuzz

int main(int argc, char** argv) {
  using namespace vxfuzz;
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds <output directory>\n");
    return 2;
  }
  g_out = fs::absolute(argv[1]);
  fs::create_directories(g_out);

  std::vector<std::string> bodies = {
      "",
      "TORV0r1b        ",
      "TORV0s1t        ",
      widen("TORV0s1t        \r\nShape s ( Info ( \"x\" 1 0 ) )\r\n"),
      std::string(300, 'a'),
      std::string("\x00\x01\x02\x03\xFF\xFE\x80\x7F", 8),
  };
  for (const auto& file : source_files("examples")) bodies.push_back(file.second);
  container_seeds(bodies);
  for (const char* dir : {"tests/bad_input/container", "tests/bad_input/binary", "tests/bad_input/text"}) {
    for (const auto& [name, bytes] : source_files(dir)) put_seed("container_open_fuzz", name, bytes);
  }
  for (const char* dir : {"tests/bad_input/container", "tests/bad_input/binary"}) {
    for (const auto& [name, bytes] : source_files(dir)) put_seed("binary_dump_fuzz", name, bytes);
  }
  huffman_seeds(bodies);
  table_seeds();
  cmdline_seeds();
  value_text_seeds();
  reader_seeds();

  std::printf("%d seeds in %s\n", g_count, g_out.c_str());
  return 0;
}
