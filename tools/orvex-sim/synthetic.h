// A synthetic catalogue for benchmarks: any number of maps, objects, picture
// sets, pictures and texts, with procedural pictures (no files).
#pragma once

#include <string>
#include <string_view>

#include "tools/orvex-sim/scenario.h"

namespace orvexsim {

struct SyntheticParams {
  int maps = 20;
  int objects = 5000;
  int sets = 300;
  int pictures = 8;  // per set
  int backgroundWidth = 1920, backgroundHeight = 1080;
  int pictureSize = 32;
  int texts = 500;
  int flood = 0;  // UPDATE lines per GETCHANGES
};

// Parses "maps=20,objects=5000,sets=300,pictures=8,background=1920x1080,texts=500"
// (any subset, any order; also "picture=WxW" for the picture size and "flood=N").
bool ParseSyntheticParams(std::string_view text, SyntheticParams* params, std::string* error);

// Builds the catalogue. Map i's background, and picture j of set k, are drawn
// from their numbers, so two builds of one params are equal. Picture 0 of every
// set is the normal state, 1 a lift fault, 2 a triggered loop, 3 a faulty
// intercom unit, 4 a cabin call, 5 no link, the rest normal again.
Scenario BuildSyntheticScenario(const SyntheticParams& params);

}  // namespace orvexsim
