#include "platform/linux/LibAsound.h"

#include "platform/SharedLibrary.h"

#include <optional>

namespace {

// ALSA writes its own complaints to stderr; the program logs them instead.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...)
{}

struct Loaded
{
    std::optional<LibAsound> functions;
    QString error;
};

Loaded Load()
{
    static SharedLibrary library("libasound.so.2");
    LibAsound f{};
    const bool complete =
        library.Resolve("snd_lib_error_set_handler", f.lib_error_set_handler) &
        library.Resolve("snd_strerror", f.strerror) &
        library.Resolve("snd_pcm_open", f.pcm_open) &
        library.Resolve("snd_pcm_close", f.pcm_close) &
        library.Resolve("snd_pcm_set_params", f.pcm_set_params) &
        library.Resolve("snd_pcm_get_params", f.pcm_get_params) &
        library.Resolve("snd_pcm_sw_params_sizeof", f.pcm_sw_params_sizeof) &
        library.Resolve("snd_pcm_sw_params_current", f.pcm_sw_params_current) &
        library.Resolve("snd_pcm_sw_params_set_start_threshold",
                        f.pcm_sw_params_set_start_threshold) &
        library.Resolve("snd_pcm_sw_params_set_avail_min", f.pcm_sw_params_set_avail_min) &
        library.Resolve("snd_pcm_sw_params", f.pcm_sw_params) &
        library.Resolve("snd_pcm_poll_descriptors_count", f.pcm_poll_descriptors_count) &
        library.Resolve("snd_pcm_poll_descriptors", f.pcm_poll_descriptors) &
        library.Resolve("snd_pcm_poll_descriptors_revents", f.pcm_poll_descriptors_revents) &
        library.Resolve("snd_pcm_writei", f.pcm_writei) &
        library.Resolve("snd_pcm_recover", f.pcm_recover) &
        library.Resolve("snd_pcm_state", f.pcm_state) &
        library.Resolve("snd_pcm_start", f.pcm_start) &
        library.Resolve("snd_pcm_delay", f.pcm_delay) &
        library.Resolve("snd_pcm_avail", f.pcm_avail) &
        library.Resolve("snd_pcm_drop", f.pcm_drop) &
        library.Resolve("snd_pcm_prepare", f.pcm_prepare);
    Loaded loaded;
    if (complete) {
        f.lib_error_set_handler(&QuietAlsaErrors);
        loaded.functions = f;
    }
    loaded.error = library.Error();
    return loaded;
}

const Loaded& Library()
{
    static const Loaded loaded = Load();
    return loaded;
}

} // namespace

const LibAsound* LibAsound::Get()
{
    const Loaded& loaded = Library();
    return loaded.functions ? &*loaded.functions : nullptr;
}

QString LibAsound::LoadError()
{
    return Library().error;
}
