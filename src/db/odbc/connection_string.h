#pragma once
// The ODBC connection string of a connect: what follows "odbc:" in the net service name, with
// the login and password added as UID and PWD. They come from the configuration's own
// records only, so a net service name that names them itself is refused.
#include <string>
#include <string_view>

namespace db::odbc {

// Whether `connection` has the attribute `name` (a key outside braced values), in any case.
bool NamesAttribute(std::string_view connection, std::string_view name);

// The value of the attribute `name` (in any case, braces undone); false when there is none.
bool AttributeValue(std::string_view connection, std::string_view name, std::string& value);

// Takes the attribute `name` (in any case) out of `connection` and gives its value (braces
// undone); false when there is none.
bool TakeAttribute(std::string& connection, std::string_view name, std::string& value);

// Builds the connection string from a net service name "odbc:...". Returns 0, or -12154 when
// nothing follows the prefix or the name carries credentials of its own.
int BuildConnectionString(std::string_view netService, std::string_view user,
                          std::string_view password, std::string& connection);

}  // namespace db::odbc
