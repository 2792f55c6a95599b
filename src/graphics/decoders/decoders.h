// The built-in picture decoders, tried in this order by the picture loader. Each answers 0 when it took the
// picture (the image then owns a new pixel block) and -1 otherwise, leaving nothing allocated, the image
// untouched and nothing logged.
#pragma once
#include "graphics/graph_image.h"

int DecodeBmpPicture(StreamSourceData* source, GraphImage* image);
int DecodeJpegPicture(StreamSourceData* source, GraphImage* image);
int DecodePngPicture(StreamSourceData* source, GraphImage* image);
int DecodeBgraPicture(StreamSourceData* source, GraphImage* image);
int DecodeTgaPicture(StreamSourceData* source, GraphImage* image);
int DecodeDdsPicture(StreamSourceData* source, GraphImage* image);
