#include "ui/output_record.h"

#include "platform/convert.h"

void FillOutputOptions(TOutputOptions &ARecord, const TCurrentProfile &AProfile) {
  const TCurrentProfile &p = AProfile;
  TOutputOptions &r = ARecord;
  if (p.Video_VideoCodec == "libx264") {
    r.VideoCodec = "libx264";
    r.VideoPreset = "libx264-default";
  } else if (!p.Video_VideoCodec.empty()) {
    r.VideoCodec = p.Video_VideoCodec;
    r.VideoPreset.clear();
  }
  if (!p.Video_AudioCodec.empty() && p.Video_AudioCodec != "AUTO")
    r.AudioCodec = p.Video_AudioCodec;
  if (!p.Video_FrameRate.empty())
    r.FrameRate = p.Video_FrameRate;
  r.DisableVideo = p.Video_DisableVideo;
  if (!p.Video_AudioChannels.empty())
    r.AudioChannels = StrToInt(p.Video_AudioChannels);
  if (!p.Video_AudioSampleRate.empty() && p.Video_AudioSampleRate != "AUTO")
    r.AudioSampleRate = StrToInt(p.Video_AudioSampleRate);
  if (!p.Video_FrameSize.empty())
    r.FrameSize = p.Video_FrameSize;
  if (!p.Video_TargetType.empty()) {
    r.TargetType = p.Video_TargetType == "vcd"    ? ttVCD
                   : p.Video_TargetType == "svcd" ? ttSVCD
                   : p.Video_TargetType == "dvd"  ? ttDVD
                                                  : ttIgnore;
  }
  r.NormType = p.Video_NormType == "PAL" ? ntPAL : p.Video_NormType == "NTSC" ? ntNTSC : ntAuto;
  r.AudioVolume = p.Video_AudioVolume == "256" ? 256 : StrToInt(p.Video_AudioVolume);
  if (!p.Video_FrameAspectRatio.empty())
    r.FrameAspectRatio = p.Video_FrameAspectRatio;
  if (p.Video_AudioBitrate != BitrateNotGiven && p.Video_AudioBitrate != -2000)
    r.AudioBitrate = p.Video_AudioBitrate;
  if (!p.Video_FileFormat.empty())
    r.FileFormat = p.Video_FileFormat;
  if (!p.Video_VideoFilters.empty())
    r.VideoFilters = p.Video_VideoFilters;
  if (!p.Video_VideoTag.empty())
    r.VideoTag = p.Video_VideoTag;
  if (p.Video_VideoBitrate != BitrateNotGiven)
    r.VideoBitrate = p.Video_VideoBitrate;
}

std::array<std::string, 14> RowOptionTexts(const TOutputOptions &ARecord, const TCurrentProfile &AProfile) {
  const TOutputOptions &r = ARecord;
  return {r.VideoCodec,
          r.AudioCodec,
          std::to_string(r.AudioChannels),
          r.VideoTag,
          r.FileExt,
          r.FrameSize,
          std::to_string(r.VideoBitrate),
          r.FrameRate,
          std::to_string(r.AudioBitrate),
          std::to_string(r.AudioSampleRate),
          r.FrameAspectRatio,
          r.DisableVideo ? "True" : "False",
          AProfile.Video_TargetType,
          AProfile.Video_NormType};
}

void RefreshOutputOptions(TOutputOptions &ARecord, const std::array<std::string, 14> &AColumns) {
  TOutputOptions &r = ARecord;
  const std::string &videoCodec = AColumns[0], &audioCodec = AColumns[1], &channels = AColumns[2],
                    &tag = AColumns[3], &fileExt = AColumns[4], &frameSize = AColumns[5],
                    &videoBitrate = AColumns[6], &frameRate = AColumns[7], &audioBitrate = AColumns[8],
                    &sampleRate = AColumns[9], &aspect = AColumns[10], &noVideo = AColumns[11],
                    &target = AColumns[12], &norm = AColumns[13];
  if (videoCodec == "libx264") {
    r.VideoCodec = "libx264";
    r.VideoPreset = "libx264-default";
  } else if (!videoCodec.empty()) {
    r.VideoCodec = videoCodec;
    r.VideoPreset.clear();
  }
  if (!audioCodec.empty() && audioCodec != "AUTO")
    r.AudioCodec = audioCodec;
  if (!channels.empty())
    r.AudioChannels = StrToInt(channels);
  // x264 takes no FourCC of the older MPEG-4 encoders.
  r.VideoTag = !tag.empty() && videoCodec != "libx264" ? tag : std::string();
  if (!fileExt.empty())
    r.FileExt = fileExt;
  if (!frameSize.empty())
    r.FrameSize = frameSize;
  if (!videoBitrate.empty())
    r.VideoBitrate = StrToInt(videoBitrate);
  if (!frameRate.empty())
    r.FrameRate = frameRate;
  if (audioBitrate != "-1000" && audioBitrate != "-2000")
    r.AudioBitrate = StrToInt(audioBitrate);
  if (!sampleRate.empty() && sampleRate != "AUTO")
    r.AudioSampleRate = StrToInt(sampleRate);
  if (!aspect.empty())
    r.FrameAspectRatio = aspect;
  r.DisableVideo = noVideo == "True";
  if (!target.empty())
    r.TargetType = target == "vcd" ? ttVCD : target == "svcd" ? ttSVCD : target == "dvd" ? ttDVD : ttIgnore;
  r.NormType = norm == "PAL" ? ntPAL : norm == "NTSC" ? ntNTSC : ntAuto;
}
