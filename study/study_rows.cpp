#include "study_rows.h"

#include <utility>

namespace study {

std::vector<QuestionRow> questionRows(dao::Recordset& rs) {
    std::vector<QuestionRow> rows;
    if (rs.RecordCount() == 0) return rows;
    rows.reserve(static_cast<std::size_t>(rs.RecordCount()));
    const dao::Recordset& read = rs;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        QuestionRow row;
        row.reserve(read.fieldCount());
        for (std::size_t i = 0; i < read.fieldCount(); ++i) {
            const jet::Value& v = read.Fields(i);
            row.push_back(jet::isNull(v) ? Cell{} : Cell{dao::toText(v)});
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace study
