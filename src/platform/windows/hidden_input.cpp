#include "platform/hidden_input.h"

#include "platform/windows/win32.h"

namespace platform {

struct HiddenInput::Saved {
  HANDLE input = INVALID_HANDLE_VALUE;
  DWORD mode = 0;
};

// What was typed before the prompt, or after the secret's line, is dropped: it is no part of
// the secret.
HiddenInput::HiddenInput() {
  Saved saved;
  saved.input = GetStdHandle(STD_INPUT_HANDLE);
  if (saved.input == INVALID_HANDLE_VALUE || saved.input == nullptr) return;
  if (!GetConsoleMode(saved.input, &saved.mode)) return;  // not a console
  saved_ = std::make_unique<Saved>(saved);
  FlushConsoleInputBuffer(saved.input);
  SetConsoleMode(saved.input, saved.mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
}

HiddenInput::~HiddenInput() {
  if (saved_ == nullptr) return;
  FlushConsoleInputBuffer(saved_->input);
  SetConsoleMode(saved_->input, saved_->mode);
}

}  // namespace platform
