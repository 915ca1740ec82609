// Files replaced whole or not at all: the bytes go to a temporary file beside
// the target, which is then renamed over it, so that a full disk or a lost
// power never leaves half a file behind. Plain C++; every caller words its
// own report from the failure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <system_error>

namespace corvane {

struct WriteFailure {
    enum class Step { Create, Write, Replace };
    Step step;
    std::error_code code;
    // The reason in a few words, as the user is shown it.
    std::string reason() const;
};

// A temporary name in the target's folder: ".name.NNNNNN.part".
std::filesystem::path temporaryBeside(const std::filesystem::path& target);

// Writes `bytes` to `path` in place of what it holds; nothing on success.
// A failed write leaves the old file as it was and no temporary file.
std::optional<WriteFailure> writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace corvane
