#pragma once
// Typing a secret at a terminal without it showing.
#include <memory>

namespace platform {

// While this lives, what is typed on standard input is not echoed, if standard input is a
// terminal; the terminal's earlier settings come back when it ends.
class HiddenInput {
 public:
  HiddenInput();
  ~HiddenInput();
  HiddenInput(const HiddenInput&) = delete;
  HiddenInput& operator=(const HiddenInput&) = delete;
  // Whether standard input is a terminal whose settings were taken over.
  bool IsTerminal() const { return saved_ != nullptr; }

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

}  // namespace platform
