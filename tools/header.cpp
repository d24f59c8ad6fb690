// Prints kavro.h as the library's own constants make it; `make header` writes
// it to the repository.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "library/header.h"

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // line feeds stay line feeds
    const std::string text = kv::header::text();
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
