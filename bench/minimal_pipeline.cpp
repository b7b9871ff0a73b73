#include "bench/minimal_pipeline.h"

#include "media/ffmpeg_loader.h"

#include <cstdio>
#include <vector>

namespace {

bool Fail(const char *what, int err = 0) {
  std::fprintf(stderr, "minimal pipeline: %s %s\n", what, err ? AVErrorText(err).c_str() : "");
  return false;
}

// One audio stream from decoder to encoder: resampled into a FIFO and
// encoded a frame at a time, as every audio encoder wants.
struct TAudioLane {
  AVCodecContext *Dec = nullptr, *Enc = nullptr;
  SwrContext *Swr = nullptr;
  AVAudioFifo *Fifo = nullptr;
  AVFrame *Frame = nullptr, *EncFrame = nullptr;
  uint8_t **Conv = nullptr;
  int ConvCap = 0;
  int64_t Samples = 0;

  bool Open(AVCodecContext *ADec, AVCodecContext *AEnc) {
    Dec = ADec, Enc = AEnc;
    AV.swr_alloc_set_opts2(&Swr, &Enc->ch_layout, Enc->sample_fmt, Enc->sample_rate, &Dec->ch_layout,
                           Dec->sample_fmt, Dec->sample_rate, 0, nullptr);
    if (!Swr || AV.swr_init(Swr) < 0)
      return false;
    const int frameSize = Enc->frame_size > 0 ? Enc->frame_size : 1024;
    Fifo = AV.av_audio_fifo_alloc(Enc->sample_fmt, Enc->ch_layout.nb_channels, frameSize * 4);
    Frame = AV.av_frame_alloc();
    EncFrame = AV.av_frame_alloc();
    EncFrame->format = Enc->sample_fmt;
    EncFrame->nb_samples = frameSize;
    AV.av_channel_layout_copy(&EncFrame->ch_layout, &Enc->ch_layout);
    EncFrame->sample_rate = Enc->sample_rate;
    return AV.av_frame_get_buffer(EncFrame, 0) >= 0;
  }
  template <class FWrite> void Encode(bool AFlush, FWrite AWrite) {
    const int frameSize = Enc->frame_size > 0 ? Enc->frame_size : 1024;
    while (AV.av_audio_fifo_size(Fifo) >= frameSize || (AFlush && AV.av_audio_fifo_size(Fifo) > 0)) {
      const int n = std::min(AV.av_audio_fifo_size(Fifo), frameSize);
      AV.av_frame_make_writable(EncFrame);
      EncFrame->nb_samples = n;
      AV.av_audio_fifo_read(Fifo, reinterpret_cast<void **>(EncFrame->data), n);
      EncFrame->pts = Samples;
      Samples += n;
      AV.avcodec_send_frame(Enc, EncFrame);
      AWrite();
    }
  }
  template <class FWrite> void TakeFrames(FWrite AWrite) {
    while (AV.avcodec_receive_frame(Dec, Frame) == 0) {
      const int cap = AV.swr_get_out_samples(Swr, Frame->nb_samples);
      if (cap > ConvCap) {
        if (Conv)
          AV.av_freep(&Conv[0]);
        AV.av_freep(&Conv);
        AV.av_samples_alloc_array_and_samples(&Conv, nullptr, Enc->ch_layout.nb_channels, cap, Enc->sample_fmt, 0);
        ConvCap = cap;
      }
      const int n = AV.swr_convert(Swr, Conv, cap, const_cast<const uint8_t **>(Frame->extended_data),
                                   Frame->nb_samples);
      AV.av_audio_fifo_write(Fifo, reinterpret_cast<void **>(Conv), n);
      AV.av_frame_unref(Frame);
      Encode(false, AWrite);
    }
  }
};

AVCodecContext *OpenDecoder(AVStream *AStream, int AThreads) {
  const AVCodec *codec = AV.avcodec_find_decoder(AStream->codecpar->codec_id);
  AVCodecContext *dec = codec ? AV.avcodec_alloc_context3(codec) : nullptr;
  if (!dec || AV.avcodec_parameters_to_context(dec, AStream->codecpar) < 0)
    return nullptr;
  dec->thread_count = AThreads;
  dec->pkt_timebase = AStream->time_base;
  return AV.avcodec_open2(dec, codec, nullptr) < 0 ? nullptr : dec;
}

} // namespace

bool MinimalAudioToMp3(const std::string &AInput, const std::string &AOutput) {
  TMinimalTranscode audioOnly;
  audioOnly.AudioEncoder = "libmp3lame";
  audioOnly.AudioBitrate = 128000;
  return MinimalTranscode(AInput, AOutput, audioOnly);
}

bool MinimalTranscode(const std::string &AInput, const std::string &AOutput, const TMinimalTranscode &ASet) {
  AVFormatContext *ic = nullptr;
  int ret = AV.avformat_open_input(&ic, AInput.c_str(), nullptr, nullptr);
  if (ret < 0)
    return Fail("open", ret);
  if ((ret = AV.avformat_find_stream_info(ic, nullptr)) < 0)
    return Fail("info", ret);
  const bool video = !ASet.VideoEncoder.empty();
  const int vi = video ? AV.av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
  const int ai = AV.av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if ((video && vi < 0) || ai < 0)
    return Fail("streams");
  for (unsigned i = 0; i < ic->nb_streams; ++i)
    if (static_cast<int>(i) != vi && static_cast<int>(i) != ai)
      ic->streams[i]->discard = AVDISCARD_ALL;
  AVCodecContext *vdec = video ? OpenDecoder(ic->streams[vi], ASet.Threads) : nullptr;
  AVCodecContext *adec = OpenDecoder(ic->streams[ai], ASet.Threads);
  if ((video && !vdec) || !adec)
    return Fail("decoders");

  AVFormatContext *oc = nullptr;
  AV.avformat_alloc_output_context2(&oc, nullptr, nullptr, AOutput.c_str());
  if (!oc)
    return Fail("container");
  const bool globalHeader = oc->oformat->flags & AVFMT_GLOBALHEADER;
  AVCodecContext *venc = nullptr;
  const AVCodec *vcodec = video ? AV.avcodec_find_encoder_by_name(ASet.VideoEncoder.c_str()) : nullptr;
  if (video) {
    venc = vcodec ? AV.avcodec_alloc_context3(vcodec) : nullptr;
    if (!venc)
      return Fail("video encoder");
    venc->width = ASet.Width;
    venc->height = ASet.Height;
    venc->pix_fmt = AV_PIX_FMT_YUV420P;
    venc->bit_rate = ASet.VideoBitrate;
    venc->time_base = AVRational{ASet.FrameRateDen, ASet.FrameRateNum};
    venc->framerate = AVRational{ASet.FrameRateNum, ASet.FrameRateDen};
    if (ASet.GopSize > 0)
      venc->gop_size = ASet.GopSize;
    venc->sample_aspect_ratio = vdec->sample_aspect_ratio;
    venc->thread_count = ASet.Threads;
    if (globalHeader)
      venc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((ret = AV.avcodec_open2(venc, vcodec, nullptr)) < 0)
      return Fail("video encoder", ret);
  }
  const AVCodec *acodec = AV.avcodec_find_encoder_by_name(ASet.AudioEncoder.c_str());
  AVCodecContext *aenc = acodec ? AV.avcodec_alloc_context3(acodec) : nullptr;
  if (!aenc)
    return Fail("audio encoder");
  aenc->bit_rate = ASet.AudioBitrate;
  aenc->sample_rate = ASet.SampleRate;
  AV.av_channel_layout_default(&aenc->ch_layout, ASet.Channels);
  aenc->sample_fmt = acodec->sample_fmts[0];
  aenc->time_base = AVRational{1, ASet.SampleRate};
  aenc->thread_count = ASet.Threads;
  if (globalHeader)
    aenc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if ((ret = AV.avcodec_open2(aenc, acodec, nullptr)) < 0)
    return Fail("audio encoder", ret);
  AVStream *vs = video ? AV.avformat_new_stream(oc, nullptr) : nullptr;
  AVStream *as = AV.avformat_new_stream(oc, nullptr);
  if (vs) {
    AV.avcodec_parameters_from_context(vs->codecpar, venc);
    vs->time_base = venc->time_base;
  }
  AV.avcodec_parameters_from_context(as->codecpar, aenc);
  as->time_base = aenc->time_base;
  if ((ret = AV.avio_open(&oc->pb, AOutput.c_str(), AVIO_FLAG_WRITE)) < 0)
    return Fail("output", ret);
  if ((ret = AV.avformat_write_header(oc, nullptr)) < 0)
    return Fail("header", ret);
  AVPacket *pkt = AV.av_packet_alloc();
  AVPacket *opkt = AV.av_packet_alloc();
  const auto drain = [&](AVCodecContext *AEnc, AVStream *AStream) {
    return [=] {
      while (AV.avcodec_receive_packet(AEnc, opkt) == 0) {
        AV.av_packet_rescale_ts(opkt, AEnc->time_base, AStream->time_base);
        opkt->stream_index = AStream->index;
        AV.av_interleaved_write_frame(oc, opkt);
      }
    };
  };
  const auto writeVideo = drain(venc, vs);
  const auto writeAudio = drain(aenc, as);
  TAudioLane audio;
  if (!audio.Open(adec, aenc))
    return Fail("resampler");

  SwsContext *sws = nullptr;
  AVFrame *vframe = AV.av_frame_alloc();
  AVFrame *scaled = AV.av_frame_alloc();
  int64_t pictures = 0;
  const auto takePictures = [&] {
    while (AV.avcodec_receive_frame(vdec, vframe) == 0) {
      AVFrame *out = vframe;
      if (vframe->width != venc->width || vframe->height != venc->height || vframe->format != venc->pix_fmt) {
        sws = AV.sws_getCachedContext(sws, vframe->width, vframe->height, static_cast<AVPixelFormat>(vframe->format),
                                      venc->width, venc->height, venc->pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                                      nullptr);
        if (!scaled->data[0]) {
          scaled->format = venc->pix_fmt, scaled->width = venc->width, scaled->height = venc->height;
          AV.av_frame_get_buffer(scaled, 0);
        }
        AV.av_frame_make_writable(scaled);
        AV.sws_scale(sws, vframe->data, vframe->linesize, 0, vframe->height, scaled->data, scaled->linesize);
        out = scaled;
      }
      out->pts = pictures++;
      out->pict_type = AV_PICTURE_TYPE_NONE;
      AV.avcodec_send_frame(venc, out);
      AV.av_frame_unref(vframe);
      writeVideo();
    }
  };
  while (AV.av_read_frame(ic, pkt) >= 0) {
    if (pkt->stream_index == vi) {
      AV.avcodec_send_packet(vdec, pkt);
      takePictures();
    } else if (pkt->stream_index == ai) {
      AV.avcodec_send_packet(adec, pkt);
      audio.TakeFrames(writeAudio);
    }
    AV.av_packet_unref(pkt);
  }
  if (video) {
    AV.avcodec_send_packet(vdec, nullptr);
    takePictures();
    AV.avcodec_send_frame(venc, nullptr);
    writeVideo();
  }
  AV.avcodec_send_packet(adec, nullptr);
  audio.TakeFrames(writeAudio);
  audio.Encode(true, writeAudio);
  AV.avcodec_send_frame(aenc, nullptr);
  writeAudio();
  AV.av_write_trailer(oc);
  AV.avio_closep(&oc->pb);
  AV.avformat_free_context(oc);
  AV.avformat_close_input(&ic);
  return true;
}
