// tavisto-convert run as a user runs it: exit codes, messages, files left behind.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include <map>
#include <set>

#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/xiphcomment.h>

#include "decoded_audio.h"
#include "tag_readers.h"
#include "tagged_sources.h"

using media_fixtures::Ffmpeg;
using media_fixtures::SineInput;
using media_fixtures::TempDir;

namespace {

struct Result {
  int status = -1;
  std::string output;  // stdout and stderr together
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

Result RunConvert(const std::string& arguments) {
  const std::string command = std::string(std::getenv("TAVISTO_CONVERT")) + " " + arguments + " 2>&1";
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  std::array<char, 4096> chunk{};
  for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;) result.output.append(chunk.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

struct ConvertCli : ::testing::Test {
  TempDir dir;
  std::string Wma(const std::string& name, double seconds = 2) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(Ffmpeg(SineInput(1000, 44100, seconds) + " -ac 2 -c:a wmav2 -b:a 128k", path));
    return path;
  }
};

}  // namespace

TEST_F(ConvertCli, ConvertsBesideTheSourceWithSettingsAndTags) {
  const std::string source = Wma("Song One.wma");
  const Result r = RunConvert("-b 128 -r 48000 --artist 'Caf\u00e9 \u6771\u4eac' --year 2001 " + Quote(source));
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string mp3 = dir.File("Song One.mp3");
  const auto decoded = testsupport::DecodeAudioFile(mp3);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.sampleRate, 48000);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_NEAR(decoded.seconds(), testsupport::DecodeAudioFile(source).seconds(), 1152.0 / 48000);
  EXPECT_NEAR(decoded.DominantFrequency(), 1000, 20);
  EXPECT_EQ(decoded.tags.at("title"), "Song One");
  EXPECT_EQ(decoded.tags.at("artist"), "Caf\u00e9 \u6771\u4eac");
  EXPECT_EQ(decoded.tags.at("date"), "2001");
  const auto walk = testsupport::WalkFrames(media_fixtures::ReadBytes(mp3));
  for (std::size_t i = 1; i < walk.bitrates.size(); ++i) ASSERT_EQ(walk.bitrates[i], 128);
}

// A converted file keeps the tags its source had, unless the command line gives others.
TEST_F(ConvertCli, TheSourcesOwnTagsAreKeptAndGivenOnesWin) {
  const std::string source = dir.File("tagged.wma");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) +
                         " -c:a wmav2 -metadata title='Caf\u00e9 \u6771\u4eac' -metadata artist=Band -metadata album=Disc",
                     source));
  const Result r = RunConvert("--album Other " + Quote(source));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto decoded = testsupport::DecodeAudioFile(dir.File("tagged.mp3"));
  EXPECT_EQ(decoded.tags.at("title"), "Caf\u00e9 \u6771\u4eac");
  EXPECT_EQ(decoded.tags.at("artist"), "Band");
  EXPECT_EQ(decoded.tags.at("album"), "Other");
}

// Every field of a tagged source arrives unless an option overrides it; --no-cover leaves the
// picture out.
TEST_F(ConvertCli, TrackAlbumArtistAndCoverFollowTheOptions) {
  using V = testsupport::TaggedValues;
  const std::string source = testsupport::MakeTaggedSource(dir, testsupport::TaggedFormats()[1], 1.0);  // FLAC
  Result r = RunConvert("-o " + Quote(dir.File("kept.mp3")) + " " + Quote(source));
  ASSERT_EQ(r.status, 0) << r.output;
  std::map<std::string, std::string> frames = testsupport::MutagenId3v2(dir.File("kept.mp3"));
  EXPECT_EQ(frames["TPE1"], V::artist);
  EXPECT_EQ(frames["TPE2"], V::albumArtist);
  EXPECT_EQ(frames["TRCK"], "3/12");
  EXPECT_EQ(frames["TPOS"], "2/3");
  EXPECT_EQ(frames["TCOM"], V::composer);
  // Every picture comes along (the back cover too); the front cover byte for byte.
  EXPECT_NE(frames["APIC#0"].find("image/png|3|"), std::string::npos) << frames["APIC#0"];
  EXPECT_NE(frames["APIC#0"].find(testsupport::Hex(testsupport::CoverImage(true))), std::string::npos);

  r = RunConvert("--track 7 --album-artist 'Só Eu' --no-cover -o " + Quote(dir.File("given.mp3")) + " " + Quote(source));
  ASSERT_EQ(r.status, 0) << r.output;
  frames = testsupport::MutagenId3v2(dir.File("given.mp3"));
  EXPECT_EQ(frames["TRCK"], "7");
  EXPECT_EQ(frames["TPE2"], "Só Eu");
  EXPECT_EQ(frames["TPE1"], V::artist);
  EXPECT_EQ(frames.count("APIC"), 0u);

  // A source without a cover takes the album art beside it, unless told not to.
  const std::string bare = Wma("bare.wma");
  media_fixtures::WriteBytes(dir.File("Folder.jpg"), testsupport::CoverImage(false));
  ASSERT_EQ(RunConvert(Quote(bare)).status, 0);
  EXPECT_EQ(testsupport::MutagenId3v2(dir.File("bare.mp3"))["APIC#0"],
            "image/jpeg|3||" + testsupport::Hex(testsupport::CoverImage(false)));
  ASSERT_EQ(RunConvert("--no-folder-art -f " + Quote(bare)).status, 0);
  EXPECT_EQ(testsupport::MutagenId3v2(dir.File("bare.mp3")).count("APIC"), 0u);
}

TEST_F(ConvertCli, AnExistingMp3IsNeverReplacedWithoutForce) {
  const std::string source = Wma("a.wma");
  const std::string mp3 = dir.File("a.mp3");
  media_fixtures::WriteBytes(mp3, {'k', 'e', 'e', 'p'});
  Result r = RunConvert(Quote(source));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("exists (use --force to replace it)"), std::string::npos) << r.output;
  EXPECT_EQ(media_fixtures::ReadBytes(mp3).size(), 4u);
  r = RunConvert("--force " + Quote(source));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(testsupport::DecodeAudioFile(mp3).ok);
}

// Converting an MP3 beside itself would truncate the very file being read.
TEST_F(ConvertCli, AnMp3SourceIsNeverReplacedByItsOwnOutputEvenWithForce) {
  const std::string source = dir.File("x.mp3");
  ASSERT_TRUE(Ffmpeg(SineInput(1000, 44100, 1) + " -c:a libmp3lame", source));
  const auto before = media_fixtures::ReadBytes(source);
  const Result r = RunConvert("--force " + Quote(source));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("The output file is the source file itself."), std::string::npos) << r.output;
  EXPECT_EQ(media_fixtures::ReadBytes(source), before);
}

TEST_F(ConvertCli, EachFailedFileGetsOneLineAndTheOthersStillConvert) {
  const std::string good = Wma("good.wma");
  media_fixtures::WriteBytes(dir.File("noise.wma"), media_fixtures::RandomBytes(20000, 3));
  media_fixtures::WriteBytes(dir.File("protected.wma"), media_fixtures::WithAsfEncryptionObject(media_fixtures::ReadBytes(good)));
  std::filesystem::create_directory(dir.File("out"));
  const Result r = RunConvert("-o " + Quote(dir.File("out")) + " " + Quote(dir.File("missing.wma")) + " " +
                       Quote(dir.File("noise.wma")) + " " + Quote(dir.File("protected.wma")) + " " + Quote(good));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("missing.wma: No such file or directory\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("noise.wma: Invalid data found when processing input\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("protected.wma: The file is protected by DRM and cannot be converted.\n"), std::string::npos)
      << r.output;
  EXPECT_TRUE(testsupport::DecodeAudioFile(dir.File("out/good.mp3")).ok);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out/missing.mp3")));
}

// Several files at once: each gets its line when it is done, whatever the order, and each MP3
// holds its own source.
TEST_F(ConvertCli, JobsConvertSeveralFilesAtOnceWithALineEach) {
  std::vector<std::string> sources;
  for (int i = 0; i < 4; ++i) {
    sources.push_back(dir.File("f" + std::to_string(i) + ".wma"));
    ASSERT_TRUE(Ffmpeg(SineInput(400 + 200 * i, 44100, 2) + " -ac 2 -c:a wmav2", sources.back()));
  }
  std::string arguments = "-j 3";
  for (const std::string& s : sources) arguments += " " + Quote(s);
  const Result r = RunConvert(arguments);
  ASSERT_EQ(r.status, 0) << r.output;
  for (int i = 0; i < 4; ++i) {
    const std::string mp3 = dir.File("f" + std::to_string(i) + ".mp3");
    EXPECT_NE(r.output.find(sources[static_cast<std::size_t>(i)] + " -> " + mp3 + "\n"), std::string::npos) << r.output;
    EXPECT_NEAR(testsupport::DecodeAudioFile(mp3).DominantFrequency(), 400 + 200 * i, 10) << mp3;
  }
}

TEST_F(ConvertCli, HelpAndUsageErrors) {
  Result r = RunConvert("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("Usage: tavisto-convert"), std::string::npos);
  r = RunConvert("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("tavisto-convert 1.", 0), 0u) << r.output;
  r = RunConvert("--bitrate 100 x.wma");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("invalid value \"100\" for --bitrate"), std::string::npos);
}

namespace {

// tavisto-convert started in the background, its output collected in a file. The child holds
// the write end of a pipe; the pipe reads as closed once the process has ended.
class Background {
 public:
  Background(const std::vector<std::string>& arguments, const std::string& log) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      ::dup2(ends[1], 3);  // kept open across exec, closed by the end of the process
      std::vector<char*> argv{std::getenv("TAVISTO_CONVERT")};
      for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(ends[1]);
    ended_ = ends[0];
  }
  ~Background() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (ended_ >= 0) ::close(ended_);
  }
  void Signal(int signal) const { ::kill(pid_, signal); }
  // The exit status, or -1 when the process has not ended within `limit`.
  int WaitFor(std::chrono::milliseconds limit) {
    pollfd ended{ended_, POLLIN, 0};
    if (::poll(&ended, 1, static_cast<int>(limit.count())) != 1) return -1;
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_) return -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int ended_ = -1;
  int status_ = -1;
};

std::string ReadText(const std::string& path) {
  const auto bytes = media_fixtures::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// The names in `folder`, hidden ones included.
std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

bool AnyFileIn(const std::string& folder) {
  return std::filesystem::directory_iterator(folder) != std::filesystem::directory_iterator();
}

}  // namespace

// Ctrl-C, SIGTERM or SIGHUP (a closed terminal) ends a run within a second, with the status that
// names the signal, and the file that was being written is not left behind looking finished (nor
// is its temporary file).
TEST_F(ConvertCli, AnInterruptedRunEndsAtOnceAndLeavesNoOutput) {
  const std::string source = Wma("long.wma", 120);
  const std::string out = dir.File("out");
  std::filesystem::create_directory(out);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, out.c_str(), IN_CREATE), 0);
    Background convert({"-o", out + "/", source}, dir.File("log"));
    // Under way once its temporary file is there.
    pollfd created{watch, POLLIN, 0};
    ASSERT_EQ(::poll(&created, 1, 10000), 1);
    ::close(watch);
    ASSERT_TRUE(AnyFileIn(out));
    convert.Signal(signal);
    EXPECT_EQ(convert.WaitFor(std::chrono::seconds(1)), 128 + signal) << "signal " << signal;
    const std::string log = ReadText(dir.File("log"));
    EXPECT_EQ(log.find("->"), std::string::npos) << log;
    EXPECT_FALSE(AnyFileIn(out)) << "signal " << signal;
  }
}

// A source that is not a regular file (a FIFO would block opening it for good) is refused at
// once, with a reason.
TEST_F(ConvertCli, APipeAsSourceIsRefusedWithoutWaiting) {
  const std::string fifo = dir.File("f.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Background convert({fifo}, dir.File("log"));
  const int status = convert.WaitFor(std::chrono::seconds(10));
  if (status < 0) {
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // let it go on to end
    if (writer >= 0) ::close(writer);
  }
  EXPECT_EQ(status, 1);
  EXPECT_NE(ReadText(dir.File("log")).find("f.wav: Not a regular file"), std::string::npos) << ReadText(dir.File("log"));
}

// With --force, two sources of one run that would write the same MP3 name must not overwrite
// each other: the later one is numbered and its line says why.
TEST_F(ConvertCli, SourcesOfOneRunNeverShareAnOutput) {
  const std::string x = Wma("x.wma");
  ASSERT_TRUE(Ffmpeg(SineInput(500, 44100, 2) + " -c:a wmav2", dir.File("x.wmv")));
  std::filesystem::create_directories(dir.File("a"));
  std::filesystem::create_directories(dir.File("b"));
  std::filesystem::copy_file(x, dir.File("a/song.wma"));
  ASSERT_TRUE(Ffmpeg(SineInput(500, 44100, 2) + " -c:a wmav2", dir.File("b/song.wma")));
  struct Case {
    std::string arguments, first, second;
  } cases[] = {
      {"-f " + Quote(x) + " " + Quote(dir.File("x.wmv")), dir.File("x.mp3"), dir.File("x (2).mp3")},
      {"-f -o " + Quote(dir.File("out/")) + " " + Quote(dir.File("a/song.wma")) + " " + Quote(dir.File("b/song.wma")),
       dir.File("out/song.mp3"), dir.File("out/song (2).mp3")},
  };
  std::filesystem::create_directories(dir.File("out"));
  for (const Case& c : cases) {
    const Result r = RunConvert(c.arguments);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("-> " + c.second + " (" + c.first + " is taken by another file of this run)"),
              std::string::npos)
        << r.output;
    EXPECT_NEAR(testsupport::DecodeAudioFile(c.first).DominantFrequency(), 1000, 20);
    EXPECT_NEAR(testsupport::DecodeAudioFile(c.second).DominantFrequency(), 500, 20);
  }
}

// A source that decodes to much less than it declares (cut short, damaged) still gives its MP3,
// but the run says so and ends with its own status.
TEST_F(ConvertCli, ASourceShorterThanItDeclaresIsConvertedWithAWarning) {
  const auto whole = media_fixtures::ReadBytes(Wma("whole.wma", 20));
  const std::string cut = dir.File("cut.wma");
  media_fixtures::WriteBytes(cut, {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 10)});
  const Result r = RunConvert(Quote(cut) + " " + Quote(dir.File("whole.wma")));
  EXPECT_EQ(r.status, 3) << r.output;
  EXPECT_NE(r.output.find("cut.wma -> " + dir.File("cut.mp3") + " (warning: only "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("whole.wma -> " + dir.File("whole.mp3") + "\n"), std::string::npos) << r.output;
  EXPECT_NEAR(testsupport::DecodeAudioFile(dir.File("cut.mp3")).seconds(), 2.0, 0.5);
  EXPECT_NE(RunConvert("-q -f " + Quote(cut)).output.find("cut.wma: warning: only"), std::string::npos);
}

// Only a regular file is ever replaced at an output name, even with --force: a link is neither
// followed nor replaced, and a device (/dev/null, /dev/stdout) is refused for what it is.
TEST_F(ConvertCli, OnlyARegularFileIsReplacedAndAnythingElseIsNamed) {
  const std::string source = Wma("good.wma");
  const std::string elsewhere = dir.File("elsewhere.bin");
  const std::string mp3 = dir.File("good.mp3");
  ASSERT_EQ(::symlink(elsewhere.c_str(), mp3.c_str()), 0);
  Result r = RunConvert(Quote(source));
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_TRUE(std::filesystem::is_symlink(mp3));
  r = RunConvert("--force " + Quote(source));
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("is a symbolic link"), std::string::npos) << r.output;
  EXPECT_TRUE(std::filesystem::is_symlink(mp3));
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
  r = RunConvert("--force -o /dev/null " + Quote(source));
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("\"/dev/null\" is a device"), std::string::npos) << r.output;
}

// The same command maps each source to the same name every time: a second run refuses the
// files of the first, and with --force replaces those very files, never adding numbered copies.
TEST_F(ConvertCli, RunningABatchAgainGivesTheSameNames) {
  for (const char* folder : {"d1", "d2", "d3", "out"}) std::filesystem::create_directory(dir.File(folder));
  std::string sources;
  for (const char* folder : {"d1", "d2", "d3"}) sources += " " + Quote(Wma(std::string(folder) + "/song.wma", 1));
  const std::string command = "-o " + Quote(dir.File("out/")) + sources;
  const std::set<std::string> names = {"song.mp3", "song (2).mp3", "song (3).mp3"};
  Result r = RunConvert(command);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Names(dir.File("out")), names);
  r = RunConvert(command);
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_EQ(Names(dir.File("out")), names);
  r = RunConvert("-f " + command);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Names(dir.File("out")), names);
}

// Nobody reading the lines any more (`tavisto-convert … | head -1`) stops the run as a signal
// does: nothing half-written is left, and the status says why.
TEST_F(ConvertCli, AClosedStandardOutputStopsTheRunCleanly) {
  std::string sources;
  for (int i = 0; i < 6; ++i) sources += " " + Quote(Wma("s" + std::to_string(i) + ".wma", 8));
  std::filesystem::create_directory(dir.File("out"));
  const std::string command = "sh -c '" + std::string(std::getenv("TAVISTO_CONVERT")) + " -j 1 -o " +
                              dir.File("out/") + sources + " 2>" + dir.File("log") + "; echo $? >" +
                              dir.File("status") + "' | head -n 1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadText(dir.File("status")), "141\n") << ReadText(dir.File("log"));
  for (const std::string& name : Names(dir.File("out"))) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
  EXPECT_LT(Names(dir.File("out")).size(), 6u) << "the run stopped";
}

// A killed run leaves its hidden file; the next run writing into that folder removes it, while
// a file some other conversion still writes (and holds) stays.
TEST_F(ConvertCli, AKilledRunsHiddenFileIsClearedByTheNextRun) {
  const std::string source = Wma("song.wma", 1);
  const std::string stale = dir.File(".other.mp3.k3Xq9a.part");
  media_fixtures::WriteBytes(stale, {1, 2, 3});
  const Result r = RunConvert(Quote(source));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_FALSE(std::filesystem::exists(stale));
}

// Two sources whose names fill a file name's 255 bytes: the second's numbered name is shortened
// to fit before anything converts, not refused after a whole conversion.
TEST_F(ConvertCli, ANumberedNameTooLongForAFileNameIsShortenedFirst) {
  const std::string stem(251, 'n');
  std::filesystem::create_directories(dir.File("a"));
  std::filesystem::create_directories(dir.File("b"));
  std::filesystem::create_directories(dir.File("out"));
  const std::string first = Wma("a/" + stem + ".wma", 1), second = Wma("b/" + stem + ".wma", 1);
  const Result r = RunConvert("-o " + Quote(dir.File("out/")) + " " + Quote(first) + " " + Quote(second));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Names(dir.File("out")),
            (std::set<std::string>{stem + ".mp3", std::string(247, 'n') + " (2).mp3"}));
}

namespace {

// A small library: two albums of one artist and a loose file, with other files among them.
struct Library {
  explicit Library(ConvertCli& test) {
    for (const char* folder : {"Music/Artist/One", "Music/Artist/Two", "Music/.hidden"})
      std::filesystem::create_directories(test.dir.File(folder));
    for (const char* file : {"Music/Artist/One/01.wma", "Music/Artist/One/02.wma", "Music/Artist/Two/01.wma",
                             "Music/loose.wma", "Music/.hidden/secret.wma"})
      sources.push_back(test.Wma(file, 1));
    media_fixtures::WriteBytes(test.dir.File("Music/Artist/One/Folder.jpg"), {1, 2, 3});
    media_fixtures::WriteBytes(test.dir.File("Music/notes.txt"), {'h', 'i'});
  }
  std::vector<std::string> sources;
};

// The MP3 files under `folder`, relative to it, with their modification times.
std::map<std::string, std::filesystem::file_time_type> Mp3Files(const std::string& folder) {
  std::map<std::string, std::filesystem::file_time_type> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.path().extension() == ".mp3")
      files[std::filesystem::relative(entry.path(), folder).string()] = entry.last_write_time();
  }
  return files;
}

std::set<std::string> Keys(const std::map<std::string, std::filesystem::file_time_type>& files) {
  std::set<std::string> keys;
  for (const auto& [name, time] : files) keys.insert(name);
  return keys;
}

}  // namespace

// A folder stands for the media files under it, each keeping its place below it in an output
// folder that is made when missing; a run right after it writes nothing; a changed source is
// converted again; a source that went takes its MP3 with it under --prune, and nothing else goes.
TEST_F(ConvertCli, ALibraryIsKeptInStep) {
  Library library(*this);
  const std::string out = dir.File("out/mp3/");
  const std::string command = "-u -o " + Quote(out) + " " + Quote(dir.File("Music"));
  Result r = RunConvert(command);
  ASSERT_EQ(r.status, 0) << r.output;
  const std::set<std::string> expected = {"Artist/One/01.mp3", "Artist/One/02.mp3", "Artist/Two/01.mp3", "loose.mp3"};
  const auto first = Mp3Files(out);
  EXPECT_EQ(Keys(first), expected);

  r = RunConvert(command + " --report -");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Mp3Files(out), first) << "an up-to-date library is not written again";
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 4) << r.output;
  EXPECT_NE(r.output.find("\"status\": \"up-to-date\""), std::string::npos) << r.output;

  // A changed source, and a foreign file where an MP3 would go.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(Ffmpeg(SineInput(500, 44100, 1) + " -ac 2 -c:a wmav2", dir.File("Music/Artist/Two/01.wma")));
  media_fixtures::WriteBytes(out + "mine.mp3", {'m', 'i', 'n', 'e'});
  std::filesystem::remove(dir.File("Music/Artist/One/02.wma"));
  r = RunConvert(command + " --prune");
  ASSERT_EQ(r.status, 0) << r.output;
  const auto after = Mp3Files(out);
  EXPECT_EQ(Keys(after), (std::set<std::string>{"Artist/One/01.mp3", "Artist/Two/01.mp3", "loose.mp3", "mine.mp3"}));
  EXPECT_EQ(after.at("Artist/One/01.mp3"), first.at("Artist/One/01.mp3"));
  EXPECT_NE(after.at("Artist/Two/01.mp3"), first.at("Artist/Two/01.mp3"));
  EXPECT_NEAR(testsupport::DecodeAudioFile(out + "Artist/Two/01.mp3").DominantFrequency(), 500, 10);
  EXPECT_NE(r.output.find("removed " + out + "Artist/One/02.mp3"), std::string::npos) << r.output;
}

// After a run killed half way, --update converts what is missing and nothing else: the files
// of the killed run that were complete stay as they are.
TEST_F(ConvertCli, AKilledRunIsFinishedByUpdate) {
  std::filesystem::create_directories(dir.File("Music"));
  for (int i = 0; i < 4; ++i) Wma("Music/" + std::to_string(i) + ".wma", i == 1 ? 30 : 1);
  const std::string out = dir.File("out/");
  {
    Background convert({"-j", "1", "-u", "-o", out, dir.File("Music")}, dir.File("log"));
    // The second file is long: kill the run while it converts.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(dir.File("out/0.mp3")) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    convert.Signal(SIGKILL);
    convert.WaitFor(std::chrono::seconds(5));
  }
  const auto killed = Mp3Files(out);
  ASSERT_EQ(Keys(killed), std::set<std::string>{"0.mp3"}) << ReadText(dir.File("log"));
  const Result r = RunConvert("-u -o " + Quote(out) + " " + Quote(dir.File("Music")));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto finished = Mp3Files(out);
  EXPECT_EQ(Keys(finished), (std::set<std::string>{"0.mp3", "1.mp3", "2.mp3", "3.mp3"}));
  EXPECT_EQ(finished.at("0.mp3"), killed.at("0.mp3"));
  for (const std::string& name : Names(out)) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
  EXPECT_NEAR(testsupport::DecodeAudioFile(out + "1.mp3").seconds(), 30.0, 0.1);
}

// Two processes over one library into one folder convert each source once between them, and
// neither fails because of the other.
TEST_F(ConvertCli, TwoRacingProcessesConvertEachSourceOnce) {
  std::filesystem::create_directories(dir.File("Music"));
  for (int i = 0; i < 6; ++i) Wma("Music/" + std::to_string(i) + ".wma", 2);
  const std::string out = dir.File("out/");
  Background first({"-j", "1", "-u", "--report", dir.File("first.jsonl"), "-o", out, dir.File("Music")},
                   dir.File("log1"));
  Background second({"-j", "1", "-u", "--report", dir.File("second.jsonl"), "-o", out, dir.File("Music")},
                    dir.File("log2"));
  EXPECT_EQ(first.WaitFor(std::chrono::seconds(60)), 0) << ReadText(dir.File("log1"));
  EXPECT_EQ(second.WaitFor(std::chrono::seconds(60)), 0) << ReadText(dir.File("log2"));
  const std::string reports = ReadText(dir.File("first.jsonl")) + ReadText(dir.File("second.jsonl"));
  std::size_t converted = 0;
  for (std::size_t at = 0; (at = reports.find("\"converted\"", at)) != std::string::npos; ++at) ++converted;
  EXPECT_EQ(converted, 6u) << reports;
  EXPECT_EQ(Mp3Files(out).size(), 6u);
}

// The README's recipe for several machines, run here with two job slots of GNU parallel: the
// same output tree as one run gives.
TEST_F(ConvertCli, TheParallelRecipeGivesWhatOneRunGives) {
  if (std::system("command -v parallel >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU parallel is not installed";
  Library library(*this);
  const std::string convert = std::getenv("TAVISTO_CONVERT");
  const std::string recipe = "cd " + Quote(dir.Path()) + " && find Music -type f -print0 | parallel --pipe --null " +
                             "--recend '\\0' -N 1 -j 2 " + convert + " --update --relative --null --files-from - -o " +
                             Quote(dir.File("parallel/")) + " >" + Quote(dir.File("log")) + " 2>&1";
  ASSERT_EQ(std::system(recipe.c_str()), 0) << ReadText(dir.File("log"));
  // The one run over the same list, for comparison.
  const std::string list = "cd " + Quote(dir.Path()) + " && find Music -type f | " + convert +
                           " -u -R --files-from - -o " + Quote(dir.File("one/")) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(list.c_str()), 0);
  EXPECT_EQ(Keys(Mp3Files(dir.File("parallel"))), Keys(Mp3Files(dir.File("one"))));
  EXPECT_EQ(Keys(Mp3Files(dir.File("one"))),
            (std::set<std::string>{"Music/Artist/One/01.mp3", "Music/Artist/One/02.mp3", "Music/Artist/Two/01.mp3",
                                   "Music/loose.mp3", "Music/.hidden/secret.mp3"}));
}

// Sources with large tags: each file's tags are read as it starts and let go once written, so
// eight at once stay far from eight times everything; a text too large to carry is named.
TEST_F(ConvertCli, LargeTagsCostMemoryPerFileInFlightAndTheTooLargeAreNamed) {
  const std::string first = dir.File("big0.flac");
  ASSERT_TRUE(Ffmpeg(SineInput(440, 44100, 2) + " -ac 2 -c:a flac", first));
  std::vector<std::uint8_t> picture(11 * 1024 * 1024);
  std::uint32_t state = 7;
  for (std::uint8_t& byte : picture) byte = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  const std::uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0};
  std::copy(std::begin(jpeg), std::end(jpeg), picture.begin());
  {
    TagLib::FLAC::File file(first.c_str());
    ASSERT_TRUE(file.isValid());
    auto* cover = new TagLib::FLAC::Picture;
    cover->setType(TagLib::FLAC::Picture::FrontCover);
    cover->setMimeType("image/jpeg");
    cover->setData(testsupport::Vector(picture));
    file.addPicture(cover);
    file.xiphComment(true)->addField("LYRICS", TagLib::String(std::string(2 * 1024 * 1024, 'l')));
    file.xiphComment(true)->addField("NOTES", TagLib::String(std::string(900 * 1024, 'n')));
    ASSERT_TRUE(file.save());
  }
  std::vector<std::string> arguments = {std::getenv("TAVISTO_CONVERT"), "-q", "-j", "8", "-o", dir.File("out/"), first};
  for (int i = 1; i < 8; ++i) {
    const std::string copy = dir.File("big" + std::to_string(i) + ".flac");
    std::filesystem::copy_file(first, copy);
    arguments.push_back(copy);
  }

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDOUT_FILENO);
    dup2(open(dir.File("log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(child, &status, 0, &usage), child);
  const std::string log = ReadText(dir.File("log"));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << log;
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's own bookkeeping costs more than the tags
  EXPECT_LT(usage.ru_maxrss, 250 * 1024) << "peak kilobytes";
#endif
  EXPECT_NE(log.find("big3.flac: warning: too large to carry, left out: LYRICS (2.0 MB)"), std::string::npos) << log;

  std::map<std::string, std::string> frames = testsupport::MutagenId3v2(dir.File("out/big3.mp3"));
  EXPECT_EQ(frames["APIC#0"].size(), std::string("image/jpeg|3||").size() + 2 * picture.size());
  EXPECT_EQ(frames["TXXX:NOTES"].size(), 900u * 1024) << "a text under a megabyte is carried";
  EXPECT_EQ(frames.count("USLT"), 0u);
}
