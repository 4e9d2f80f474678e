#pragma once
// The process's environment variables, listed and removed by name.
#include <string>
#include <vector>

namespace platform {

// The names of all variables set now, in the order the system keeps them.
std::vector<std::string> EnvironmentNames();
// Removes the variable `name`, for this process and the processes and libraries it starts.
void RemoveEnvironmentVariable(const std::string& name);

}  // namespace platform
