// Scenario folders: a JSON file in UTF-8 ("scenario.json") and PNG pictures.
//
// A scenario that does not parse, that names a missing or broken picture, or
// that could not be served (ValidateScenario) is refused with a message that
// names the file, the place in it and what is wrong, for example
//   scenario.json: objects[3].iml: no picture set "lift"
//   scenario.json: line 12, column 5: syntax error ...
//   scenario.json: maps[0].background: cannot read "district.png": No such file or directory
//
// The format, key by key, is described in tools/orvex-sim/README.md.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "tools/orvex-sim/scenario.h"

namespace orvexsim {

// Reads a picture file named by the scenario (a path relative to its folder).
using FileReader = std::function<bool(const std::string& name, std::string* bytes, std::string* error)>;

// Loads `path`: a folder holding "scenario.json", or a JSON file itself;
// pictures are read from the file's folder.
bool LoadScenario(const std::string& path, Scenario* out, std::string* error);

// Parses scenario JSON text. `fileLabel` names the file in messages. Picture
// names are checked to stay inside the folder (relative, no "..") before
// `read` is asked for them.
bool ParseScenario(std::string_view json, const std::string& fileLabel, const FileReader& read, Scenario* out,
                   std::string* error);

}  // namespace orvexsim
