// Decoding a whole music file for the music graph: RIFF WAVE (PCM or any format the audio compression manager
// decodes), Ogg Vorbis and raw MPEG audio, recognised by content, turned into the mixer's format.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

// Decodes the file image into interleaved 16-bit stereo frames at the mix rate. False for a file that is not
// one of the known formats, is damaged before any sound, or would decode to more than 15 minutes.
bool DecodeMusicFile(const uint8_t* data, size_t size, std::vector<int16_t>* frames);

}  // namespace media
