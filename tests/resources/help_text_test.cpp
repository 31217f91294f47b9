// help.txt in the program folder is what the help window reads: code page 936, CR LF.

#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Strict conversion: a byte sequence that is not code page 936 gives "invalid".
std::string cp936ToUtf8(std::string bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    std::string out(bytes.size() * 2 + 16, '\0');
    char *in = bytes.data(), *dst = out.data();
    size_t inLeft = bytes.size(), outLeft = out.size();
    const bool ok = iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return ok ? out : "invalid at byte " + std::to_string(bytes.size() - inLeft);
}

// Decoding as code page 936 gives the source with CR LF line ends: so the file is not UTF-8
// (its first character, 墨, would not decode to itself), has no bare CR or LF, and ends a line.
// The text never gives away the access code.
TEST(HelpText, DecodesFromCp936ToTheSourceWithCrLfAndKeepsTheCodeSecret) {
    const std::string source = readFile(MOZHOU_HELP_SOURCE);
    std::string crlf;
    for (char c : source) {
        if (c == '\r') continue;
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const std::string bytes = readFile(std::string(MOZHOU_PROGRAM_DIR) + "/help.txt");
    EXPECT_EQ(cp936ToUtf8(bytes), crlf);
    EXPECT_TRUE(bytes.ends_with("\r\n"));
    EXPECT_EQ(source.find("583904"), std::string::npos);
}

}  // namespace
