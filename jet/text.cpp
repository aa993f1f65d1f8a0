// Text decoding: UTF-16, Jet 4 Unicode compression, code pages through iconv.
#include "jet/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>

namespace jet {

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
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
  // Writes n bytes of UTF-8 as they are; only between characters.
  void bytes(const char* from, size_t n) {
    std::memcpy(p_, from, n);
    p_ += n;
  }
  // Ends the text (a pending high surrogate becomes U+FFFD); returns the end of the output.
  char* finish() {
    if (high_) put(kReplacement);
    high_ = 0;
    return p_;
  }

 private:
  void put(uint32_t cp) {
    if (cp < 0x80) {
      *p_++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *p_++ = static_cast<char>(0xC0 | (cp >> 6));
      *p_++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *p_++ = static_cast<char>(0xE0 | (cp >> 12));
      *p_++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p_++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *p_++ = static_cast<char>(0xF0 | (cp >> 18));
      *p_++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *p_++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p_++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  char* p_;
  uint16_t high_ = 0;
};

// The length of the UTF-8 Utf16Writer makes of these UTF-16LE units: the output is sized
// exactly, neither allocated nor cleared beyond what the text needs.
size_t utf8Length(const uint8_t* data, size_t units) {
  size_t n = 0;
  bool surrogates = false;
  size_t k = 0;
  while (k < units) {
    uint64_t four;
    if (k + 4 <= units && (std::memcpy(&four, data + 2 * k, 8), (four & 0xFF80FF80FF80FF80ull) == 0)) {
      n += 4;  // four ASCII characters
      k += 4;
      continue;
    }
    const uint16_t u = static_cast<uint16_t>(data[2 * k] | (data[2 * k + 1] << 8));
    n += 1 + (u >= 0x80) + (u >= 0x800);
    surrogates |= (u & 0xF800) == 0xD800;
    ++k;
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
  // Most text is ASCII: copy it straight; the rest is written into room measured first.
  size_t ascii = 0;
  while (ascii < units && data[2 * ascii] < 0x80 && data[2 * ascii + 1] == 0) ++ascii;
  if (ascii == units) {
    out.resize(ascii);
    for (size_t k = 0; k < ascii; ++k) out[k] = static_cast<char>(data[2 * k]);
    return;
  }
  out.resize(ascii + utf8Length(data + 2 * ascii, units - ascii));
  char* begin = out.data();
  for (size_t k = 0; k < ascii; ++k) begin[k] = static_cast<char>(data[2 * k]);
  Utf16Writer writer(begin + ascii);
  size_t i = 2 * ascii;
  while (i + 1 < len) {
    // Four ASCII characters at a time (Latin words between other letters) are copied at once.
    while (i + 8 <= len && writer.between()) {
      uint64_t a;
      std::memcpy(&a, data + i, 8);
      if (a & 0xFF80FF80FF80FF80ull) break;
      const char ascii4[4] = {static_cast<char>(data[i]), static_cast<char>(data[i + 2]), static_cast<char>(data[i + 4]),
                              static_cast<char>(data[i + 6])};
      writer.bytes(ascii4, 4);
      i += 8;
    }
    if (i + 1 >= len) break;
    writer.unit(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
    i += 2;
  }
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
  // One input byte gives at most two output bytes (one-byte runs hold characters below
  // U+0100), two give at most three.
  out.resize(2 * len);
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

// One converter per code page, opened on first use and closed at exit. Not thread-safe,
// like the engine.
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
