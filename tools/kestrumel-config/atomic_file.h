#pragma once
// Replacing a file so that readers see the old content or the new, never a part.
#include <string>
#include <sys/types.h>

// Writes `content` into a temporary file beside `path` with `mode`, then renames it over
// `path`. Returns 0, or the errno value of the step that failed (the temporary file removed).
int WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode);
