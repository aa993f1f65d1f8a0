// Expands the run-length table of General sort order codes into one entry per code unit.
// The runs come from general_legacy_codes.inc, generated from the published code tables.
#include "jet/index/general_legacy_codes.h"

#include <array>
#include <cstddef>

namespace jet {
namespace {

// A run of consecutive code units of one kind whose inline code (a big-endian number of
// inlineLen bytes) grows by step from one unit to the next; everything else is shared.
struct CodeRun {
  uint32_t first;
  uint32_t count;
  CodeKind kind;
  uint8_t inlineLen;
  uint32_t inlineValue;
  uint8_t step;
  uint8_t extraLen;
  uint16_t extra;
  uint8_t flag;
};

constexpr CodeRun kRuns[] = {
#include "jet/index/general_legacy_codes.inc"
};

using CodeTable = std::array<CharCode, 0x10000>;

CodeTable expand() {
  CodeTable table{};
  for (const CodeRun& run : kRuns) {
    for (uint32_t i = 0; i < run.count; ++i) {
      CharCode& code = table[run.first + i];
      const uint32_t value = run.inlineValue + i * run.step;
      for (int b = 0; b < run.inlineLen; ++b)
        code.inlineBytes[b] = static_cast<uint8_t>(value >> (8 * (run.inlineLen - 1 - b)));
      for (int b = 0; b < run.extraLen; ++b)
        code.extra[b] = static_cast<uint8_t>(run.extra >> (8 * (run.extraLen - 1 - b)));
      code.kind = run.kind;
      code.inlineLen = run.inlineLen & 7;
      code.extraLen = run.extraLen & 3;
      code.flag = run.flag & 3;
    }
  }
  return table;
}

constexpr uint32_t coveredUnits() {
  uint32_t next = 0;
  for (const CodeRun& run : kRuns) {
    if (run.first != next) return 0;
    next += run.count;
  }
  return next;
}
static_assert(coveredUnits() == 0x10000, "code runs must cover every UTF-16 code unit once");

struct Code97 {
  CodeKind kind;
  uint8_t inlineLen;
  uint16_t inlineValue;
  uint8_t extra;
};

struct Mapping97 {
  uint16_t from;
  uint8_t to;
};

constexpr Code97 kCodes97[] = {
#define GENERAL97_CODES
#include "jet/index/general_97_codes.inc"
#undef GENERAL97_CODES
};
static_assert(sizeof kCodes97 / sizeof kCodes97[0] == 256, "one Jet 3 code per character 0x00-0xFF");

constexpr Mapping97 kMappings97[] = {
#define GENERAL97_MAPPINGS
#include "jet/index/general_97_codes.inc"
#undef GENERAL97_MAPPINGS
};

CharCode fromCode97(const Code97& c) {
  CharCode code{};
  code.kind = c.kind;
  code.inlineLen = c.inlineLen & 7;
  for (int b = 0; b < c.inlineLen; ++b) code.inlineBytes[b] = static_cast<uint8_t>(c.inlineValue >> (8 * (c.inlineLen - 1 - b)));
  if (c.kind == CodeKind::International) {
    code.extra[0] = c.extra;
    code.extraLen = 1;
  }
  return code;
}

CodeTable expand97() {
  CodeTable table{};
  for (CharCode& code : table) code.kind = CodeKind::Ignored;
  for (size_t c = 0; c < 256; ++c) table[c] = fromCode97(kCodes97[c]);
  for (const Mapping97& m : kMappings97) table[m.from] = fromCode97(kCodes97[m.to]);
  return table;
}

}  // namespace

const CharCode* generalLegacyCodes() {
  static const CodeTable table = expand();
  return table.data();
}

const CharCode* general97Codes() {
  static const CodeTable table = expand97();
  return table.data();
}

}  // namespace jet
