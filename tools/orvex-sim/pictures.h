// Pictures as the server sends them: PNG encoded by the project's codec,
// Base64 for the wire, and the byte sum CS of the file the workstation keeps.
// Each picture is encoded the first time a client asks for it and kept.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/orvex-sim/scenario.h"

namespace orvexsim {

struct EncodedPicture {
  std::string base64;  // Base64 of the PNG file
  uint32_t sum = 0;    // byte sum of the PNG file (the cache file of the workstation)
  int width = 0, height = 0;
};

class PictureCache {
 public:
  explicit PictureCache(std::shared_ptr<const Scenario> scenario);

  // Background of a map that has one.
  const EncodedPicture& Map(int map);
  // Picture j of picture set `set`.
  const EncodedPicture& SetPicture(int set, int j);
  // CS of the first `count` pictures of a set together.
  uint32_t SetSum(int set, int count);

 private:
  struct Entry {
    std::once_flag once;
    EncodedPicture picture;
  };
  static void Fill(Entry& entry, const vertamo::Image& image);

  std::shared_ptr<const Scenario> scenario_;
  std::vector<std::unique_ptr<Entry>> maps_;
  std::vector<std::vector<std::unique_ptr<Entry>>> sets_;
};

}  // namespace orvexsim
