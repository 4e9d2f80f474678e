#pragma once
// A statement of the program through the driver: the text in the server's dialect, prepared
// once when the session prepares it, run under the transaction rules, its result read whole.
#include <memory>
#include <string>
#include <vector>

#include "db/odbc/dialect.h"
#include "db/odbc/handles.h"
#include "db/odbc/transaction.h"
#include "db/runtime/backend.h"

namespace db::odbc {

class Link;

// The column types of the current result of `handle`: which are integers.
int DescribeResult(Link& link, SQLHSTMT handle, std::vector<bool>& integerColumns);
// Appends the rows of the current result; on a failure none of them.
int FetchRows(Link& link, SQLHSTMT handle, const std::vector<bool>& integerColumns,
              SqlRows& rows);

class Statement : public BackendStatement {
 public:
  // `locks`: a query that locks its rows, run inside the transaction.
  Statement(std::weak_ptr<Link> link, DialectText text, bool modifies, bool locks = false)
      : link_(std::move(link)), text_(std::move(text)), modifies_(modifies), locks_(locks) {}
  // Gives its native handle back to the session, if the session is still there.
  ~Statement() override;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Allocates the handle; the text is prepared at the first run, when the types of its inputs
  // are known (see TextForInputs), and again only should they change.
  int Prepare();

  int Run(const std::vector<SqlValue>& inputs, SqlRows* rows,
          int64_t* affected) override;

  // The inputs in the driver's buffers; they must stay put until the execute is over.
  struct Parameters {
    std::vector<std::string> texts;
    std::vector<SQLINTEGER> numbers;
    std::vector<SQLLEN> lengths;
    std::vector<bool> integer;  // which inputs are integers
  };

  // Checks `inputs` against the markers and puts them in the driver's form (dates in ISO).
  // Returns 0, or the status of the first that does not fit.
  int ConvertInputs(Link& link, const std::vector<SqlValue>& inputs, Parameters& parameters) const;
  // The text to prepare for inputs of the types in `parameters`.
  std::string TextFor(Dialect dialect, const Parameters& parameters) const;
  // A change, or a query whose locks must last to the commit.
  bool OpensTransaction() const { return modifies_ || locks_; }

 private:
  // On its own prepared text, or in one text after the control statements of `wrap`.
  int RunAlone(Link& link, Parameters& parameters, SqlRows* rows, int64_t* affected);
  int ExecuteAndRead(Link& link, SqlRows* rows, int64_t* affected);
  int RunWrapped(Link& link, Parameters& parameters, const Wrap& wrap, SqlRows* rows,
                 int64_t* affected, bool& sent);
  // Binds converted inputs to the statement's markers.
  int BindInputs(Link& link, Parameters& parameters);
  int ReadRows(Link& link, SqlRows& rows);

  std::weak_ptr<Link> link_;
  DialectText text_;
  bool modifies_;
  bool locks_;
  SQLHSTMT handle_ = SQL_NULL_HANDLE;  // owned by the session (session.h)
  std::vector<bool> integerColumns_;  // of the result, learnt at the first run
  bool prepared_ = false;
  std::vector<bool> integerInputs_;  // of the prepared text
  bool described_ = false;
};

}  // namespace db::odbc
