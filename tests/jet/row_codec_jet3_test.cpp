// Jet 3 rows built by the row encoder and read back by the row decoder: random tables (fixed
// and variable columns, deleted columns leaving gaps, up to 200 variable columns) and random
// values whose rows cross the 256-byte stretches of the jump table, also padded to longer
// lengths as an in-place update pads them.
#include <gtest/gtest.h>

#include <random>

#include "jet/error.h"
#include "jet/format/row.h"
#include "jet/format/table_def.h"
#include "jet/io/file.h"
#include "jet/pager/pager.h"
#include "jet/row_decoder.h"
#include "jet/table_info.h"
#include "jet/text.h"
#include "jet/write/row_encoder.h"

namespace {

using namespace jet;

struct RandomTable {
  std::vector<Column> columns;
  write::RowLayout layout;
  TableInfo info;
};

std::unique_ptr<RandomTable> randomTable(std::mt19937& rng) {
  auto t = std::make_unique<RandomTable>();
  static const ColumnKind fixedKinds[] = {ColumnKind::Byte,     ColumnKind::Integer, ColumnKind::Long,
                                          ColumnKind::Double,   ColumnKind::DateTime, ColumnKind::Currency,
                                          ColumnKind::YesNo,    ColumnKind::Single};
  const int count = 1 + static_cast<int>(rng() % (rng() % 4 == 0 ? 220 : 30));
  for (int i = 0; i < count; ++i) {
    Column c;
    c.name = "c" + std::to_string(i);
    c.columnId = static_cast<uint16_t>(i);
    if (rng() % 2 == 0) {
      c.kind = fixedKinds[rng() % 8];
      c.fixed = true;
      c.size = static_cast<uint16_t>(write::fixedWidth(c.kind));
    } else {
      c.kind = rng() % 4 == 0 ? ColumnKind::Binary : ColumnKind::Text;
      c.size = 255;
    }
    t->columns.push_back(c);
  }
  t->layout = write::layoutForNewTable(t->columns);
  t->layout.format = Format::Jet3;
  t->layout.codePage = 1252;
  // Deleted columns: their numbers, offsets and variable entries stay unused.
  for (size_t i = t->columns.size(); i-- > 0;) {
    if (t->columns.size() > 1 && rng() % 8 == 0) {
      t->columns.erase(t->columns.begin() + static_cast<long>(i));
      t->layout.slots.erase(t->layout.slots.begin() + static_cast<long>(i));
    }
  }
  t->info.format = Format::Jet3;
  t->info.maxColumns = t->layout.columnCount;
  t->info.varColumns = t->layout.varColumnCount;
  for (size_t i = 0; i < t->columns.size(); ++i) {
    write::ColumnSlot& slot = t->layout.slots[i];
    slot.column = &t->columns[i];
    ColumnStorage st;
    st.number = slot.columnId;
    st.varIndex = slot.varIndex;
    st.fixedOffset = slot.fixedOffset;
    st.flags = static_cast<uint8_t>((slot.fixed ? format::tabledef::kFixed : 0) | format::tabledef::kNullable);
    t->info.storage.push_back(st);
  }
  t->info.def.name = "random";
  t->info.def.columns = t->columns;
  return t;
}

Value randomValue(std::mt19937& rng, const Column& c, size_t longText) {
  if (rng() % 5 == 0) return Null{};
  switch (c.kind) {
    case ColumnKind::Byte: return static_cast<uint8_t>(rng());
    case ColumnKind::Integer: return static_cast<int16_t>(rng());
    case ColumnKind::Long: return static_cast<int32_t>(rng());
    case ColumnKind::Single: return static_cast<float>(rng() % 1000) / 4.0f;
    case ColumnKind::Double: return static_cast<double>(rng()) / 7.0;
    case ColumnKind::DateTime: return DateTime{static_cast<double>(rng() % 50000)};
    case ColumnKind::Currency: return Currency{static_cast<int64_t>(rng())};
    case ColumnKind::YesNo: return rng() % 2 == 0;
    case ColumnKind::Binary: {
      Bytes b(rng() % (1 + rng() % longText));
      for (auto& x : b) x = static_cast<uint8_t>(rng());
      return b;
    }
    default: {
      std::string s;
      const size_t n = rng() % (1 + rng() % longText);
      for (size_t i = 0; i < n; ++i) s += rng() % 7 == 0 ? std::string("\xc3\xa9") : std::string(1, 'a' + rng() % 26);
      return s;
    }
  }
}

TEST(RowCodecJet3, RandomRowsDecodeAsEncodedAtEveryLengthAndPadding) {
  std::mt19937 rng(1997);
  MemoryFile file(std::vector<uint8_t>(2048, 0), false);
  Pager pager(file, 2048);
  int rows = 0, tooLong = 0, longRows = 0, padded = 0;
  for (int table = 0; table < 150; ++table) {
    auto t = randomTable(rng);
    RowDecoder decoder(t->info, pager, 1252);
    for (int r = 0; r < 40; ++r) {
      const size_t longText = rng() % 3 == 0 ? 255 : 40;
      Row values;
      for (const Column& c : t->columns) values.push_back(randomValue(rng, c, longText));
      std::vector<write::EncodedValue> encoded;
      try {
        encoded = write::encodeValues(t->layout, values);
      } catch (const Error& e) {
        ASSERT_EQ(e.kind(), ErrorKind::Invalid) << e.what();
        ++tooLong;
        continue;
      }
      auto noLongValues = [](const Column&, const std::vector<uint8_t>&) -> std::vector<uint8_t> {
        throw std::logic_error("no long values here");
      };
      std::vector<uint8_t> bytes = write::assembleRow(t->layout, encoded, noLongValues);
      ASSERT_LE(bytes.size(), format::row::kMaxRowBytesJet3);
      ASSERT_EQ(bytes.size(), write::rowLengthWithoutLongValues(t->layout, encoded));
      if (bytes.size() > 256) ++longRows;
      const size_t target = bytes.size() + (rng() % 2 ? rng() % 600 : 0);
      std::vector<std::vector<uint8_t>> forms{bytes, write::padRow(t->layout, bytes, target),
                                              write::assembleRow(t->layout, encoded, noLongValues, target)};
      if (target > bytes.size()) ++padded;
      for (const auto& form : forms) {
        ASSERT_EQ(form.size(), &form == &forms[0] ? bytes.size() : std::max(target, bytes.size()));
        Row out;
        decoder.decode(form.data(), form.size(), RowId{1, 0}, out);
        for (size_t i = 0; i < values.size(); ++i) {
          Value expected = values[i];
          if (t->columns[i].kind == ColumnKind::YesNo && isNull(expected)) expected = false;
          ASSERT_EQ(out[i], expected) << "table " << table << " row " << r << " column " << i << " length "
                                      << form.size();
          if (!t->layout.slots[i].fixed) {
            write::ColumnBytes stored = write::variableColumnBytes(t->layout, form.data(), form.size(), i);
            ASSERT_EQ(stored.data == nullptr, isNull(values[i]));
            if (stored.data) ASSERT_EQ(std::vector<uint8_t>(stored.data, stored.data + stored.size), encoded[i].bytes);
          }
        }
      }
      ++rows;
    }
  }
  // The run covered long rows, padding, and rows refused as too long.
  EXPECT_GT(rows, 3000);
  EXPECT_GT(longRows, 300);
  EXPECT_GT(padded, 1000);
  EXPECT_GT(tooLong, 10);
}

TEST(RowCodecJet3, TextLengthCountsCodePageBytes) {
  Column c;
  c.name = "Name";
  c.kind = ColumnKind::Text;
  c.size = 4;
  const write::TextCoding jet3{Format::Jet3, 1252};
  struct Case {
    const char* text;
    std::vector<uint8_t> bytes;  // empty: refused
  };
  const Case cases[] = {
      {"abcd", {'a', 'b', 'c', 'd'}},
      {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", {0xE9, 0xE9, 0xE9, 0xE9}},  // 4 x é: 8 UTF-8 bytes, 4 code page bytes
      {"\xe2\x82\xac\xc5\x92", {0x80, 0x8C}},                          // € Œ
      {"abcde", {}},
      {"\xce\xb1", {}},  // Greek alpha: not in 1252
  };
  for (const Case& k : cases) {
    if (k.bytes.empty()) {
      EXPECT_THROW(write::encodeVariableValue(c, Value(std::string(k.text)), jet3), Error) << k.text;
    } else {
      EXPECT_EQ(write::encodeVariableValue(c, Value(std::string(k.text)), jet3), k.bytes) << k.text;
    }
  }
  // A column of another code page (Greek, 1253) takes the alpha; Japanese (932) takes two
  // characters of two bytes each and counts four.
  c.codePage = 1253;
  EXPECT_EQ(write::encodeVariableValue(c, Value(std::string("\xce\xb1")), jet3), std::vector<uint8_t>{0xE1});
  c.codePage = 932;
  const std::string nihon = "\xe6\x97\xa5\xe6\x9c\xac";  // 日本
  std::vector<uint8_t> sjis = write::encodeVariableValue(c, Value(nihon), jet3);
  EXPECT_EQ(sjis, (std::vector<uint8_t>{0x93, 0xFA, 0x96, 0x7B}));
  EXPECT_EQ(decodeCodePage(sjis.data(), sjis.size(), 932), nihon);
  EXPECT_THROW(write::encodeVariableValue(c, Value(nihon + "a"), jet3), Error);
  EXPECT_THROW(write::encodeVariableValue(c, Value(std::string("\xed\x95\x9c")), jet3), Error);  // a Hangul syllable
}

}  // namespace
