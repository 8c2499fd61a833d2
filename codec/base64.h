// Base64 of picture data: the standard alphabet "A–Z a–z 0–9 + /" with "=" as
// fill at the end, no line breaks.
#pragma once

#include <string>
#include <string_view>

namespace vertamo {

// Standard Base64 with "=" fill; the length of the result is a multiple of 4.
std::string Base64Encode(std::string_view bytes);

// Strict decoding of a picture value. Refused (false, `out` empty):
//  - a length that is not a multiple of 4;
//  - any character outside the standard alphabet, line breaks and blanks included;
//  - "=" anywhere but as one or two fill characters at the very end.
// The empty text is valid and decodes to no bytes. Bits left over in the last
// character before the fill are ignored.
bool Base64Decode(std::string_view text, std::string& out);

}  // namespace vertamo
