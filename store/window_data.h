// What windows do with the workspace, database and record set they keep between handlers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dao/dao.h"

namespace bank {

// Releases the handles in reverse order of opening; one that fails to close is released all
// the same, and nothing is thrown.
void closeHandles(std::optional<dao::Recordset>& rs, dao::Database& db,
                  std::optional<dao::Workspace>& ws);

// Deletes every row of `rs` in one transaction of `ws` (which opened its database): all rows
// go, or on a failure, which is thrown on, none does.
void deleteAllRows(dao::Workspace& ws, dao::Recordset& rs);

// The current row of `rs`, each column as the windows show it (dao::toText), null kept apart
// from empty text.
std::vector<std::optional<std::string>> textRow(const dao::Recordset& rs);

}  // namespace bank
