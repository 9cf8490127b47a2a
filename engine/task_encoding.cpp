#include "engine/task_encoding.h"

namespace engine {

void ApplyTaskEncoding(TMP3Out& out, const TTaskEncoding& task) {
  for (int rate = br8; rate <= br320; ++rate) {
    if (BitRateKbps(static_cast<TMP3BitRate>(rate)) == task.Bitrate) out.BitRate = static_cast<TMP3BitRate>(rate);
  }
  out.VBRMinBitrate = task.VbrMinBitrate;
  out.VBRMaxBitrate = task.VbrMaxBitrate;
  switch (task.ChannelMode) {
    case 0: out.Mode = DUAL_CHANNEL; break;
    case 1: out.Mode = STEREO; break;
    case 2: out.Mode = JOINT_STEREO; break;
    default: out.Mode = MONO; break;
  }
  out.EnableVBR = task.Vbr;
  out.WriteVBRHeader = task.Vbr;
  out.SampleRate = task.SampleRate == 32000 ? sr32kHz : task.SampleRate == 48000 ? sr48kHz : sr41kHz;
  out.Id3TagTitle = task.Title;
  out.Id3TagArtist = task.Artist;
  out.Id3TagAlbum = task.Album;
  out.Id3TagYear = task.Year;
  out.Id3TagGenre = task.Genre;
  out.Id3TagComment = task.Comment;
}

}  // namespace engine
