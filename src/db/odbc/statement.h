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
struct PreparedText;

// One column of the current row: Int for an integer column, else Text; Null stays Null.
int ReadValue(Link& link, SQLHSTMT handle, SQLUSMALLINT column, bool integer, SqlValue& value);

// The rows of a query run on `prepared`, or the count of a change; a failure takes no row. The
// result's columns are described at its first run.
int ReadResult(Link& link, PreparedText& prepared, SQLRETURN executed, bool modifies,
               StepResult& result);

// A result column bound to a buffer of its own, filled by the fetch itself: one driver call a
// row instead of one a value.
struct ColumnBuffer {
  bool integer = false;
  SQLBIGINT number = 0;
  std::vector<char> text;
  SQLLEN length = 0;
};

// The inputs in the driver's buffers; they must stay put until the execute is over.
struct Parameters {
  std::vector<std::string> texts;  // integers too, in digits
  std::vector<SQLLEN> lengths;
  std::vector<bool> integer;  // which inputs are integers
};

// The inputs of one prepared text, bound once: each execute writes into the same buffers, and
// only one that moved or grew is bound again (binding costs more than the statement's own work).
struct BoundInputs {
  struct Binding {
    const void* at;  // the input's buffer when last bound
    size_t size;
    bool integer;
  };
  Parameters parameters;
  std::vector<Binding> bound;
};

// Binds `inputs` to the markers of `handle` unless they are bound as they stand.
int BindInputs(Link& link, SQLHSTMT handle, BoundInputs& inputs);

class Statement : public BackendStatement {
 public:
  explicit Statement(dialect::DialectText text) : text_(std::move(text)) {}

  // Whether `inputs` are as many as the markers.
  bool Fits(const std::vector<SqlValue>& inputs) const {
    return static_cast<int>(inputs.size()) == text_.parameterCount;
  }
  // Puts `inputs`, as many as the markers, in the driver's form (dates in ISO) into `parameters`,
  // whose buffers stay where the values fit. 0, or the status of the first that does not fit.
  int ConvertInputs(Link& link, const std::vector<SqlValue>& inputs, Parameters& parameters) const;
  const std::string& Sql() const { return text_.sql; }
  // The text to prepare for `inputs`, made once per pattern of integer inputs (runs share one).
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
