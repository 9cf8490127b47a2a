#include "decoded_audio.h"

#include <cctype>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace testsupport {

std::vector<double> DecodedAudio::Channel(int channel) const {
  std::vector<double> out;
  out.reserve(static_cast<std::size_t>(frames()));
  for (std::int64_t i = 0; i < frames(); ++i) out.push_back(samples[i * channels + channel]);
  return out;
}

double DecodedAudio::DominantFrequency(int channel) const {
  const auto n = static_cast<std::size_t>(frames());
  return media_fixtures::Frequency(Channel(channel), sampleRate, n / 10, n - n / 10);
}

double DecodedAudio::Rms(int channel) const {
  const auto n = static_cast<std::size_t>(frames());
  return media_fixtures::Rms(Channel(channel), n / 10, n - n / 10);
}

DecodedAudio DecodeAudioFile(const std::string& path) {
  DecodedAudio out;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
    out.error = "cannot open";
    return out;
  }
  AVCodecContext* codec = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwrContext* swr = nullptr;
  const auto finish = [&] {
    swr_free(&swr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  };
  if (avformat_find_stream_info(format, nullptr) < 0) {
    out.error = "no stream info";
    finish();
    return out;
  }
  for (const AVDictionaryEntry* e = nullptr; (e = av_dict_get(format->metadata, "", e, AV_DICT_IGNORE_SUFFIX));) {
    std::string key = e->key;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out.tags[key] = e->value;
  }
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) {
    out.error = "no audio";
    finish();
    return out;
  }
  AVStream* stream = format->streams[index];
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  codec = avcodec_alloc_context3(decoder);
  avcodec_parameters_to_context(codec, stream->codecpar);
  if (avcodec_open2(codec, decoder, nullptr) < 0) {
    out.error = "no decoder";
    finish();
    return out;
  }
  out.codec = decoder->name;
  out.sampleRate = codec->sample_rate;
  out.channels = codec->ch_layout.nb_channels;
  out.bitRate = format->bit_rate;
  swr_alloc_set_opts2(&swr, &codec->ch_layout, AV_SAMPLE_FMT_FLT, codec->sample_rate, &codec->ch_layout,
                      codec->sample_fmt, codec->sample_rate, 0, nullptr);
  swr_init(swr);
  const auto drain = [&] {
    while (avcodec_receive_frame(codec, frame) == 0) {
      std::vector<float> chunk(static_cast<std::size_t>(frame->nb_samples) * out.channels);
      auto* dst = reinterpret_cast<uint8_t*>(chunk.data());
      const int got = swr_convert(swr, &dst, frame->nb_samples, const_cast<const uint8_t**>(frame->extended_data),
                                  frame->nb_samples);
      if (got > 0) out.samples.insert(out.samples.end(), chunk.begin(), chunk.begin() + got * out.channels);
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(codec, packet) == 0) drain();
    av_packet_unref(packet);
  }
  avcodec_send_packet(codec, nullptr);
  drain();
  out.ok = true;
  finish();
  return out;
}

namespace {

std::string Field(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t length) {
  std::string s(reinterpret_cast<const char*>(&b[at]), length);
  const auto zero = s.find('\0');
  if (zero != std::string::npos) s.resize(zero);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::size_t FirstFrameOffset(const std::vector<std::uint8_t>& b) {
  if (b.size() >= 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3') {
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i) size = (size << 7) | (b[i] & 0x7F);
    return 10 + size + ((b[5] & 0x10) ? 10 : 0);
  }
  return 0;
}

struct Header {
  int bitrateKbps = 0, sampleRate = 0, length = 0, sideInfo = 0;
};

bool ParseHeader(const std::uint8_t* p, Header& h) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version = (p[1] >> 3) & 3;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
  const int layer = (p[1] >> 1) & 3;    // 1 = layer III
  const int bitrateIndex = (p[2] >> 4) & 15, rateIndex = (p[2] >> 2) & 3, padding = (p[2] >> 1) & 1;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  static const int v1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int v2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int rates[] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  h.bitrateKbps = mpeg1 ? v1[bitrateIndex] : v2[bitrateIndex];
  h.sampleRate = rates[rateIndex] >> (mpeg1 ? 0 : (version == 2 ? 1 : 2));
  h.length = (mpeg1 ? 144 : 72) * h.bitrateKbps * 1000 / h.sampleRate + padding;
  const bool mono = ((p[3] >> 6) & 3) == 3;
  h.sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  return true;
}

}  // namespace

Id3v1Fields ReadId3v1(const std::vector<std::uint8_t>& b) {
  Id3v1Fields f;
  if (b.size() < 128) return f;
  const std::size_t at = b.size() - 128;
  if (b[at] != 'T' || b[at + 1] != 'A' || b[at + 2] != 'G') return f;
  f.present = true;
  f.title = Field(b, at + 3, 30);
  f.artist = Field(b, at + 33, 30);
  f.album = Field(b, at + 63, 30);
  f.year = Field(b, at + 93, 4);
  const bool v11 = b[at + 125] == 0 && b[at + 126] != 0;
  f.comment = Field(b, at + 97, v11 ? 28 : 30);
  f.track = v11 ? b[at + 126] : 0;
  f.genre = b[at + 127];
  return f;
}

XingTag ReadXingTag(const std::vector<std::uint8_t>& b) {
  XingTag tag;
  const std::size_t at = FirstFrameOffset(b);
  Header h;
  if (at + 4 > b.size() || !ParseHeader(&b[at], h)) return tag;
  const std::size_t x = at + 4 + h.sideInfo;
  if (x + 12 > b.size()) return tag;
  const std::string name(reinterpret_cast<const char*>(&b[x]), 4);
  if (name != "Xing" && name != "Info") return tag;
  tag.present = true;
  tag.name = name;
  const std::uint32_t flags = (b[x + 4] << 24) | (b[x + 5] << 16) | (b[x + 6] << 8) | b[x + 7];
  if (flags & 1) tag.frames = (std::int64_t{b[x + 8]} << 24) | (b[x + 9] << 16) | (b[x + 10] << 8) | b[x + 11];
  return tag;
}

FrameWalk WalkFrames(const std::vector<std::uint8_t>& b) {
  FrameWalk walk;
  std::size_t end = b.size();
  if (end >= 128 && b[end - 128] == 'T' && b[end - 127] == 'A' && b[end - 126] == 'G') end -= 128;
  std::size_t at = FirstFrameOffset(b);
  Header h;
  while (at + 4 <= end && ParseHeader(&b[at], h)) {
    if (walk.frames == 0) walk.firstBitrateKbps = h.bitrateKbps;
    walk.bitrates.push_back(h.bitrateKbps);
    ++walk.frames;
    at += h.length;
  }
  walk.clean = at == end;
  return walk;
}

}  // namespace testsupport
