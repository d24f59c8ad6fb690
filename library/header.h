// kavro.h, the header a FoxPro program includes to name the library's numbers
// and letters, made from the library's own constants. `make header` writes it
// to the repository (tools/header.cpp prints it); a test holds the committed
// file to what this table makes.
#pragma once

#include <string>
#include <string_view>

namespace kv::header {

// The whole header, byte for byte: lines end with a line feed alone.
std::string text();

// The value a #DEFINE gives its name as the header writes it ("100", "\"H\"");
// empty when the header has no such name.
std::string valueOf(std::string_view name);

}  // namespace kv::header
