#include "window_data.h"

namespace bank {

void closeHandles(std::optional<dao::Recordset>& rs, dao::Database& db,
                  std::optional<dao::Workspace>& ws) {
    try {
        if (rs) rs->Close();
    } catch (...) {
    }
    rs.reset();
    try {
        db.Close();
    } catch (...) {
    }
    try {
        if (ws) ws->Close();
    } catch (...) {
    }
    ws.reset();
}

void deleteAllRows(dao::Workspace& ws, dao::Recordset& rs) {
    ws.BeginTrans();
    try {
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) rs.Delete();
        ws.CommitTrans();
    } catch (...) {
        try {
            ws.Rollback();
        } catch (...) {
        }
        throw;
    }
}

std::vector<std::vector<std::optional<std::string>>> textRows(dao::Recordset& rs) {
    std::vector<std::vector<std::optional<std::string>>> rows;
    if (rs.RecordCount() == 0) return rows;
    rows.reserve(static_cast<std::size_t>(rs.RecordCount()));
    const dao::Recordset& read = rs;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        auto& row = rows.emplace_back();
        row.reserve(read.fieldCount());
        for (std::size_t i = 0; i < read.fieldCount(); ++i) {
            const jet::Value& v = read.Fields(i);
            row.push_back(jet::isNull(v) ? std::optional<std::string>{} : dao::toText(v));
        }
    }
    return rows;
}

}  // namespace bank
