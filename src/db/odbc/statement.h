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

// A result column bound to a buffer of its own, filled by the fetch itself: one driver call a
// row instead of one a value.
struct ColumnBuffer {
  bool integer = false;
  SQLBIGINT number = 0;
  std::vector<char> text;
  SQLLEN length = 0;
};

// Binds a buffer to each column of the results of `handle`, where the driver can still read
// a value longer than its buffer with SQLGetData. False when it cannot (the columns stay
// unbound: FetchRows reads them).
bool BindColumns(Link& link, SQLHSTMT handle, const std::vector<bool>& integerColumns,
                 std::vector<ColumnBuffer>& columns);
// As FetchRows, for columns bound by BindColumns.
int FetchBoundRows(Link& link, SQLHSTMT handle, std::vector<ColumnBuffer>& columns, SqlRows& rows);

// The inputs in the driver's buffers; they must stay put until the execute is over.
struct Parameters {
  std::vector<std::string> texts;  // integers too, in digits
  std::vector<SQLLEN> lengths;
  std::vector<bool> integer;  // which inputs are integers
};

// The inputs of one prepared text, bound to its markers once: each execute writes its values
// into the same buffers, and only a buffer that moved or grew is bound again (the driver's
// binding calls cost more than the statement's own work on the client).
struct BoundInputs {
  Parameters parameters;
  std::vector<const void*> boundAt;  // each input's buffer when last bound
  std::vector<size_t> boundSize;     // and its size
  std::vector<bool> boundInteger;    // and whether as an integer
};

// Binds the inputs of `bound` to the markers of `handle` unless they are bound as they stand.
int BindInputs(Link& link, SQLHSTMT handle, BoundInputs& bound);

class Statement : public BackendStatement {
 public:
  explicit Statement(dialect::DialectText text) : text_(std::move(text)) {}

  // Whether `inputs` are as many as the markers.
  bool Fits(const std::vector<SqlValue>& inputs) const {
    return static_cast<int>(inputs.size()) == text_.parameterCount;
  }
  // Puts `inputs`, as many as the markers, in the driver's form (dates in ISO) into the
  // buffers of `parameters`, which keep their places where the values fit. Returns 0, or the
  // status of the first that does not fit.
  int ConvertInputs(Link& link, const std::vector<SqlValue>& inputs, Parameters& parameters) const;
  // The text to prepare for inputs of the types in `parameters`.
  std::string TextFor(const dialect::Dialect& dialect, const Parameters& parameters) const {
    return dialect.TypedText(text_.sql, parameters.integer);
  }
  // The same for `inputs`, made once per pattern of integer inputs: a statement runs
  // thousands of times with the same one.
  const std::string& TextFor(const dialect::Dialect& dialect,
                             const std::vector<SqlValue>& inputs) const;

 private:
  struct Variant {
    std::vector<bool> integer;
    std::string sql;
  };

  dialect::DialectText text_;
  mutable std::vector<Variant> variants_;
};

}  // namespace db::odbc
