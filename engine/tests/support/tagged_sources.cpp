#include "tagged_sources.h"

#include <gtest/gtest.h>

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

namespace testsupport {

using namespace media_fixtures;
using Bytes = std::vector<std::uint8_t>;
using Frame = TagLib::ID3v2::AttachedPictureFrame;
using V = TaggedValues;

const Bytes& CoverImage(bool front) {
  static const std::pair<Bytes, Bytes> images = [] {
    TempDir dir;
    EXPECT_TRUE(Ffmpeg("-f lavfi -i color=c=red:s=16x16 -frames:v 1", dir.File("front.png")));
    EXPECT_TRUE(Ffmpeg("-f lavfi -i color=c=blue:s=24x8 -frames:v 1", dir.File("back.jpg")));
    return std::pair{ReadBytes(dir.File("front.png")), ReadBytes(dir.File("back.jpg"))};
  }();
  return front ? images.first : images.second;
}

TagLib::ByteVector Vector(const Bytes& b) {
  return TagLib::ByteVector(reinterpret_cast<const char*>(b.data()), static_cast<unsigned int>(b.size()));
}

Frame* Apic(const Bytes& data, const char* mime, Frame::Type type) {
  auto* frame = new Frame();
  frame->setMimeType(mime);
  frame->setType(type);
  frame->setPicture(Vector(data));
  return frame;
}

namespace {

// The back cover first, then the front: the reader has to choose by type.
void AddApics(TagLib::ID3v2::Tag* tag) {
  tag->addFrame(Apic(CoverImage(false), "image/jpeg", Frame::BackCover));
  tag->addFrame(Apic(CoverImage(true), "image/png", Frame::FrontCover));
}

template <typename Add>
void AddFlacPictures(Add add) {
  for (bool front : {false, true}) {
    auto* picture = new TagLib::FLAC::Picture();
    picture->setMimeType(front ? "image/png" : "image/jpeg");
    picture->setType(front ? TagLib::FLAC::Picture::FrontCover : TagLib::FLAC::Picture::BackCover);
    picture->setData(Vector(CoverImage(front)));
    add(picture);
  }
}

// Pictures (and for WAV, whose ffmpeg muxer writes only RIFF INFO, the texts) for each format.
void AddPictures(const std::string& path, const std::string& extension) {
  const char* name = path.c_str();
  if (extension == "mp3") {
    TagLib::MPEG::File f(name, false);
    AddApics(f.ID3v2Tag(true));
    ASSERT_TRUE(f.save());
  } else if (extension == "flac") {
    TagLib::FLAC::File f(name, false);
    AddFlacPictures([&f](TagLib::FLAC::Picture* p) { f.addPicture(p); });
    ASSERT_TRUE(f.save());
  } else if (extension == "ogg") {
    TagLib::Ogg::Vorbis::File f(name, false);
    AddFlacPictures([&f](TagLib::FLAC::Picture* p) { f.tag()->addPicture(p); });
    ASSERT_TRUE(f.save());
  } else if (extension == "opus") {
    TagLib::Ogg::Opus::File f(name, false);
    AddFlacPictures([&f](TagLib::FLAC::Picture* p) { f.tag()->addPicture(p); });
    ASSERT_TRUE(f.save());
  } else if (extension == "m4a") {  // no picture types in MP4: the first is the cover
    TagLib::MP4::File f(name, false);
    TagLib::MP4::CoverArtList list;
    list.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::PNG, Vector(CoverImage(true))));
    list.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::JPEG, Vector(CoverImage(false))));
    f.tag()->setItem("covr", list);
    ASSERT_TRUE(f.save());
  } else if (extension == "wma") {
    TagLib::ASF::File f(name, false);
    for (bool front : {false, true}) {
      TagLib::ASF::Picture picture;
      picture.setMimeType(front ? "image/png" : "image/jpeg");
      picture.setType(front ? TagLib::ASF::Picture::FrontCover : TagLib::ASF::Picture::BackCover);
      picture.setPicture(Vector(CoverImage(front)));
      f.tag()->addAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
    }
    ASSERT_TRUE(f.save());
  } else if (extension == "aiff") {
    TagLib::RIFF::AIFF::File f(name, false);
    AddApics(f.tag());
    ASSERT_TRUE(f.save());
  } else if (extension == "wav") {
    TagLib::RIFF::WAV::File f(name, false);
    TagLib::PropertyMap map;
    for (const auto& [key, value] : {std::pair{"TITLE", V::title}, {"ARTIST", V::artist}, {"ALBUMARTIST", V::albumArtist},
                                     {"ALBUM", V::album}, {"TRACKNUMBER", "3/12"}, {"DISCNUMBER", "2/3"},
                                     {"DATE", V::date}, {"GENRE", V::genre}, {"COMMENT", V::comment},
                                     {"COMPOSER", V::composer}}) {
      map.insert(key, TagLib::String(value, TagLib::String::UTF8));
    }
    f.ID3v2Tag()->setProperties(map);
    AddApics(f.ID3v2Tag());
    ASSERT_TRUE(f.save());
  } else if (extension == "wv") {  // APEv2 cover items: a file name, a NUL, the image
    TagLib::WavPack::File f(name, false);
    for (bool front : {false, true}) {
      TagLib::ByteVector value(front ? "front.png" : "back.jpg");
      value.append('\0');
      value.append(Vector(CoverImage(front)));
      f.APETag(true)->setData(front ? "Cover Art (Front)" : "Cover Art (Back)", value);
    }
    ASSERT_TRUE(f.save());
  }
}

}  // namespace

void PrintTo(const TaggedFormat& format, std::ostream* out) { *out << format.name; }

const std::vector<TaggedFormat>& TaggedFormats() {
  static const std::vector<TaggedFormat> formats = {
      {"Mp3Id3v2", "mp3", "-c:a libmp3lame -b:a 64k"}, {"Flac", "flac", "-c:a flac"},
      {"OggVorbis", "ogg", "-c:a libvorbis"},           {"Opus", "opus", "-c:a libopus"},
      {"M4aAac", "m4a", "-c:a aac"},                    {"Wma", "wma", "-c:a wmav2"},
      {"AiffId3Chunk", "aiff", "-write_id3v2 1"},        {"WavId3Chunk", "wav", nullptr},
      // ffmpeg's WavPack muxer names the album artist ALBUM_ARTIST.
      {"WavPackApe", "wv", "-c:a wavpack"},
  };
  return formats;
}

std::string TaggedMetadataArguments() {
  return std::string("-metadata 'title=") + V::title + "' -metadata 'artist=" + V::artist +
         "' -metadata 'album_artist=" + V::albumArtist + "' -metadata 'album=" + V::album +
         "' -metadata track=3/12 -metadata disc=2/3 -metadata date=" + V::date + " -metadata genre=" + V::genre +
         " -metadata 'comment=" + V::comment + "' -metadata 'composer=" + V::composer + "'";
}

std::string MakeTaggedSource(const TempDir& dir, const TaggedFormat& format, double seconds) {
  const std::string path = dir.File(std::string("source.") + format.extension);
  const std::string encode = format.encode != nullptr ? std::string(format.encode) + " " + TaggedMetadataArguments() : "";
  EXPECT_TRUE(Ffmpeg(SineInput(440, 44100, seconds) + " " + encode, path));
  AddPictures(path, format.extension);
  return path;
}

}  // namespace testsupport
