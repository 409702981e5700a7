// COUNTER columns: the statements that set up, number and remove them, kept in plain SQL
// (no Jet function in the triggers), so that rows inserted by any SQLite client are
// numbered too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sql/jet_sql.h"

namespace vorn::provider::sql {

// Steps that make table.column a COUNTER column numbering seed, seed+step, ...: the
// identity table, its row, and the triggers. numberExistingRows numbers the rows the table
// already has in rowid order (a column added by ALTER TABLE).
std::vector<ScriptStep> CounterSetupSteps(const std::string& table, const std::string& column,
                                          int64_t seed, int64_t step, bool numberExistingRows);

// Steps that remove the triggers and the identity row of table.column.
std::vector<ScriptStep> CounterRemovalSteps(const std::string& table, const std::string& column);

// The step that forgets the identity rows of a dropped table.
ScriptStep IdentityCleanupStep(const std::string& table);

}  // namespace vorn::provider::sql
