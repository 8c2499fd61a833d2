#include "tools/orvex-sim/pictures.h"

#include "codec/base64.h"
#include "codec/picture_checksum.h"
#include "codec/png_codec.h"

namespace orvexsim {

PictureCache::PictureCache(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {
  for (size_t i = 0; i < scenario_->maps.size(); ++i) maps_.push_back(std::make_unique<Entry>());
  for (const auto& set : scenario_->pictureSets) {
    std::vector<std::unique_ptr<Entry>> entries;
    for (size_t j = 0; j < set.pictures.size(); ++j) entries.push_back(std::make_unique<Entry>());
    sets_.push_back(std::move(entries));
  }
}

void PictureCache::Fill(Entry& entry, const vertamo::Image& image) {
  std::call_once(entry.once, [&] {
    std::string png = vertamo::EncodePng(image);
    entry.picture.sum = vertamo::PictureChecksum(png);
    entry.picture.base64 = vertamo::Base64Encode(png);
    entry.picture.width = image.width;
    entry.picture.height = image.height;
  });
}

const EncodedPicture& PictureCache::Map(int map) {
  Entry& entry = *maps_[map];
  Fill(entry, scenario_->maps[map].background);
  return entry.picture;
}

const EncodedPicture& PictureCache::SetPicture(int set, int j) {
  Entry& entry = *sets_[set][j];
  Fill(entry, scenario_->pictureSets[set].pictures[j].image);
  return entry.picture;
}

uint32_t PictureCache::SetSum(int set, int count) {
  uint32_t sum = 0;
  for (int j = 0; j < count && j < static_cast<int>(sets_[set].size()); ++j) sum += SetPicture(set, j).sum;
  return sum;
}

}  // namespace orvexsim
