#include "mutagen_sources.h"

#include <gtest/gtest.h>

#include "tag_readers.h"
#include "tagged_sources.h"

namespace testsupport {

using namespace media_fixtures;
using V = FullTagValues;

namespace {

// argv: path, format, front cover file, back cover file, then the values file: one "key=value"
// a line, with "\n" for a line break in a value.
const char* const kTagger = R"(
import sys, base64, struct
from mutagen.asf import ASF, ASFDWordAttribute, ASFBoolAttribute, ASFByteArrayAttribute
from mutagen.flac import FLAC, Picture
from mutagen.oggvorbis import OggVorbis
from mutagen.oggopus import OggOpus
from mutagen.mp4 import MP4, MP4Cover, MP4FreeForm

path, fmt = sys.argv[1], sys.argv[2]
front, back = open(sys.argv[3], "rb").read(), open(sys.argv[4], "rb").read()
html = b"<html><body>not a picture</body></html>"
V = {}
for line in open(sys.argv[5], encoding="utf-8").read().split("\n"):
    if "=" in line:
        key, value = line.split("=", 1)
        V.setdefault(key, []).append(value.replace("\\n", "\n"))
one = lambda key: V[key][0]

if fmt in ("flac", "ogg", "opus"):
    f = {"flac": FLAC, "ogg": OggVorbis, "opus": OggOpus}[fmt](path)
    for key, name in [("title", "TITLE"), ("artist", "ARTIST"), ("albumartist", "ALBUMARTIST"), ("album", "ALBUM"),
                      ("date", "DATE"), ("genre", "GENRE"), ("comment", "COMMENT"), ("composer", "COMPOSER"),
                      ("lyrics", "LYRICS"), ("publisher", "LABEL"), ("bpm", "BPM"), ("isrc", "ISRC"),
                      ("grouping", "GROUPING"), ("subtitle", "SUBTITLE"), ("conductor", "CONDUCTOR"),
                      ("lyricist", "LYRICIST"), ("originaldate", "ORIGINALDATE"), ("copyright", "COPYRIGHT"),
                      ("albumsort", "ALBUMSORT"), ("artistsort", "ARTISTSORT"), ("albumartistsort", "ALBUMARTISTSORT"),
                      ("titlesort", "TITLESORT"), ("catalognumber", "CATALOGNUMBER"), ("own", "MYFIELD"),
                      ("recording", "MUSICBRAINZ_TRACKID"), ("release", "MUSICBRAINZ_ALBUMID"),
                      ("artistid", "MUSICBRAINZ_ARTISTID"), ("albumartistid", "MUSICBRAINZ_ALBUMARTISTID"),
                      ("releasegroup", "MUSICBRAINZ_RELEASEGROUPID"), ("work", "MUSICBRAINZ_WORKID"),
                      ("releasetrack", "MUSICBRAINZ_RELEASETRACKID"), ("disc", "MUSICBRAINZ_DISCID")]:
        f[name] = V[key]
    f["TRACKNUMBER"], f["TRACKTOTAL"], f["DISCNUMBER"], f["DISCTOTAL"] = "3", "12", "2", "3"
    f["COMPILATION"] = "1"
    # Quod Libet's and Amarok's rating in FLAC, the percentage others write in Ogg.
    if fmt == "flac": f["FMPS_RATING"] = "1.0"
    else: f["RATING"] = "100"
    f["REPLAYGAIN_TRACK_GAIN"], f["REPLAYGAIN_TRACK_PEAK"] = "-3.00 dB", "0.500000"
    pictures = []
    for data, mime, kind, desc in [(back, "image/jpeg", 4, "Back side"), (front, "image/png", 3, ""), (html, "text/html", 3, "page")]:
        p = Picture(); p.data, p.mime, p.type, p.desc = data, mime, kind, desc
        pictures.append(p)
    if fmt == "flac":
        for p in pictures: f.add_picture(p)
    else:
        f["METADATA_BLOCK_PICTURE"] = [base64.b64encode(p.write()).decode() for p in pictures]
    f.save()
elif fmt == "wma":
    f = ASF(path)
    for key, name in [("title", "Title"), ("artist", "Author"), ("albumartist", "WM/AlbumArtist"), ("album", "WM/AlbumTitle"),
                      ("date", "WM/Year"), ("genre", "WM/Genre"), ("comment", "Description"), ("composer", "WM/Composer"),
                      ("lyrics", "WM/Lyrics"), ("publisher", "WM/Publisher"), ("bpm", "WM/BeatsPerMinute"),
                      ("isrc", "WM/ISRC"), ("grouping", "WM/ContentGroupDescription"), ("subtitle", "WM/SubTitle"),
                      ("conductor", "WM/Conductor"), ("lyricist", "WM/Writer"), ("copyright", "Copyright"),
                      ("albumsort", "WM/AlbumSortOrder"), ("artistsort", "WM/ArtistSortOrder"),
                      ("albumartistsort", "WM/AlbumArtistSortOrder"), ("titlesort", "WM/TitleSortOrder"),
                      ("catalognumber", "WM/CatalogNo"), ("own", "MyField"),
                      ("recording", "MusicBrainz/Track Id"), ("release", "MusicBrainz/Album Id"),
                      ("artistid", "MusicBrainz/Artist Id"), ("albumartistid", "MusicBrainz/Album Artist Id"),
                      ("releasegroup", "MusicBrainz/Release Group Id"), ("work", "MusicBrainz/Work Id"),
                      ("releasetrack", "MusicBrainz/Release Track Id"), ("disc", "MusicBrainz/Disc Id")]:
        f[name] = V[key]
    f["WM/TrackNumber"], f["WM/PartOfSet"] = "3/12", "2/3"
    f["WM/OriginalReleaseYear"] = one("originaldate")[:4]
    f["WM/IsCompilation"] = [ASFBoolAttribute(True)]
    f["WM/SharedUserRating"] = [ASFDWordAttribute(99)]
    f["replaygain_track_gain"] = "-3.00 dB"
    def picture(data, mime, kind, desc):
        return ASFByteArrayAttribute(struct.pack("<bi", kind, len(data)) + mime.encode("utf-16-le") + b"\0\0" +
                                     desc.encode("utf-16-le") + b"\0\0" + data)
    f["WM/Picture"] = [picture(back, "image/jpeg", 4, "Back side"), picture(front, "image/png", 3, ""),
                       picture(html, "text/html", 3, "page")]
    f.save()
elif fmt == "m4a":
    f = MP4(path)
    text = lambda key: [MP4FreeForm(v.encode("utf-8")) for v in V[key]]
    for key, name in [("title", "\xa9nam"), ("artist", "\xa9ART"), ("albumartist", "aART"), ("album", "\xa9alb"),
                      ("date", "\xa9day"), ("genre", "\xa9gen"), ("comment", "\xa9cmt"), ("composer", "\xa9wrt"),
                      ("lyrics", "\xa9lyr"), ("grouping", "\xa9grp"), ("copyright", "cprt"), ("albumsort", "soal"),
                      ("artistsort", "soar"), ("albumartistsort", "soaa"), ("titlesort", "sonm")]:
        f[name] = V[key]
    for key, name in [("publisher", "LABEL"), ("isrc", "ISRC"), ("subtitle", "SUBTITLE"), ("conductor", "CONDUCTOR"),
                      ("lyricist", "LYRICIST"), ("originaldate", "ORIGINALDATE"), ("catalognumber", "CATALOGNUMBER"),
                      ("own", "MYFIELD"), ("recording", "MusicBrainz Track Id"), ("release", "MusicBrainz Album Id"),
                      ("artistid", "MusicBrainz Artist Id"), ("albumartistid", "MusicBrainz Album Artist Id"),
                      ("releasegroup", "MusicBrainz Release Group Id"), ("work", "MusicBrainz Work Id"),
                      ("releasetrack", "MusicBrainz Release Track Id"), ("disc", "MusicBrainz Disc Id")]:
        f["----:com.apple.iTunes:" + name] = text(key)
    f["trkn"], f["disk"], f["tmpo"], f["cpil"] = [(3, 12)], [(2, 3)], [int(one("bpm"))], True
    f["----:com.apple.iTunes:RATING"] = [MP4FreeForm(b"100")]
    f["----:com.apple.iTunes:replaygain_track_gain"] = [MP4FreeForm(b"-3.00 dB")]
    f["covr"] = [MP4Cover(front, MP4Cover.FORMAT_PNG), MP4Cover(back, MP4Cover.FORMAT_JPEG),
                 MP4Cover(html, MP4Cover.FORMAT_JPEG)]
    f.save()
else:
    sys.exit("unknown format " + fmt)
)";

std::string ValuesFile() {
  std::string out;
  const auto add = [&out](const char* key, const std::string& value) {
    std::string line = value;
    for (std::size_t at; (at = line.find('\n')) != std::string::npos;) line.replace(at, 1, "\\n");
    out += std::string(key) + "=" + line + "\n";
  };
  add("title", V::title);
  for (const char* artist : V::artists) add("artist", artist);
  add("albumartist", V::albumArtist);
  add("album", V::album);
  add("date", V::date);
  for (const char* genre : V::genres) add("genre", genre);
  add("comment", V::comment);
  for (const char* composer : V::composers) add("composer", composer);
  add("lyrics", V::lyrics);
  add("publisher", V::publisher);
  add("bpm", V::bpm);
  add("isrc", V::isrc);
  add("grouping", V::grouping);
  add("subtitle", V::subtitle);
  add("conductor", V::conductor);
  add("lyricist", V::lyricist);
  add("originaldate", V::originalDate);
  add("copyright", V::copyright);
  add("albumsort", V::albumSort);
  add("artistsort", V::artistSort);
  add("albumartistsort", V::albumArtistSort);
  add("titlesort", V::titleSort);
  add("catalognumber", V::catalogNumber);
  add("own", V::ownField);
  add("recording", V::recordingId);
  add("release", V::releaseId);
  add("artistid", V::artistId);
  add("albumartistid", V::albumArtistId);
  add("releasegroup", V::releaseGroupId);
  add("work", V::workId);
  add("releasetrack", V::releaseTrackId);
  add("disc", V::discId);
  return out;
}

std::vector<std::uint8_t> BytesOf(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

void PrintTo(const MutagenFormat& format, std::ostream* out) { *out << format.name; }

const std::vector<MutagenFormat>& MutagenFormats() {
  static const std::vector<MutagenFormat> formats = {
      {"Wma", "wma", "-c:a wmav2"},
      {"Flac", "flac", "-c:a flac"},
      {"OggVorbis", "ogg", "-c:a libvorbis"},
      {"Opus", "opus", "-c:a libopus"},
      {"M4a", "m4a", "-c:a aac"},
  };
  return formats;
}

std::string MakeMutagenTaggedSource(const TempDir& dir, const MutagenFormat& format, double seconds) {
  const std::string path = dir.File(std::string("tagged.") + format.extension);
  EXPECT_TRUE(Ffmpeg(SineInput(440, 44100, seconds) + " " + format.encode, path));
  WriteBytes(dir.File("tagger.py"), BytesOf(kTagger));
  WriteBytes(dir.File("values.txt"), BytesOf(ValuesFile()));
  WriteBytes(dir.File("front.png"), CoverImage(true));
  WriteBytes(dir.File("back.jpg"), CoverImage(false));
  // Debian's interpreter, the one python3-mutagen installs for, whatever else PATH offers.
  const std::string output = CommandOutput("/usr/bin/python3 '" + dir.File("tagger.py") + "' '" + path + "' " +
                                           format.extension + " '" + dir.File("front.png") + "' '" +
                                           dir.File("back.jpg") + "' '" + dir.File("values.txt") + "' 2>&1");
  EXPECT_EQ(output, "") << "mutagen tagging " << format.name;
  return path;
}

}  // namespace testsupport
