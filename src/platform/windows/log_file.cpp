#include "platform/log_file.h"

#include <cerrno>

#include "platform/windows/handle.h"
#include "platform/windows/system_error.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win32.h"

namespace platform {
namespace {

using windows::Handle;
using windows::kShareAll;
using windows::LastErrno;
using windows::Wide;

// Windows locks bar others from reading and writing the bytes they cover. The lock is on one
// byte far past any end a log file reaches, so that it keeps out other writers' locks and
// nothing else.
constexpr DWORD kLockOffsetLow = 0xFFFFFFFE;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

HANDLE Native(intptr_t native) { return reinterpret_cast<HANDLE>(native); }

int IdentityOf(HANDLE file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) return LastErrno();
  identity.volume = information.dwVolumeSerialNumber;
  identity.file = static_cast<uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
  return 0;
}

OVERLAPPED LockRange() {
  OVERLAPPED range{};
  range.Offset = kLockOffsetLow;
  range.OffsetHigh = kLockOffsetHigh;
  return range;
}

}  // namespace

// A lock or a file held by another process, as the Windows errors are told here.
bool IsHeldByAnother(int error) { return error == EBUSY || error == EWOULDBLOCK; }

AppendOnlyFile::~AppendOnlyFile() { Close(); }

int AppendOnlyFile::Open(const std::string& path) {
  Close();
  // The right to append data without the right to write it puts every write at the end of
  // the file, where it is then; with both, Windows writes at the handle's own position.
  HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrno();
  native_ = reinterpret_cast<intptr_t>(file);
  return 0;
}

int AppendOnlyFile::TryLock() {
  OVERLAPPED range = LockRange();
  if (LockFileEx(Native(native_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) {
    return 0;
  }
  return LastErrno();
}

int AppendOnlyFile::Identity(FileIdentity& identity) const { return IdentityOf(Native(native_), identity); }

int AppendOnlyFile::Write(const char* data, size_t size, size_t& written) {
  const DWORD chunk = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
  DWORD count = 0;
  const BOOL done = WriteFile(Native(native_), data, chunk, &count, nullptr);
  written = count;
  return done ? 0 : LastErrno();
}

int AppendOnlyFile::EndOfLastWrite(uint64_t& offset) const {
  // An appending handle's position need not follow its writes. Its last write ended where
  // the file does now, as long as it holds the lock and no one else has appended since.
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Native(native_), &size)) return LastErrno();
  offset = static_cast<uint64_t>(size.QuadPart);
  return 0;
}

void AppendOnlyFile::CutBackTo(uint64_t length) {
  // Appending gives no right to cut: a second handle on the same file has it.
  Handle writable(ReOpenFile(Native(native_), GENERIC_WRITE, kShareAll, FILE_FLAG_WRITE_THROUGH));
  if (!writable.IsOpen()) return;
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(length);
  if (SetFilePointerEx(writable.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(writable.Get())) {
    FlushFileBuffers(writable.Get());
  }
}

int AppendOnlyFile::Close() {
  if (native_ == -1) return 0;
  // Windows frees the locks of a closed handle only some time later: freed now, the next
  // writer need not wait for it.
  OVERLAPPED range = LockRange();
  UnlockFileEx(Native(native_), 0, 1, 0, &range);
  const BOOL closed = CloseHandle(Native(native_));
  native_ = -1;
  return closed ? 0 : LastErrno();
}

int IdentityOfName(const std::string& path, FileIdentity& identity) {
  const Handle named = windows::OpenExisting(path, 0);
  if (!named.IsOpen()) return LastErrno();
  return IdentityOf(named.Get(), identity);
}

int DeleteFileNamed(const std::string& path) {
  return DeleteFileW(Wide(path).c_str()) ? 0 : LastErrno();
}

int RenameFile(const std::string& from, const std::string& to) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), flags) ? 0 : LastErrno();
}

}  // namespace platform
