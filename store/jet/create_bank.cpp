#include "create_bank.h"

namespace jet::bank {

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

}  // namespace jet::bank

namespace jet {

void createBank(const std::filesystem::path& path, const CreateOptions& options) {
    createDatabase(path, {bank::tikuSpec(), bank::chengjiSpec(), bank::backSpec()}, options);
}

void createTemplate(const std::filesystem::path& path, const CreateOptions& options) {
    createDatabase(path, {bank::tikuSpec()}, options);
}

}  // namespace jet
