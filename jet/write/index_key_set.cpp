// Open addressing with linear probing; removed keys leave markers until the next rehash,
// which also drops their bytes.
#include "jet/write/index_key_set.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "jet/error.h"

namespace jet::write {

uint64_t IndexKeySet::hashOf(std::span<const uint8_t> key) {
  return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
}

bool IndexKeySet::equal(const Slot& slot, std::span<const uint8_t> key, uint32_t hash) const {
  return slot.hash == hash && slot.length == key.size() &&
         (key.empty() || std::memcmp(bytes_.data() + slot.offset, key.data(), key.size()) == 0);
}

size_t IndexKeySet::find(std::span<const uint8_t> key, uint64_t hash) const {
  if (slots_.empty()) return npos;
  const size_t mask = slots_.size() - 1;
  const uint32_t tag = static_cast<uint32_t>(hash >> 32);
  size_t firstFree = npos;
  for (size_t i = hash & mask, probes = 0; probes < slots_.size(); i = (i + 1) & mask, ++probes) {
    const Slot& s = slots_[i];
    if (s.state == SlotState::Empty) return firstFree != npos ? firstFree : i;
    if (s.state == SlotState::Removed) {
      if (firstFree == npos) firstFree = i;
    } else if (equal(s, key, tag)) {
      return i;
    }
  }
  return firstFree;
}

bool IndexKeySet::contains(std::span<const uint8_t> key) const {
  const size_t i = find(key, hashOf(key));
  return i != npos && slots_[i].state == SlotState::Used;
}

bool IndexKeySet::insert(std::span<const uint8_t> key) {
  if (key.size() > UINT16_MAX) throw Error(ErrorKind::Invalid, "index key of " + std::to_string(key.size()) + " bytes");
  // Grow (or clean out removed keys) before the table is half full.
  if ((live_ + removed_ + 1) * 2 > slots_.size()) rehash(live_ + 1 > removed_ ? (live_ + 1) * 4 : slots_.size());
  const uint64_t hash = hashOf(key);
  const size_t i = find(key, hash);
  Slot& s = slots_[i];
  if (s.state == SlotState::Used) return false;
  if (s.state == SlotState::Removed) --removed_;
  s.offset = bytes_.size();
  s.hash = static_cast<uint32_t>(hash >> 32);
  s.length = static_cast<uint16_t>(key.size());
  s.state = SlotState::Used;
  bytes_.insert(bytes_.end(), key.begin(), key.end());
  ++live_;
  return true;
}

bool IndexKeySet::erase(std::span<const uint8_t> key) {
  const size_t i = find(key, hashOf(key));
  if (i == npos || slots_[i].state != SlotState::Used) return false;
  slots_[i].state = SlotState::Removed;
  --live_;
  ++removed_;
  return true;
}

void IndexKeySet::reserve(size_t keys) {
  keys = std::min<size_t>(keys, size_t{1} << 20);
  if (keys * 2 > slots_.size()) rehash(keys * 2);
}

void IndexKeySet::rehash(size_t capacity) {
  size_t size = 16;
  while (size < capacity) size *= 2;
  std::vector<Slot> old = std::move(slots_);
  std::vector<uint8_t> oldBytes = std::move(bytes_);
  slots_.assign(size, Slot{});
  bytes_.clear();
  bytes_.reserve(oldBytes.size());
  removed_ = 0;
  const size_t mask = size - 1;
  for (const Slot& s : old) {
    if (s.state != SlotState::Used) continue;
    const uint8_t* key = oldBytes.data() + s.offset;
    const uint64_t hash = hashOf({key, s.length});
    size_t i = hash & mask;
    while (slots_[i].state != SlotState::Empty) i = (i + 1) & mask;
    slots_[i] = Slot{bytes_.size(), s.hash, s.length, SlotState::Used};
    bytes_.insert(bytes_.end(), key, key + s.length);
  }
}

}  // namespace jet::write
