// A row of an open record set as the study listing reads it, every column as the window shows
// it (null kept apart from empty text).
#pragma once

#include <cstddef>

#include "dao/dao.h"
#include "study_listing.h"

namespace study {

// The row at 0-based `position` of the result, read alone.
QuestionRow questionRowAt(dao::Recordset& rs, std::size_t position);

}  // namespace study
