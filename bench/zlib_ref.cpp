// The zlib reference of the end-to-end benchmark: compress() at the default
// level and uncompress() of the body of an uncompressed binary token file,
// timed in this process alone (no file I/O in the timed part). This is the
// floor the compressed paths of the converter are compared with. Built
// beside a program that uses libdeflate, it times libdeflate's zlib
// functions at level 6 on the same body too.
//
//   zlib_ref <file.sb written with /u> [runs]
//
// Prints: body bytes, compressed bytes, then the median seconds of compress
// and of uncompress, each as wall time and as processor time (std::clock: on
// a shared machine wall time also counts the waits for a core); with
// libdeflate, five more numbers in the same order for libdeflate.
#include <zlib.h>
#if defined(ZLIB_REF_LIBDEFLATE)
#include <libdeflate.h>
#endif

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::size_t kContainerHeaderBytes = 16;

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double cpu_seconds_since(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: zlib_ref <file.sb> [runs]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::FILE* f = std::fopen(argv[1], "rb");
  if (f == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<unsigned char> file;
  unsigned char chunk[1 << 16];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, f)) != 0;) file.insert(file.end(), chunk, chunk + got);
  std::fclose(f);
  if (file.size() <= kContainerHeaderBytes) {
    std::fprintf(stderr, "zlib_ref: %s holds no body\n", argv[1]);
    return 1;
  }
  const unsigned char* body = file.data() + kContainerHeaderBytes;
  const uLong body_size = static_cast<uLong>(file.size() - kContainerHeaderBytes);

  std::vector<unsigned char> packed(compressBound(body_size));
  std::vector<unsigned char> unpacked(body_size);
  uLongf packed_size = 0;
  std::vector<double> compress_times, uncompress_times, compress_cpu, uncompress_cpu;
  // One warm-up run of each, then the timed ones.
  for (int run = -1; run < runs; ++run) {
    packed_size = static_cast<uLongf>(packed.size());
    const std::clock_t cpu_start = std::clock();
    auto start = std::chrono::steady_clock::now();
    if (compress(packed.data(), &packed_size, body, body_size) != Z_OK) {
      std::fprintf(stderr, "zlib_ref: compress failed\n");
      return 1;
    }
    if (run >= 0) {
      compress_times.push_back(seconds_since(start));
      compress_cpu.push_back(cpu_seconds_since(cpu_start));
    }
  }
  for (int run = -1; run < runs; ++run) {
    uLongf size = body_size;
    const std::clock_t cpu_start = std::clock();
    auto start = std::chrono::steady_clock::now();
    if (uncompress(unpacked.data(), &size, packed.data(), packed_size) != Z_OK || size != body_size) {
      std::fprintf(stderr, "zlib_ref: uncompress failed\n");
      return 1;
    }
    if (run >= 0) {
      uncompress_times.push_back(seconds_since(start));
      uncompress_cpu.push_back(cpu_seconds_since(cpu_start));
    }
  }
  std::printf("%lu %lu %.4f %.4f %.4f %.4f", static_cast<unsigned long>(body_size),
              static_cast<unsigned long>(packed_size), median(compress_times), median(uncompress_times),
              median(compress_cpu), median(uncompress_cpu));
#if defined(ZLIB_REF_LIBDEFLATE)
  // The same with libdeflate, each call making its compressor or
  // decompressor as the program does.
  compress_times.clear(), uncompress_times.clear(), compress_cpu.clear(), uncompress_cpu.clear();
  std::size_t lib_size = 0;
  packed.resize(std::max(packed.size(), libdeflate_zlib_compress_bound(nullptr, body_size)));
  for (int run = -1; run < runs; ++run) {
    const std::clock_t cpu_start = std::clock();
    auto start = std::chrono::steady_clock::now();
    libdeflate_compressor* c = libdeflate_alloc_compressor(6);
    lib_size = c != nullptr ? libdeflate_zlib_compress(c, body, body_size, packed.data(), packed.size()) : 0;
    libdeflate_free_compressor(c);
    if (lib_size == 0) {
      std::fprintf(stderr, "zlib_ref: libdeflate compress failed\n");
      return 1;
    }
    if (run >= 0) {
      compress_times.push_back(seconds_since(start));
      compress_cpu.push_back(cpu_seconds_since(cpu_start));
    }
  }
  for (int run = -1; run < runs; ++run) {
    const std::clock_t cpu_start = std::clock();
    auto start = std::chrono::steady_clock::now();
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::size_t size = 0;
    const bool ok = d != nullptr && libdeflate_zlib_decompress(d, packed.data(), lib_size, unpacked.data(), body_size,
                                                               &size) == LIBDEFLATE_SUCCESS;
    libdeflate_free_decompressor(d);
    if (!ok || size != body_size) {
      std::fprintf(stderr, "zlib_ref: libdeflate uncompress failed\n");
      return 1;
    }
    if (run >= 0) {
      uncompress_times.push_back(seconds_since(start));
      uncompress_cpu.push_back(cpu_seconds_since(cpu_start));
    }
  }
  std::printf(" %lu %.4f %.4f %.4f %.4f", static_cast<unsigned long>(lib_size), median(compress_times),
              median(uncompress_times), median(compress_cpu), median(uncompress_cpu));
#endif
  std::printf("\n");
  return 0;
}
