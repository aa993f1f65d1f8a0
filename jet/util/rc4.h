// RC4 key stream, used to unmask the database header page (and by the writer to mask it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet {

// XORs len bytes at data with the RC4 key stream for key (applying it twice restores them).
void rc4Apply(const uint8_t* key, size_t keyLen, uint8_t* data, size_t len);

}  // namespace jet
