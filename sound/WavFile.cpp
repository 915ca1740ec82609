#include "WavFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace corvane::wav {

namespace {

void putTag(std::vector<std::uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

void put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
}

// Reads a file image; bytes past its end read as zero.
class Image {
public:
    explicit Image(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t size() const { return bytes_.size(); }
    std::uint8_t at(std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
    std::uint32_t u32(std::size_t i) const
    {
        return at(i) | at(i + 1) << 8 | at(i + 2) << 16 | static_cast<std::uint32_t>(at(i + 3)) << 24;
    }
    bool tagAt(std::size_t i, const char* tag) const
    {
        const std::size_t n = std::strlen(tag);
        for (std::size_t k = 0; k < n; ++k)
            if (at(i + k) != static_cast<std::uint8_t>(tag[k]))
                return false;
        return true;
    }
    std::span<const std::uint8_t> slice(std::size_t from, std::size_t n) const { return bytes_.subspan(from, n); }

private:
    std::span<const std::uint8_t> bytes_;
};

ImportResult refuse(ImportError e) { return ImportResult{e, {}}; }

// Files larger than this are not read further: an accepted file is at most
// a 65,835-byte RIFF chunk, so its data lies well within.
constexpr std::size_t ReadLimit = 1 << 20;

} // namespace

std::vector<std::uint8_t> exportImage(std::span<const std::uint8_t> samples, std::uint8_t checksum)
{
    const auto n = static_cast<std::uint32_t>(samples.size());
    std::vector<std::uint8_t> out;
    out.reserve(HeaderSize + samples.size() + 1);
    putTag(out, "RIFF");
    put32(out, n + 36);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, SampleRate);
    put32(out, SampleRate); // byte rate: one byte a frame
    put16(out, 1);          // block align
    put16(out, 8);          // bits per sample
    putTag(out, "data");
    put32(out, n);
    // The Mirage's 8-bit unsigned values are WAV's 8-bit unsigned samples.
    out.insert(out.end(), samples.begin(), samples.end());
    out.push_back(checksum);
    return out;
}

ExportResult writeExport(const std::string& path, std::span<const std::uint8_t> samples, std::uint8_t checksum)
{
    const std::vector<std::uint8_t> image = exportImage(samples, checksum);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (file)
        file.close();
    if (!file)
        return {false, "Error - File write fail - cannot create " + path + "."};
    return {true, {}};
}

const char* importMessage(ImportError error)
{
    switch (error) {
    case ImportError::None: return "";
    case ImportError::CannotOpen: return "Error - File open fail - cannot read file.";
    case ImportError::NotRiff: return "Error - RIFF detect fail.";
    case ImportError::TooBig: return "Error - File too big.";
    case ImportError::NotWaveFmt: return "Error - WAVEfmt detect fail - wrong file type.";
    case ImportError::NotPcm: return "Error - PCM detect fail - wrong file type.";
    case ImportError::NotMono: return "Error - mono detect fail - wrong file type.";
    case ImportError::NotEightBit: return "Error - 8 bit detect fail - wrong file type.";
    case ImportError::DataTooBig: return "Error - Wave data greater than 65536 - too big.";
    case ImportError::NoData: return "Error - Wave data detect fail - no sample data.";
    case ImportError::Truncated: return "Error - File too short - wave data missing.";
    }
    return "";
}

const char* ImportResult::text() const { return importMessage(error); }

ImportResult parseImport(std::span<const std::uint8_t> bytes)
{
    const Image image(bytes);
    if (!image.tagAt(0, "RIFF"))
        return refuse(ImportError::NotRiff);
    if (image.u32(4) > MaxRiffSize)
        return refuse(ImportError::TooBig);
    if (!image.tagAt(8, "WAVE"))
        return refuse(ImportError::NotWaveFmt);

    // Chunk by chunk from offset 12: an 8-byte header (tag, size), the body,
    // and a pad byte after a body of odd size.
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= image.size()) {
        const std::size_t body = at + 8;
        const std::uint32_t length = image.u32(at + 4);
        if (image.tagAt(at, "fmt ") && !haveFormat) {
            // Tag, channels and bits lie in the first 16 bytes; a field the
            // chunk is too short to hold reads as zero and fails its test.
            if (body + std::min<std::size_t>(length, 16) > image.size())
                return refuse(ImportError::Truncated);
            const auto field = [&](std::size_t offset) { return offset < length ? image.at(body + offset) : 0; };
            if (field(0) != 1)
                return refuse(ImportError::NotPcm);
            if (field(2) != 1)
                return refuse(ImportError::NotMono);
            if (field(14) != 8)
                return refuse(ImportError::NotEightBit);
            haveFormat = true;
        } else if (image.tagAt(at, "data")) {
            if (!haveFormat)
                return refuse(ImportError::NotWaveFmt);
            if (length > MaxDataSize)
                return refuse(ImportError::DataTooBig);
            if (length == 0)
                return refuse(ImportError::NoData);
            if (body + length > image.size())
                return refuse(ImportError::Truncated);
            const auto data = image.slice(body, length);
            return ImportResult{ImportError::None, {data.begin(), data.end()}};
        }
        at = body + length + (length & 1);
    }
    if (!haveFormat)
        return refuse(ImportError::NotWaveFmt);
    return refuse(at > image.size() ? ImportError::Truncated : ImportError::NoData);
}

ImportResult readImport(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return refuse(ImportError::CannotOpen);
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return refuse(ImportError::CannotOpen);
    std::vector<std::uint8_t> bytes(ReadLimit);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad())
        return refuse(ImportError::CannotOpen);
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return parseImport(bytes);
}

} // namespace corvane::wav
