// The unique-key set against a plain std::set model: random inserts, look-ups and removals
// of keys of every length (empty ones, long ones, keys that are prefixes of others), through
// growth and the clean-ups that drop removed keys.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "jet/write/index_key_set.h"

namespace {

using Key = std::vector<uint8_t>;

Key randomKey(std::mt19937& rng) {
  Key k(rng() % 4 == 0 ? rng() % 40 : rng() % 4);
  for (uint8_t& b : k) b = static_cast<uint8_t>(rng() % 3);  // few values: many near-alike keys
  return k;
}

TEST(IndexKeySet, AgreesWithAModel) {
  std::mt19937 rng(42);
  jet::write::IndexKeySet set;
  std::set<Key> model;
  for (int step = 0; step < 200000; ++step) {
    const Key k = randomKey(rng);
    switch (rng() % 5) {
      case 0:
      case 1:
        ASSERT_EQ(set.insert(k), model.insert(k).second) << "step " << step;
        break;
      case 2:
      case 3:
        ASSERT_EQ(set.erase(k), model.erase(k) == 1) << "step " << step;
        break;
      default:
        ASSERT_EQ(set.contains(k), model.count(k) == 1) << "step " << step;
    }
    ASSERT_EQ(set.size(), model.size());
  }
  for (const Key& k : model) EXPECT_TRUE(set.contains(k));
}

TEST(IndexKeySet, ManyKeysAddedAndRemovedAgain) {
  jet::write::IndexKeySet set;
  set.reserve(10);
  for (uint32_t round = 0; round < 3; ++round) {
    for (uint32_t i = 0; i < 50000; ++i) {
      const Key k{static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
      ASSERT_TRUE(set.insert(k));
      ASSERT_FALSE(set.insert(k));
    }
    EXPECT_EQ(set.size(), 50000u);
    for (uint32_t i = 0; i < 50000; ++i) {
      const Key k{static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
      ASSERT_TRUE(set.erase(k));
      ASSERT_FALSE(set.contains(k));
    }
    EXPECT_EQ(set.size(), 0u);
  }
}

}  // namespace
