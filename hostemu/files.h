// The host's file channels over real files: what the library's channel
// operations (open, read, write, seek, size, flush and close) act on. The
// host's own table files use the same channels, so that a memo value's
// channel reaches the real memo file.
#pragma once

#include <cstdint>
#include <string>

namespace hostemu {

class Host;

// Opens a channel as the host does for its own use (library-opened channels
// are counted separately and must be closed by the end of each call).
// mode 0 read, 1 write, 2 read and write; create makes a new empty file.
// Returns -1 on failure.
int openChannel(Host& host, const std::string& path, int mode, bool create);
void closeChannel(int channel);
// Channels the library opened and has not closed.
int libraryChannelsOpen();

// Whole-file helpers for tests.
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// A new empty folder under the Windows temporary folder, with a trailing separator.
std::string tempFolder(const std::string& prefix);
// Deletes a folder made by tempFolder and everything in it.
void removeFolder(const std::string& folder);

}  // namespace hostemu
