// Decoding a whole music file for the music graph: RIFF WAVE (PCM or any format the audio compression manager
// decodes), Ogg Vorbis and raw MPEG audio, recognised by content, turned into the mixer's format.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

// The most a music file may decode to before it is brought to the mix format: the bytes of 15 minutes of
// 48,000 Hz 16-bit stereo.
constexpr uint64_t kLargestDecodedMusicBytes = uint64_t{48000} * 60 * 15 * 4;

// Decodes the file image into interleaved 16-bit stereo frames at the mix rate. False for a file that is not
// one of the known formats, is damaged before any sound, would last more than 15 minutes, decodes to more than
// kLargestDecodedMusicBytes, or needs more memory than there is.
bool DecodeMusicFile(const uint8_t* data, size_t size, std::vector<int16_t>* frames);

}  // namespace media
