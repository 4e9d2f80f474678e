#pragma once
// Status codes of every database operation, as an Oracle client reports them in sqlcode. Each
// backend or dialect maps its native errors into them; whether a status is a data error or a
// fault is decided in status_kind.h alone.
namespace db::status {

constexpr int kOk = 0;                    // success
constexpr int kNoData = 1403;             // no (more) rows; also an update or delete that matched no row

constexpr int kUniqueViolated = -1;       // ORA-00001 unique constraint violated
constexpr int kInvalidSqlStatement = -900;  // ORA-00900 invalid SQL statement (text the database cannot parse)
constexpr int kInvalidIdentifier = -904;  // ORA-00904 unknown column
constexpr int kInvalidCharacter = -911;   // ORA-00911 text that is not valid SQL (e.g. a bad schema name)
constexpr int kInconsistentDatatypes = -932;  // ORA-00932 inconsistent datatypes (days added to a column the runtime cannot tell is a date)
constexpr int kNoSuchTable = -942;        // ORA-00942 table or view does not exist
constexpr int kNotAllVariablesBound = -1008;  // ORA-01008 input count does not match the statement
constexpr int kInvalidCursor = -1001;     // ORA-01001 fetch or close on a cursor that is not open
constexpr int kPasswordMissing = -1005;   // ORA-01005 null password given
constexpr int kLogonDenied = -1017;       // ORA-01017 invalid username/password
constexpr int kFetchOutOfSequence = -1002;  // ORA-01002 fetch out of sequence
constexpr int kNullIntoNoIndicator = -1405;  // ORA-01405 fetched column value is NULL, no indicator
constexpr int kTooManyRows = -1422;       // ORA-01422 exact fetch returns more than requested rows
constexpr int kIntegerOverflow = -1455;   // ORA-01455 converting column overflows integer datatype
constexpr int kNotNullViolated = -1400;   // ORA-01400 cannot insert NULL
constexpr int kSchemaUnknown = -1435;     // ORA-01435 user (schema) does not exist
constexpr int kSessionChangeInTransaction = -1453;  // ORA-01453 must come first in a transaction (a schema switch with work pending)
constexpr int kInvalidNumber = -1722;     // ORA-01722 invalid number
constexpr int kDateFormatUnknown = -1821;  // ORA-01821 date format not recognized
constexpr int kYearInvalid = -1841;       // ORA-01841 (full) year must be between -4713 and +9999
constexpr int kMonthInvalid = -1843;      // ORA-01843 not a valid month
constexpr int kDayOfMonthInvalid = -1847; // ORA-01847 day of month must be between 1 and last day
constexpr int kHourInvalid = -1850;       // ORA-01850 hour must be between 0 and 23
constexpr int kMinuteInvalid = -1851;     // ORA-01851 minutes must be between 0 and 59
constexpr int kSecondInvalid = -1852;     // ORA-01852 seconds must be between 0 and 59
constexpr int kDateFormatMismatch = -1861;  // ORA-01861 literal does not match format string
constexpr int kCheckViolated = -2290;    // ORA-02290 check constraint violated (e.g. a malformed date)
constexpr int kSavepointUnknown = -1086;  // ORA-01086 savepoint never established in this session
constexpr int kResourceBusy = -54;        // ORA-00054 resource busy (lock not obtained in time)
constexpr int kNotConnected = -3114;      // ORA-03114 not connected to ORACLE
constexpr int kEndOfFileOnChannel = -3113;  // ORA-03113 end-of-file on communication channel (session ended by the server)
constexpr int kCancelled = -1013;         // ORA-01013 user requested cancel of current operation (cancel, statement timeout)
constexpr int kSerializationFailure = -8177;  // ORA-08177 can't serialize access for this transaction
constexpr int kTablespaceFull = -1653;    // ORA-01653 unable to extend table (disk or tablespace full)
constexpr int kIoError = -1114;           // ORA-01114 IO error writing block to file
constexpr int kBlockCorrupted = -1578;    // ORA-01578 ORACLE data block corrupted (a damaged file)
constexpr int kDatabaseReadOnly = -16000;  // ORA-16000 database open for read-only access
constexpr int kOutOfMemory = -4030;       // ORA-04030 out of process memory
constexpr int kParentKeyNotFound = -2291;  // ORA-02291 integrity constraint violated - parent key not found
constexpr int kChildRecordFound = -2292;  // ORA-02292 integrity constraint violated - child record found
constexpr int kValueLargerThanPrecision = -1438;  // ORA-01438 value larger than specified precision
constexpr int kTriggerRaisedLast = -20999;  // ORA-20999 the last number open to application errors
constexpr int kNoListener = -12541;       // ORA-12541 no listener (no server at the address: refused, unreachable)
constexpr int kConnectTimedOut = -12170;  // ORA-12170 connect timeout occurred
constexpr int kStartingOrShuttingDown = -1033;  // ORA-01033 initialization or shutdown in progress
constexpr int kServiceNotKnownToListener = -12514;  // ORA-12514 listener does not know the service (not registered yet)
constexpr int kConnectionClosed = -12537;  // ORA-12537 TNS:connection closed
constexpr int kOracleNotAvailable = -1034;  // ORA-01034 ORACLE not available
constexpr int kServiceUnresolved = -12154;  // ORA-12154 could not resolve the connect identifier
constexpr int kTriggerRaised = -20000;    // ORA-20000 error raised by application code (a trigger)
constexpr int kDeadlock = -60;            // ORA-00060 deadlock detected while waiting for a resource
constexpr int kInsufficientPrivileges = -1031;  // ORA-01031 insufficient privileges
constexpr int kTransactionRolledBack = -2091;  // ORA-02091 transaction rolled back (pending work was lost)
constexpr int kValueTooLarge = -12899;    // ORA-12899 value too large for column
constexpr int kInternal = -600;           // ORA-00600 anything the runtime cannot classify otherwise

}  // namespace db::status
