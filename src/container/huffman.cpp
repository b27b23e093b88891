// Mark-"B" codec. Both directions share the canonical code assignment, so a
// table written here is read back with exactly the codes it was written with.
#include "container/huffman.h"

#include "common/byte_order.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr sUInt kEndCode = 256;
constexpr sUInt kCodeSpace = 1u << kHuffMaxCodeLength;  // 2048
constexpr std::uint16_t kEndMarker = 0xFF00;             // lookup entry length 255

using LengthCounts = std::array<std::uint64_t, kHuffMaxCodeLength + 1>;  // index 0 unused

std::uint64_t code_space_used(const LengthCounts& counts) {
  std::uint64_t used = 0;
  for (sUInt len = 1; len <= kHuffMaxCodeLength; ++len) used += counts[len] << (kHuffMaxCodeLength - len);
  return used;
}

// Codes enter the stream most significant bit first while the stream fills
// words from bit 0, so the bits are stored reversed.
sUInt reverse_bits(sUInt code, sUInt length) {
  sUInt reversed = 0;
  for (sUInt i = 0; i < length; ++i) {
    reversed = (reversed << 1) | (code & 1);
    code >>= 1;
  }
  return reversed;
}

// Hands out canonical codes in order of rising length: calls
// visit(index, length, code) for index 0, 1, ... as the counts say.
template <typename Visit>
void for_each_canonical_code(const LengthCounts& counts, Visit visit) {
  sUInt code = 0;
  sUInt previous_length = 0;
  sUInt index = 0;
  for (sUInt len = 1; len <= kHuffMaxCodeLength; ++len) {
    for (std::uint64_t k = 0; k < counts[len]; ++k) {
      if (index != 0) code = (code + 1) << (len - previous_length);
      previous_length = len;
      visit(index++, len, code);
    }
  }
}

// Brings the clamped depth counts back to a complete code of at most 11 bits.
bool repair_counts(LengthCounts& counts) {
  std::int64_t used = static_cast<std::int64_t>(code_space_used(counts));
  const std::int64_t space = kCodeSpace;

  // Clamping deep leaves to 11 overfills the space: move codes from the
  // longest lengths below 11 out to 11 until it fits (perhaps with room left).
  while (used > space) {
    const std::int64_t before = used;
    for (sUInt len = kHuffMaxCodeLength - 1; len >= 1 && used > space; --len) {
      const std::int64_t saving = (std::int64_t{1} << (kHuffMaxCodeLength - len)) - 1;
      const std::int64_t wanted = (used - space + saving - 1) / saving;
      const std::int64_t moved = std::min<std::int64_t>(static_cast<std::int64_t>(counts[len]), wanted);
      counts[len] -= moved;
      counts[kHuffMaxCodeLength] += moved;
      used -= moved * saving;
    }
    if (used == before) return false;
  }

  // Fill what the previous step left free by shortening codes. A target
  // length of 0 would cost at least 1024 units, more than can ever be free
  // here, so the targets start at 1.
  while (used < space) {
    std::int64_t free_units = space - used;
    for (sUInt target = 1; target < kHuffMaxCodeLength && free_units > 0; ++target) {
      for (sUInt source = target + 1; source <= kHuffMaxCodeLength; ++source) {
        const std::int64_t cost =
            (std::int64_t{1} << (kHuffMaxCodeLength - target)) - (std::int64_t{1} << (kHuffMaxCodeLength - source));
        if (free_units < cost) break;
        const std::int64_t moved = std::min<std::int64_t>(static_cast<std::int64_t>(counts[source]), free_units / cost);
        counts[source] -= moved;
        counts[target] += moved;
        free_units -= moved * cost;
      }
    }
    const std::int64_t now = space - free_units;
    if (now == used) return false;
    used = now;
  }
  return true;
}

// Leaves by rising count: position 0 is the end code, positions 1-256 the
// byte values. Returns the code length of each position.
void build_code_lengths(const std::array<std::uint64_t, kHuffSymbols>& leaf_counts,
                        LengthCounts& counts) {
  constexpr sUInt kNodes = 2 * kHuffSymbols - 1;
  std::array<std::uint64_t, kNodes> weight{};
  std::array<std::uint16_t, kNodes> left{}, right{};
  std::array<std::uint16_t, kHuffSymbols> work{};
  for (sUInt i = 0; i < kHuffSymbols; ++i) {
    weight[i] = leaf_counts[i];
    work[i] = static_cast<std::uint16_t>(i);
  }

  // Join the two smallest and insert the new node after every item whose
  // count is not greater than its own; the working list stays sorted.
  sUInt head = 0;
  sUInt tail = kHuffSymbols;
  for (sUInt node = kHuffSymbols; node < kNodes; ++node) {
    const std::uint16_t a = work[head];
    const std::uint16_t b = work[head + 1];
    head += 2;
    weight[node] = weight[a] + weight[b];
    left[node] = a;
    right[node] = b;
    auto* begin = work.data() + head;
    auto* end = work.data() + tail;
    auto* at = std::upper_bound(begin, end, weight[node],
                                [&](std::uint64_t w, std::uint16_t item) { return w < weight[item]; });
    // The list loses two items and gains one: shift the smaller items down
    // by one slot so the list stays contiguous from head - 1.
    --head;
    std::memmove(work.data() + head, begin, static_cast<std::size_t>(at - begin) * sizeof(std::uint16_t));
    work[head + static_cast<sUInt>(at - begin)] = static_cast<std::uint16_t>(node);
    (void)end;
  }

  // Children always have smaller numbers than their parent, so one pass from
  // the root down gives every depth.
  std::array<sUInt, kNodes> depth{};
  for (sUInt node = kNodes - 1; node >= kHuffSymbols; --node) {
    depth[left[node]] = depth[node] + 1;
    depth[right[node]] = depth[node] + 1;
  }
  counts.fill(0);
  for (sUInt i = 0; i < kHuffSymbols; ++i) ++counts[std::min(depth[i], kHuffMaxCodeLength)];
}

struct CodeWord {
  std::uint32_t bits;  // reversed: first stream bit in bit 0
  std::uint32_t length;
};

}  // namespace

bool huff_table_is_complete(const sByte* table) {
  LengthCounts counts{};
  std::uint64_t total = 0;
  for (sUInt len = 1; len <= kHuffMaxCodeLength; ++len) {
    counts[len] = get_le32(table + kHuffTableCountsOffset + 4 * (len - 1));
    total += counts[len];
  }
  return total <= kHuffSymbols && code_space_used(counts) == kCodeSpace;
}

bool huff_encode(const sByte* data, sUInt size, sByte* output, sUInt capacity, sUInt* output_length) {
  // Four counting tables break the store-to-load chain on runs of one value.
  std::array<std::array<sUInt, 256>, 4> partial{};
  sUInt i = 0;
  for (; i + 4 <= size; i += 4) {
    ++partial[0][data[i]];
    ++partial[1][data[i + 1]];
    ++partial[2][data[i + 2]];
    ++partial[3][data[i + 3]];
  }
  for (; i < size; ++i) ++partial[0][data[i]];
  std::array<std::uint64_t, 256> frequency{};
  for (sUInt b = 0; b < 256; ++b) {
    frequency[b] = std::uint64_t{partial[0][b]} + partial[1][b] + partial[2][b] + partial[3][b];
  }

  // Ordered leaves: the end code (count 0) first, then the bytes by rising
  // count, equal counts by value.
  std::array<std::uint16_t, kHuffSymbols> order{};
  order[0] = kEndCode;
  for (sUInt b = 0; b < 256; ++b) order[b + 1] = static_cast<std::uint16_t>(b);
  std::stable_sort(order.begin() + 1, order.end(),
                   [&](std::uint16_t x, std::uint16_t y) { return frequency[x] < frequency[y]; });
  std::array<std::uint64_t, kHuffSymbols> leaf_counts{};
  for (sUInt p = 1; p < kHuffSymbols; ++p) leaf_counts[p] = frequency[order[p]];

  LengthCounts counts{};
  build_code_lengths(leaf_counts, counts);
  if (!repair_counts(counts)) return false;

  // Canonical codes from the most frequent leaf back to the end code.
  std::array<CodeWord, kHuffSymbols> codes{};
  for_each_canonical_code(counts, [&](sUInt index, sUInt length, sUInt code) {
    codes[order[kHuffSymbols - 1 - index]] = {reverse_bits(code, length), length};
  });

  std::uint64_t bits = codes[kEndCode].length;
  for (sUInt b = 0; b < 256; ++b) bits += frequency[b] * codes[b].length;
  const std::uint64_t words = (bits + 31) / 32;
  const std::uint64_t total = kHuffTableBytes + words * 4;
  if (total > capacity) return false;

  sByte* out = output + kHuffTableBytes;
  std::uint64_t accumulator = 0;
  sUInt filled = 0;
  auto put = [&](const CodeWord& c) {
    accumulator |= static_cast<std::uint64_t>(c.bits) << filled;
    filled += c.length;
    if (filled >= 32) {
      put_le32(out, static_cast<sUInt>(accumulator));
      out += 4;
      accumulator >>= 32;
      filled -= 32;
    }
  };
  for (sUInt k = 0; k < size; ++k) put(codes[data[k]]);
  put(codes[kEndCode]);
  if (filled > 0) {
    put_le32(out, static_cast<sUInt>(accumulator));
    out += 4;
  }

  put_le32(output + kHuffTableCodedLengthOffset, static_cast<sUInt>(words * 4));
  put_le32(output + kHuffTableDataLengthOffset, size);
  for (sUInt len = 1; len <= kHuffMaxCodeLength; ++len) {
    put_le32(output + kHuffTableCountsOffset + 4 * (len - 1), static_cast<sUInt>(counts[len]));
  }
  for (sUInt p = 1; p < kHuffSymbols; ++p) output[kHuffTableByteListOffset + p - 1] = static_cast<sByte>(order[p]);
  *output_length = static_cast<sUInt>(total);
  return true;
}

sUInt huff_decode(const sByte* table, const sByte* coded, sUInt coded_length, sByte* output,
                  sUInt expected_length) {
  if (!huff_table_is_complete(table)) return kHuffTableRefused;
  LengthCounts counts{};
  for (sUInt len = 1; len <= kHuffMaxCodeLength; ++len) {
    counts[len] = get_le32(table + kHuffTableCountsOffset + 4 * (len - 1));
  }

  // Entry: code length in the high byte, byte value in the low byte. A code
  // of length L owns every index whose low L bits are its stream bits.
  std::array<std::uint16_t, kCodeSpace> lookup{};
  const sByte* byte_list = table + kHuffTableByteListOffset;
  for_each_canonical_code(counts, [&](sUInt index, sUInt length, sUInt code) {
    const std::uint16_t entry =
        index < 256 ? static_cast<std::uint16_t>((length << 8) | byte_list[255 - index]) : kEndMarker;
    const sUInt first = reverse_bits(code, length);
    for (sUInt fill = first; fill < kCodeSpace; fill += 1u << length) lookup[fill] = entry;
  });

  // The window holds the next stream bits from bit 0 up; bits above `valid`
  // are zero, which is how missing bits after the data read as zeros. A data
  // code that would need those missing bits is not decoded: the coded data
  // ended early.
  const sUInt whole_words = coded_length / 4;
  const sUInt tail_bytes = coded_length % 4;
  std::uint64_t window = 0;
  sUInt valid = 0;
  sUInt next_word = 0;
  bool tail_loaded = tail_bytes == 0;
  sUInt produced = 0;
  // While whole words remain and the output has room, a refilled window
  // holds at least 32 bits: enough for two codes without further checks.
  while (next_word < whole_words && expected_length - produced >= 2) {
    if (valid < 32) {
      window |= static_cast<std::uint64_t>(get_le32(coded + 4 * next_word)) << valid;
      valid += 32;
      ++next_word;
    }
    std::uint16_t entry = lookup[window & (kCodeSpace - 1)];
    if (entry == kEndMarker) return produced;
    output[produced++] = static_cast<sByte>(entry);
    window >>= entry >> 8;
    valid -= entry >> 8;
    entry = lookup[window & (kCodeSpace - 1)];
    if (entry == kEndMarker) return produced;
    output[produced++] = static_cast<sByte>(entry);
    window >>= entry >> 8;
    valid -= entry >> 8;
  }
  for (;;) {
    if (valid < 32) {
      if (next_word < whole_words) {
        window |= static_cast<std::uint64_t>(get_le32(coded + 4 * next_word)) << valid;
        valid += 32;
        ++next_word;
      } else if (!tail_loaded) {
        std::uint64_t last = 0;
        for (sUInt k = 0; k < tail_bytes; ++k) last |= static_cast<std::uint64_t>(coded[4 * whole_words + k]) << (8 * k);
        window |= last << valid;
        valid += 8 * tail_bytes;
        tail_loaded = true;
      }
    }
    const std::uint16_t entry = lookup[window & (kCodeSpace - 1)];
    if (entry == kEndMarker) break;
    const sUInt length = entry >> 8;
    if (length > valid || produced == expected_length) break;
    output[produced++] = static_cast<sByte>(entry);
    window >>= length;
    valid -= length;
  }
  return produced;
}
