// Who makes the program and where it is found: the texts of the about window.
#pragma once

namespace mozhou::maker {

inline constexpr const char* kProductTitle = "墨舟题苑";
inline constexpr const char* kMakerName = "墨舟题苑开发组";
inline constexpr const char* kProgrammer = "林远舟";
inline constexpr const char* kQuestionSuppliers = "墨舟题苑教师组";
inline constexpr const char* kEmailAddress = "mozhou@example.org";
inline constexpr const char* kWebSiteAddress = "https://mozhou.example.org/";

}  // namespace mozhou::maker
