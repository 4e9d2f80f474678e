#pragma once
// Whether a file is the business of its owner alone, asked the way each system keeps that.
#include <string>

// True when only the file's owner may read and write `path`; otherwise false with `why` saying
// what else is allowed.
bool OnlyTheOwnerMayUse(const std::string& path, std::string& why);
// False under Wine, which keeps a file's access list only as the Unix mode it maps it to.
bool AccessIsKeptAsWritten();
