#include "bank_tables.h"

namespace bank {

using jet::ColumnSpec;
using jet::ColumnType;
using jet::TableSpec;

namespace {

ColumnSpec text(const char* name) { return {name, ColumnType::Text, 255, true}; }
// Long text, so that no question, option or path is ever cut short.
ColumnSpec memo(const char* name) { return {name, ColumnType::Memo, 0, true}; }

}  // namespace

TableSpec tikuSpec() {
    return {tiku::kTable,
            {text("nianji"),
             text("kemu"),
             text("kecheng"),
             memo("yuanti"),
             memo("xuanxianga"),
             memo("xuanxiangb"),
             memo("xuanxiangc"),
             memo("xuanxiangd"),
             text("daan"),
             memo("daanneirong"),
             {"zhuangtai", ColumnType::Int16, 0, false},
             text("tixing")},
            {}};
}

TableSpec chengjiSpec() {
    return {chengji::kTable,
            {text("nianji"),
             text("kemu"),
             text("kecheng"),
             {"riqi", ColumnType::DateTime, 0, false},
             text("zhengque"),
             text("cuowu"),
             {"defen", ColumnType::Double, 0, false}},
            {}};
}

TableSpec backSpec() { return {back::kTable, {memo("tupian")}, {}}; }

void createBank(const std::filesystem::path& path, const jet::CreateOptions& options) {
    jet::createDatabase(path, {tikuSpec(), chengjiSpec(), backSpec()}, options);
}

void createTemplate(const std::filesystem::path& path, const jet::CreateOptions& options) {
    jet::createDatabase(path, {tikuSpec()}, options);
}

}  // namespace bank
