#include "db/runtime/fault_seam.h"

#ifdef KESTRUMEL_FAULT_SEAM

#include <cstring>
#include <string>
#include <vector>

namespace db {
namespace {

struct Fault {
  FaultOp op;
  std::string fragment;
  int remaining;  // calls still to pass before this one fails
  int status;
};

std::vector<Fault>& Faults() {
  static std::vector<Fault> faults;
  return faults;
}

}  // namespace

void FaultSeam_Arm(FaultOp op, const char* textFragment, int nthCall, int status) {
  Faults().push_back({op, textFragment, nthCall, status});
}

void FaultSeam_Clear() { Faults().clear(); }

int FaultSeam_Check(FaultOp op, const char* statementText) {
  for (auto& fault : Faults()) {
    if (fault.op != op || fault.remaining <= 0) continue;
    if (std::strstr(statementText, fault.fragment.c_str()) == nullptr) continue;
    if (--fault.remaining == 0) return fault.status;
  }
  return 0;
}

}  // namespace db

#endif  // KESTRUMEL_FAULT_SEAM
