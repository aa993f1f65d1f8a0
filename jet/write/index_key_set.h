// The keys a unique index holds, for refusing duplicates before a write: a hash set of byte
// strings kept in one block of memory (an index of a million rows costs a few allocations,
// not a million), with look-up, insertion and removal in constant time on average.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace jet::write {

class IndexKeySet {
 public:
  IndexKeySet() = default;

  bool contains(std::span<const uint8_t> key) const;
  // False (and nothing changes) when the key is there already.
  bool insert(std::span<const uint8_t> key);
  // False when the key is not there.
  bool erase(std::span<const uint8_t> key);
  size_t size() const { return live_; }
  // Room for this many keys without growing (a hint, such as a row count read from a file:
  // at most a million are set aside ahead).
  void reserve(size_t keys);

 private:
  enum class SlotState : uint8_t { Empty, Used, Removed };
  struct Slot {
    uint64_t offset = 0;  // of the key's bytes in bytes_
    uint32_t hash = 0;
    uint16_t length = 0;
    SlotState state = SlotState::Empty;
  };
  static uint64_t hashOf(std::span<const uint8_t> key);
  // The slot holding key, or the first free one on its probe path (npos when full).
  size_t find(std::span<const uint8_t> key, uint64_t hash) const;
  bool equal(const Slot& slot, std::span<const uint8_t> key, uint32_t hash) const;
  void rehash(size_t capacity);

  std::vector<Slot> slots_;     // a power of two in size
  std::vector<uint8_t> bytes_;  // the keys back to back; removed keys stay until a rehash
  size_t live_ = 0;
  size_t removed_ = 0;
  static constexpr size_t npos = static_cast<size_t>(-1);
};

}  // namespace jet::write
