#include "engine/internal/region_choice.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "image/image_record.h"

namespace pmk {
namespace {

constexpr double kShrink = 0.0001;
constexpr double kGrow = 20.0;
constexpr std::size_t kMostRegions = 5;

// A removed candidate; its negative top drops it when the list is compacted,
// and it contains no real candidate, nor lies inside one.
constexpr CandidateRect kRemoved{-1.0, -1.0, -1.0, -1.0};

bool Contains(const CandidateRect& outer, const CandidateRect& inner) noexcept {
  return outer.x0 <= inner.x0 && outer.x1 >= inner.x1 && outer.y0 <= inner.y0 &&
         outer.y1 >= inner.y1;
}

double Area(const CandidateRect& r) noexcept {
  return (r.x1 - r.x0) * (r.y1 - r.y0);
}

template <std::size_t K>
using Combination = std::array<std::uint32_t, K>;

template <std::size_t K>
double TotalArea(const CandidateList& list, const Combination<K>& combination) noexcept {
  double total = 0.0;
  for (std::uint32_t index : combination) total += Area(list[index]);
  return total;
}

// A collected list of combinations of one size, never longer than its room.
template <std::size_t K>
struct Collection {
  HeapArray<Combination<K>> entries;
  std::size_t count = 0;
};

// Strictly better only, so that the first of equal areas wins.
bool Preferred(double area, double best_area, RegionPreference preference) noexcept {
  return preference == RegionPreference::kLarger ? area > best_area : area < best_area;
}

template <std::size_t K>
std::size_t BestCombination(const CandidateList& list, const Collection<K>& collection,
                            RegionPreference preference) noexcept {
  std::size_t best = 0;
  double best_area = TotalArea(list, collection.entries[0]);
  for (std::size_t i = 1; i < collection.count; ++i) {
    const double area = TotalArea(list, collection.entries[i]);
    if (Preferred(area, best_area, preference)) {
      best = i;
      best_area = area;
    }
  }
  return best;
}

// Grows each combination of `previous` by every candidate that is apart from
// all of its members.
template <std::size_t K>
bool ExtendApart(const CandidateList& list, const Collection<K>& previous,
                 Collection<K + 1>& next) noexcept {
  const std::uint32_t n = list.count();
  if (!next.entries.Allocate(previous.count * n)) return false;
  next.count = 0;
  for (std::uint32_t s = 0; s < n; ++s) {
    for (std::size_t p = 0; p < previous.count; ++p) {
      const Combination<K>& members = previous.entries[p];
      bool apart = true;
      for (std::uint32_t member : members) {
        if (!CandidatesApart(list[s], list[member])) {
          apart = false;
          break;
        }
      }
      if (!apart) continue;
      Combination<K + 1>& grown = next.entries[next.count++];
      std::copy(members.begin(), members.end(), grown.begin());
      grown[K] = s;
    }
  }
  return true;
}

// Moves the chosen candidates to the front of the list, in combination order.
template <std::size_t K>
void TakeCombination(CandidateList& list, const Combination<K>& combination) noexcept {
  std::array<CandidateRect, K> chosen;
  for (std::size_t i = 0; i < K; ++i) chosen[i] = list[combination[i]];
  for (std::size_t i = 0; i < K; ++i) list[static_cast<std::uint32_t>(i)] = chosen[i];
  list.SetCount(static_cast<std::uint32_t>(K));
}

}  // namespace

void RemoveNestedCandidates(CandidateList& list) noexcept {
  const std::uint32_t n = list.count();
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = 0; j < n; ++j) {
      if (j != i && Contains(list[j], list[i])) list[j] = kRemoved;
    }
  }
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (list[i].y0 < 0.0) continue;
    list[kept++] = list[i];
  }
  list.SetCount(kept);
}

bool CandidatesDisjoint(const CandidateRect& a, const CandidateRect& b) noexcept {
  const double left = std::max(a.x0, b.x0);
  const double right = std::min(a.x1, b.x1);
  const double top = std::max(a.y0, b.y0);
  const double bottom = std::min(a.y1, b.y1);
  return left + kShrink > right - kShrink || bottom - kShrink < top + kShrink;
}

bool CandidatesApart(const CandidateRect& a, const CandidateRect& b) noexcept {
  const double left = std::max(a.x0, b.x0);
  const double right = std::min(a.x1, b.x1);
  const double top = std::max(a.y0, b.y0);
  const double bottom = std::min(a.y1, b.y1);
  return left - kGrow > right + kGrow || top - kGrow > bottom + kGrow;
}

std::uint8_t ChooseRegions(CandidateList& list, RegionPreference preference) noexcept {
  const std::uint32_t n = list.count();
  if (n == 0) return kResultOk;

  Collection<2> pairs;
  if (!pairs.entries.Allocate(static_cast<std::size_t>(n) * n)) return kResultNoMemory;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t k = i + 1; k < n; ++k) {
      if (CandidatesDisjoint(list[i], list[k])) pairs.entries[pairs.count++] = {i, k};
    }
  }
  if (pairs.count == 0) {
    std::uint32_t best = 0;
    for (std::uint32_t i = 1; i < n; ++i) {
      if (Preferred(Area(list[i]), Area(list[best]), preference)) best = i;
    }
    TakeCombination<1>(list, {best});
    return kResultOk;
  }

  Collection<3> triples;
  if (!ExtendApart(list, pairs, triples)) return kResultNoMemory;
  if (triples.count == 0) {
    TakeCombination(list, pairs.entries[BestCombination(list, pairs, preference)]);
    return kResultOk;
  }
  pairs.entries.Release();

  Collection<4> quadruples;
  if (!ExtendApart(list, triples, quadruples)) return kResultNoMemory;
  if (quadruples.count == 0) {
    TakeCombination(list, triples.entries[BestCombination(list, triples, preference)]);
    return kResultOk;
  }
  triples.entries.Release();

  Collection<kMostRegions> quintuples;
  if (!ExtendApart(list, quadruples, quintuples)) return kResultNoMemory;
  if (quintuples.count == 0) {
    TakeCombination(list, quadruples.entries[BestCombination(list, quadruples, preference)]);
    return kResultOk;
  }
  TakeCombination(list, quintuples.entries[BestCombination(list, quintuples, preference)]);
  return kResultOk;
}

}  // namespace pmk
