// help.txt in the program folder is what the help window reads: code page 936, CR LF.

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Strict conversion: any byte sequence that is not valid code page 936 throws.
std::string cp936ToUtf8(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP936 converter");
    std::string out(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    const int err = errno;
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        throw std::runtime_error("invalid CP936 at byte " + std::to_string(bytes.size() - inLeft) +
                                 " (errno " + std::to_string(err) + ")");
    out.resize(out.size() - outLeft);
    return out;
}

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

const std::string kHelp = std::string(MOZHOU_PROGRAM_DIR) + "/help.txt";

// Decoding as code page 936 gives the source with CR LF line ends: so the file is not UTF-8
// (its first character, 墨, would not decode to itself), has no bare CR or LF, and ends a line.
TEST(HelpText, DecodesFromCp936ToTheSourceWithCrLf) {
    const std::string source = readFile(MOZHOU_HELP_SOURCE);
    const std::string bytes = readFile(kHelp);
    EXPECT_EQ(cp936ToUtf8(bytes), withCrLf(source));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

// The text describes every window the user meets and never gives away the access code.
TEST(HelpText, CoversEveryWindowAndKeepsTheCodeSecret) {
    const std::string text = readFile(MOZHOU_HELP_SOURCE);
    for (const char* word : {"学习", "测试", "错题演练", "数据录入", "数据编辑", "数据清空",
                             "数据导入", "数据导出", "错题记录", "关于", "更换背景", "保存测试",
                             "提取测试", "shujuku.mdb", "shujuku-备份", "Access"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
    EXPECT_EQ(text.find("583904"), std::string::npos);
}

}  // namespace
