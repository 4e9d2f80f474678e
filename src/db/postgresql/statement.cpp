#include "db/postgresql/statement.h"

#include <cstdlib>

#include "db/postgresql/session.h"
#include "db/status.h"

namespace db::postgresql {
namespace {

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

PreparedStatements::Entry& PreparedStatements::EntryFor(const std::string& key) {
  auto found = entries_.find(key);
  if (found == entries_.end()) {
    Entry entry;
    entry.name = "kestrumel_" + std::to_string(entries_.size() + 1);
    found = entries_.emplace(key, std::move(entry)).first;
  }
  return found->second;
}

PreparedStatements::Entry& Statement::EntryFor(Link& link, const std::vector<Oid>& types) const {
  if (knownFor_ != &link.prepared) {
    known_.clear();
    knownFor_ = &link.prepared;
  }
  for (const KnownEntry& known : known_) {
    if (known.types == types) return *known.entry;
  }
  PreparedStatements::Entry& entry = link.prepared.EntryFor(PreparedKey(types, text_.sql));
  known_.push_back({types, &entry});
  return entry;
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

int Statement::AddCommands(Link& link, const std::vector<SqlValue>& inputs,
                           Parameters& parameters, std::vector<Command>& commands,
                           std::unordered_set<const PreparedStatements::Entry*>& preparing,
                           Placed& placed) const {
  if (static_cast<int>(inputs.size()) != text_.parameterCount) {
    return link.channel.FailWith(status::kNotAllVariablesBound,
                                 "placeholders do not match the inputs");
  }
  int rc = BuildParameters(link, inputs, parameters);
  if (rc != status::kOk) return rc;
  placed = Placed{};
  placed.entry = &EntryFor(link, parameters.types);
  placed.prepared = placed.entry->prepared;
  const std::string& name = placed.entry->name;
  // The server stops at a failed prepare: a later use of the name is reached only when it exists.
  if (!placed.prepared && !preparing.insert(placed.entry).second) placed.prepared = true;
  if (!placed.prepared) {
    placed.prepare = commands.size();
    commands.push_back({Command::Kind::Prepare, text_.sql, name, parameters.types, {}});
  }
  placed.execute = commands.size();
  commands.push_back({Command::Kind::Execute, {}, name, {}, std::move(parameters.values)});
  return status::kOk;
}

// A statement prepared in a transaction that failed afterwards stays prepared.
void Statement::TakeOutcome(const Placed& placed, const Outcome& outcome, bool succeeded,
                            StepResult& result) const {
  if (!placed.prepared && placed.prepare < outcome.results.size()) {
    const PGresult* prepare = outcome.results[placed.prepare].get();
    if (prepare != nullptr && PQresultStatus(prepare) == PGRES_COMMAND_OK) {
      placed.entry->prepared = true;
    }
  }
  if (!succeeded) return;
  PGresult* answer = outcome.results[placed.execute].get();
  if (modifies_) {
    result.affected = std::strtoll(PQcmdTuples(answer), nullptr, 10);
  } else {
    ReadRows(answer, result.rows);
  }
}

}  // namespace db::postgresql
