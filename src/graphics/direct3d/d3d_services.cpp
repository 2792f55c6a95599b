// The Direct3D back-end on a platform without a 3-D device: every entry answers as it does when Direct3D is not
// up, and the texture formats are fixed tables.
#include "graphics/direct3d/d3d_services.h"

#include <array>
#include <cstring>

#include "core/log.h"
#include "font/font_services.h"
#include "graphics/ddraw_layer.h"
#include "graphics/draw_state.h"
#include "graphics/software/backend_glue.h"

namespace {
struct FormatMasks {
  int depth;
  uint32_t alpha, red, green, blue;
};

// 0 16-bit, 1 32-bit; 2, 3 with an alpha channel; 4, 5 with a one-bit alpha for the alpha test.
constexpr FormatMasks kTextureFormats[6] = {
    {16, 0, 0xF800, 0x07E0, 0x001F},
    {32, 0, 0x00FF0000, 0x0000FF00, 0x000000FF},
    {16, 0xF000, 0x0F00, 0x00F0, 0x000F},
    {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
    {16, 0x8000, 0x7C00, 0x03E0, 0x001F},
    {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
};

const std::array<TextureFormatRecord, 6>& TextureFormats() {
  static const std::array<TextureFormatRecord, 6> table = [] {
    std::array<TextureFormatRecord, 6> records{};
    for (int i = 0; i < 6; i++) {
      const FormatMasks& masks = kTextureFormats[i];
      TextureFormatRecord& record = records[i];
      std::memset(&record, 0, sizeof record);
      record.pixelFormat.dwSize = sizeof record.pixelFormat;
      record.pixelFormat.dwFlags = DDPF_RGB | (masks.alpha != 0 ? DDPF_ALPHAPIXELS : 0);
      record.pixelFormat.dwRGBBitCount = masks.depth;
      record.pixelFormat.dwRBitMask = masks.red;
      record.pixelFormat.dwGBitMask = masks.green;
      record.pixelFormat.dwBBitMask = masks.blue;
      record.pixelFormat.dwRGBAlphaBitMask = masks.alpha;
      ColorFormatFromMasks(&record.colorFormat, masks.depth, masks.red, masks.green, masks.blue, masks.alpha);
    }
    return records;
  }();
  return table;
}

DDPIXELFORMAT MakeZBufferFormat() {
  DDPIXELFORMAT format;
  std::memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;
  format.dwFlags = DDPF_ZBUFFER;
  format.dwZBufferBitDepth = 16;
  format.dwZBitMask = 0xFFFF;
  return format;
}
}  // namespace

int G_D3D_DrawGraph(int, int, GraphRecord*, int) { return -1; }
int G_D3D_DrawExtendGraph(int, int, int, int, GraphRecord*, int) { return -1; }
int G_D3D_DrawRotaGraph(int, int, double, double, GraphRecord*, int, int) { return -1; }
int G_D3D_DrawModiGraph(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, GraphRecord*,
                        int) {
  return -1;
}
int G_D3D_PaintGraph(GraphRecord*, int, int, int, int) { return -1; }
int G_D3D_DrawFillBox(int, int, int, int, uint32_t) { return -1; }
int G_D3D_DrawFrameBox(int, int, int, int, uint32_t) { return -1; }
int G_D3D_DrawCircle(int, int, int, uint32_t, int) { return -1; }

int G_D3D_DrawTextWithFont(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int flag) {
  // A font cache in a graph draws each glyph through the graph drawers; any other cache is the DirectDraw side's.
  FontRecord* record = GetFontRecord(font);
  if (record == nullptr || FontCacheInTextures(record) != 1)
    return G_DDraw_DrawTextWithFont(x, y, text, color, font, edgeColor, flag);
  if (BuildFontCacheSurface(font) != 0) return -1;
  RECT clip = GetGraphicsDrawState().clip;
  int drawn = FontCacheStringDraw(1, x, y, text, color, nullptr, nullptr, 0, &clip, QueryScreenBitDepth(), 1, font,
                                  edgeColor, -1, flag, nullptr);
  return drawn == -1 ? -1 : 0;
}

int G_D3D_ApplyBlendMode(int, int) { return 0; }
int G_D3D_ApplyClipRect(const RECT*) { return -1; }
int G_D3D_SelectDrawTarget(int) { return 0; }
int G_D3D_SetBackfaceCulling(int) { return -1; }
void* GetCurrentD3DDeviceInterface() { return nullptr; }
int EndCurrentD3DScene() { return 0; }
int G_D3D_SetMaskDrawing(int) { return -1; }

int StartDirect3DLayer() {
  // The platform offers no 3-D device: the layer does not start.
  AppLogWrite("Direct3D 関連の初期化を行います\n");
  return -1;
}

int EndDirect3DLayer() { return -1; }
int G_D3D_DeleteAllGraphTextures() { return -1; }
int G_D3D_CreateGraphTextures(GraphRecord*) { return -1; }
int G_D3D_DeleteGraphTextures(GraphRecord*) { return -1; }
int G_D3D_DeriveGraphTextures(GraphRecord*, int, int, int, int, GraphRecord*) { return -1; }
int G_D3D_TransferImageToGraph(const ColorFormat*, HBITMAP, HBITMAP, int, int, GraphRecord*, int, GraphImage*,
                               GraphImage*) {
  return -1;
}
int G_D3D_TransferImageRectToGraph(const ColorFormat*, HBITMAP, HBITMAP, const RECT*, int, int, GraphRecord*, int,
                                   GraphImage*, GraphImage*) {
  return -1;
}
int G_D3D_RestoreGraphTextures(GraphRecord*) { return -1; }
int G_D3D_ClearDrawTarget() { return -1; }
int ReleaseDirect3DObject() { return 0; }
int AcquireDirect3DObject() { return -1; }
int FlushCurrentD3DVertexBatch() { return -1; }
Surface3DData* LookupSurface3DData(int) { return nullptr; }

int GetTextureFormatIndex(const GraphCreateParams* params) {
  int index = params->ColorBitDepth == 16 ? 0 : 1;
  if (params->DrawValid == 0 && params->AlphaChFlag != 0)
    index += 2;
  else if (params->DrawValid == 0 && params->AlphaTestFlag != 0)
    index += 4;
  return index;
}

const TextureFormatRecord* GetTextureFormatRecord(int index) {
  if (index < 0 || index >= 6) return nullptr;
  return &TextureFormats()[index];
}

const ColorFormat* GetTextureColorData(int index) {
  const TextureFormatRecord* record = GetTextureFormatRecord(index);
  return record != nullptr ? &record->colorFormat : nullptr;
}

const TextureFormatRecord* SelectTextureFormatByFlags(int alphaChannel, int alphaTest, int bitDepth, int drawValid) {
  GraphCreateParams params{};
  params.AlphaChFlag = static_cast<uint8_t>(alphaChannel != 0);
  params.AlphaTestFlag = static_cast<uint8_t>(alphaTest != 0);
  params.DrawValid = static_cast<uint8_t>(drawValid != 0);
  params.ColorBitDepth = static_cast<uint8_t>(bitDepth != 0 ? bitDepth : QueryScreenColorBitDepth());
  return GetTextureFormatRecord(GetTextureFormatIndex(&params));
}

const DDPIXELFORMAT* GetZBufferPixelFormat(int) {
  static const DDPIXELFORMAT format = MakeZBufferFormat();
  return &format;
}
