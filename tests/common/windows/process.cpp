#include "common/process.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX 1
#include <windows.h>
#include <shellapi.h>

#include <csignal>
#include <cstdlib>

namespace testing_process {
namespace {

// The exit code a killed process leaves, read back as -1.
constexpr UINT kKilledExitCode = 0xFFFFFFFFu;

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return L"";
  const int length = static_cast<int>(utf8.size());
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), size);
  return wide;
}

std::string Utf8(const wchar_t* wide) {
  int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return "";
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
  utf8.pop_back();  // the terminating NUL
  return utf8;
}

// One argument as the C runtime's parser reads it back: quoted when it is empty or holds
// blanks or quotes; backslashes count only before a quote.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

std::wstring CommandLineOf(const std::vector<std::string>& args) {
  std::wstring line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += L' ';
    line += Quoted(Wide(arg));
  }
  return line;
}

// An inheritable handle on `path` for a child's standard handle; the null device for an
// empty input.
HANDLE OpenForChild(const std::string& path, bool forOutput) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  std::wstring name = path.empty() && !forOutput ? L"NUL" : Wide(path);
  return CreateFileW(name.c_str(), forOutput ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     forOutput ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The three standard handles of a child, closed in the parent once it has started.
class ChildHandles {
 public:
  explicit ChildHandles(const Redirection& io)
      : in_(OpenForChild(io.in, false)), out_(OpenForChild(io.out, true)),
        err_(OpenForChild(io.err, true)) {}
  ~ChildHandles() {
    for (HANDLE handle : {in_, out_, err_}) {
      if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
  }
  ChildHandles(const ChildHandles&) = delete;
  ChildHandles& operator=(const ChildHandles&) = delete;
  bool Open() const {
    return in_ != INVALID_HANDLE_VALUE && out_ != INVALID_HANDLE_VALUE &&
           err_ != INVALID_HANDLE_VALUE;
  }
  void HandTo(STARTUPINFOW& startup) const {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = in_;
    startup.hStdOutput = out_;
    startup.hStdError = err_;
  }

 private:
  HANDLE in_;
  HANDLE out_;
  HANDLE err_;
};

HANDLE HandleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Wine delivers no Ctrl-Break, and a Ctrl-C only on a console: there the tests hold a console
// of their own, share it with the processes they start and send those a Ctrl-C, which the
// tests themselves let pass.
BOOL WINAPI LetCtrlCPass(DWORD event) { return event == CTRL_C_EVENT ? TRUE : FALSE; }

void HoldAConsole() {
  static const bool held = [] {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE),
           err = GetStdHandle(STD_ERROR_HANDLE);
    FreeConsole();
    bool allocated = AllocConsole() != 0;
    // The test's own output still goes where ctest reads it.
    SetStdHandle(STD_INPUT_HANDLE, in);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
    SetConsoleCtrlHandler(LetCtrlCPass, TRUE);
    return allocated;
  }();
  (void)held;
}

}  // namespace

Process::~Process() {
  if (id_ > 0) CloseHandle(HandleOf(handle_));
}

bool Process::Start(const std::string& path, const std::vector<std::string>& args,
                    const std::string& workingDir, const Redirection& io) {
  ChildHandles handles(io);
  if (!handles.Open()) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  handles.HandTo(startup);
  PROCESS_INFORMATION started{};
  std::wstring application = Wide(path);
  std::wstring commandLine = CommandLineOf(args);  // CreateProcessW may write into it
  std::wstring directory = Wide(workingDir);
  if (UnderWine()) HoldAConsole();
  const DWORD group = UnderWine() ? 0 : CREATE_NEW_PROCESS_GROUP;
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, group,
                      nullptr, directory.c_str(), &startup, &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  handle_ = reinterpret_cast<intptr_t>(started.hProcess);
  id_ = started.dwProcessId;
  return true;
}

bool Process::Running() const { return id_ > 0; }

bool Process::Collect(std::chrono::milliseconds limit, int& exitStatus) {
  if (id_ <= 0) return true;
  DWORD wait = limit < std::chrono::milliseconds(0) ? INFINITE : static_cast<DWORD>(limit.count());
  DWORD waited = WaitForSingleObject(HandleOf(handle_), wait);
  if (waited == WAIT_TIMEOUT) return false;
  DWORD code = kKilledExitCode;
  if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(HandleOf(handle_), &code)) {
    code = kKilledExitCode;
  }
  CloseHandle(HandleOf(handle_));
  id_ = -1;
  exitStatus = static_cast<int>(code);
  return true;
}

void Process::AskToStop() const {
  if (id_ <= 0) return;
  if (UnderWine()) {
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  } else {
    GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(id_));
  }
}

int StopSignalNumber() { return UnderWine() ? SIGINT : SIGTERM; }

bool StopMayHangHostLibraries() { return UnderWine(); }

bool UnderWine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

void Process::Kill() const {
  if (id_ > 0) TerminateProcess(HandleOf(handle_), kKilledExitCode);
}

// The C runtime keeps a copy of the environment of its own, which getenv reads; a started
// process inherits the system's.
void SetVariable(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(Wide(name).c_str(), Wide(value).c_str());
  _wputenv_s(Wide(name).c_str(), Wide(value).c_str());
}

void RemoveVariable(const std::string& name) {
  SetEnvironmentVariableW(Wide(name).c_str(), nullptr);
  _wputenv_s(Wide(name).c_str(), L"");
}

int64_t CurrentProcessId() { return GetCurrentProcessId(); }

std::string ThisExecutable() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    DWORD size = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (size == 0) return "";
    if (size < path.size()) return Utf8(path.c_str());
    path.resize(path.size() * 2);
  }
}

std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; wide != nullptr && i < count; ++i) args.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return args;
}

}  // namespace testing_process
