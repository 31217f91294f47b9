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

std::vector<std::optional<std::string>> textRow(const dao::Recordset& rs) {
    std::vector<std::optional<std::string>> row;
    row.reserve(rs.fieldCount());
    for (std::size_t i = 0; i < rs.fieldCount(); ++i) {
        const jet::Value& v = rs.Fields(i);
        row.push_back(jet::isNull(v) ? std::optional<std::string>{} : dao::toText(v));
    }
    return row;
}

}  // namespace bank
