#include "AtomicFile.h"

#include <cerrno>
#include <fstream>
#include <random>

namespace corvane {

std::string WriteFailure::reason() const
{
    if (code == std::errc::is_a_directory)
        return "Filename refers to a directory";
    return code.message();
}

std::filesystem::path temporaryBeside(const std::filesystem::path& target)
{
    std::random_device random;
    return target.parent_path() /
           ("." + target.filename().string() + "." + std::to_string(random() % 1000000) + ".part");
}

std::optional<WriteFailure> writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path temp = temporaryBeside(target);
    auto failed = [](WriteFailure::Step step, std::error_code code) {
        return std::optional<WriteFailure>(WriteFailure{step, code});
    };
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return failed(WriteFailure::Step::Create, std::error_code(errno, std::generic_category()));
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            const std::error_code code(errno ? errno : EIO, std::generic_category());
            std::error_code ignored;
            fs::remove(temp, ignored);
            return failed(WriteFailure::Step::Write, code);
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return failed(WriteFailure::Step::Replace, ec);
    }
    return std::nullopt;
}

} // namespace corvane
