#include "run/run_parameters.h"

#include <cstring>

#include "common/text_field.h"

namespace {

// Ends the text before its first space (only the space counts as a blank here).
template <size_t N>
void CutAtFirstBlank(char (&field)[N]) {
  char* blank = std::strchr(field, ' ');
  if (blank != nullptr) *blank = '\0';
}

// A planning group argument starting with five zeros means "no group".
bool NamesPlanGroup(const char* argument) {
  return argument != nullptr && std::strncmp(argument, "00000", 5) != 0;
}

}  // namespace

void ParseRunParameters(int argc, char** argv, RunParameters& parameters) {
  std::memset(&parameters, 0, sizeof parameters);
  if (argc > 2) CopyField(parameters.erfText, argv[2]);
  if (argc > 6) CopyField(parameters.jbdText, argv[6]);
  if (argc > 7) CopyField(parameters.jbkText, argv[7]);
  if (argc > 8 && NamesPlanGroup(argv[8])) {
    CopyField(parameters.planGroup, argv[8]);
    CutAtFirstBlank(parameters.planGroup);
  }
  CutAtFirstBlank(parameters.erfText);
}
