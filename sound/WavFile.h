// WAV files of the wavesample transfer: the export of a received wavesample
// and the import of a file to be sent, with typed results that the windows
// turn into their message boxes. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace corvane::wav {

constexpr std::size_t HeaderSize = 44;
constexpr std::uint32_t SampleRate = 29411;      // the Mirage's playback rate
constexpr std::uint32_t MaxRiffSize = 65835;     // largest RIFF chunk size accepted
constexpr std::uint32_t MaxDataSize = 65535;     // largest data chunk accepted

// ---- export ---------------------------------------------------------------

// The file image of a received wavesample: the 44-byte header of an 8-bit
// mono PCM file at 29,411 Hz, the samples unchanged, then the dump's
// checksum byte, which lies outside the data chunk and is counted by no size
// field. 45 + samples.size() bytes.
std::vector<std::uint8_t> exportImage(std::span<const std::uint8_t> samples, std::uint8_t checksum);

struct ExportResult {
    bool ok = false;
    std::string text; // the report when not ok
    static constexpr const char* Caption = "WAV Export";
};

// Writes exportImage() to `path`, creating or replacing the file.
ExportResult writeExport(const std::string& path, std::span<const std::uint8_t> samples, std::uint8_t checksum);

// ---- import -----------------------------------------------------------------

// Why a file was refused; the order is the order of the tests.
enum class ImportError {
    None,
    CannotOpen,
    NotRiff,
    TooBig,
    NotWaveFmt,
    NotPcm,
    NotMono,
    NotEightBit,
    DataTooBig,
    NoData,
    Truncated,
};

struct ImportResult {
    ImportError error = ImportError::None;
    std::vector<std::uint8_t> samples; // the data chunk, as in the file (when accepted)

    bool ok() const { return error == ImportError::None; }
    // The message box text of a refusal ("" when accepted).
    const char* text() const;
    static constexpr const char* Caption = "WAV Import";
};

const char* importMessage(ImportError error);

// Checks a file image and takes its sample data. The header is read chunk
// by chunk: chunks other than "fmt " and "data" are skipped wherever they
// stand, and a format chunk may be longer than 16 bytes.
ImportResult parseImport(std::span<const std::uint8_t> image);

// Reads the file and checks it as parseImport() does.
ImportResult readImport(const std::string& path);

} // namespace corvane::wav
