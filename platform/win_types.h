// Windows-style scalar types, result codes and packed records that cross library and module
// boundaries. The layouts match the platform records byte for byte, so code written against
// them keeps its field names and sizes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BOOL = std::int32_t;
using LONG = std::int32_t;
using HMODULE = void*;
using FARPROC = void*;
using HANDLE = void*;

// 64-bit signed count of 100-nanosecond units.
using STREAM_TIME = std::int64_t;
using REFERENCE_TIME = std::int64_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;

constexpr HRESULT MakeResult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002u);
constexpr HRESULT E_POINTER = MakeResult(0x80004003u);
constexpr HRESULT E_ABORT = MakeResult(0x80004004u);
constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = MakeResult(0x8004022Fu);

constexpr HRESULT MS_S_PENDING = MakeResult(0x00040001u);
constexpr HRESULT MS_S_NOUPDATE = MakeResult(0x00040002u);
constexpr HRESULT MS_S_ENDOFSTREAM = MakeResult(0x00040003u);
constexpr HRESULT MS_E_NOSTREAM = MakeResult(0x80040403u);
constexpr HRESULT MS_E_NOSEEKING = MakeResult(0x80040404u);
constexpr HRESULT MS_E_NOTINIT = MakeResult(0x80040407u);
constexpr HRESULT MS_E_NOTRUNNING = MakeResult(0x8004040Au);

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};

#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == 4);
static_assert(offsetof(WAVEFORMATEX, nBlockAlign) == 12);
static_assert(offsetof(WAVEFORMATEX, cbSize) == 16);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

}  // namespace platform
