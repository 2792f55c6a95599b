// Device contexts, bitmap objects and copies between contexts.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "platform/win32/gdi_objects.h"
#include "platform/win32/region.h"

namespace {

// The engine's registry of live handles, so a stale or foreign handle is refused instead of followed.
struct GdiState {
  std::mutex lock;
  std::unordered_set<const void*> contexts;
  std::unordered_set<const void*> bitmaps;
  GdiBitmap stockBitmap;
  uint8_t stockPixel = 0;
  uint32_t stockPalette[2] = {0x000000, 0xFFFFFF};
  GdiState() {
    stockBitmap.stock = true;
    stockBitmap.block = PixelBlock{&stockPixel, 4, 1, 1, 1, 0, 0, 0, stockPalette, 2};
    stockBitmap.stride = 4;
    stockBitmap.header.biSize = 40;
    stockBitmap.header.biWidth = 1;
    stockBitmap.header.biHeight = 1;
    stockBitmap.header.biPlanes = 1;
    stockBitmap.header.biBitCount = 1;
  }
};

GdiState& State() {
  static GdiState state;
  return state;
}

// Looks a handle up in one of the registries, adds or removes it.
template <class Object, class Base>
Object* Lookup(std::unordered_set<const void*> GdiState::*set, Base* handle) {
  GdiState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return (s.*set).count(handle) ? static_cast<Object*>(handle) : nullptr;
}

void Track(std::unordered_set<const void*> GdiState::*set, const void* object, bool live) {
  GdiState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (live) (s.*set).insert(object);
  else (s.*set).erase(object);
}

GdiContext* LiveContext(HDC dc) { return FindContext(dc); }
HDC Register(GdiContext* context) { return RegisterContext(context); }
void Unregister(GdiContext* context) { ForgetContext(context); }

}  // namespace

GdiContext* FindContext(HDC dc) { return Lookup<GdiContext>(&GdiState::contexts, static_cast<HDC__*>(dc)); }

HDC RegisterContext(GdiContext* context) {
  Track(&GdiState::contexts, static_cast<HDC__*>(context), true);
  return context;
}

void ForgetContext(GdiContext* context) { Track(&GdiState::contexts, static_cast<HDC__*>(context), false); }

size_t LiveContextCount() {
  GdiState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.contexts.size();
}

GdiBitmap* LiveBitmap(HGDIOBJ object) {
  GdiState& s = State();
  if (object == static_cast<HGDIOBJ>(&s.stockBitmap)) return &s.stockBitmap;
  return Lookup<GdiBitmap>(&GdiState::bitmaps, static_cast<HGDIOBJ__*>(object));
}

HBITMAP RegisterBitmap(GdiBitmap* bitmap) {
  Track(&GdiState::bitmaps, static_cast<HGDIOBJ__*>(bitmap), true);
  return bitmap;
}

const PixelBlock* ContextPixels(HDC dc) {
  GdiContext* c = LiveContext(dc);
  if (!c) return nullptr;
  if (c->kind == GdiContext::Kind::Surface) return &c->surface;
  if (c->kind == GdiContext::Kind::Window) return WindowPicture(c);
  if (c->bitmap) return &c->bitmap->block;
  return nullptr;
}

void ContextDrawn(HDC dc) {
  GdiContext* c = LiveContext(dc);
  if (c && c->kind == GdiContext::Kind::Window) ShowWindowPicture(c);
}

HDC CreateSurfaceContext(const PixelBlock& block) {
  if (!block.Valid()) return nullptr;
  auto* c = new GdiContext;
  c->kind = GdiContext::Kind::Surface;
  c->surface = block;
  if (block.bits <= 8) {
    c->palette.assign(block.palette, block.palette + block.paletteCount);
    c->surface.palette = c->palette.data();
  }
  return Register(c);
}

void DestroySurfaceContext(HDC dc) {
  GdiContext* c = LiveContext(dc);
  if (!c || c->kind != GdiContext::Kind::Surface) return;
  ReleaseTextObjects(c);
  Unregister(c);
  delete c;
}

HDC CreateCompatibleDC(HDC) {
  auto* c = new GdiContext;
  c->kind = GdiContext::Kind::Memory;
  c->bitmap = &State().stockBitmap;
  return Register(c);
}

BOOL DeleteDC(HDC dc) {
  GdiContext* c = LiveContext(dc);
  if (!c || c->kind != GdiContext::Kind::Memory) return FALSE;
  if (c->bitmap && !c->bitmap->stock) c->bitmap->selectedInto = nullptr;
  ReleaseTextObjects(c);
  Unregister(c);
  delete c;
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  GdiContext* c = LiveContext(dc);
  HGDIOBJ previousText = nullptr;
  if (c && SelectTextObject(c, object, &previousText)) return previousText;
  GdiBitmap* b = LiveBitmap(object);
  if (!c || !b || c->kind != GdiContext::Kind::Memory) return nullptr;
  if (!b->stock && b->selectedInto && b->selectedInto != dc) return nullptr;  // one context at a time
  GdiBitmap* previous = c->bitmap;
  if (previous && !previous->stock) previous->selectedInto = nullptr;
  c->bitmap = b;
  if (!b->stock) b->selectedInto = dc;
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (DeleteRegionObject(object)) return TRUE;
  BOOL textResult = FALSE;
  if (DeleteTextObject(object, &textResult)) return textResult;
  GdiBitmap* b = LiveBitmap(object);
  if (!b) return FALSE;
  if (b->stock) return TRUE;
  if (b->selectedInto) return FALSE;  // still selected: GDI keeps it
  Track(&GdiState::bitmaps, static_cast<HGDIOBJ__*>(b), false);
  std::free(b->storage);
  delete b;
  return TRUE;
}

int GetObjectA(HANDLE object, int size, LPVOID out) {
  GdiBitmap* b = LiveBitmap(static_cast<HGDIOBJ>(object));
  if (!b) return 0;
  bool dib = !b->stock;
  if (!out) return dib ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
  BITMAP bm{};
  bm.bmType = 0;
  bm.bmWidth = b->block.width;
  bm.bmHeight = b->block.height;
  bm.bmWidthBytes = static_cast<LONG>(b->stride);
  bm.bmPlanes = 1;
  bm.bmBitsPixel = static_cast<WORD>(b->block.bits);
  bm.bmBits = b->storage;
  if (dib && size >= static_cast<int>(sizeof(DIBSECTION))) {
    DIBSECTION ds{};
    ds.dsBm = bm;
    ds.dsBmih = b->header;
    std::copy(b->masks, b->masks + 3, ds.dsBitfields);
    std::memcpy(out, &ds, sizeof ds);
    return sizeof(DIBSECTION);
  }
  if (size >= static_cast<int>(sizeof(BITMAP))) {
    std::memcpy(out, &bm, sizeof bm);
    return sizeof(BITMAP);
  }
  return 0;
}

BOOL GdiFlush() { return TRUE; }  // every call draws at once

namespace {

// Clips a copy of (width x height) from (sx, sy) of src to (x, y) of dst against both blocks.
bool ClipCopy(const PixelBlock& dst, const PixelBlock* src, int& x, int& y, int& width, int& height, int& sx,
              int& sy) {
  long left = std::max<long>({x, 0, src ? static_cast<long>(x) - sx : LONG_MIN});
  long top = std::max<long>({y, 0, src ? static_cast<long>(y) - sy : LONG_MIN});
  long right = std::min<long>({static_cast<long>(x) + width, dst.width,
                               src ? static_cast<long>(x) - sx + src->width : LONG_MAX});
  long bottom = std::min<long>({static_cast<long>(y) + height, dst.height,
                                src ? static_cast<long>(y) - sy + src->height : LONG_MAX});
  if (right <= left || bottom <= top) return false;
  sx = static_cast<int>(sx + (left - x));
  sy = static_cast<int>(sy + (top - y));
  x = static_cast<int>(left), y = static_cast<int>(top);
  width = static_cast<int>(right - left), height = static_cast<int>(bottom - top);
  return true;
}

}  // namespace

BOOL BitBlt(HDC dstDc, int x, int y, int width, int height, HDC srcDc, int srcX, int srcY, DWORD rop) {
  const PixelBlock* dst = ContextPixels(dstDc);
  if (!dst) return FALSE;
  if (width <= 0 || height <= 0) return TRUE;
  if (rop == BLACKNESS || rop == WHITENESS) {
    if (!ClipCopy(*dst, nullptr, x, y, width, height, srcX, srcY)) return TRUE;
    std::vector<uint32_t> fill(static_cast<size_t>(width), rop == WHITENESS ? 0xFFFFFFu : 0u);
    RowConverter writer(*dst, *dst);
    for (int row = 0; row < height; ++row) writer.WriteRgb(x, y + row, width, fill.data());
    ContextDrawn(dstDc);
    return TRUE;
  }
  if (rop != SRCCOPY) return FALSE;
  const PixelBlock* src = ContextPixels(srcDc);
  if (!src) return FALSE;
  if (!ClipCopy(*dst, src, x, y, width, height, srcX, srcY)) return TRUE;
  RowConverter converter(*src, *dst);
  // Overlapping copies inside one block run against the direction of the move.
  bool upward = src->top == dst->top && y > srcY;
  for (int i = 0; i < height; ++i) {
    int row = upward ? height - 1 - i : i;
    converter.Convert(srcX, srcY + row, x, y + row, width);
  }
  ContextDrawn(dstDc);
  return TRUE;
}

int GdiContext::DeviceCaps(int index) const {
  if (kind == Kind::Window) return HDC__::DeviceCaps(index);
  const PixelBlock* block = kind == Kind::Surface ? &surface : bitmap ? &bitmap->block : nullptr;
  switch (index) {
    case BITSPIXEL: return block ? block->bits : 0;
    case PLANES: return 1;
    case HORZRES: return block ? block->width : 0;
    case VERTRES: return block ? block->height : 0;
    case SIZEPALETTE: return block && block->bits <= 8 ? block->paletteCount : 0;
    default: return HDC__::DeviceCaps(index);
  }
}
