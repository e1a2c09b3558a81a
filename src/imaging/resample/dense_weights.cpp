#include "imaging/resample/dense_weights.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qel::resample {

namespace {

// The dense form may be larger than the lists it comes from, since every window is
// stored at the longest one's size; past this it is not worth it.
constexpr std::size_t kSlackBytes = std::size_t(1) << 20;

int RoundUp(int value, int block) {
  return (value + block - 1) / block * block;
}

}  // namespace

float DivisionReciprocal(std::int32_t divisor) {
  float r = 1.0f / static_cast<float>(divisor);
  // r x divisor is exact in double (24 and at most 31 bits).
  if (static_cast<double>(r) * divisor < 1.0) r = std::nextafter(r, 2.0f);
  return r;
}

std::optional<DenseWeights> MakeDenseWeights(const WeightTable& table, int line_length, int tap_block,
                                             int list_block) {
  DenseWeights dense;
  dense.count = table.Count();
  dense.padded_count = RoundUp(std::max(dense.count, 1), list_block);

  std::size_t entries = 0;
  int longest = 1;
  for (int i = 0; i < dense.count; ++i) {
    const auto list = table.List(i);
    entries += list.size();
    if (list.empty()) continue;
    const auto [low, high] = std::minmax_element(
        list.begin(), list.end(), [](const auto& a, const auto& b) { return a.source < b.source; });
    longest = std::max(longest, high->source - low->source + 1);
  }
  if (longest > line_length) return std::nullopt;  // cannot happen: indices lie inside the line
  dense.taps = RoundUp(longest, tap_block);
  const std::size_t dense_bytes =
      std::size_t(dense.padded_count) * std::size_t(dense.taps) * sizeof(std::int16_t);
  if (dense_bytes > 2 * entries * sizeof(WeightEntry) + kSlackBytes) return std::nullopt;

  const auto padded = std::size_t(dense.padded_count);
  dense.first.assign(padded, 0);
  dense.length.assign(padded, 1);
  dense.weights.assign(padded * std::size_t(dense.taps), 0);
  dense.divisor.assign(padded, 1);
  dense.reciprocal.assign(padded, 1.0f);

  std::vector<std::int32_t> merged(std::size_t(dense.taps));
  for (int i = 0; i < dense.count; ++i) {
    const auto list = table.List(i);
    if (list.empty()) {
      // No weight at all: the sums and the total are 0, which the zero-total rule turns
      // into black, as the scalar pass does.
      dense.zero_total.push_back(i);
      continue;
    }
    std::int32_t low = std::numeric_limits<std::int32_t>::max(), high = 0;
    for (const WeightEntry& e : list) {
      low = std::min(low, e.source);
      high = std::max(high, e.source);
    }
    std::fill(merged.begin(), merged.end(), 0);
    std::int64_t total = 0;
    for (const WeightEntry& e : list) {
      merged[std::size_t(e.source - low)] += e.weight;
      total += e.weight;
    }
    if (total < -kMaxDenseDivisor || total > kMaxDenseDivisor) return std::nullopt;
    const int sign = total < 0 ? -1 : 1;
    std::int16_t* out = dense.weights.data() + std::size_t(i) * std::size_t(dense.taps);
    for (int k = 0; k <= high - low; ++k) {
      const std::int32_t w = sign * merged[std::size_t(k)];
      if (w < std::numeric_limits<std::int16_t>::min() || w > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
      }
      out[k] = static_cast<std::int16_t>(w);
    }
    dense.first[std::size_t(i)] = low;
    dense.length[std::size_t(i)] = high - low + 1;
    if (total == 0) {
      dense.zero_total.push_back(i);
    } else {
      const auto divisor = static_cast<std::int32_t>(sign * total);
      dense.divisor[std::size_t(i)] = divisor;
      dense.reciprocal[std::size_t(i)] = DivisionReciprocal(divisor);
    }
  }
  return dense;
}

}  // namespace qel::resample
