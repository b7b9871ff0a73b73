#include "tests/app/media_facts.h"

#include "media/ffmpeg_loader.h"
#include "playback/av_probe.h"

namespace {

// The codec's own short name ("mp3", "h264"), not the decoder's.
std::string CodecOf(TAVProbe &AProbe, int32_t AStream) {
  return AV.avcodec_get_name(AProbe.FileHandle()->streams[AStream]->codecpar->codec_id);
}

} // namespace

TMediaFacts FactsOf(const std::string &AFile) {
  TMediaFacts facts;
  TAVProbe probe;
  facts.Loaded = probe.LoadFile(AFile);
  if (!facts.Loaded) {
    facts.Error = probe.LastErrMsg();
    return facts;
  }
  facts.Container = probe.FormatName();
  if (probe.VideoStreamCount() > 0) {
    const TVideoStreamInfo v = probe.FirstVideoStreamInfo();
    facts.VideoCodec = CodecOf(probe, probe.FirstVideoStreamIndex());
    facts.Width = v.Width;
    facts.Height = v.Height;
  }
  if (probe.AudioStreamCount() > 0) {
    const TAudioStreamInfo a = probe.FirstAudioStreamInfo();
    facts.AudioCodec = CodecOf(probe, probe.FirstAudioStreamIndex());
    facts.SampleRate = a.SampleRate;
    facts.Channels = a.Channels;
    facts.AudioBitRate = a.BitRate;
  }
  const int64_t duration = probe.FileStreamInfo().Duration;
  facts.Seconds = duration > 0 ? duration / 1e6 : -1;
  // Some demuxers (swf) know no duration: the pictures that decode tell it.
  if (facts.Seconds < 0 && !facts.VideoCodec.empty()) {
    int64_t lastPTS = -1;
    while (probe.Decode())
      lastPTS = probe.FrameInfo().PTS;
    const AVRational rate = probe.FirstVideoStreamInfo().FrameRate;
    if (lastPTS >= 0 && rate.num > 0 && rate.den > 0)
      facts.Seconds = lastPTS / 1e6 + static_cast<double>(rate.den) / rate.num;
  }
  return facts;
}
