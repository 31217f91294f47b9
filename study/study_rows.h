// The rows of an open record set as the study listing reads them, from the first row to the
// end, every column as the window shows it (null kept apart from empty text).
#pragma once

#include <vector>

#include "dao/dao.h"
#include "study_listing.h"

namespace study {

std::vector<QuestionRow> questionRows(dao::Recordset& rs);
// The row at 0-based `position` of the result, read alone.
QuestionRow questionRowAt(dao::Recordset& rs, std::size_t position);

}  // namespace study
