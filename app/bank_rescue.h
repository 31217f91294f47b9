// The start-up check of the question bank. A bank that cannot be used is not passed over: the
// user is offered to bring back the newest dated copy, to start a new bank, or to quit. The
// unusable file is never overwritten or deleted; it is kept beside the bank under another name.
#pragma once

#include <filesystem>

namespace mozhou {

// Makes the bank when it is missing, checks it otherwise, and while it cannot be used asks what
// to do. Returns false when the user chose to quit.
bool settleBank(const std::filesystem::path& bank, const std::filesystem::path& sampleJsonl);

}  // namespace mozhou
