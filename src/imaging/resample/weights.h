// The weight lists of one axis: for every destination index, the source pixels that
// contribute to it and their weights in 1/256 units. Built once per axis and call.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/resample/kernels.h"
#include "imaging/rounding.h"

namespace qel::resample {

struct WeightEntry {
  std::int32_t weight;  // in 1/256 units, never 0
  std::int32_t source;  // index along the axis, already reflected into the line
};

// All lists of one axis, stored one after another: list i is entries [offsets[i],
// offsets[i + 1]).
class WeightTable {
 public:
  int Count() const { return static_cast<int>(offsets_.size()) - 1; }
  std::span<const WeightEntry> List(int i) const {
    return {entries_.data() + offsets_[i], entries_.data() + offsets_[i + 1]};
  }
  friend bool operator==(const WeightTable&, const WeightTable&) = default;

  // For the builder: room for lists and entries, an entry of the list being built, the
  // end of that list.
  void Reserve(std::size_t lists, std::size_t entries) {
    offsets_.reserve(lists + 1);
    entries_.reserve(entries);
  }
  void Append(WeightEntry entry) { entries_.push_back(entry); }
  bool OpenListEmpty() const { return entries_.size() == offsets_.back(); }
  void EndList() { offsets_.push_back(entries_.size()); }

 private:
  std::vector<WeightEntry> entries_;
  std::vector<std::size_t> offsets_{0};
};

inline bool operator==(const WeightEntry& a, const WeightEntry& b) {
  return a.weight == b.weight && a.source == b.source;
}

// The scale from a source side to a target side as a 32-bit float: target / source when
// either side is one pixel long, otherwise (target - 1) / (source - 1), which maps the
// first and last pixel centres of the source onto those of the target.
float AxisScale(int target, int source);

// Brings a candidate index into a line of length pixels (length > 0): -j for j < 0
// (pixel 0 is not repeated), 2 x length - j - 1 for j >= length (the last pixel is
// repeated), again and again until the index lies inside the line.
std::int32_t ReflectIndex(std::int64_t j, std::int32_t length);

// The lists for target_length destination indices over a line of line_length source
// pixels, with the scale s and the kernel stretched to radius.
//
// For destination i the centre is c = i / s (a 32-bit float). Enlarging (s >= 1), the
// candidates j run from Floor(c - radius) to Ceil(c + radius) and weigh
// Round(f(c - j) x 256); reducing, the reach is radius / s, and the weights are
// Round(f((c - j) x s) x s x 256), the kernel stretched by 1/s and flattened by s.
// Zero weights are dropped; the others keep candidate order.
//
// When reducing by a factor beyond about 256 every weight of a list can round to 0; such
// a list takes the one source pixel nearest its centre at full weight, so that the
// destination pixel still shows the picture rather than black.
WeightTable BuildWeightTable(int target_length, int line_length, float s, const FilterKernel& kernel,
                             float radius);

// The same lists with each weight taken from weight_of(x, factor), which must return
// Round(f(x) x factor) for the kernel f, x the kernel's argument and factor 256 when
// enlarging, s x 256 when reducing. BuildWeightTable passes the kernel's own arithmetic.
template <typename WeightOf>
WeightTable BuildWeightTableWith(int target_length, int line_length, float s, float radius,
                                 WeightOf&& weight_of);

}  // namespace qel::resample

#include "imaging/resample/weights_impl.h"

namespace qel::resample {}  // namespace qel::resample
