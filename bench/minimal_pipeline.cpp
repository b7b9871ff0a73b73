#include "bench/minimal_pipeline.h"

#include "media/ffmpeg_loader.h"

#include <cstdio>

namespace {

bool Fail(const char *what, int err = 0) {
  std::fprintf(stderr, "minimal pipeline: %s %s\n", what, err ? AVErrorText(err).c_str() : "");
  return false;
}

} // namespace

bool MinimalAudioToMp3(const std::string &AInput, const std::string &AOutput) {
  AVFormatContext *ic = nullptr;
  int ret = AV.avformat_open_input(&ic, AInput.c_str(), nullptr, nullptr);
  if (ret < 0)
    return Fail("open", ret);
  if ((ret = AV.avformat_find_stream_info(ic, nullptr)) < 0)
    return Fail("info", ret);
  const AVCodec *dcodec = nullptr;
  const int ai = AV.av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, &dcodec, 0);
  if (ai < 0)
    return Fail("no audio", ai);
  for (unsigned i = 0; i < ic->nb_streams; ++i)
    if (static_cast<int>(i) != ai)
      ic->streams[i]->discard = AVDISCARD_ALL;
  AVCodecContext *dec = AV.avcodec_alloc_context3(dcodec);
  AV.avcodec_parameters_to_context(dec, ic->streams[ai]->codecpar);
  if ((ret = AV.avcodec_open2(dec, dcodec, nullptr)) < 0)
    return Fail("decoder", ret);

  AVFormatContext *oc = nullptr;
  AV.avformat_alloc_output_context2(&oc, nullptr, nullptr, AOutput.c_str());
  const AVCodec *ecodec = AV.avcodec_find_encoder_by_name("libmp3lame");
  AVCodecContext *enc = AV.avcodec_alloc_context3(ecodec);
  enc->bit_rate = 128000;
  enc->sample_rate = 44100;
  AV.av_channel_layout_default(&enc->ch_layout, 2);
  enc->sample_fmt = ecodec->sample_fmts[0];
  enc->time_base = AVRational{1, 44100};
  if ((ret = AV.avcodec_open2(enc, ecodec, nullptr)) < 0)
    return Fail("encoder", ret);
  AVStream *os = AV.avformat_new_stream(oc, nullptr);
  AV.avcodec_parameters_from_context(os->codecpar, enc);
  os->time_base = enc->time_base;
  if ((ret = AV.avio_open(&oc->pb, AOutput.c_str(), AVIO_FLAG_WRITE)) < 0)
    return Fail("output", ret);
  if ((ret = AV.avformat_write_header(oc, nullptr)) < 0)
    return Fail("header", ret);

  SwrContext *swr = nullptr;
  AV.swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &dec->ch_layout, dec->sample_fmt,
                         dec->sample_rate, 0, nullptr);
  AV.swr_init(swr);
  AVAudioFifo *fifo = AV.av_audio_fifo_alloc(enc->sample_fmt, 2, enc->frame_size * 4);
  AVPacket *pkt = AV.av_packet_alloc();
  AVPacket *opkt = AV.av_packet_alloc();
  AVFrame *frame = AV.av_frame_alloc();
  AVFrame *eframe = AV.av_frame_alloc();
  eframe->format = enc->sample_fmt;
  eframe->nb_samples = enc->frame_size;
  AV.av_channel_layout_copy(&eframe->ch_layout, &enc->ch_layout);
  eframe->sample_rate = enc->sample_rate;
  AV.av_frame_get_buffer(eframe, 0);
  uint8_t **conv = nullptr;
  int convCap = 0;
  int64_t samples = 0;

  auto drainEncoder = [&] {
    while (AV.avcodec_receive_packet(enc, opkt) == 0) {
      AV.av_packet_rescale_ts(opkt, enc->time_base, os->time_base);
      opkt->stream_index = 0;
      AV.av_interleaved_write_frame(oc, opkt);
    }
  };
  auto encodeFifo = [&](bool flush) {
    while (AV.av_audio_fifo_size(fifo) >= enc->frame_size || (flush && AV.av_audio_fifo_size(fifo) > 0)) {
      const int n = std::min(AV.av_audio_fifo_size(fifo), enc->frame_size);
      AV.av_frame_make_writable(eframe);
      eframe->nb_samples = n;
      AV.av_audio_fifo_read(fifo, reinterpret_cast<void **>(eframe->data), n);
      eframe->pts = samples;
      samples += n;
      AV.avcodec_send_frame(enc, eframe);
      drainEncoder();
    }
  };
  auto takeFrames = [&] {
    while (AV.avcodec_receive_frame(dec, frame) == 0) {
      const int cap = AV.swr_get_out_samples(swr, frame->nb_samples);
      if (cap > convCap) {
        if (conv)
          AV.av_freep(&conv[0]);
        AV.av_freep(&conv);
        AV.av_samples_alloc_array_and_samples(&conv, nullptr, 2, cap, enc->sample_fmt, 0);
        convCap = cap;
      }
      const int n = AV.swr_convert(swr, conv, cap, const_cast<const uint8_t **>(frame->extended_data),
                                   frame->nb_samples);
      AV.av_audio_fifo_write(fifo, reinterpret_cast<void **>(conv), n);
      AV.av_frame_unref(frame);
      encodeFifo(false);
    }
  };
  while (AV.av_read_frame(ic, pkt) >= 0) {
    if (pkt->stream_index == ai) {
      AV.avcodec_send_packet(dec, pkt);
      takeFrames();
    }
    AV.av_packet_unref(pkt);
  }
  AV.avcodec_send_packet(dec, nullptr);
  takeFrames();
  encodeFifo(true);
  AV.avcodec_send_frame(enc, nullptr);
  drainEncoder();
  AV.av_write_trailer(oc);
  AV.avio_closep(&oc->pb);
  AV.avformat_free_context(oc);
  AV.avformat_close_input(&ic);
  return true;
}
