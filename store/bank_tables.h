// The shape of the question bank: its three tables and their columns, in the order that is
// part of the file format (every reader addresses columns by position).
#pragma once

#include <filesystem>

#include "jet/create.h"

namespace bank {

// tiku: one row per question.
namespace tiku {
inline constexpr const char* kTable = "tiku";
enum Column : int {
    nianji = 0,
    kemu = 1,
    kecheng = 2,
    yuanti = 3,
    xuanxianga = 4,
    xuanxiangb = 5,
    xuanxiangc = 6,
    xuanxiangd = 7,
    daan = 8,
    daanneirong = 9,
    zhuangtai = 10,
    tixing = 11,
};
inline constexpr int kColumnCount = 12;
}  // namespace tiku

// chengji: one row per saved test.
namespace chengji {
inline constexpr const char* kTable = "chengji";
enum Column : int {
    nianji = 0,
    kemu = 1,
    kecheng = 2,
    riqi = 3,
    zhengque = 4,
    cuowu = 5,
    defen = 6,
};
inline constexpr int kColumnCount = 7;
}  // namespace chengji

// back: the background picture path, first row only.
namespace back {
inline constexpr const char* kTable = "back";
enum Column : int { tupian = 0 };
inline constexpr int kColumnCount = 1;
}  // namespace back

jet::TableSpec tikuSpec();
jet::TableSpec chengjiSpec();
jet::TableSpec backSpec();

// A new, empty question bank: tiku, chengji and back.
void createBank(const std::filesystem::path& path, const jet::CreateOptions& options = {});
// The export template: only an empty tiku.
void createTemplate(const std::filesystem::path& path, const jet::CreateOptions& options = {});

}  // namespace bank
