// The list builder shared by the scalar and the fast engines; they differ only in how
// a candidate's weight is computed. Included by weights.h.
#pragma once

#include <algorithm>
#include <cmath>

namespace qel::resample {

// Every product and difference below is taken in long double and rounded to a 32-bit
// float only where a value is stored as one (centre, reach, kernel argument). The
// difference or sum of two floats is exact in long double, so Floor and Ceil see the
// exact value.
template <typename WeightOf>
WeightTable BuildWeightTableWith(int target_length, int line_length, float s, float radius,
                                 WeightOf&& weight_of) {
  using Real = long double;
  // Room for Trunc(2 x reach + 1) entries a list, which a list rarely passes. Reducing
  // by large factors most of those candidates weigh 0, so the reservation stops at a
  // modest size and the table grows as needed beyond it.
  constexpr Real kReservedEntriesPerList = 64;

  WeightTable table;
  const bool reducing = s < 1.0f;
  const float reach = reducing ? static_cast<float>(Real(radius) / Real(s)) : radius;
  const Real factor = reducing ? Real(s) * 256 : Real(256);
  const Real per_list = std::min(std::floor(2 * Real(reach) + 1), kReservedEntriesPerList);
  table.Reserve(std::size_t(target_length), std::size_t(target_length) * std::size_t(per_list));

  for (int i = 0; i < target_length; ++i) {
    const float centre = static_cast<float>(Real(i) / Real(s));
    const auto first = static_cast<std::int64_t>(std::floor(Real(centre) - Real(reach)));
    const auto last = static_cast<std::int64_t>(std::ceil(Real(centre) + Real(reach)));
    for (std::int64_t j = first; j <= last; ++j) {
      const float x = reducing ? static_cast<float>((Real(centre) - Real(j)) * Real(s))
                               : static_cast<float>(Real(centre) - Real(j));
      const std::int64_t weight = weight_of(x, factor);
      if (weight == 0) continue;
      table.Append({static_cast<std::int32_t>(weight), ReflectIndex(j, line_length)});
    }
    if (table.OpenListEmpty()) {
      const auto nearest = static_cast<std::int64_t>(std::floor(Real(centre) + 0.5L));
      table.Append({256, ReflectIndex(nearest, line_length)});
    }
    table.EndList();
  }
  return table;
}

}  // namespace qel::resample
