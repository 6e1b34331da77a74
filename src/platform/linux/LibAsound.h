#pragma once

#include <QString>
#include <alsa/asoundlib.h>

// ALSA's PCM functions, loaded when the first sound is played: event sounds are off unless the
// user turns them on, and the library would otherwise be mapped for the whole run.
struct LibAsound
{
    // Loaded once and kept; null when it cannot be, and then LoadError() says why.
    static const LibAsound* Get();
    static QString LoadError();

    decltype(&snd_lib_error_set_handler) lib_error_set_handler;
    decltype(&snd_strerror) strerror;
    decltype(&snd_pcm_open) pcm_open;
    decltype(&snd_pcm_close) pcm_close;
    decltype(&snd_pcm_set_params) pcm_set_params;
    decltype(&snd_pcm_get_params) pcm_get_params;
    decltype(&snd_pcm_sw_params_sizeof) pcm_sw_params_sizeof;
    decltype(&snd_pcm_sw_params_current) pcm_sw_params_current;
    decltype(&snd_pcm_sw_params_set_start_threshold) pcm_sw_params_set_start_threshold;
    decltype(&snd_pcm_sw_params_set_avail_min) pcm_sw_params_set_avail_min;
    decltype(&snd_pcm_sw_params) pcm_sw_params;
    decltype(&snd_pcm_poll_descriptors_count) pcm_poll_descriptors_count;
    decltype(&snd_pcm_poll_descriptors) pcm_poll_descriptors;
    decltype(&snd_pcm_poll_descriptors_revents) pcm_poll_descriptors_revents;
    decltype(&snd_pcm_writei) pcm_writei;
    decltype(&snd_pcm_recover) pcm_recover;
    decltype(&snd_pcm_state) pcm_state;
    decltype(&snd_pcm_start) pcm_start;
    decltype(&snd_pcm_delay) pcm_delay;
    decltype(&snd_pcm_avail) pcm_avail;
    decltype(&snd_pcm_drop) pcm_drop;
    decltype(&snd_pcm_prepare) pcm_prepare;
};
