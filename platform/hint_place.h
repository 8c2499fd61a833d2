// Where an object is, as the server's hint says it: a hint names the object
// on one line ("Лифт 2, подъезд 1") and its house on the next
// ("ул. Лесная, 12"). Lines are apart by "$" as on the wire or by line breaks
// as the map model keeps them.
#pragma once

#include <string>

namespace vertamo {

// The line after the first one that begins with the object's name; empty when
// no line names the object (a passing state hint such as "Лифт неисправен").
std::string HintPlace(const std::string& name, const std::string& hint);

// The line that names the object and the place after it, as one text with a
// line break between; empty when no line names the object.
std::string HintNaming(const std::string& name, const std::string& hint);

}  // namespace vertamo
