// Writes a shape document (UTF-16 text form) of about the requested size for
// the end-to-end benchmark: a few materials and as many meshes as it takes,
// each with vertex, normal and texture-coordinate float arrays and a face
// array, so that array values make up nearly all of the file. The same
// arguments always give the same bytes.
//
//   gen_model <output> <megabytes> [seed] [--backtrack]
//   gen_model --many <directory> <count> [seed]
//
// --backtrack writes a document of file type "q" for bench/backtrack.bnf,
// whose grammar tries and abandons an alternative at every value.
//
// --many writes <count> small shape documents of 1 to 4 KB each into an
// existing directory, named small00000.s, small00001.s, ...: two materials
// and meshes of a few vertices each, a size drawn for each file.
//
// Prints the number of values written (array elements and every other
// number, string and token value), in all files together.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A small, fixed generator: std::mt19937's distributions are not the same
// on every standard library, this is.
struct Random {
  std::uint64_t state;
  explicit Random(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint32_t next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 16);
  }
  // Uniform in [0, n).
  std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>((std::uint64_t{next()} * n) >> 32); }
};

class Writer {
 public:
  explicit Writer(std::FILE* file) : file_(file) {}
  ~Writer() { flush(); }
  void put(const char* text) {
    for (; *text != 0; ++text) put_char(*text);
  }
  void put_char(char c) {
    if (c == '\n') put_unit('\r');
    put_unit(static_cast<unsigned char>(c));
  }
  void put_unit(unsigned unit) {
    if (used_ + 2 > sizeof buffer_) flush();
    buffer_[used_++] = static_cast<char>(unit & 0xFF);
    buffer_[used_++] = static_cast<char>(unit >> 8);
    bytes_ += 2;
  }
  std::uint64_t bytes() const { return bytes_; }
  void flush() {
    if (used_ != 0 && std::fwrite(buffer_, 1, used_, file_) != used_) {
      std::perror("gen_model: write");
      std::exit(1);
    }
    used_ = 0;
  }

 private:
  std::FILE* file_;
  char buffer_[1 << 16];
  std::size_t used_ = 0;
  std::uint64_t bytes_ = 0;
};

// A number of ten-thousandths as a model exporter writes it: up to four
// decimals, trailing zeros dropped ("-3.1416", "0.5", "2").
void put_fixed(Writer& w, std::int32_t ten_thousandths) {
  char text[32];
  const bool negative = ten_thousandths < 0;
  const std::uint32_t magnitude = negative ? 0u - static_cast<std::uint32_t>(ten_thousandths)
                                           : static_cast<std::uint32_t>(ten_thousandths);
  int length = std::snprintf(text, sizeof text, "%s%u.%04u", negative ? "-" : "", magnitude / 10000,
                             magnitude % 10000);
  while (text[length - 1] == '0') --length;
  if (text[length - 1] == '.') --length;
  text[length] = 0;
  if (std::strcmp(text, "-0") == 0) std::strcpy(text, "0");
  w.put(text);
}

void put_uint(Writer& w, std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", value);
  w.put(text);
}

struct Counts {
  std::uint64_t values = 0;
};

// An array of `rows` rows of `per_row` floats, one row per line; each value
// comes from `make`.
template <typename Make>
void put_float_rows(Writer& w, Counts& n, const char* name, std::uint32_t rows, int per_row, Make make) {
  w.put("\t\t");
  w.put(name);
  w.put(" (\n");
  for (std::uint32_t r = 0; r < rows; ++r) {
    w.put("\t\t\t");
    for (int i = 0; i < per_row; ++i) {
      if (i != 0) w.put_char(' ');
      put_fixed(w, make());
    }
    w.put_char('\n');
  }
  w.put("\t\t)\n");
  n.values += std::uint64_t{rows} * static_cast<unsigned>(per_row);
}

void put_materials(Writer& w, Counts& n, Random& rng, std::uint32_t count) {
  static const char* const kTextures[] = {"steel.png", "rubber.png", "paint.png", "glass.png"};
  w.put("\tMaterials (\n");
  for (std::uint32_t m = 0; m < count; ++m) {
    char line[160];
    std::snprintf(line, sizeof line, "\t\tMaterial m%u (\n", m);
    w.put(line);
    if (m % 2 == 0) {
      std::snprintf(line, sizeof line, "\t\t\tColour ( rgba %08x )\n", rng.next());
      n.values += 1;
    } else {
      std::snprintf(line, sizeof line, "\t\t\tColour ( rgb %02x %02x %02x )\n", rng.below(256), rng.below(256),
                    rng.below(256));
      n.values += 3;
    }
    w.put(line);
    w.put("\t\t\tShininess ( ");
    put_fixed(w, static_cast<std::int32_t>(rng.below(10001)));
    w.put(" )\n");
    n.values += 1;
    if (m % 3 != 2) {
      std::snprintf(line, sizeof line, "\t\t\tTexture ( %s )\n", kTextures[m % 4]);
      w.put(line);
      n.values += 1;
    }
    w.put(m % 2 == 0 ? "\t\t\tShading ( Smooth )\n" : "\t\t\tShading ( Flat )\n");
    n.values += 1;
    w.put("\t\t)\n");
  }
  w.put("\t)\n");
}

// A mesh of `fewest` to `fewest + spread - 1` vertices.
void put_mesh(Writer& w, Counts& n, Random& rng, std::uint32_t index, std::uint32_t materials,
              std::uint32_t fewest = 200, std::uint32_t spread = 1800) {
  const std::uint32_t vertices = fewest + rng.below(spread);
  char line[96];
  std::snprintf(line, sizeof line, "\tMesh part%u (\n", index);
  w.put(line);
  // Positions within +-50 units, normals and texture coordinates in range.
  put_float_rows(w, n, "Vertices", vertices, 3,
                 [&] { return static_cast<std::int32_t>(rng.below(1000001)) - 500000; });
  if (index % 4 != 3) {
    put_float_rows(w, n, "Normals", vertices, 3, [&] { return static_cast<std::int32_t>(rng.below(20001)) - 10000; });
  }
  if (index % 3 != 2) {
    put_float_rows(w, n, "TexCoords", vertices, 2, [&] { return static_cast<std::int32_t>(rng.below(10001)); });
  }
  // About two triangles per vertex, as in a closed surface.
  const std::uint32_t triangles = vertices > 4 ? 2 * vertices - 4 : vertices;
  w.put("\t\tFaces (\n");
  for (std::uint32_t t = 0; t < triangles; ++t) {
    w.put("\t\t\t");
    const std::uint32_t a = rng.below(vertices);
    put_uint(w, a);
    w.put_char(' ');
    put_uint(w, (a + 1 + rng.below(8)) % vertices);
    w.put_char(' ');
    put_uint(w, (a + 9 + rng.below(8)) % vertices);
    w.put_char('\n');
  }
  w.put("\t\t)\n");
  n.values += std::uint64_t{triangles} * 3;
  std::snprintf(line, sizeof line, "\t\tUseMaterial ( %u )\n", index % materials);
  w.put(line);
  n.values += 1;
  if (index % 5 == 4) {
    std::snprintf(line, sizeof line, "\t\tDrawOrder ( %d )\n", static_cast<int>(rng.below(21)) - 10);
    w.put(line);
    n.values += 1;
  }
  w.put("\t)\n");
}

void put_header(Writer& w, char file_type) {
  w.put_unit(0xFEFF);
  char line[64];
  std::snprintf(line, sizeof line, "KALDOA@@@@@@@@@@TORV0%c1t        \n", file_type);
  w.put(line);
}

// The shape document: Info, materials, then meshes until the size is reached.
void write_model(Writer& w, Counts& n, Random& rng, std::uint64_t target_bytes) {
  put_header(w, 's');
  w.put("Shape bench (\n\tInfo ( \"Generated benchmark model\" 1 0 author \"gen_model\" )\n");
  n.values += 4;
  const std::uint32_t materials = 6;
  put_materials(w, n, rng, materials);
  for (std::uint32_t mesh = 0; w.bytes() < target_bytes; ++mesh) put_mesh(w, n, rng, mesh, materials);
  w.put(")\n");
}

// A small document of at least `target_bytes`: the shape's start and two
// materials take about 1 KB, each mesh of three to five vertices about 0.7.
void write_small_model(Writer& w, Counts& n, Random& rng, std::uint64_t target_bytes) {
  put_header(w, 's');
  w.put("Shape small (\n\tInfo ( \"Generated small model\" 1 0 )\n");
  n.values += 3;
  const std::uint32_t materials = 2;
  put_materials(w, n, rng, materials);
  for (std::uint32_t mesh = 0; w.bytes() < target_bytes; ++mesh) put_mesh(w, n, rng, mesh, materials, 3, 3);
  w.put(")\n");
}

// The backtracking document: blocks of float arrays, written ten values a
// line, for the grammar in bench/backtrack.bnf.
void write_backtrack(Writer& w, Counts& n, Random& rng, std::uint64_t target_bytes) {
  put_header(w, 'q');
  w.put("Shape bench (\n");
  while (w.bytes() < target_bytes) {
    w.put("\tVertices (\n");
    for (int line = 0; line < 500; ++line) {
      w.put("\t\t");
      for (int i = 0; i < 10; ++i) {
        if (i != 0) w.put_char(' ');
        put_fixed(w, static_cast<std::int32_t>(rng.below(1000001)) - 500000);
      }
      w.put_char('\n');
    }
    w.put("\t)\n");
    n.values += 5000;
  }
  w.put(")\n");
}

}  // namespace

// Writes `count` small documents into `directory`; their sizes are drawn
// from 1000 to 3100 bytes before the last mesh, which ends each within 4 KB.
int write_many(const char* directory, unsigned long count, std::uint64_t seed) {
  Counts n;
  Random sizes(seed);
  for (unsigned long i = 0; i < count; ++i) {
    char name[4096];
    std::snprintf(name, sizeof name, "%s/small%05lu.s", directory, i);
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) {
      std::perror(name);
      return 1;
    }
    {
      Writer w(file);
      Random rng(seed * 100003 + i);
      write_small_model(w, n, rng, 1000 + sizes.below(2101));
    }
    if (std::fclose(file) != 0) {
      std::perror(name);
      return 1;
    }
  }
  std::printf("%" PRIu64 "\n", n.values);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "--many") == 0) {
    const unsigned long count = std::strtoul(argv[3], nullptr, 10);
    if (count == 0 || count > 100000) {
      std::fprintf(stderr, "gen_model: --many takes 1 to 100000 files\n");
      return 2;
    }
    return write_many(argv[2], count, argc >= 5 ? std::strtoull(argv[4], nullptr, 10) : 1);
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: gen_model <output> <megabytes> [seed] [--backtrack]\n"
                         "       gen_model --many <directory> <count> [seed]\n");
    return 2;
  }
  bool backtrack = false;
  std::uint64_t seed = 1;
  int positional = 0;
  const char* output = nullptr;
  double megabytes = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--backtrack") == 0) {
      backtrack = true;
    } else if (positional == 0) {
      output = argv[i];
      ++positional;
    } else if (positional == 1) {
      megabytes = std::atof(argv[i]);
      ++positional;
    } else {
      seed = std::strtoull(argv[i], nullptr, 10);
      ++positional;
    }
  }
  if (output == nullptr || megabytes <= 0) {
    std::fprintf(stderr, "gen_model: need an output name and a size in megabytes\n");
    return 2;
  }
  std::FILE* file = std::fopen(output, "wb");
  if (file == nullptr) {
    std::perror(output);
    return 1;
  }
  Counts n;
  {
    Writer w(file);
    Random rng(seed);
    const auto target = static_cast<std::uint64_t>(megabytes * 1e6);
    if (backtrack) {
      write_backtrack(w, n, rng, target);
    } else {
      write_model(w, n, rng, target);
    }
  }
  if (std::fclose(file) != 0) {
    std::perror(output);
    return 1;
  }
  std::printf("%" PRIu64 "\n", n.values);
  return 0;
}
