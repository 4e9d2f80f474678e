#pragma once
// What the user running the program may do with a file or directory, asked of the system
// without trying it. Each returns 0 when allowed, else an errno value (ENOENT when the path
// leads nowhere).
#include <string>

namespace platform {

int MayRead(const std::string& path);
int MayWrite(const std::string& path);
// Whether files may be created, renamed and deleted in `directory`.
int MayChangeEntriesOf(const std::string& directory);
bool Exists(const std::string& path);

}  // namespace platform
