#include "platform/hidden_input.h"

#include <termios.h>
#include <unistd.h>

namespace platform {

struct HiddenInput::Saved {
  termios settings{};
};

HiddenInput::HiddenInput() {
  Saved saved;
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved.settings) != 0) return;
  saved_ = std::make_unique<Saved>(saved);
  termios noEcho = saved.settings;
  noEcho.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &noEcho);
}

HiddenInput::~HiddenInput() {
  if (saved_ != nullptr) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_->settings);
}

}  // namespace platform
