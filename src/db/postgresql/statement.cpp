#include "db/postgresql/statement.h"

#include <cstdlib>

#include "db/postgresql/session.h"
#include "db/runtime/status.h"

namespace db::postgresql {
namespace {

// Server type of each input: int4 for an integer, else left to the server, which takes the
// type of the column or function argument it meets and so keeps the indexes usable.
constexpr Oid kInt4Type = 23;
constexpr Oid kInt2Type = 21;
constexpr Oid kInt8Type = 20;

bool IsIntegerType(Oid type) { return type == kInt2Type || type == kInt4Type || type == kInt8Type; }

// The types decide the server's reading of the text, so both make the key.
std::string PreparedKey(const std::vector<Oid>& types, const std::string& sql) {
  std::string key;
  for (Oid type : types) key += std::to_string(type) + ",";
  return key + "\n" + sql;
}

// Appends the rows of a query result; integer columns become Int, all else Text.
void ReadRows(const PGresult* result, SqlRows& rows) {
  int rowCount = PQntuples(result);
  int columnCount = PQnfields(result);
  SqlRow row(static_cast<size_t>(columnCount));
  for (int r = 0; r < rowCount; ++r) {
    for (int c = 0; c < columnCount; ++c) {
      SqlValue& value = row[static_cast<size_t>(c)];
      value.Clear();
      if (PQgetisnull(result, r, c)) continue;  // stays Null
      const char* text = PQgetvalue(result, r, c);
      if (IsIntegerType(PQftype(result, c))) {
        value.kind = SqlValue::Kind::Int;
        value.number = std::strtoll(text, nullptr, 10);
      } else {
        value.kind = SqlValue::Kind::Text;
        value.text.assign(text, static_cast<size_t>(PQgetlength(result, r, c)));
      }
    }
    rows.Append(row);
  }
}

}  // namespace

const std::string& PreparedStatements::NameFor(const std::string& key, bool& prepared) {
  auto found = entries_.find(key);
  if (found == entries_.end()) {
    Entry entry;
    entry.name = "kestrumel_" + std::to_string(entries_.size() + 1);
    found = entries_.emplace(key, std::move(entry)).first;
  }
  prepared = found->second.prepared;
  return found->second.name;
}

void PreparedStatements::MarkPrepared(const std::string& key) {
  auto found = entries_.find(key);
  if (found != entries_.end()) found->second.prepared = true;
}

int Statement::BuildParameters(Link& link, const std::vector<SqlValue>& inputs,
                               Parameters& parameters) const {
  size_t count = inputs.size();
  parameters.texts.assign(count, std::string());
  parameters.values.assign(count, nullptr);
  parameters.types.assign(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const SqlValue& input = inputs[i];
    if (input.kind == SqlValue::Kind::Int) {
      parameters.texts[i] = std::to_string(input.number);
      parameters.types[i] = kInt4Type;
    } else {
      parameters.texts[i] = input.text;
    }
  }
  for (const dialect::DateInput& date : text_.dateInputs) {
    size_t i = static_cast<size_t>(date.position);
    parameters.types[i] = 0;  // the cast in the text gives the type
    if (inputs[i].kind == SqlValue::Kind::Null) continue;
    std::string iso;
    int rc = dialect::DateTextToIso(parameters.texts[i], date.model, iso);
    if (rc != status::kOk) {
      return link.channel.FailWith(rc, "invalid date text '" + parameters.texts[i] + "'");
    }
    parameters.texts[i] = std::move(iso);
  }
  for (size_t i = 0; i < count; ++i) {
    if (inputs[i].kind != SqlValue::Kind::Null) parameters.values[i] = parameters.texts[i].c_str();
  }
  return status::kOk;
}

int Statement::Run(const std::vector<SqlValue>& inputs, SqlRows* rows,
                   int64_t* affected) {
  std::shared_ptr<Link> link = link_.lock();
  if (!link) return status::kNotConnected;
  BackendStep step{this, inputs, modifies_, ""};
  std::vector<StepResult> results(1);
  size_t succeeded = 0;
  int rc = RunSteps(*link, {&step, 1}, results, succeeded);
  if (rc != status::kOk) return rc;
  if (rows != nullptr) rows->Append(std::move(results[0].rows));
  if (affected != nullptr) *affected = results[0].affected;
  return status::kOk;
}

Statement::Placed Statement::AddCommands(Link& link, const Parameters& parameters,
                                         std::vector<Command>& commands,
                                         std::unordered_set<std::string>& preparing) const {
  Placed placed;
  placed.key = PreparedKey(parameters.types, text_.sql);
  std::string name = link.prepared.NameFor(placed.key, placed.prepared);
  // The server stops at a failed prepare: a later use of the name is reached only when it exists.
  if (!placed.prepared && !preparing.insert(placed.key).second) placed.prepared = true;
  if (!placed.prepared) {
    placed.prepare = commands.size();
    commands.push_back({Command::Kind::Prepare, text_.sql, name, parameters.types, {}});
  }
  placed.execute = commands.size();
  commands.push_back({Command::Kind::Execute, {}, name, {}, parameters.values});
  return placed;
}

// A statement prepared in a transaction that failed afterwards stays prepared.
void Statement::NotePrepared(Link& link, const Placed& placed, const Outcome& outcome,
                             size_t offset) {
  if (placed.prepared || offset + placed.prepare >= outcome.results.size()) return;
  const PGresult* result = outcome.results[offset + placed.prepare].get();
  if (result != nullptr && PQresultStatus(result) == PGRES_COMMAND_OK) {
    link.prepared.MarkPrepared(placed.key);
  }
}

int Statement::RunSteps(Link& link, std::span<const BackendStep> steps,
                        std::vector<StepResult>& results, size_t& succeeded) {
  succeeded = 0;
  // Sized first: the commands point into the parameter texts.
  std::vector<Parameters> parameters(steps.size());
  std::vector<Placed> placed;
  std::vector<bool> counts;  // a change, which reports affected rows; else a query's rows
  std::vector<Transaction::Step> planned;
  std::unordered_set<std::string> preparing;
  int stopped = status::kOk;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Statement& statement = static_cast<const Statement&>(*steps[i].statement);
    if (static_cast<int>(steps[i].inputs.size()) != statement.text_.parameterCount) {
      stopped = status::kNotAllVariablesBound;
    } else {
      stopped = statement.BuildParameters(link, steps[i].inputs, parameters[i]);
    }
    if (stopped != status::kOk) break;
    Transaction::Step step{steps[i].savepoint, {}, statement.modifies_ || statement.locks_};
    placed.push_back(statement.AddCommands(link, parameters[i], step.commands, preparing));
    counts.push_back(statement.modifies_);
    planned.push_back(std::move(step));
  }
  if (!planned.empty()) {
    Outcome outcome;
    std::vector<size_t> first;
    int rc = link.transaction.RunSteps(planned, outcome, first, succeeded);
    for (size_t k = 0; k < placed.size(); ++k) NotePrepared(link, placed[k], outcome, first[k]);
    for (size_t k = 0; k < succeeded; ++k) {
      PGresult* result = outcome.results[first[k] + placed[k].execute].get();
      if (counts[k]) {
        results[k].affected = std::strtoll(PQcmdTuples(result), nullptr, 10);
      } else {
        ReadRows(result, results[k].rows);
      }
    }
    if (rc != status::kOk) return rc;
  }
  // A statement whose inputs cannot be sent fails before the server sees it; its savepoint is
  // set all the same, as for the statement alone.
  if (stopped != status::kOk && !steps[placed.size()].savepoint.empty()) {
    link.transaction.Savepoint(steps[placed.size()].savepoint);
  }
  return stopped;
}

}  // namespace db::postgresql
