// Encoding text into Windows code pages: single-byte code pages through the inverse of the
// reader's own byte table (so what is written reads back the same), double-byte ones
// (Japanese, Chinese, Korean) through iconv one character at a time.
#include "jet/write/code_page_text.h"

#include <iconv.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "jet/error.h"
#include "jet/text.h"
#include "jet/write/value_encoder.h"

namespace jet::write {
namespace {

constexpr uint16_t kDefaultCodePage = 1252;
constexpr char32_t kReplacement = 0xFFFD;

bool doubleByte(uint16_t codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

char32_t firstCodePoint(const std::string& utf8) {
  std::u16string units = utf8ToUtf16(utf8);
  if (units.size() != 1) return kReplacement;
  return units[0];
}

// Bytes 0x80-0xFF of a single-byte code page by the character they decode to.
using ByteTable = std::unordered_map<char32_t, uint8_t>;

// Whether iconv converts the code page (1252 is built into the reader).
bool known(uint16_t codePage) {
  if (codePage == kDefaultCodePage) return true;
  iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

const ByteTable& byteTable(uint16_t codePage) {
  static std::map<uint16_t, std::unique_ptr<ByteTable>> tables;
  auto& table = tables[codePage];
  if (!table) {
    // The reader decodes a code page it does not know as 1252: writing would not match.
    if (!known(codePage)) {
      tables.erase(codePage);
      throw Error(ErrorKind::Unsupported, "code page " + std::to_string(codePage) +
                                              " cannot be converted on this system, so text cannot be written");
    }
    table = std::make_unique<ByteTable>();
    for (int b = 0x80; b <= 0xFF; ++b) {
      const uint8_t byte = static_cast<uint8_t>(b);
      char32_t c = firstCodePoint(decodeCodePage(&byte, 1, codePage));
      if (c != kReplacement) table->emplace(c, byte);
    }
  }
  return *table;
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Converters from UTF-8 into double-byte code pages, opened on first use, closed at exit.
struct Encoders {
  std::map<uint16_t, iconv_t> open;
  ~Encoders() {
    for (auto& [page, cd] : open) {
      if (cd != kNoConverter) iconv_close(cd);
    }
  }
};

// One character's bytes in a double-byte code page; empty when it has none.
std::string doubleByteChar(uint16_t codePage, const std::string& utf8) {
  static Encoders encoders;
  auto it = encoders.open.find(codePage);
  if (it == encoders.open.end()) {
    std::string name = "CP" + std::to_string(codePage);
    it = encoders.open.emplace(codePage, iconv_open(name.c_str(), "UTF-8")).first;
  }
  if (it->second == kNoConverter) return {};
  iconv(it->second, nullptr, nullptr, nullptr, nullptr);
  std::string in = utf8;
  char out[8];
  char* inPtr = in.data();
  char* outPtr = out;
  size_t inLeft = in.size(), outLeft = sizeof out;
  if (iconv(it->second, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return {};
  return std::string(out, static_cast<size_t>(outPtr - out));
}

std::string describe(char32_t c, const std::string& utf8) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  return "'" + utf8 + "' (" + code + ")";
}

}  // namespace

std::vector<uint8_t> encodeCodePageText(const Column& column, std::string_view utf8, uint16_t codePage) {
  if (column.codePage != 0) codePage = column.codePage;
  if (codePage == 0) codePage = kDefaultCodePage;
  std::vector<uint8_t> out;
  out.reserve(utf8.size());
  size_t i = 0;
  // ASCII is the same in every Windows code page.
  while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) out.push_back(static_cast<uint8_t>(utf8[i++]));
  if (i == utf8.size()) return out;
  const std::u16string units = utf8ToUtf16(utf8.substr(i));
  const bool wide = doubleByte(codePage);
  const ByteTable* table = wide ? nullptr : &byteTable(codePage);
  for (size_t k = 0; k < units.size(); ++k) {
    char32_t c = units[k];
    std::string one;
    if (c >= 0xD800 && c < 0xDC00 && k + 1 < units.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[k + 1] - 0xDC00);
      ++k;
    }
    appendUtf8(one, static_cast<uint32_t>(c));
    if (c < 0x80) {
      out.push_back(static_cast<uint8_t>(c));
      continue;
    }
    if (wide) {
      std::string bytes = doubleByteChar(codePage, one);
      if (!bytes.empty()) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        continue;
      }
    } else if (auto it = table->find(c); it != table->end()) {
      out.push_back(it->second);
      continue;
    }
    throw Error(ErrorKind::Invalid, "column '" + column.name + "': the character " + describe(c, one) +
                                        " cannot be stored in code page " + std::to_string(codePage) +
                                        " of this Access 97 file");
  }
  return out;
}

}  // namespace jet::write
