#include "study_rows.h"

#include "window_data.h"

namespace study {

QuestionRow questionRowAt(dao::Recordset& rs, std::size_t position) {
    rs.setAbsolutePosition(static_cast<long>(position));
    return bank::textRow(rs);
}

}  // namespace study
