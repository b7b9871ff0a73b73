// Targets: the codecs, container, picture, rates and mux settings of a disc
// or camcorder format for one television norm, set through the option table
// and the generic option mechanism.
#include "engine/custom_ffmpeg.h"

#include "platform/convert.h"

#include <cmath>

namespace {

enum TTargetNorm { tnPAL = 0, tnNTSC = 1, tnFILM = 2 };

// The rate in thousandths of a frame per second, as the norm tests want it
// (25000, 29970, 23976); 0 when the rate is unknown.
int64_t MilliFrameRate(AVRational ARate) {
  if (ARate.num <= 0 || ARate.den <= 0)
    return 0;
  return std::llround(static_cast<double>(ARate.num) * 1000.0 / ARate.den);
}

// The norm a rate stands for; false when it stands for none.
bool NormOfRate(int64_t AMilliRate, TTargetNorm &ANorm) {
  if (AMilliRate == 25000)
    ANorm = tnPAL;
  else if (AMilliRate == 29970 || AMilliRate == 23976)
    ANorm = tnNTSC;
  else
    return false;
  return true;
}

} // namespace

void TCustomFFmpeg::ApplyTarget(const std::string &ATarget, const std::string &ANorm, const std::string &ADefaultNorm) {
  TTargetNorm norm = tnPAL;
  if (ANorm == "pal") {
    norm = tnPAL;
  } else if (ANorm == "ntsc") {
    norm = tnNTSC;
  } else if (ANorm == "film") {
    norm = tnFILM;
  } else {
    if (Fframe_rate.den == 0)
      throw FFmpegException("frame_rate is invalid.");
    bool found = NormOfRate(MilliFrameRate(Fframe_rate), norm);
    // The inputs' video streams decide next. The older libraries read the
    // decoder's time base here; its inverse on the current ones is the
    // stream's real base rate, or the average rate when that is unknown.
    for (int32_t i = 0; i < Fnb_input_files && !found; ++i) {
      const AVFormatContext *ic = Finput_files[static_cast<size_t>(i)];
      if (!ic)
        continue;
      for (unsigned j = 0; j < ic->nb_streams && !found; ++j) {
        const AVStream *st = ic->streams[j];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
          continue;
        const AVRational rate = st->r_frame_rate.num > 0 ? st->r_frame_rate : st->avg_frame_rate;
        found = NormOfRate(MilliFrameRate(rate), norm);
      }
    }
    if (!found)
      norm = ADefaultNorm == "film" ? tnFILM : ADefaultNorm == "ntsc" ? tnNTSC : tnPAL;
    if (Fverbose > 0)
      FFLogger().Log(this, llVerbose, Format("Assuming %s for target.", norm == tnPAL ? "PAL" : "NTSC"));
  }

  const bool pal = norm == tnPAL;
  static const char *const frameRates[] = {"25", "30000/1001", "24000/1001"};
  const char *frameRate = frameRates[norm];
  const char *gop = pal ? "15" : "18";
  // The results of the generic settings are not checked: a target sets what
  // the libraries take.
  const auto generic = [this](const char *AName, const char *AValue) { ApplyGenericOption(AName, AValue); };
  const auto defaultAspect = [this](const char *AAspect) {
    if (Fframe_aspect_ratio != 0)
      return;
    FFLogger().Log(this, llInfo, Format("Assuming %s for aspect ratio", AAspect));
    OptAspect(AAspect);
  };

  if (ATarget == "vcd") {
    OptCodec(miVideo, "mpeg1video");
    OptCodec(miAudio, "mp2");
    OptFormat("vcd");
    SetFrameSize(pal ? "352x288" : "352x240");
    OptFrameRate(frameRate);
    generic("g", gop);
    generic("b", "1150000");
    generic("maxrate", "1150000");
    generic("minrate", "1150000");
    generic("bufsize", "327680"); // 40 KiB: the VBV buffer of a VCD player
    generic("ab", "224000");
    Faudio_sample_rate = 44100;
    Faudio_channels = 2;
    generic("packetsize", "2324"); // one CD-ROM XA Mode 2 Form 2 sector
    generic("muxrate", "1411200"); // 75 sectors of 2352 bytes a second
    // Preloading more than 0.44 s overflows a VCD player's buffer.
    Fmux_preload = 0.44f;
    defaultAspect("4:3");
  } else if (ATarget == "svcd") {
    OptCodec(miVideo, "mpeg2video");
    OptCodec(miAudio, "mp2");
    OptFormat("svcd");
    SetFrameSize(pal ? "480x576" : "480x480");
    OptFrameRate(frameRate);
    generic("g", gop);
    generic("b", "2040000");
    generic("maxrate", "2516000");
    generic("minrate", "0");
    generic("bufsize", "1835008"); // 224 KiB
    generic("flags", "+scan_offset");
    generic("ab", "224000");
    Faudio_sample_rate = 44100;
    generic("packetsize", "2324");
    if (Faudio_channels == 1)
      Faudio_channels = 2;
    defaultAspect("4:3");
  } else if (ATarget == "dvd") {
    OptCodec(miVideo, "mpeg2video");
    OptCodec(miAudio, "ac3");
    OptFormat("dvd");
    SetFrameSize(pal ? "720x576" : "720x480");
    OptFrameRate(frameRate);
    generic("g", gop);
    generic("b", "6000000");
    generic("maxrate", "9000000");
    generic("minrate", "0");
    generic("bufsize", "1835008");  // 224 KiB
    generic("packetsize", "2048");  // one DVD sector
    generic("muxrate", "10080000"); // the DVD's multiplex rate limit
    generic("ab", "448000");
    Faudio_sample_rate = 48000;
    if (Faudio_channels == 1)
      Faudio_channels = 2;
    defaultAspect("16:9");
  } else if (ATarget == "dv" || ATarget == "dv50") {
    OptFormat("dv");
    SetFrameSize(pal ? "720x576" : "720x480");
    // DV25 samples chroma 4:2:0 in PAL and 4:1:1 in NTSC; DV50 is 4:2:2.
    OptPixFmt(ATarget == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p");
    OptFrameRate(frameRate);
    Faudio_sample_rate = 48000;
    Faudio_channels = 2;
  } else {
    throw FFmpegException("Unknown target type");
  }
}
