// libsndfile and libsamplerate, loaded when an audio file is first read or
// written rather than when the program starts: the start needs neither,
// and libsndfile brings the codec libraries of FLAC, Ogg, Vorbis, Opus and
// MP3 with it. The functions below are the ones this program calls, with
// the libraries' own signatures (from their headers); each hands over to the
// library's function once it is loaded. When a library cannot be loaded,
// each fails as the library does for a file it cannot open: no file is
// opened, no converter made, and the error text says why.
#include <samplerate.h>
#include <sndfile.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// The file names the libraries go by where they are installed.
#if defined(_WIN32)
constexpr const char* SndfileNames[] = {"sndfile.dll", "libsndfile-1.dll"};
constexpr const char* SamplerateNames[] = {"samplerate.dll", "libsamplerate-0.dll"};
#elif defined(__APPLE__)
constexpr const char* SndfileNames[] = {"libsndfile.1.dylib", "libsndfile.dylib"};
constexpr const char* SamplerateNames[] = {"libsamplerate.0.dylib", "libsamplerate.dylib"};
#else
constexpr const char* SndfileNames[] = {"libsndfile.so.1", "libsndfile.so"};
constexpr const char* SamplerateNames[] = {"libsamplerate.so.0", "libsamplerate.so"};
#endif

class Library {
public:
    template <std::size_t N>
    explicit Library(const char* const (&names)[N])
    {
        for (const char* name : names) {
#ifdef _WIN32
            handle_ = reinterpret_cast<void*>(LoadLibraryA(name));
#else
            handle_ = dlopen(name, RTLD_NOW | RTLD_LOCAL);
#endif
            if (handle_)
                return;
        }
        failure_ = std::string("The audio library ") + names[0] + " could not be loaded.";
    }
    // Never unloaded: files and converters of it may be open until the end.
    bool loaded() const { return handle_ != nullptr; }
    const std::string& failure() const { return failure_; }

    template <typename F>
    F get(const char* name) const
    {
        if (!handle_)
            return nullptr;
#ifdef _WIN32
        return reinterpret_cast<F>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
        return reinterpret_cast<F>(dlsym(handle_, name));
#endif
    }

private:
    void* handle_ = nullptr;
    std::string failure_;
};

struct Sndfile {
    Library lib{SndfileNames};
    decltype(&sf_open) open = lib.get<decltype(&sf_open)>("sf_open");
    decltype(&sf_close) close = lib.get<decltype(&sf_close)>("sf_close");
    decltype(&sf_error) error = lib.get<decltype(&sf_error)>("sf_error");
    decltype(&sf_strerror) strerror = lib.get<decltype(&sf_strerror)>("sf_strerror");
    decltype(&sf_command) command = lib.get<decltype(&sf_command)>("sf_command");
    decltype(&sf_format_check) formatCheck = lib.get<decltype(&sf_format_check)>("sf_format_check");
    decltype(&sf_seek) seek = lib.get<decltype(&sf_seek)>("sf_seek");
    decltype(&sf_readf_short) readShort = lib.get<decltype(&sf_readf_short)>("sf_readf_short");
    decltype(&sf_readf_float) readFloat = lib.get<decltype(&sf_readf_float)>("sf_readf_float");
    decltype(&sf_writef_int) writeInt = lib.get<decltype(&sf_writef_int)>("sf_writef_int");

    bool complete() const
    {
        return open && close && error && strerror && command && formatCheck && seek && readShort && readFloat && writeInt;
    }
};

struct Samplerate {
    Library lib{SamplerateNames};
    decltype(&src_new) make = lib.get<decltype(&src_new)>("src_new");
    decltype(&src_delete) remove = lib.get<decltype(&src_delete)>("src_delete");
    decltype(&src_process) process = lib.get<decltype(&src_process)>("src_process");

    bool complete() const { return make && remove && process; }
};

// Loaded once, on whichever thread asks first (the library scan has its own).
const Sndfile& sndfileLoaded()
{
    static const Sndfile s;
    return s;
}

const Sndfile* sndfile()
{
    const Sndfile& s = sndfileLoaded();
    return s.complete() ? &s : nullptr;
}

const char* sndfileFailure()
{
    const Sndfile& s = sndfileLoaded();
    return s.lib.loaded() ? "The audio library libsndfile lacks a function this program needs."
                          : s.lib.failure().c_str();
}

const Samplerate* samplerate()
{
    static const Samplerate s;
    return s.complete() ? &s : nullptr;
}

} // namespace

extern "C" {

SNDFILE* sf_open(const char* path, int mode, SF_INFO* sfinfo)
{
    const Sndfile* s = sndfile();
    return s ? s->open(path, mode, sfinfo) : nullptr;
}

int sf_close(SNDFILE* file)
{
    const Sndfile* s = sndfile();
    return s ? s->close(file) : SF_ERR_SYSTEM;
}

int sf_error(SNDFILE* file)
{
    const Sndfile* s = sndfile();
    return s ? s->error(file) : SF_ERR_SYSTEM;
}

const char* sf_strerror(SNDFILE* file)
{
    const Sndfile* s = sndfile();
    return s ? s->strerror(file) : sndfileFailure();
}

int sf_command(SNDFILE* file, int command, void* data, int datasize)
{
    const Sndfile* s = sndfile();
    return s ? s->command(file, command, data, datasize) : SF_ERR_SYSTEM;
}

int sf_format_check(const SF_INFO* info)
{
    const Sndfile* s = sndfile();
    return s ? s->formatCheck(info) : 0;
}

sf_count_t sf_seek(SNDFILE* file, sf_count_t frames, int whence)
{
    const Sndfile* s = sndfile();
    return s ? s->seek(file, frames, whence) : -1;
}

sf_count_t sf_readf_short(SNDFILE* file, short* ptr, sf_count_t frames)
{
    const Sndfile* s = sndfile();
    return s ? s->readShort(file, ptr, frames) : 0;
}

sf_count_t sf_readf_float(SNDFILE* file, float* ptr, sf_count_t frames)
{
    const Sndfile* s = sndfile();
    return s ? s->readFloat(file, ptr, frames) : 0;
}

sf_count_t sf_writef_int(SNDFILE* file, const int* ptr, sf_count_t frames)
{
    const Sndfile* s = sndfile();
    return s ? s->writeInt(file, ptr, frames) : 0;
}

SRC_STATE* src_new(int converter_type, int channels, int* error)
{
    const Samplerate* s = samplerate();
    if (s)
        return s->make(converter_type, channels, error);
    if (error)
        *error = 1; // "Malloc failed" is the nearest of its own errors
    return nullptr;
}

SRC_STATE* src_delete(SRC_STATE* state)
{
    const Samplerate* s = samplerate();
    return s ? s->remove(state) : nullptr;
}

int src_process(SRC_STATE* state, SRC_DATA* data)
{
    const Samplerate* s = samplerate();
    return s ? s->process(state, data) : 1;
}

} // extern "C"
