#include "header.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "bytes.h"
#include "error.h"

namespace jet {

void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    if (!key.empty()) {
        std::uint8_t j = 0;
        for (int i = 0; i < 256; ++i) {
            j = static_cast<std::uint8_t>(j + s[i] + key[static_cast<std::size_t>(i) % key.size()]);
            std::swap(s[i], s[j]);
        }
    }
    std::uint8_t i = 0, j = 0;
    for (auto& b : data) {
        i = static_cast<std::uint8_t>(i + 1);
        j = static_cast<std::uint8_t>(j + s[i]);
        std::swap(s[i], s[j]);
        b ^= s[static_cast<std::uint8_t>(s[i] + s[j])];
    }
}

std::vector<std::uint8_t> unmaskHeader(std::span<const std::uint8_t> page0, Format format) {
    std::vector<std::uint8_t> page(page0.begin(), page0.end());
    std::size_t len = format == Format::Jet3 ? header::kMaskLengthJet3 : header::kMaskLengthJet4;
    if (page.size() < header::kMaskStart + len) return page;
    const std::uint32_t k = header::kMaskKey;
    const std::array<std::uint8_t, 4> key{
        static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
        static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
    rc4(key, std::span(page).subspan(header::kMaskStart, len));
    return page;
}

Header readHeader(std::span<const std::uint8_t> page0, std::string_view file) {
    // Whatever is wrong on page 0 means the file is not a database this engine can read.
    Reader raw(page0, placeText(file, 0), ErrorKind::NotDatabase);
    static constexpr char kMagic[] = "Standard Jet DB";
    static constexpr char kAceMagic[] = "Standard ACE DB";
    const std::size_t magicLen = sizeof kMagic - 1;
    auto magic = raw.bytes(header::kMagicOffset, magicLen);
    if (raw.u8(0) != page_type::kDatabaseDefinition || raw.u8(1) != 0x01)
        raw.fail("not a Jet database file (no database definition page)");
    if (std::memcmp(magic.data(), kAceMagic, magicLen) == 0)
        raw.fail("an Access 2007 or later database; only Jet 3 and Jet 4 files can be read");
    if (std::memcmp(magic.data(), kMagic, magicLen) != 0)
        raw.fail("not a Jet database file (no \"Standard Jet DB\" signature)");

    Header h;
    std::uint8_t version = raw.u8(header::kVersionOffset);
    if (version == header::kVersionJet3)
        h.format = Format::Jet3;
    else if (version == header::kVersionJet4)
        h.format = Format::Jet4;
    else
        raw.fail("unknown Jet version " + std::to_string(version) +
                 "; only Jet 3 and Jet 4 files can be read");
    if (page0.size() != layoutOf(h.format).pageSize)
        raw.fail("page size does not match the Jet version");

    std::vector<std::uint8_t> page = unmaskHeader(page0, h.format);
    Reader r(page, raw.where(), ErrorKind::NotDatabase);
    h.codePage = r.u16(header::kCodePageOffset);
    h.databaseKey = r.u32(header::kDatabaseKeyOffset);
    std::size_t passwordLength;
    if (h.format == Format::Jet3) {
        h.sortOrder = r.u16(header::kJet3SortOrderOffset);
        passwordLength = header::kPasswordLengthJet3;
    } else {
        h.sortOrder = r.u16(header::kJet4SortOrderOffset);
        h.sortOrderVersion = r.u8(header::kJet4SortOrderOffset + 3);
        passwordLength = header::kPasswordLengthJet4;
        h.creationDate = leDouble(r.bytes(header::kJet4CreationDateOffset, 8).data());
    }
    // The Jet 4 password is further masked with the creation date's whole days.
    std::array<std::uint8_t, 4> mask{};
    if (h.format == Format::Jet4 && h.creationDate > -2147483648.0 &&
        h.creationDate < 2147483648.0) {
        auto days = static_cast<std::int32_t>(std::floor(h.creationDate));
        auto u = static_cast<std::uint32_t>(days);
        mask = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
    }
    auto password = r.bytes(header::kPasswordOffset, passwordLength);
    for (std::size_t i = 0; i < password.size(); ++i)
        if ((password[i] ^ mask[i % 4]) != 0) h.hasPassword = true;
    if (h.databaseKey != 0)
        raw.fail("the database is encoded (it has a database key); decode it with Access first");
    return h;
}

}  // namespace jet
