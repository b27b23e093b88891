#include "common/strings.h"

#include <cstdlib>
#include <cstring>

#include "common/memory.h"

namespace {

char16_t* copy_units(const char16_t* str, sUInt len) {
  auto* copy = static_cast<char16_t*>(vexlor_mem_alloc_fixed((len + 1u) * sizeof(char16_t)));
  if (copy == nullptr) return nullptr;
  if (len != 0) std::memcpy(copy, str, len * sizeof(char16_t));
  copy[len] = 0;
  return copy;
}

}  // namespace

char16_t* alloc_string(const char16_t* str, sUInt len) {
  if (str == nullptr) return nullptr;
  if (len == 0) len = wstr_len(str);
  return copy_units(str, len);
}

char16_t* alloc_string_nl(const char16_t* str, sUInt len) {
  if (str == nullptr) return nullptr;
  if (len == 0) {
    while (str[len] != 0 && str[len] != u'\n') ++len;
  }
  return copy_units(str, len);
}

void free_string(char16_t* str) { std::free(str); }

int is_valid_identifier(const char16_t* str) {
  if (str == nullptr || str[0] == 0 || wc_is_digit(str[0])) return 0;
  sUInt count = 0;
  for (const char16_t* p = str; *p != 0; ++p) {
    if (++count > 32) return 0;
    if (!wc_is_alnum(*p) && *p != u'_') return 0;
  }
  return 1;
}

sUInt wstr_len(const char16_t* s) {
  if (s == nullptr) return 0;
  const char16_t* p = s;
  while (*p != 0) ++p;
  return static_cast<sUInt>(p - s);
}

char16_t* wstr_cat(char16_t* dst, const char16_t* src) {
  char16_t* end = dst + wstr_len(dst);
  sUInt n = wstr_len(src);
  std::memcpy(end, src, n * sizeof(char16_t));
  end[n] = 0;
  return dst;
}

bool wstr_copy(char16_t* dst, const char16_t* src, sUInt capacity) {
  if (capacity == 0) return false;
  sUInt n = wstr_len(src);
  bool fits = n < capacity;
  if (!fits) n = capacity - 1;
  if (n != 0) std::memcpy(dst, src, n * sizeof(char16_t));
  dst[n] = 0;
  return fits;
}

bool wstr_equal(const char16_t* a, const char16_t* b) {
  if (a == nullptr || b == nullptr) return a == b;
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

bool wstr_equal_nocase(const char16_t* a, const char16_t* b) {
  if (a == nullptr || b == nullptr) return a == b;
  while (*a != 0 && wc_fold(*a) == wc_fold(*b)) {
    ++a;
    ++b;
  }
  return *a == 0 && *b == 0;
}

bool wstr_equal_nocase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (wc_fold(a[i]) != wc_fold(b[i])) return false;
  }
  return true;
}

std::u16string decimal_text(sUInt n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return digits;
}
