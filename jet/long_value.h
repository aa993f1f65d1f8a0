// Reading Memo and OLE values from their 12-byte references: inline in the row, one row on an
// LVAL page, or a chain of LVAL rows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "jet/format/types.h"
#include "jet/pager/pager.h"
#include "jet/value.h"

namespace jet {

// The value's bytes. ref/refLen are the column's bytes in the row. Throws Corrupt with a
// message naming the page when the reference or the chain is malformed; context (e.g.
// "table T, column C") prefixes the message.
Bytes readLongValue(Pager& pager, Format format, const uint8_t* ref, size_t refLen, const std::string& context);
// The same, building the message's prefix only when a message is made (a row decoder reads
// many values and rarely fails).
Bytes readLongValue(Pager& pager, Format format, const uint8_t* ref, size_t refLen,
                    const std::function<std::string()>& context);
// The same into out (replacing what it held; its storage is reused).
void readLongValueInto(Pager& pager, Format format, const uint8_t* ref, size_t refLen,
                       const std::function<std::string()>& context, Bytes& out);
// Checks the value as reading it does (reference, rows present, lengths that agree) without
// copying its bytes; returns its length in bytes. Throws what reading would.
uint32_t checkLongValue(Pager& pager, Format format, const uint8_t* ref, size_t refLen,
                        const std::function<std::string()>& context);

}  // namespace jet
