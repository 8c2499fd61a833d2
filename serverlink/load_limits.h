// How much a server can make the workstation hold: the bounds of one
// catalogue load and of one change-feed reply.
//
// Every count, every picture and the pictures of a catalogue together are
// bounded, so that a faulty or hostile server cannot exhaust memory or the
// disk. Each bound lies far above any real district (a district of a few
// thousand lifts on a few dozen plans; orvex-sim's synthetic catalogue of 20
// maps of 1920 x 1080, 5,000 objects, 300 sets of 8 pictures and 500 texts is
// already larger than any real one) and far below what would hurt the
// workstation. Going over a bound fails the step like a read failure: one
// "Превышен предел" line goes to Client.log (whatever Debug says, since it is
// the only trace of a catalogue refused) and the connection starts a new cycle.
//
// The bounds of the transport itself live here too: the longest quoted value
// (picture data), the longest list reply, and the largest cache file read back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vertamo {

class TClientLog;

struct TLoadLimits {
  // MAPCOUNT. Each map is a tab of the main window; a district has a few
  // dozen plans at most (the synthetic catalogue 20).
  int maxMaps = 1000;
  // Lines after the map list up to END: the layout of the three counters,
  // the clock and the speaker, five lines in a real district.
  int maxLayoutLines = 10000;
  // OBJCOUNT. A district's lifts, intercom units and sensors: a few thousand
  // (synthetic 5,000); 200,000 still loads (about 600 bytes each, 120 MB).
  int maxObjects = 200000;
  // TEXTCOUNT. Free texts on the plans: hundreds (synthetic 500).
  int maxTexts = 50000;
  // PCOUNT of one picture set: the states of one kind of object, a dozen or
  // two (synthetic 8).
  int maxPicturesPerSet = 256;
  // Pictures of all sets together: one file each in the cache (synthetic
  // 2,400 = 300 sets of 8).
  int maxPictures = 100000;
  // Width and height of one picture (a map background: full HD is 1920 x 1080,
  // 8K is 7680 x 4320).
  int maxPictureSide = 8192;
  // Pixels of one picture: 16 Mpx = 64 MiB decoded (a 4K background is 8.3 Mpx).
  int64_t maxPicturePixels = int64_t{16} << 20;
  // Pixels of the whole catalogue: 128 Mpx = 512 MiB decoded, three times the
  // synthetic catalogue (20 full-HD backgrounds, 41.5 Mpx, plus 2,400 icons),
  // room for 60 full-HD or 15 4K backgrounds.
  int64_t maxCataloguePixels = int64_t{128} << 20;
  // Event lines of one GETCHANGES reply before its END. A reply carries what
  // changed in about a second: tens of lines, a few hundred after a burst
  // (the bench floods 300).
  int maxChangeLines = 100000;
  // Duration of one GETCHANGES reply, from the request to END. A reply takes
  // milliseconds; a server that trickles lines without END is cut off here.
  int maxChangeMs = 60000;
};

// Longest quoted value (the Base64 text of one picture): a picture of
// maxPicturePixels stored without any compression is 64 MiB, its text 85 MiB.
inline constexpr std::size_t kMaxQuotedValueBytes = std::size_t{96} << 20;
// Lines of one list reply (SendListCommand: a report table).
inline constexpr std::size_t kMaxListReplyLines = 100000;
// Largest cache file read back at all: the PNG of the largest picture allowed,
// stored without compression (MaxEncodedPngBytes of 16 Mpx), with room to spare.
inline constexpr std::size_t kMaxCacheFileBytes = std::size_t{72} << 20;

// What one catalogue load has taken so far.
struct TLoadBudget {
  int pictures = 0;
  int64_t pixels = 0;
};

// value ≤ limit; otherwise, with a log, writes "Превышен предел: <what> =
// <value>, допустимо не более <limit>" (what: UTF-8).
bool WithinLimit(TClientLog* log, const char* what, int64_t value, int64_t limit);

// Whether a picture of width × height fits the limits and what `budget` has
// left; logs the bound it breaks. Does not take it.
bool PictureFits(const TLoadLimits& limits, const TLoadBudget& budget, int width, int height,
                 TClientLog* log);

// Width and height from the header of a PNG file (its first chunk, IHDR);
// false when the bytes do not begin like a PNG file.
bool PngDimensions(std::string_view png, int& width, int& height);

// The largest PNG file the project's encoder writes for a picture of width ×
// height: every row stored without compression, plus the container. A cache
// file larger than this for its header's size holds something else too.
int64_t MaxEncodedPngBytes(int width, int height);

}  // namespace vertamo
