#pragma once
// A stop is answered within 15 s whatever a driver does: every wait of the program gives way
// to a stop sooner, but a driver call that does not return (an ODBC driver whose server takes
// no cancel) would hold the run. Past the deadline the run says its last words (its entry and
// its report) from a thread of its own and ends at once, leaving the server to roll back the
// request at hand, as it does for a killed run.

// Starts the watch; past the deadline it ends the run through run_end::Now.
void WatchStopDeadline();
