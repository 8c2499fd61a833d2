// PNG pictures: the server sends pictures as PNG files, and the workstation keeps
// them in its cache as PNG files re-encoded by this codec.
//
// The encoder is deterministic: fixed zlib level and strategy, one fixed row
// filter, no time or text chunks. Decoding a picture this encoder produced and
// encoding it again gives back the same bytes, so the simulator (which encodes
// with this very code) and the workstation's cache agree on the byte sum of
// every cache file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "codec/image.h"

namespace vertamo {

// Largest picture the decoder accepts: each side at most kPngMaxSide pixels and
// at most kPngMaxPixels pixels in all (256 MiB of ARGB). Anything larger is
// refused with an error instead of an allocation failure.
inline constexpr int kPngMaxSide = 16384;
inline constexpr int64_t kPngMaxPixels = int64_t{64} * 1024 * 1024;

// Decodes a PNG file of any colour type, bit depth, palette (with or without
// transparency), or interlacing into 8-bit ARGB. Gamma and colour-profile
// chunks are ignored (the pixels are taken as stored). On failure returns false,
// leaves `out` empty and, when `error` is given, stores a short English reason.
bool DecodePng(std::string_view bytes, Image& out, std::string* error = nullptr);

// Encodes a picture as PNG. Colour type RGBA when any pixel is not fully opaque,
// else RGB; 8 bits per channel; no interlacing. An empty picture (zero width or
// height, or fewer pixels than width × height) gives an empty string.
std::string EncodePng(const Image& image);

}  // namespace vertamo
