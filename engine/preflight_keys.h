// The run's check, before anything is written, that every text the run would put into a
// destination index in a sort order other than General is one whose key the engine can
// build there (jet/index/proven_sort_orders.h). Without it a run would stop at the first
// such record, halfway through a table.
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace qar::data {
class TADOConnection;
}

namespace qar {

// For each table (destination column positions paired with the source's as the table's
// strategy pairs them), checks the key columns of the destination's indexes whose text keys
// are proven only for some characters: the values of the source records the strategy would
// write (read through a "Select * From" query of its own on source). The destination's own
// rows keep their entries, whatever their keys. A destination index the engine cannot write
// at all refuses a table the run would change. Tables missing on either side are left to
// the run, which reports them. Returns the first offence as text naming the table, the
// source record, the column, the value and the character; nothing when every key can be
// built. Reads only; raises what the connections raise.
std::optional<QString> checkProvenKeys(data::TADOConnection& source, data::TADOConnection& destination,
                                       const std::vector<QString>& tables);

}  // namespace qar
