#pragma once
// A statement of the program through the driver: the text in the server's dialect and how its
// inputs and results are read. The session prepares the texts it sends (session.h).
#include <string>
#include <vector>

#include "db/dialect/dialect.h"
#include "db/odbc/handles.h"
#include "db/runtime/backend.h"

namespace db::odbc {

class Link;

// The column types of the current result of `handle`: which are integers.
int DescribeResult(Link& link, SQLHSTMT handle, std::vector<bool>& integerColumns);
// Appends the rows of the current result; on a failure none of them.
int FetchRows(Link& link, SQLHSTMT handle, const std::vector<bool>& integerColumns,
              SqlRows& rows);

// The inputs in the driver's buffers; they must stay put until the execute is over.
struct Parameters {
  std::vector<std::string> texts;
  std::vector<SQLINTEGER> numbers;
  std::vector<SQLLEN> lengths;
  std::vector<bool> integer;  // which inputs are integers
};

// Binds `parameters` to the markers of `handle` from position `first` (1-based) on.
int BindParameters(Link& link, SQLHSTMT handle, Parameters& parameters, SQLUSMALLINT first);

class Statement : public BackendStatement {
 public:
  explicit Statement(dialect::DialectText text) : text_(std::move(text)) {}

  // Checks `inputs` against the markers and puts them in the driver's form (dates in ISO).
  // Returns 0, or the status of the first that does not fit.
  int ConvertInputs(Link& link, const std::vector<SqlValue>& inputs, Parameters& parameters) const;
  // The text to prepare for inputs of the types in `parameters`.
  std::string TextFor(const dialect::Dialect& dialect, const Parameters& parameters) const {
    return dialect.TypedText(text_.sql, parameters.integer);
  }

 private:
  dialect::DialectText text_;
};

}  // namespace db::odbc
