#include "bytes.h"

namespace jet {

std::string placeText(std::string_view file, std::uint32_t page) {
    std::string s(file);
    s += ": page ";
    s += std::to_string(page);
    return s;
}

void failAt(std::string_view file, std::uint32_t page, std::string_view what) {
    std::string s = placeText(file, page);
    s += ": ";
    s += what;
    throw Error(s, ErrorKind::Damaged);
}

void Reader::fail(std::string_view what) const {
    std::string s = where_;
    s += ": ";
    s += what;
    throw Error(s, kind_);
}

void Reader::outOfBounds(std::size_t pos, std::size_t n) const {
    fail("structure runs past its end (" + std::to_string(n) + " bytes at offset " +
         std::to_string(pos) + " of " + std::to_string(data_.size()) + ")");
}

}  // namespace jet
