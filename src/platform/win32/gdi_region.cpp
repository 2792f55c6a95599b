// Regions as bands: each band covers rows [top, bottom) with sorted, disjoint spans [left, right). Combining
// sweeps both regions' bands together, so a region built from thousands of rectangles stays linear per step.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "platform/host/platform.h"
#include "platform/win32/gdi.h"
#include "platform/win32/region.h"

namespace {

using Spans = std::vector<std::pair<int, int>>;

struct Band {
  int top, bottom;
  Spans spans;
};

struct GdiRegion : HGDIOBJ__ {
  std::vector<Band> bands;
};

std::mutex registryLock;
std::unordered_set<const void*>& Registry() {
  static std::unordered_set<const void*> live;
  return live;
}

GdiRegion* LiveRegion(HGDIOBJ object) {
  std::lock_guard<std::mutex> guard(registryLock);
  return Registry().count(object) ? static_cast<GdiRegion*>(object) : nullptr;
}

bool Inside(int mode, bool a, bool b) {
  switch (mode) {
    case RGN_AND:
      return a && b;
    case RGN_OR:
      return a || b;
    case RGN_XOR:
      return a != b;
    default:  // RGN_DIFF
      return a && !b;
  }
}

// The spans of both sides merged by the mode in one left-to-right walk over their edges.
Spans CombineSpans(const Spans& a, const Spans& b, int mode) {
  std::vector<int> edges;
  for (const auto& s : a) edges.insert(edges.end(), {s.first, s.second});
  for (const auto& s : b) edges.insert(edges.end(), {s.first, s.second});
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  Spans out;
  size_t ia = 0, ib = 0;
  auto covered = [](const Spans& spans, size_t& index, int x) {
    while (index < spans.size() && spans[index].second <= x) ++index;
    return index < spans.size() && spans[index].first <= x;
  };
  for (size_t i = 0; i + 1 < edges.size(); ++i) {
    bool inA = covered(a, ia, edges[i]);
    bool inB = covered(b, ib, edges[i]);
    if (!Inside(mode, inA, inB)) continue;
    if (!out.empty() && out.back().second == edges[i]) {
      out.back().second = edges[i + 1];
    } else {
      out.emplace_back(edges[i], edges[i + 1]);
    }
  }
  return out;
}

// The spans of a region on the rows starting at y (empty between bands), advancing the band index.
const Spans& SpansAt(const std::vector<Band>& bands, size_t& index, int y) {
  static const Spans none;
  while (index < bands.size() && bands[index].bottom <= y) ++index;
  return (index < bands.size() && bands[index].top <= y) ? bands[index].spans : none;
}

std::vector<Band> Combine(const std::vector<Band>& a, const std::vector<Band>& b, int mode) {
  std::vector<int> rows;
  for (const auto* side : {&a, &b}) {
    for (const Band& band : *side) rows.insert(rows.end(), {band.top, band.bottom});
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<Band> out;
  size_t ia = 0, ib = 0;
  for (size_t i = 0; i + 1 < rows.size(); ++i) {
    Spans spans = CombineSpans(SpansAt(a, ia, rows[i]), SpansAt(b, ib, rows[i]), mode);
    if (spans.empty()) continue;
    // Bands that touch with equal spans are one band, so equal sets of pixels have one form.
    if (!out.empty() && out.back().bottom == rows[i] && out.back().spans == spans) {
      out.back().bottom = rows[i + 1];
    } else {
      out.push_back({rows[i], rows[i + 1], std::move(spans)});
    }
  }
  return out;
}

// Joins the band at index with the one before it when they touch and hold the same spans.
void JoinWithPrevious(std::vector<Band>& bands, size_t index) {
  if (index == 0 || index >= bands.size()) return;
  Band& above = bands[index - 1];
  if (above.bottom == bands[index].top && above.spans == bands[index].spans) {
    above.bottom = bands[index].bottom;
    bands.erase(bands.begin() + static_cast<std::ptrdiff_t>(index));
  }
}

// Combines in place where only the rows of the second region can change (every mode but AND), so adding one
// rectangle to a large region touches only the bands beside it.
void CombineInPlace(std::vector<Band>& a, const std::vector<Band>& b, int mode) {
  if (b.empty()) return;
  const int top = b.front().top, bottom = b.back().bottom;
  auto first = std::find_if(a.begin(), a.end(), [top](const Band& band) { return band.bottom > top; });
  auto last = std::find_if(first, a.end(), [bottom](const Band& band) { return band.top >= bottom; });
  std::vector<Band> middle(std::make_move_iterator(first), std::make_move_iterator(last));
  // Rows of a band that reach outside the second region stay in the result through Combine itself.
  std::vector<Band> replaced = Combine(middle, b, mode);
  size_t at = static_cast<size_t>(first - a.begin());
  a.erase(first, last);
  a.insert(a.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(replaced.begin()),
           std::make_move_iterator(replaced.end()));
  JoinWithPrevious(a, at + replaced.size());
  JoinWithPrevious(a, at);
}

// Rectangles in the order regions list them become the bands in one pass (spans that touch joined, and each
// finished band joined with the one above when they touch with equal spans); any other list is added rectangle by
// rectangle.
std::vector<Band> BandsOf(const RECT* rects, size_t count) {
  std::vector<Band> bands;
  auto settleLast = [&bands] { JoinWithPrevious(bands, bands.size() - 1); };
  bool ordered = true;
  for (size_t i = 0; i < count && ordered; ++i) {
    const RECT& r = rects[i];
    if (r.left >= r.right || r.top >= r.bottom) continue;
    if (!bands.empty() && bands.back().top == r.top && bands.back().bottom == r.bottom) {
      std::pair<int, int>& last = bands.back().spans.back();
      if (r.left < last.second) ordered = false;
      else if (r.left == last.second) last.second = r.right;
      else bands.back().spans.emplace_back(r.left, r.right);
    } else if (bands.empty() || r.top >= bands.back().bottom) {
      if (!bands.empty()) settleLast();
      bands.push_back({r.top, r.bottom, {{r.left, r.right}}});
    } else {
      ordered = false;
    }
  }
  if (ordered) {
    if (!bands.empty()) settleLast();
    return bands;
  }
  bands.clear();
  for (size_t i = 0; i < count; ++i) {
    const RECT& r = rects[i];
    if (r.left < r.right && r.top < r.bottom) CombineInPlace(bands, {{r.top, r.bottom, {{r.left, r.right}}}}, RGN_OR);
  }
  return bands;
}

HRGN Registered(std::vector<Band> bands) {
  auto* region = new GdiRegion;
  region->bands = std::move(bands);
  std::lock_guard<std::mutex> guard(registryLock);
  Registry().insert(static_cast<HGDIOBJ__*>(region));
  return region;
}

int Complexity(const std::vector<Band>& bands) {
  if (bands.empty()) return NULLREGION;
  return (bands.size() == 1 && bands[0].spans.size() == 1) ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  if (host::ShouldFail("CreateRectRgn")) return nullptr;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  std::vector<Band> bands;
  if (left < right && top < bottom) bands.push_back({top, bottom, {{left, right}}});
  return Registered(std::move(bands));
}

HRGN ExtCreateRegion(const XFORM* transform, DWORD bytes, const RGNDATA* data) {
  if (transform != nullptr || data == nullptr || bytes < sizeof(RGNDATAHEADER)) return nullptr;
  const RGNDATAHEADER& header = data->rdh;
  if (header.iType != RDH_RECTANGLES || header.dwSize < sizeof(RGNDATAHEADER) || header.dwSize > bytes ||
      header.nCount > (bytes - header.dwSize) / sizeof(RECT))
    return nullptr;
  if (host::ShouldFail("ExtCreateRegion")) return nullptr;
  std::vector<RECT> rects(header.nCount);
  if (header.nCount > 0)
    std::memcpy(rects.data(), reinterpret_cast<const char*>(data) + header.dwSize, header.nCount * sizeof(RECT));
  return Registered(BandsOf(rects.data(), rects.size()));
}

int CombineRgn(HRGN destination, HRGN first, HRGN second, int mode) {
  GdiRegion* out = LiveRegion(destination);
  GdiRegion* a = LiveRegion(first);
  if (!out || !a || mode < RGN_AND || mode > RGN_COPY) return RGN_ERROR;
  if (mode == RGN_COPY) {
    out->bands = a->bands;
  } else {
    GdiRegion* b = LiveRegion(second);
    if (!b) return RGN_ERROR;
    if (out == a && b != a && mode != RGN_AND) {
      CombineInPlace(out->bands, b->bands, mode);
    } else {
      out->bands = Combine(a->bands, b->bands, mode);
    }
  }
  return Complexity(out->bands);
}

bool RegionRectangles(HRGN region, std::vector<RECT>* rectangles) {
  GdiRegion* r = LiveRegion(region);
  if (!r) return false;
  rectangles->clear();
  for (const Band& band : r->bands) {
    for (const auto& s : band.spans) rectangles->push_back({s.first, band.top, s.second, band.bottom});
  }
  return true;
}

bool DeleteRegionObject(HGDIOBJ object) {
  {
    std::lock_guard<std::mutex> guard(registryLock);
    if (Registry().erase(object) == 0) return false;
  }
  delete static_cast<GdiRegion*>(object);
  return true;
}
