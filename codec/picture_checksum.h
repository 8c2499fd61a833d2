// The picture checksum CS of GETPICTMAPCS / GETPICTIMLCS.
//
// CS is the sum of all bytes of the cache files as the workstation writes them
// (for a picture set: of its files _0 … _(PCOUNT−1) together), each byte an
// unsigned value 0…255, in a 32-bit accumulator that wraps. The server sends it
// as a quoted hexadecimal text. The workstation writes a picture to its cache
// as re-encoded by EncodePng after decoding, so the server must sum those bytes,
// not the bytes it keeps: CacheFileBytes gives them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vertamo {

// Longest CS text the workstation keeps (longer text is cut by the reader).
inline constexpr size_t kChecksumTextMax = 63;

// Adds the bytes of one file to a running checksum (start with 0).
uint32_t AddToPictureChecksum(uint32_t sum, std::string_view bytes);

inline uint32_t PictureChecksum(std::string_view bytes) { return AddToPictureChecksum(0, bytes); }

// The CS text as the server sends it: upper-case hexadecimal, no prefix ("1A").
std::string FormatPictureChecksum(uint32_t sum);

// The CS text as the workstation reads it: left to right, value × 16 + digit,
// where 0–9, a–f and A–F are digits and any other character counts as the digit
// 0; the 32-bit value wraps. So "1A" and "0x1A" both give 26.
uint32_t ParsePictureChecksum(std::string_view text);

// The bytes the workstation's cache file holds for a picture received as the
// PNG file `png`: decoded and encoded again by the project's codec. False when
// `png` does not decode.
bool CacheFileBytes(std::string_view png, std::string& out);

}  // namespace vertamo
