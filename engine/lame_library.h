// The LAME encoder library, loaded at run time by name and bound by name into one
// process-wide table of entry points.
//
// The library is counted: every MP3 output loads it when it is made and unloads it when it
// goes, and the library stays bound until the last user has gone, so outputs come and go while
// others encode. Load and Unload may be called from any thread. The bound entry points are
// called by whichever thread runs an MP3 output's stages; one encoder context is used by one run
// at a time, and several contexts may encode at once.
#pragma once

#include <cstddef>
#include <string>

namespace engine::lame {

// Every name bound from the library, in binding order (114).
#define TAVISTO_LAME_ENTRY_POINTS(X) \
  X(lame_init) X(lame_set_num_samples) X(lame_get_num_samples) \
  X(lame_set_in_samplerate) X(lame_get_in_samplerate) X(lame_set_num_channels) \
  X(lame_get_num_channels) X(lame_set_scale) X(lame_get_scale) \
  X(lame_set_scale_left) X(lame_get_scale_left) X(lame_set_scale_right) \
  X(lame_get_scale_right) X(lame_set_out_samplerate) X(lame_get_out_samplerate) \
  X(lame_set_analysis) X(lame_get_analysis) X(lame_set_bWriteVbrTag) \
  X(lame_get_bWriteVbrTag) X(lame_set_decode_only) X(lame_get_decode_only) \
  X(lame_set_ogg) X(lame_get_ogg) X(lame_set_quality) \
  X(lame_get_quality) X(lame_set_mode) X(lame_get_mode) \
  X(lame_set_mode_automs) X(lame_get_mode_automs) X(lame_set_force_ms) \
  X(lame_get_force_ms) X(lame_set_free_format) X(lame_get_free_format) \
  X(lame_set_brate) X(lame_get_brate) X(lame_set_compression_ratio) \
  X(lame_get_compression_ratio) X(lame_set_preset) X(lame_set_asm_optimizations) \
  X(lame_set_copyright) X(lame_get_copyright) X(lame_set_original) \
  X(lame_get_original) X(lame_set_error_protection) X(lame_get_error_protection) \
  X(lame_set_padding_type) X(lame_get_padding_type) X(lame_set_extension) \
  X(lame_get_extension) X(lame_set_strict_ISO) X(lame_get_strict_ISO) \
  X(lame_set_VBR) X(lame_get_VBR) X(lame_set_VBR_q) \
  X(lame_get_VBR_q) X(lame_set_VBR_mean_bitrate_kbps) X(lame_get_VBR_mean_bitrate_kbps) \
  X(lame_set_VBR_min_bitrate_kbps) X(lame_get_VBR_min_bitrate_kbps) X(lame_set_VBR_max_bitrate_kbps) \
  X(lame_get_VBR_max_bitrate_kbps) X(lame_set_VBR_hard_min) X(lame_get_VBR_hard_min) \
  X(lame_set_lowpassfreq) X(lame_get_lowpassfreq) X(lame_set_lowpasswidth) \
  X(lame_get_lowpasswidth) X(lame_set_highpassfreq) X(lame_get_highpassfreq) \
  X(lame_set_highpasswidth) X(lame_get_highpasswidth) X(lame_get_version) \
  X(lame_get_encoder_delay) X(lame_get_encoder_padding) X(lame_get_framesize) \
  X(lame_get_mf_samples_to_encode) X(lame_get_size_mp3buffer) X(lame_get_frameNum) \
  X(lame_get_totalframes) X(lame_init_params) X(get_lame_version) \
  X(get_lame_short_version) X(get_lame_very_short_version) X(get_psy_version) \
  X(get_lame_url) X(get_lame_version_numerical) X(lame_encode_buffer) \
  X(lame_encode_buffer_interleaved) X(lame_encode_buffer_float) X(lame_encode_flush) \
  X(lame_encode_flush_nogap) X(lame_init_bitstream) X(lame_close) \
  X(lame_decode_init) X(lame_decode) X(lame_decode_headers) \
  X(lame_decode1) X(lame_decode1_headers) X(id3tag_genre_list) \
  X(id3tag_init) X(id3tag_add_v2) X(id3tag_v1_only) \
  X(id3tag_v2_only) X(id3tag_space_v1) X(id3tag_pad_v2) \
  X(id3tag_set_title) X(id3tag_set_artist) X(id3tag_set_album) \
  X(id3tag_set_year) X(id3tag_set_comment) X(id3tag_set_track) \
  X(id3tag_set_genre) X(beWriteVbrHeader) X(beWriteInfoTag)

enum Entry : int {
#define TAVISTO_LAME_ENUM(name) e_##name,
  TAVISTO_LAME_ENTRY_POINTS(TAVISTO_LAME_ENUM)
#undef TAVISTO_LAME_ENUM
  EntryCount
};
static_assert(EntryCount == 114);

// The name of the library; "libmp3lame.so.0" unless TAVISTO_LAME_LIBRARY names another.
std::string LibraryName();

// Adds a user of the library. The first user loads it and binds every entry point; later ones
// bind nothing again. A library that cannot be loaded, or lacks an entry point the MP3 output
// calls, is refused (released again, no user added) and LoadError says why.
void Load();
// Removes a user that Load added; the last one releases the library.
void Unload();
bool Loaded();
// How many users hold the library.
int Users();
// Why the last Load failed: "libmp3lame.so.0 library could not be loaded." or the missing entry.
std::string LoadError();
// The address bound for `entry`, or null.
void* Slot(Entry entry);

// The encoder context; opaque to the program.
using lame_t = struct lame_global_struct*;

// Typed calls of the bound entry points that the MP3 output uses. They must only be called
// while Loaded() is true.
lame_t lame_init();
int lame_set_in_samplerate(lame_t gf, int value);
int lame_set_num_channels(lame_t gf, int value);
int lame_set_out_samplerate(lame_t gf, int value);
int lame_set_mode(lame_t gf, int mode);
int lame_set_copyright(lame_t gf, int value);
int lame_set_original(lame_t gf, int value);
int lame_set_error_protection(lame_t gf, int value);
int lame_set_brate(lame_t gf, int kbps);
int lame_set_quality(lame_t gf, int quality);
int lame_set_VBR(lame_t gf, int method);
int lame_set_bWriteVbrTag(lame_t gf, int value);
int lame_get_bWriteVbrTag(lame_t gf);
int lame_set_VBR_q(lame_t gf, int quality);
int lame_set_VBR_min_bitrate_kbps(lame_t gf, int kbps);
int lame_set_VBR_max_bitrate_kbps(lame_t gf, int kbps);
int lame_init_params(lame_t gf);
int lame_encode_buffer_interleaved(lame_t gf, short* pcm, int samplesPerChannel, unsigned char* mp3, int mp3Size);
int lame_encode_buffer(lame_t gf, const short* left, const short* right, int samples, unsigned char* mp3, int mp3Size);
// The float entry points, bound beside the list above: samples at full scale ±1.0.
int lame_encode_buffer_ieee_float(lame_t gf, const float* left, const float* right, int samples, unsigned char* mp3,
                                  int mp3Size);
int lame_encode_buffer_interleaved_ieee_float(lame_t gf, const float* pcm, int samplesPerChannel, unsigned char* mp3,
                                              int mp3Size);
void id3tag_init(lame_t gf);
void id3tag_set_title(lame_t gf, const char* text);
void id3tag_set_artist(lame_t gf, const char* text);
void id3tag_set_album(lame_t gf, const char* text);
void id3tag_set_year(lame_t gf, const char* text);
void id3tag_set_comment(lame_t gf, const char* text);
int id3tag_set_track(lame_t gf, const char* text);
int id3tag_set_genre(lame_t gf, const char* text);
int lame_encode_flush(lame_t gf, unsigned char* mp3, int mp3Size);
int lame_close(lame_t gf);
// Writes the variable-bit-rate/Info header into the closed file `fileName` and releases the
// context. 0 on success; -1 when the header could not be written (the context is released in
// every case).
int beWriteInfoTag(lame_t gf, const char* fileName);

// The stand-in for beWriteInfoTag that the binding installs when the library has none: asks the
// encoder for its tag frame, reopens the file by name, finds the first MPEG audio frame (after
// an ID3v2 tag, if any), overwrites that placeholder with the tag frame and releases the context.
int WriteInfoTagIntoFile(lame_t gf, const char* fileName);

// The calls the stream encoder (mp3_stream_encoder.h) makes beyond the MP3 output's. Those of the
// list above are bound with it; lame_set_VBR_quality, lame_set_write_id3tag_automatic,
// lame_set_disable_reservoir and lame_get_lametag_frame are bound beside it, and a library may
// lack them: MissingStreamEntryPoint names the first one missing ("" when none is).
std::string MissingStreamEntryPoint();
int lame_set_VBR_quality(lame_t gf, float quality);
void lame_set_write_id3tag_automatic(lame_t gf, int value);
int lame_set_disable_reservoir(lame_t gf, int value);
int lame_encode_flush_nogap(lame_t gf, unsigned char* mp3, int mp3Size);
int lame_get_encoder_delay(lame_t gf);
int lame_get_encoder_padding(lame_t gf);
int lame_get_frameNum(lame_t gf);
// The finished tag frame: the bytes copied, the size needed when `size` is too small, 0 when the
// context writes no tag.
std::size_t lame_get_lametag_frame(lame_t gf, unsigned char* buffer, std::size_t size);

}  // namespace engine::lame
