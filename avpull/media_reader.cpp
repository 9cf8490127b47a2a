#include "avpull/media_reader.h"

#include "avpull/pixel_conversion.h"
#include "platform/sample_widening.h"

#include <new>

namespace avpull {

namespace mm = platform::mmstream;

namespace {

// Larger blocks than this are a caller's mistake, not a wish for memory.
constexpr int32_t kMaxAudioBufferSize = 16 << 20;

// The format tags of the audio record: integer PCM and 32-bit float.
constexpr uint16_t kPcmTag = 1;
constexpr uint16_t kFloatTag = 3;

AVPULL_WAVEFORMATEX AudioRecord(const mm::PcmFormat& format) {
  AVPULL_WAVEFORMATEX record{};
  record.wFormatTag = format.floatSamples ? kFloatTag : kPcmTag;
  record.nChannels = static_cast<uint16_t>(format.channels);
  record.nSamplesPerSec = static_cast<uint32_t>(format.sampleRate);
  record.nAvgBytesPerSec = format.BytesPerSecond();
  record.nBlockAlign = static_cast<uint16_t>(format.BlockAlign());
  record.wBitsPerSample = static_cast<uint16_t>(format.bitsPerSample);
  record.cbSize = 0;
  return record;
}

}  // namespace

int32_t ResultCode(mm::Status status) {
  switch (status) {
    case mm::Status::Ok:
      return 0;
    case mm::Status::EndOfStream:
      return AVPULL_END_OF_STREAM;
    case mm::Status::Pending:
      return AVPULL_FRAME_NOT_READY;
    case mm::Status::NoStream:
      return AVPULL_E_NOSTREAM;
    case mm::Status::InvalidArgument:
      return AVPULL_E_INVALIDARG;
    case mm::Status::NotMedia:
      return AVPULL_E_INVALID_FILE;
    case mm::Status::OutOfMemory:
      return AVPULL_E_OUTOFMEMORY;
    // The reader never stops its stream nor seeks; were either to fail, the caller could only
    // take it as a failure to read.
    case mm::Status::NotRunning:
    case mm::Status::NoSeeking:
    case mm::Status::Error:
      return AVPULL_E_FAIL;
  }
  return AVPULL_E_FAIL;
}

MediaReader::~MediaReader() { Release(); }

bool MediaReader::HoldsAnything() const {
  return stream_ != nullptr || !audio_buffer_.empty() || !surface_.empty() || !picture_.empty() ||
         video_ready_ || audio_ready_;
}

int32_t MediaReader::Init(const char* file_name, AVPULL_STREAM_TIME* duration, int32_t* video_status,
                          int32_t* audio_status, AVPULL_VIDEOINFOHEADER* video_info,
                          AVPULL_WAVEFORMATEX* audio_format) {
  // A caller that skipped file_exit still gets a clean start, and nothing of the old file leaks.
  Release();
  if (file_name == nullptr || duration == nullptr || video_status == nullptr || audio_status == nullptr ||
      video_info == nullptr || audio_format == nullptr) {
    return AVPULL_E_POINTER;
  }
  const mm::Result opened = mm::MediaStream::Open(file_name, mm::kAudioStream | mm::kVideoStream, stream_);
  if (!opened.Ok()) return ResultCode(opened.status);
  *duration = stream_->Duration();

  int32_t result = 0;
  *video_status = stream_->HasVideo() ? SetUpVideo(*video_info, result) : AVPULL_VIDEO_NONE;
  video_ready_ = *video_status == AVPULL_VIDEO_READY;
  *audio_status = stream_->HasAudio() ? SetUpAudio(*audio_format, result) : AVPULL_AUDIO_NONE;
  audio_ready_ = *audio_status == AVPULL_AUDIO_READY;
  return result;
}

int32_t MediaReader::SetUpVideo(AVPULL_VIDEOINFOHEADER& info, int32_t& result) {
  const mm::FrameFormat& video = stream_->VideoFormat();
  const int width = video.width;
  const int height = video.height;
  if (width <= 0 || height <= 0) {
    result = AVPULL_E_INVALID_FILE;
    return AVPULL_VIDEO_NO_FORMAT;
  }
  info.rcSource = {0, 0, width, height};
  info.dwBitRate = 0;
  info.dwBitErrorRate = 0;
  info.AvgTimePerFrame = video.timePerFrame;
  info.bmiHeader = {};
  info.bmiHeader.biSize = sizeof(AVPULL_BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<uint16_t>(options_.surface_bits);

  result = ResultCode(stream_->SetVideoBitsPerPixel(options_.surface_bits));
  if (result != 0) return AVPULL_VIDEO_NO_SAMPLE;
  try {
    surface_.assign(video.FrameBytes(), 0);
  } catch (const std::bad_alloc&) {
    result = AVPULL_E_OUTOFMEMORY;
    return AVPULL_VIDEO_NO_SURFACE;
  }
  stream_->SetRunning(true);
  return AVPULL_VIDEO_READY;
}

int32_t MediaReader::SetUpAudio(AVPULL_WAVEFORMATEX& format, int32_t& result) {
  const mm::PcmFormat& source = stream_->AudioFormat();
  source_channels_ = source.channels;
  source_bits_ = source.bitsPerSample;
  format = AudioRecord(source);
  if (source_channels_ == 1 || source_bits_ == 8) {
    // Blocks are handed out widened to 16-bit stereo; the whole record describes them.
    format.nChannels = 2;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * 4;
  }
  result = 0;
  request_ = RequestFor(buffer_size_);
  try {
    audio_buffer_.assign(static_cast<std::size_t>(buffer_size_), 0);
  } catch (const std::bad_alloc&) {
    return AVPULL_AUDIO_NO_MEMORY;
  }
  if (request_ < source.BlockAlign()) {
    result = AVPULL_E_INVALIDARG;
    return AVPULL_AUDIO_BUFFER_REFUSED;
  }
  // A file without working video is set running here, so that its audio can be read.
  stream_->SetRunning(true);
  return AVPULL_AUDIO_READY;
}

uint32_t MediaReader::RequestFor(int32_t size) const {
  uint32_t request = size > 0 ? static_cast<uint32_t>(size) : 0;
  if (source_channels_ == 1) request /= 2;
  if (source_bits_ == 8) request /= 2;
  return request;
}

int32_t MediaReader::SetAudioBufferSize(int32_t size) {
  if (!stream_ || !audio_ready_) return AVPULL_BUFFER_NO_SAMPLE;
  if (size == buffer_size_) return AVPULL_BUFFER_SET;
  const uint32_t request = RequestFor(size);
  if (size <= 0 || size > kMaxAudioBufferSize || request < stream_->AudioFormat().BlockAlign()) {
    return AVPULL_BUFFER_REFUSED;
  }
  // The new buffer is made before the old one goes, so a failure leaves everything as it was.
  std::vector<uint8_t> buffer;
  try {
    buffer.assign(static_cast<std::size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    return AVPULL_BUFFER_NO_MEMORY;
  }
  audio_buffer_.swap(buffer);
  buffer_size_ = size;
  request_ = request;
  return AVPULL_BUFFER_SET;
}

int32_t MediaReader::GetAudioSample(uint8_t** data, int32_t* length, AVPULL_STREAM_TIME* start,
                                    AVPULL_STREAM_TIME* end) {
  if (data != nullptr) *data = nullptr;
  if (length != nullptr) *length = 0;
  if (data == nullptr || length == nullptr || start == nullptr || end == nullptr) return AVPULL_E_POINTER;
  if (!stream_) return AVPULL_E_NOTINIT;
  if (!audio_ready_) return AVPULL_E_NOSTREAM;

  uint32_t bytes = 0;
  mm::Time block_start = 0;
  mm::Time block_end = 0;
  const mm::Result read = stream_->ReadAudio(audio_buffer_.data(), request_, bytes, block_start, block_end);
  if (!read.Ok()) return ResultCode(read.status);
  if (source_bits_ == 8) {
    platform::WidenEightBitInPlace(audio_buffer_.data(), bytes);
    bytes *= 2;
  }
  if (source_channels_ == 1) {
    platform::DuplicateMonoInPlace(audio_buffer_.data(), bytes / 2);
    bytes *= 2;
  }
  *start = block_start;
  *end = block_end;
  *length = static_cast<int32_t>(bytes);
  *data = audio_buffer_.data();
  return 0;
}

int32_t MediaReader::GetVideoFrame(uint8_t** pixels, int32_t* size, AVPULL_STREAM_TIME* start,
                                   AVPULL_STREAM_TIME* end) {
  if (pixels != nullptr) *pixels = nullptr;
  if (pixels == nullptr || size == nullptr || start == nullptr || end == nullptr) return AVPULL_E_POINTER;
  if (!stream_) return AVPULL_E_NOTINIT;
  if (!video_ready_) return AVPULL_E_NOSTREAM;

  mm::Time frame_start = 0;
  mm::Time frame_end = 0;
  const auto wait = options_.frame_wait * options_.frame_waits;
  // A frame still pending after the waits is given up (AVPULL_FRAME_NOT_READY); the next request
  // goes on from there.
  const mm::Result read = stream_->ReadVideoFrame(surface_.data(), static_cast<uint32_t>(surface_.size()),
                                                  frame_start, frame_end, wait);
  if (!read.Ok()) return ResultCode(read.status);

  const mm::FrameFormat& video = stream_->VideoFormat();
  const auto count = static_cast<std::size_t>(video.width) * static_cast<std::size_t>(video.height);
  uint8_t* result = surface_.data();
  if (options_.surface_bits != 32) {
    if (picture_.empty()) picture_.assign(count * 4, 0);
    if (options_.surface_bits == 16) {
      Convert565To32(surface_.data(), count, picture_.data());
    } else {
      Convert24To32(surface_.data(), count, picture_.data());
    }
    result = picture_.data();
  }
  *start = frame_start;
  *end = frame_end;
  *size = static_cast<int32_t>(count * 4);
  *pixels = result;
  return 0;
}

void MediaReader::Release() {
  if (stream_) stream_->SetRunning(false);
  stream_.reset();
  // swap with empty vectors: clear() alone would keep the memory.
  std::vector<uint8_t>().swap(audio_buffer_);
  std::vector<uint8_t>().swap(surface_);
  std::vector<uint8_t>().swap(picture_);
  video_ready_ = false;
  audio_ready_ = false;
  request_ = 0;
  source_channels_ = 2;
  source_bits_ = 16;
}

int32_t MediaReader::SourceChannels() const {
  return audio_ready_ && stream_ ? stream_->AudioSourceChannels() : 0;
}

int32_t MediaReader::Exit() {
  Release();
  return 0;
}

}  // namespace avpull
