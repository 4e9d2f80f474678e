#pragma once
// A file that holds a secret (the configuration with the database password): readable and
// writable by its owner alone, and replaced so that readers see the old content or the new,
// never a part.
#include <string>

namespace platform {

// Writes `content` into a temporary file beside `path` that only its owner may use, puts it on
// disk, then gives it the name `path`, replacing the file there. Returns 0, or the errno value
// of the step that failed (the temporary file removed).
int ReplaceWithOwnerOnlyFile(const std::string& path, const std::string& content);

}  // namespace platform
