#pragma once
// Text as a JSON string, for the commands' --json outputs.

#include <string>

namespace varic {

// Always valid UTF-8 JSON, whatever bytes the text holds: a plug-in's names are bytes in no
// stated encoding (Latin-1, a cut sequence). Valid UTF-8 passes as it is; each byte that is not
// part of a valid sequence becomes U+FFFD; control characters are escaped.
std::string jsonString(const std::string& text);

}  // namespace varic
