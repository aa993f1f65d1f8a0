// Text decoding: UTF-16, Jet 4 Unicode compression, code pages through iconv.
#include "jet/text.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace jet {

namespace {

// Writes the UTF-8 bytes of code point cp at p (one to four of them) and moves p past them.
inline void putUtf8(char*& p, uint32_t cp) {
  if (cp < 0x80) {
    *p++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *p++ = static_cast<char>(0xC0 | (cp >> 6));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (cp >> 12));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (cp >> 18));
    *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

void appendUtf8(std::string& out, uint32_t cp) {
  char bytes[4];
  char* end = bytes;
  putUtf8(end, cp);
  out.append(bytes, static_cast<size_t>(end - bytes));
}

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// Writes UTF-8 for UTF-16 code units straight into a buffer sized beforehand (at most three
// bytes per unit: a pair's four bytes come from two units), pairing surrogates across calls.
class Utf16Writer {
 public:
  explicit Utf16Writer(char* out) : p_(out) {}
  void unit(uint16_t u) {
    if (u < 0x80 && !high_) {
      *p_++ = static_cast<char>(u);
      return;
    }
    if (high_) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        put(0x10000 + ((static_cast<uint32_t>(high_ - 0xD800) << 10) | (u - 0xDC00)));
        high_ = 0;
        return;
      }
      put(kReplacement);
      high_ = 0;
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
      high_ = u;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      put(kReplacement);
    } else {
      put(u);
    }
  }
  // Whether no surrogate pair is half read (bytes may then be written directly).
  bool between() const { return high_ == 0; }
  // Room for n bytes of UTF-8 the caller writes itself; only between characters.
  char* reserve(size_t n) {
    char* at = p_;
    p_ += n;
    return at;
  }
  // Ends the text (a pending high surrogate becomes U+FFFD); returns the end of the output.
  char* finish() {
    if (high_) put(kReplacement);
    high_ = 0;
    return p_;
  }

 private:
  void put(uint32_t cp) { putUtf8(p_, cp); }

  char* p_;
  uint16_t high_ = 0;
};

// The length of the UTF-8 Utf16Writer makes of these UTF-16LE units: the output is sized
// exactly, neither allocated nor cleared beyond what the text needs.
size_t utf8Length(const uint8_t* data, size_t units) {
  size_t n = 0;
  bool surrogates = false;
  size_t k = 0;
#if defined(__SSE2__)
  // Eight units at a time: one byte each, one more from U+0080 on, one more from U+0800 on.
  // The lanes count the units below those bounds (as -1s) for a while, then are summed.
  const __m128i below80 = _mm_set1_epi16(0x7F);
  const __m128i below800 = _mm_set1_epi16(0x7FF);
  const __m128i surrogateBits = _mm_set1_epi16(static_cast<short>(0xF800));
  const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
  const __m128i zero = _mm_setzero_si128();
  while (k + 8 <= units) {
    __m128i shortUnits = zero;
    __m128i seen = zero;
    const size_t end = std::min(units & ~size_t{7}, k + 8 * 8192);  // no lane passes -16384
    for (; k < end; k += 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * k));
      shortUnits = _mm_add_epi16(shortUnits, _mm_cmpeq_epi16(_mm_subs_epu16(v, below80), zero));
      shortUnits = _mm_add_epi16(shortUnits, _mm_cmpeq_epi16(_mm_subs_epu16(v, below800), zero));
      seen = _mm_or_si128(seen, _mm_cmpeq_epi16(_mm_and_si128(v, surrogateBits), surrogate));
      n += 24;
    }
    const __m128i sums = _mm_madd_epi16(shortUnits, _mm_set1_epi16(1));
    alignas(16) int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sums);
    n -= static_cast<size_t>(-(int64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3]));
    surrogates |= _mm_movemask_epi8(seen) != 0;
  }
#endif
  for (; k < units; ++k) {
    const uint16_t u = static_cast<uint16_t>(data[2 * k] | (data[2 * k + 1] << 8));
    n += 1 + (u >= 0x80) + (u >= 0x800);
    surrogates |= (u & 0xF800) == 0xD800;
  }
  if (!surrogates) return n;
  // A pair gives four bytes, not the six its units count above; a lone surrogate gives three.
  for (size_t k = 0; k + 1 < units; ++k) {
    const uint8_t high = data[2 * k + 1];
    const uint8_t next = data[2 * k + 3];
    if (high >= 0xD8 && high <= 0xDB && next >= 0xDC && next <= 0xDF) {
      n -= 2;
      ++k;
    }
  }
  return n;
}

void utf16ToUtf8Into(const uint8_t* data, size_t len, std::string& out) {
  const size_t units = len / 2;
  out.resize(utf8Length(data, units));
  char* begin = out.data();
  Utf16Writer writer(begin);
  size_t k = 0;
#if defined(__SSE2__)
  // Most text is ASCII, or Latin words between other letters: eight ASCII units are narrowed
  // at once, and the ASCII ones before another character one by one.
  const __m128i notAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
  while (k + 8 <= units) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * k));
    const int ascii = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, notAscii), _mm_setzero_si128()));
    if (ascii == 0xFFFF && writer.between()) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(writer.reserve(8)), _mm_packus_epi16(v, v));
      k += 8;
      continue;
    }
    if (ascii != 0xFFFF && writer.between()) {
      // The ASCII units before the first other one: all eight are narrowed, and the bytes
      // past the run are written over next (the block's other units make at least as many).
      const size_t run = static_cast<size_t>(__builtin_ctz(~ascii & 0xFFFF)) / 2;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(writer.reserve(run)), _mm_packus_epi16(v, v));
      k += run;
    }
    writer.unit(static_cast<uint16_t>(data[2 * k] | (data[2 * k + 1] << 8)));
    ++k;
  }
#endif
  for (; k < units; ++k) writer.unit(static_cast<uint16_t>(data[2 * k] | (data[2 * k + 1] << 8)));
  out.resize(static_cast<size_t>(writer.finish() - begin));
}

}  // namespace

std::string utf16ToUtf8(const uint8_t* data, size_t len) {
  std::string out;
  utf16ToUtf8Into(data, len, out);
  return out;
}

std::string decodeJet4Text(const uint8_t* data, size_t len) {
  std::string out;
  decodeJet4TextInto(data, len, out);
  return out;
}

void decodeJet4TextInto(const uint8_t* data, size_t len, std::string& out) {
  if (len < 2 || data[0] != 0xFF || data[1] != 0xFE) {
    utf16ToUtf8Into(data, len, out);
    return;
  }
  // Measured first, so the output is neither cleared nor grown beyond the text; text with
  // surrogates takes the bound instead: one input byte gives at most two output bytes
  // (one-byte runs hold characters below U+0100), two give at most three.
  size_t length = 0;
  for (size_t i = 2, oneByte = 1; i < len;) {
    if (data[i] == 0x00) {
      oneByte ^= 1;
      ++i;
    } else if (oneByte) {
      length += 1 + (data[i] >= 0x80);
      ++i;
    } else {
      if (i + 1 >= len) break;
      const uint16_t u = static_cast<uint16_t>(data[i] | (data[i + 1] << 8));
      if ((u & 0xF800) == 0xD800) {
        length = 2 * len;
        break;
      }
      length += 1 + (u >= 0x80) + (u >= 0x800);
      i += 2;
    }
  }
  out.resize(length);
  char* begin = out.data();
  Utf16Writer writer(begin);
  bool oneByte = true;
  size_t i = 2;
  while (i < len) {
    if (data[i] == 0x00) {
      oneByte = !oneByte;
      ++i;
      continue;
    }
    if (oneByte) {
      writer.unit(data[i]);
      ++i;
    } else {
      if (i + 1 >= len) break;  // a lone trailing byte cannot be a character
      writer.unit(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
      i += 2;
    }
  }
  out.resize(static_cast<size_t>(writer.finish() - begin));
}

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// One converter per code page, opened on first use and closed at exit. A database is used
// by one thread at a time, but two threads may read two databases: converterMutex() guards
// the converters and each conversion through one.
class Converters {
 public:
  ~Converters() {
    for (auto& [page, cd] : converters_) {
      if (cd != kNoConverter) iconv_close(cd);
    }
  }
  iconv_t get(uint16_t codePage) {
    auto it = converters_.find(codePage);
    if (it != converters_.end()) return it->second;
    std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    converters_[codePage] = cd;
    return cd;
  }

 private:
  std::map<uint16_t, iconv_t> converters_;
};

std::mutex& converterMutex() {
  static std::mutex mutex;
  return mutex;
}

// Under converterMutex().
iconv_t converterFor(uint16_t codePage) {
  static Converters converters;
  return converters.get(codePage);
}

// Windows-1252: Latin-1 except 0x80-0x9F. The five bytes the code page leaves undefined map
// to the C1 control characters of the same value, as Windows converts them, so no byte is lost.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string decodeCp1252(const uint8_t* data, size_t len) {
  std::string out;
  out.reserve(len);
  for (size_t i = 0; i < len; ++i) {
    uint8_t b = data[i];
    appendUtf8(out, (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b);
  }
  return out;
}

}  // namespace

std::string decodeCodePage(const uint8_t* data, size_t len, uint16_t codePage) {
  if (codePage == 0) codePage = 1252;
  bool ascii = true;
  for (size_t i = 0; i < len && ascii; ++i) ascii = data[i] < 0x80;
  if (ascii) return std::string(reinterpret_cast<const char*>(data), len);

  if (codePage == 1252) return decodeCp1252(data, len);
  std::lock_guard<std::mutex> lock(converterMutex());
  iconv_t cd = converterFor(codePage);
  if (cd == kNoConverter) return decodeCp1252(data, len);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  out.resize(len * 4 + 8);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(data));
  size_t inLeft = len;
  char* outPtr = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno == EILSEQ || errno == EINVAL) {
      // A byte the code page does not define (or an incomplete double-byte character).
      std::string repl;
      appendUtf8(repl, kReplacement);
      if (outLeft < repl.size()) break;
      for (char c : repl) {
        *outPtr++ = c;
        --outLeft;
      }
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else {
      break;  // E2BIG cannot happen: four output bytes per input byte is enough
    }
  }
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace jet
