#pragma once
// Every ODBC handle of the backend is owned: a connection is closed and freed with its
// owner, a statement freed with its owner, the environment last.
#include <memory>
#include <string>

#include "platform/odbc_api.h"

namespace db::odbc {

struct EnvironmentDeleter {
  void operator()(void* handle) const { SQLFreeHandle(SQL_HANDLE_ENV, handle); }
};
struct ConnectionDeleter {
  // Open work is not kept: a disconnect with a transaction open fails, so it is rolled back.
  void operator()(void* handle) const {
    SQLEndTran(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
    SQLDisconnect(handle);
    SQLFreeHandle(SQL_HANDLE_DBC, handle);
  }
};
struct StatementDeleter {
  void operator()(void* handle) const { SQLFreeHandle(SQL_HANDLE_STMT, handle); }
};

using EnvironmentHandle = std::unique_ptr<void, EnvironmentDeleter>;
using ConnectionHandle = std::unique_ptr<void, ConnectionDeleter>;
using StatementHandle = std::unique_ptr<void, StatementDeleter>;

// A text as the driver's calls take it; they do not change it.
inline SQLCHAR* Native(const std::string& text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

}  // namespace db::odbc
