// Decoders not written yet: each refuses every picture so the table can be wired.
#include "graphics/decoders/decoders.h"

int DecodeBmpPicture(StreamSourceData*, GraphImage*) { return -1; }
int DecodeJpegPicture(StreamSourceData*, GraphImage*) { return -1; }
int DecodePngPicture(StreamSourceData*, GraphImage*) { return -1; }
int DecodeBgraPicture(StreamSourceData*, GraphImage*) { return -1; }
int DecodeTgaPicture(StreamSourceData*, GraphImage*) { return -1; }
int DecodeDdsPicture(StreamSourceData*, GraphImage*) { return -1; }
