#pragma once
// The program takes its settings only from its configuration file and command line. Database
// client libraries would also read their own environment variables (libpq every PG* variable,
// for each setting a connect leaves empty, also inside an ODBC driver), so those go first.
void ClearClientEnvironment();
