# The changes to the planning tables as sorted lines, from a preview's JSON report
# (--arg from preview) or from the tables' rows before and after a run ({before, after}, each
# table's rows by its name). Moments and the run's own texts are left out: they differ between
# a preview and the run that follows it.

def keys_of: {"rvk740pud": ["pudpnr", "pudtyp", "puddat"],
              "rvk730bdp": ["bdppnr", "bdpbdt", "bdpeso", "bdpesa", "bdpszv", "bdpasw"],
              "rvk725bsm": ["bsmbdt", "bsmeso", "bsmesa", "bsmszv", "bsmasw"]};

# One value as the preview prints it: NULL as nothing, a date as its digits.
def value:
  if . == null then ""
  elif type == "number" then tostring
  elif test("^[0-9]{4}-[0-9]{2}-[0-9]{2}[ T][0-9]{2}:[0-9]{2}:[0-9]{2}$") then gsub("[^0-9]"; "")
  else . end;
def row: with_entries({key: (.key | ascii_downcase), value: (.value | value)});
def shown: if .key | IN("bdpdat", "bsmdat", "errdat", "errerf", "errjbd", "errjbk") then "<run>"
           else .value end;
def pairs: to_entries | map("\(.key)=\(shown)") | sort | join(",");

# A row's key; the deviation table's rows are only ever inserted, so its key is the whole row.
def key($table): if keys_of[$table] then . as $row | [keys_of[$table][] | "\(.)=\($row[.])"] | join(",")
                 else pairs end;
def line($table; $change; $key; $columns):
  "\($table) \($change) \($key)" + (if $columns == "" then "" else " : \($columns)" end);

def from_preview:
  [.changes[] | (.table | ascii_downcase) as $table | (.key | row | key($table)) as $key
   | if .change == "changed" then line($table; "changed"; $key; .after | row | pairs)
     else line($table; .change; $key; "") end] | sort;

def from_tables:
  [.before as $before | .after | keys[] as $table
   | ($before[$table] | map(row | {key: key($table), value: .}) | from_entries) as $old
   | (.[$table] | map(row | {key: key($table), value: .}) | from_entries) as $new
   | ($old | keys[] | select($new[.] == null) | line($table; "deleted"; .; "")),
     ($new | keys[] | select($old[.] == null) | line($table; "inserted"; .; "")),
     ($old | keys[] | select($new[.] != null) | . as $key
      | [$new[$key] | to_entries[] | select($old[$key][.key] != .value) | "\(.key)=\(shown)"]
      | select(length > 0) | line($table; "changed"; $key; sort | join(",")))] | sort;

if $from == "preview" then from_preview else from_tables end | .[]
