// Page 0, the database definition page. Bytes 0..3 are 00 01 00 00, then "Standard Jet DB";
// 0x14 holds the version (0 = Jet 3, 1 = Jet 4). From 0x18 on, 126 (Jet 3) or 128 (Jet 4)
// bytes are masked with RC4 under a fixed key; unmasked they hold the sort order (Jet 3 at
// 0x3A, Jet 4 at 0x6E), the code page of Jet 3 text (0x3C), the database key (0x3E; non-zero
// means every page is encoded), the database password (0x42) and in Jet 4 the creation date
// (0x72), whose whole days also mask the password.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "format.h"

namespace jet {

struct Header {
    Format format = Format::Jet4;
    std::uint16_t codePage = 0;         // of Jet 3 text; Jet 4 files carry one too, unused
    std::uint16_t sortOrder = 0;        // locale id of the default collation, 0x0409 = General
    std::uint8_t sortOrderVersion = 0;  // Jet 4 only
    std::uint32_t databaseKey = 0;
    bool hasPassword = false;
    double creationDate = 0;  // Jet 4 only, days since 1899-12-30
};

// RC4 in place; the header mask and any encoder that writes page 0 use it.
void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

// Page 0 with its masked region unmasked (the same call masks it again).
std::vector<std::uint8_t> unmaskHeader(std::span<const std::uint8_t> page0, Format format);

// Decodes page 0; throws jet::Error naming `file` when it is not a Jet 3/Jet 4 header or the
// pages are encoded (which this engine does not read).
Header readHeader(std::span<const std::uint8_t> page0, std::string_view file);

}  // namespace jet
