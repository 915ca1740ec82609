// A folder of a test's own under the system's temporary folder: named for
// the test, with a random ending, so that two runs of the suite on one
// machine (a developer's beside the test command's) never write into one.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace corvane::test {

inline std::filesystem::path uniqueTempFolder(const std::string& name)
{
    namespace fs = std::filesystem;
    std::random_device entropy;
    std::mt19937_64 random((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = fs::temp_directory_path() / (name + "-" + std::to_string(random() % 1000000000));
        if (fs::create_directories(folder))
            return folder;
    }
    throw std::runtime_error("no temporary folder could be made for " + name);
}

} // namespace corvane::test
