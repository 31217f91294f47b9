#include "study_rows.h"

#include "window_data.h"

namespace study {

std::vector<QuestionRow> questionRows(dao::Recordset& rs) { return bank::textRows(rs); }

}  // namespace study
