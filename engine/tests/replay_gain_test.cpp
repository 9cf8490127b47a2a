// ReplayGain against `loudgain`, an independent tool on the same library: the meter is fed what
// the encoder receives (the source decoded by the pipeline's reader, resampled to the MP3's rate
// and at most stereo), loudgain reads the source itself. Music-like sources, not tones: chords
// with vibrato over pink noise.
#include "engine/replay_gain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "engine/audio_file_reader.h"
#include "platform/mmstream/tests/media_fixtures.h"
#include "tag_readers.h"

namespace {

using namespace media_fixtures;

// `seconds` of music at `level` (1.0: peaks near full scale), as ffmpeg input arguments at `rate`.
std::string MusicInput(double seconds, double level, int rate, int low) {
  const std::string d = std::to_string(seconds);
  const std::string r = std::to_string(rate);
  const std::string l = std::to_string(level);
  return "-f lavfi -i \"aevalsrc=" + l + "*(0.25*sin(2*PI*" + std::to_string(low) +
         "*t)*(0.6+0.4*sin(2*PI*0.5*t))+0.2*sin(2*PI*330*t+2*sin(2*PI*5*t))+0.1*sin(2*PI*1318*t)*(0.5+0.5*sin(2*PI*3*t)))|" +
         l + "*(0.25*sin(2*PI*277*t)*(0.6+0.4*sin(2*PI*0.4*t))+0.2*sin(2*PI*440*t+2*sin(2*PI*4*t)))" + ":s=" + r +
         ":d=" + d + "\" -f lavfi -i \"anoisesrc=c=pink:a=" + std::to_string(0.08 * level) + ":r=" + r + ":d=" + d +
         ":seed=" + std::to_string(low) + "\" -filter_complex \"[0][1]amix=inputs=2:normalize=0,aformat=channel_layouts=stereo\"";
}

// loudgain's gain (dB) and true peak of each file, and of the album (key "Album").
struct Measured {
  double gain = 0.0;
  double peak = 0.0;
};
std::map<std::string, Measured> Loudgain(const std::vector<std::string>& files, bool album) {
  std::string command = std::string("loudgain -q -O") + (album ? " -a" : "");
  for (const std::string& file : files) command += " '" + file + "'";
  std::istringstream lines(testsupport::CommandOutput(command + " 2>/dev/null"));
  std::map<std::string, Measured> out;
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> columns;
    std::istringstream fields(line);
    for (std::string column; std::getline(fields, column, '\t');) columns.push_back(column);
    if (columns.size() < 9 || columns[0] == "File") continue;
    const std::string name = columns[0].substr(columns[0].rfind('/') + 1);
    out[name] = {std::strtod(columns[8].c_str(), nullptr), std::strtod(columns[3].c_str(), nullptr)};
  }
  EXPECT_EQ(out.size(), files.size() + (album ? 1 : 0)) << command;
  return out;
}

// A meter fed what the encoder receives from `path` at `mp3Rate`.
engine::LoudnessMeter Measure(const std::string& path, int mp3Rate) {
  engine::AudioFileReader reader(path, mp3Rate);
  engine::LoudnessMeter meter(reader.Format().channels, reader.Format().sampleRate);
  alignas(float) std::uint8_t block[16384];
  while (const std::uint32_t bytes = reader.ReadData(block, sizeof block)) meter.AddBlock(block, bytes, reader.FloatSamples());
  return meter;
}

double Decibels(double ratio) { return 20.0 * std::log10(ratio); }

struct SourceCase {
  const char* name;
  const char* file;
  int rate;            // the source's
  const char* encode;  // ffmpeg's output arguments
  int mp3Rate;         // what the encoder receives
};
void PrintTo(const SourceCase& row, std::ostream* out) { *out << row.name; }

const SourceCase kSources[] = {
    {"Wma44kStereo", "music.wma", 44100, "-c:a wmav2 -b:a 160k", 44100},
    {"Flac48kStereo", "music.flac", 48000, "-c:a flac", 48000},
    // A mono source reaches the encoder as one channel, measured as loudgain measures the file.
    {"Mp3MonoSource", "music.mp3", 44100, "-ac 1 -c:a libmp3lame -b:a 128k", 44100},
    // A 96 kHz source is resampled to 48 kHz for the MP3; its loudness is the same.
    {"Flac96kResampled", "music96.flac", 96000, "-c:a flac -sample_fmt s32", 48000},
};

class RealisticSources : public testing::TestWithParam<SourceCase> {};

TEST_P(RealisticSources, TrackGainAndPeakAgreeWithLoudgain) {
  TempDir dir;
  const std::string path = dir.File(GetParam().file);
  ASSERT_TRUE(Ffmpeg(MusicInput(8.0, 0.7, GetParam().rate, 220) + " " + GetParam().encode, path));
  const auto theirs = Loudgain({path}, false).at(GetParam().file);
  const std::optional<engine::LoudnessResult> ours = Measure(path, GetParam().mp3Rate).Result();
  ASSERT_TRUE(ours.has_value());
  EXPECT_NEAR(ours->gainDb, theirs.gain, 0.1);
  EXPECT_NEAR(Decibels(ours->peak), Decibels(theirs.peak), 0.1) << ours->peak << " against " << theirs.peak;
}

INSTANTIATE_TEST_SUITE_P(Sources, RealisticSources, testing::ValuesIn(kSources),
                         [](const auto& row) { return std::string(row.param.name); });

// Three tracks of one album at different levels: each track's values and the album's agree with
// `loudgain -a` on the same files.
TEST(AlbumGain, ThreeTracksAtDifferentLevelsAgreeWithLoudgain) {
  TempDir dir;
  const struct {
    const char* file;
    double level;
    double seconds;
  } tracks[] = {{"quiet.flac", 0.15, 6.0}, {"middle.flac", 0.5, 9.0}, {"loud.flac", 1.0, 4.0}};
  std::vector<std::string> files;
  std::vector<engine::LoudnessMeter> meters;
  for (const auto& track : tracks) {
    files.push_back(dir.File(track.file));
    ASSERT_TRUE(Ffmpeg(MusicInput(track.seconds, track.level, 44100, 200 + static_cast<int>(track.level * 100)) +
                           " -c:a flac",
                       files.back()));
    meters.push_back(Measure(files.back(), 44100));
  }
  const auto theirs = Loudgain(files, true);
  std::vector<const engine::LoudnessMeter*> album;
  for (std::size_t i = 0; i < meters.size(); ++i) {
    const std::optional<engine::LoudnessResult> track = meters[i].Result();
    ASSERT_TRUE(track.has_value());
    EXPECT_NEAR(track->gainDb, theirs.at(tracks[i].file).gain, 0.1) << tracks[i].file;
    EXPECT_NEAR(Decibels(track->peak), Decibels(theirs.at(tracks[i].file).peak), 0.1) << tracks[i].file;
    album.push_back(&meters[i]);
  }
  // The levels differ enough that a track's gain is no album's.
  EXPECT_GT(meters[0].Result()->gainDb - meters[2].Result()->gainDb, 10.0);
  const std::optional<engine::LoudnessResult> ours = engine::AlbumLoudness(album);
  ASSERT_TRUE(ours.has_value());
  EXPECT_NEAR(ours->gainDb, theirs.at("Album").gain, 0.1);
  EXPECT_NEAR(Decibels(ours->peak), Decibels(theirs.at("Album").peak), 0.1);
}

// Between its samples a signal can rise above every sample: a tone at a quarter of the rate,
// sampled 45 degrees off its crests, peaks 3 dB above its samples. loudgain's peak is that one.
TEST(TruePeak, RisesBetweenTheSamplesAsLoudgainFindsIt) {
  TempDir dir;
  const std::string path = dir.File("quarter.flac");
  ASSERT_TRUE(Ffmpeg("-f lavfi -i \"aevalsrc=0.6*sin(2*PI*11025*t+PI/4):s=44100:d=3\" -c:a flac", path));
  const Measured theirs = Loudgain({path}, false).at("quarter.flac");
  const std::optional<engine::LoudnessResult> ours = Measure(path, 44100).Result();
  ASSERT_TRUE(ours.has_value());
  EXPECT_NEAR(Decibels(ours->peak), Decibels(theirs.peak), 0.1) << ours->peak << " against " << theirs.peak;
  EXPECT_GT(Decibels(ours->peak), Decibels(0.6 * std::sin(M_PI / 4)) + 2.0) << "the samples' peak";
  EXPECT_NEAR(ours->gainDb, theirs.gain, 0.1);
}

// Silence has no loudness: no ReplayGain frames rather than a gain of +inf.
TEST(ReplayGainFrames, SilenceAndShortTracksGetNone) {
  engine::LoudnessMeter silent(2, 44100);
  const std::vector<std::int16_t> zeros(2 * 44100 * 2, 0);
  silent.AddInt16(zeros.data(), 44100 * 2);
  EXPECT_FALSE(silent.Result().has_value());
  EXPECT_TRUE(engine::ReplayGainFrames(silent.Result()).empty());
  EXPECT_FALSE(engine::AlbumLoudness({&silent}).has_value());
}

// The texts as the tag holds them.
TEST(ReplayGainFrames, TextsAsTheTagHoldsThem) {
  const engine::LoudnessResult track{-11.67, -6.33, 0.9885531};
  const engine::LoudnessResult album{-12.0, 6.0, 1.2};
  const std::vector<engine::Id3Frame> frames = engine::ReplayGainFrames(track, album);
  ASSERT_EQ(frames.size(), 4u);
  const std::pair<const char*, const char*> expected[] = {{"REPLAYGAIN_TRACK_GAIN", "-6.33 dB"},
                                                          {"REPLAYGAIN_TRACK_PEAK", "0.988553"},
                                                          {"REPLAYGAIN_ALBUM_GAIN", "6.00 dB"},
                                                          {"REPLAYGAIN_ALBUM_PEAK", "1.200000"}};
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].kind, engine::Id3Frame::Kind::UserText);
    EXPECT_EQ(frames[i].description, expected[i].first);
    EXPECT_EQ(frames[i].values, std::vector<std::string>{expected[i].second});
  }
  EXPECT_EQ(engine::GainText(-0.001), "0.00 dB");
}

TEST(LoudnessMeter, RefusesWhatItCannotMeasure) {
  EXPECT_THROW(engine::LoudnessMeter(6, 44100), std::invalid_argument);
  EXPECT_THROW(engine::LoudnessMeter(2, 0), std::invalid_argument);
}

}  // namespace
