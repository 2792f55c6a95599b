// A movie's decoded frame copied into the graph that shows it.
#include <cstring>

#include "core/log.h"
#include "graphics/ddraw_layer.h"
#include "graphics/draw_state.h"
#include "graphics/pixel_converter.h"
#include "graphics/software/backend_glue.h"
#include "graphics/surface_data.h"
#include "movie/movie_services.h"
#include "platform/directx/ddraw.h"

int G_DDraw_TransferMovieFrameToGraph(MovieEntry* movie, GraphRecord* graph) {
  Surface2DRecord* view = graph->partCount > 0 ? GetSurface2DRecord(graph->parts[0]) : nullptr;
  SurfaceDataRecord* data = view == nullptr ? nullptr : GetSurfaceRecord(view->surfaceData);
  if (data == nullptr || data->surface == nullptr || movie->frameSurface == nullptr) return -1;
  DDSURFACEDESC2 from, to;
  std::memset(&from, 0, sizeof from);
  std::memset(&to, 0, sizeof to);
  from.dwSize = to.dwSize = sizeof from;
  if (movie->frameSurface->Lock(nullptr, &from, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
    ExitOnError("ムービーグラフィックサーフェスのロックに失敗しました");
  if (data->surface->Lock(nullptr, &to, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) {
    movie->frameSurface->Unlock(nullptr);
    ExitOnError("ムービーグラフィック転送先サーフェスのロックに失敗しました");
  }
  // The frame may be larger than the view when the graph could not take the movie's whole size.
  RECT source{0, 0, std::min<int>(movie->width, view->width), std::min<int>(movie->height, view->height)};
  ConvertColorFormatRect(to.lpSurface, to.lPitch, GetScreenColorFormat(), from.lpSurface, from.lPitch,
                         &movie->frameFormat, nullptr, 0, nullptr, view->srcX, view->srcY, &source, 0, 0, 0,
                         GetConvertDitherFlag(), 0);
  data->surface->Unlock(nullptr);
  movie->frameSurface->Unlock(nullptr);
  return 0;
}
