#pragma once
// The ODBC connection string of a connect: what follows "odbc:" in the net service name, with
// the login and password added as UID and PWD. They come from the configuration's own
// records only, so a net service name that names them itself is refused.
#include <string>
#include <string_view>

namespace db::odbc {

inline constexpr std::string_view kPrefix = "odbc:";

// An attribute value as it goes into the string: as it stands when nothing in it could end or
// open a value, else in braces with each '}' doubled, so that ';', '{', '}' and outer blanks
// are taken as they stand. (PostgreSQL's driver keeps the braces of a braced UID as part of
// the name; it reads a braced PWD right.)
std::string QuotedValue(std::string_view value);

// Whether `connection` has an attribute that carries a login or password (UID, PWD and the
// other names drivers take for them), in any case.
bool NamesCredentials(std::string_view connection);

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
