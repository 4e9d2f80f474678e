#include "common/postgresql_sql.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace testing_db::postgresql_sql {
namespace {

std::string ReadSchemaFile(const std::string& name) {
  std::string path = std::string(KESTRUMEL_SOURCE_DIR) + "/schema/postgresql/" + name;
  std::ifstream in(path);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Windows gives a finished process's id to the next one at once: the random part keeps a
// database that a killed test left behind out of a later test's way.
std::string NewDatabaseName() {
  static std::atomic<int> counter{0};
  static const unsigned salt = std::random_device{}() % 1000000;
  return "kt_" + std::to_string(getpid()) + "_" + std::to_string(salt) + "_" +
         std::to_string(++counter);
}

std::string CreateDatabase(const std::string& database) { return "CREATE DATABASE " + database; }

std::string DropDatabase(const std::string& database) {
  return "DROP DATABASE IF EXISTS " + database + " WITH (FORCE)";
}

std::vector<std::string> SchemaSetup(const std::string& schema) {
  return {"SET DateStyle TO ISO, YMD; CREATE SCHEMA rvkstamm; CREATE SCHEMA " + LowerCase(schema) +
              "; SET search_path TO rvkstamm",
          ReadSchemaFile("rvkstamm.sql"), "SET search_path TO " + LowerCase(schema),
          ReadSchemaFile("schema.sql")};
}

std::string SessionSettings(const std::string& schema) {
  return "SET DateStyle TO ISO, YMD; SET search_path TO " + LowerCase(schema);
}

std::string FailOnTrigger(const std::string& table, const std::string& operation) {
  std::string name = "kt_fail_" + LowerCase(table) + "_" + LowerCase(operation);
  for (char& c : name) {
    if (c == '.') c = '_';
  }
  return "CREATE FUNCTION " + name +
         "() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RAISE EXCEPTION 'injected'; END$$;"
         " CREATE TRIGGER " +
         name + " BEFORE " + operation + " ON " + table + " FOR EACH ROW EXECUTE FUNCTION " + name +
         "()";
}

}  // namespace testing_db::postgresql_sql
