#include "study_rows.h"

#include "window_data.h"

namespace study {

std::vector<QuestionRow> questionRows(dao::Recordset& rs) { return bank::textRows(rs); }

QuestionRow questionRowAt(dao::Recordset& rs, std::size_t position) {
    rs.setAbsolutePosition(static_cast<long>(position));
    return bank::textRow(rs);
}

}  // namespace study
