#include "platform/linux/LibAsound.h"

#include "platform/SharedLibrary.h"

namespace {

// ALSA writes its own complaints to stderr; the program logs them instead.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...)
{}

bool Resolve(SharedLibrary& library, LibAsound& f)
{
    const bool complete =
        library.Resolve("snd_lib_error_set_handler", f.lib_error_set_handler) &&
        library.Resolve("snd_strerror", f.strerror) &&
        library.Resolve("snd_pcm_open", f.pcm_open) &&
        library.Resolve("snd_pcm_close", f.pcm_close) &&
        library.Resolve("snd_pcm_set_params", f.pcm_set_params) &&
        library.Resolve("snd_pcm_get_params", f.pcm_get_params) &&
        library.Resolve("snd_pcm_sw_params_sizeof", f.pcm_sw_params_sizeof) &&
        library.Resolve("snd_pcm_sw_params_current", f.pcm_sw_params_current) &&
        library.Resolve("snd_pcm_sw_params_set_start_threshold",
                        f.pcm_sw_params_set_start_threshold) &&
        library.Resolve("snd_pcm_sw_params_set_avail_min", f.pcm_sw_params_set_avail_min) &&
        library.Resolve("snd_pcm_sw_params", f.pcm_sw_params) &&
        library.Resolve("snd_pcm_poll_descriptors_count", f.pcm_poll_descriptors_count) &&
        library.Resolve("snd_pcm_poll_descriptors", f.pcm_poll_descriptors) &&
        library.Resolve("snd_pcm_poll_descriptors_revents", f.pcm_poll_descriptors_revents) &&
        library.Resolve("snd_pcm_writei", f.pcm_writei) &&
        library.Resolve("snd_pcm_recover", f.pcm_recover) &&
        library.Resolve("snd_pcm_state", f.pcm_state) &&
        library.Resolve("snd_pcm_start", f.pcm_start) &&
        library.Resolve("snd_pcm_delay", f.pcm_delay) &&
        library.Resolve("snd_pcm_avail", f.pcm_avail) &&
        library.Resolve("snd_pcm_drop", f.pcm_drop) &&
        library.Resolve("snd_pcm_prepare", f.pcm_prepare);
    if (complete)
        f.lib_error_set_handler(&QuietAlsaErrors);
    return complete;
}

const LoadedFunctions<LibAsound>& Library()
{
    static SharedLibrary library("libasound.so.2");
    static const LoadedFunctions<LibAsound> loaded = LoadFunctions<LibAsound>(library, Resolve);
    return loaded;
}

} // namespace

const LibAsound* LibAsound::Get()
{
    return Library().Get();
}

QString LibAsound::LoadError()
{
    return Library().Error;
}
