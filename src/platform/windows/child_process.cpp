#include "platform/child_process.h"

#include <chrono>
#include <thread>

#include "platform/windows/wide_text.h"
#include "platform/windows/win32.h"

namespace platform {
namespace {

// One argument as the C runtime's parser (CommandLineToArgvW) takes it back: quoted, a quote
// escaped, and backslashes doubled only where a quote follows them.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring text = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, L'\\');
  return text + L"\"";
}

std::wstring OwnExecutable() {
  wchar_t path[32768] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
  return length > 0 && length < sizeof path / sizeof path[0] ? std::wstring(path, length)
                                                             : std::wstring();
}

void CloseOnce(HANDLE& handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = nullptr;
}

class WindowsChild : public ChildProcess {
 public:
  WindowsChild(HANDLE process, HANDLE input, HANDLE output)
      : process_(process), input_(input), output_(output) {}
  ~WindowsChild() override { Finish(0); }

  // An anonymous pipe has no wait with a timeout: it is asked how much it holds, briefly, until
  // a line is there.
  bool ReadLine(std::string& line, int timeoutMs) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        line = pending_.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pending_.erase(0, end + 1);
        return true;
      }
      DWORD available = 0;
      if (output_ == nullptr || !PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) {
        return false;
      }
      if (available == 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        continue;
      }
      char buffer[256];
      DWORD got = 0;
      DWORD wanted = available < sizeof buffer ? available : sizeof buffer;
      if (!ReadFile(output_, buffer, wanted, &got, nullptr) || got == 0) return false;
      pending_.append(buffer, got);
    }
  }

  int Finish(int timeoutMs) override {
    CloseOnce(input_);
    CloseOnce(output_);
    if (process_ == nullptr) return status_;
    DWORD waited = WaitForSingleObject(process_, timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs));
    DWORD code = 0;
    if (waited == WAIT_OBJECT_0 && GetExitCodeProcess(process_, &code)) {
      status_ = static_cast<int>(code);
    } else {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, INFINITE);
      status_ = -1;
    }
    CloseOnce(process_);
    return status_;
  }

 private:
  HANDLE process_;
  HANDLE input_, output_;
  int status_ = -1;
  std::string pending_;
};

}  // namespace

// The child inherits only its own ends of the two pipes, named in a list of handles, so that no
// other handle of this process (another child's pipe) keeps a pipe open behind it.
std::unique_ptr<ChildProcess> StartSelf(const std::vector<std::string>& arguments) {
  std::wstring program = OwnExecutable();
  if (program.empty()) return nullptr;
  std::wstring commandLine = Quoted(program);
  for (const std::string& argument : arguments) commandLine += L" " + Quoted(windows::Wide(argument));

  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inputRead = nullptr, inputWrite = nullptr, outputRead = nullptr, outputWrite = nullptr;
  if (!CreatePipe(&inputRead, &inputWrite, &inheritable, 0)) return nullptr;
  if (!CreatePipe(&outputRead, &outputWrite, &inheritable, 0)) {
    CloseOnce(inputRead);
    CloseOnce(inputWrite);
    return nullptr;
  }
  SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);

  HANDLE inherited[2] = {inputRead, outputWrite};
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> listSpace(size);
  auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listSpace.data());
  bool listed = InitializeProcThreadAttributeList(list, 1, 0, &size) &&
                UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                          sizeof inherited, nullptr, nullptr);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = inputRead;
  startup.StartupInfo.hStdOutput = outputWrite;
  startup.StartupInfo.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.lpAttributeList = listed ? list : nullptr;
  PROCESS_INFORMATION started{};
  BOOL created = listed && CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                                          TRUE, EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                          &startup.StartupInfo, &started);
  if (listed) DeleteProcThreadAttributeList(list);
  CloseOnce(inputRead);
  CloseOnce(outputWrite);
  if (!created) {
    CloseOnce(inputWrite);
    CloseOnce(outputRead);
    return nullptr;
  }
  CloseHandle(started.hThread);
  return std::make_unique<WindowsChild>(started.hProcess, inputWrite, outputRead);
}

}  // namespace platform
