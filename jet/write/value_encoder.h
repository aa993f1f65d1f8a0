// Turns one typed value into the bytes a row stores for its column, after checking that
// the value suits the column (kind, range, length). Long values (Memo, OLE) come out as their
// raw bytes here; where they live is decided by the long-value writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/format/long_value.h"
#include "jet/format/types.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet::write {

// Bytes of a fixed-length column (Byte ... Decimal, Replication ID). YesNo has none: its value
// lives in the null mask. Throws Error(Invalid) naming the column when the value does not fit.
std::vector<uint8_t> encodeFixedValue(const Column& column, const Value& value);
// The same into out (replacing what it held; its storage is reused).
void encodeFixedValueInto(const Column& column, const Value& value, std::vector<uint8_t>& out);
// The same for a column of a known kind (not unknownKind) into out, which has room for
// kMaxKnownFixedBytes; returns how many bytes it wrote. No allocation.
inline constexpr size_t kMaxKnownFixedBytes = 17;  // a Decimal: sign and four 32-bit groups
size_t encodeKnownFixedValue(const Column& column, const Value& value, uint8_t* out);

// How a file stores text: Jet 4 as UTF-16 (compressed where the column allows), Jet 3 as
// bytes of the database's code page (codePage; a column may name its own).
struct TextCoding {
  Format format = Format::Jet4;
  uint16_t codePage = 0;
};

// Bytes of a Text or Binary column, or the payload of a Memo or OLE value. Jet 4 text is
// compressed when the column allows it and the text is compressible; Jet 3 text is refused
// when the code page cannot hold one of its characters, and its length counts the code
// page's bytes. Throws Error(Invalid) when the value is of the wrong kind or longer than the
// column holds.
std::vector<uint8_t> encodeVariableValue(const Column& column, const Value& value, const TextCoding& coding = {});
// The same into out (replacing what it held; its storage is reused where the value allows).
void encodeVariableValueInto(const Column& column, const Value& value, const TextCoding& coding,
                             std::vector<uint8_t>& out);

// The value a Yes/No column stores in the null mask (true = bit set).
bool yesNoValue(const Column& column, const Value& value);

// Checks a value against its column without encoding it (the same errors as above).
void checkValue(const Column& column, const Value& value, const TextCoding& coding = {});

// Fixed-area width of a column kind in bytes (0 for YesNo and variable kinds).
int fixedWidth(ColumnKind kind);
bool isVariableKind(ColumnKind kind);
bool isLongValueKind(ColumnKind kind);

// UTF-8 to UTF-16 code units; throws Error(Invalid) on malformed UTF-8.
std::u16string utf8ToUtf16(std::string_view utf8);
// Jet 4 text bytes: "compressed" (0xFF 0xFE + one byte per unit) when allowed and possible,
// otherwise UTF-16LE.
std::vector<uint8_t> encodeJet4Text(const std::u16string& text, bool allowCompression);

// Now as a Date/Time value (days since 1899-12-30, local time zone ignored: UTC).
double currentDateTime();
// Test hook: while set (not negative), currentDateTime() returns this value instead, so two
// runs of the same operations write the same bytes. Pass a negative value to unset.
void setFixedDateTimeForTesting(double value);

// Largest Memo or OLE value the engine stores (Access's limit for long values).
inline constexpr uint32_t kMaxLongValueBytes = format::longvalue::kMaxLength;

}  // namespace jet::write
