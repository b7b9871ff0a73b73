#include "tests/support/fixtures.h"

#include "media/ffmpeg_loader.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Check(int ret, const std::string &what) {
  if (ret < 0)
    throw std::runtime_error(what + ": " + AVErrorText(ret));
}

// One generated elementary stream: source graph -> encoder -> muxer stream.
struct TTrack {
  AVFilterGraph *Graph = nullptr;
  AVFilterContext *Sink = nullptr;
  AVCodecContext *Enc = nullptr;
  AVStream *Stream = nullptr;
  bool Done = false;
  ~TTrack() {
    AV.avfilter_graph_free(&Graph);
    AV.avcodec_free_context(&Enc);
  }
};

void OpenTrack(TTrack &t, AVFormatContext *oc, const std::string &source, const std::string &codecName,
               AVMediaType type, int channels) {
  const AVCodecID id = type == AVMEDIA_TYPE_VIDEO ? oc->oformat->video_codec : oc->oformat->audio_codec;
  const AVCodec *codec =
      codecName.empty() ? AV.avcodec_find_encoder(id) : AV.avcodec_find_encoder_by_name(codecName.c_str());
  if (!codec)
    throw std::runtime_error("no encoder for fixture stream");
  t.Enc = AV.avcodec_alloc_context3(codec);
  std::string chain = source;
  if (type == AVMEDIA_TYPE_VIDEO) {
    const AVPixelFormat fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    chain += std::string(",format=pix_fmts=") + AV.av_get_pix_fmt_name(fmt);
  } else {
    const AVSampleFormat fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    chain += std::string(",aformat=sample_fmts=") + AV.av_get_sample_fmt_name(fmt) +
             ":channel_layouts=" + (channels == 1 ? "mono" : "stereo");
  }
  t.Graph = AV.avfilter_graph_alloc();
  const char *sinkName = type == AVMEDIA_TYPE_VIDEO ? "buffersink" : "abuffersink";
  Check(AV.avfilter_graph_create_filter(&t.Sink, AV.avfilter_get_by_name(sinkName), "out", nullptr, nullptr, t.Graph),
        "fixture sink");
  AVFilterInOut *outputs = nullptr;
  AVFilterInOut *inputs = AV.avfilter_inout_alloc();
  inputs->name = AV.av_strdup("out");
  inputs->filter_ctx = t.Sink;
  inputs->pad_idx = 0;
  inputs->next = nullptr;
  const int ret = AV.avfilter_graph_parse_ptr(t.Graph, chain.c_str(), &inputs, &outputs, nullptr);
  AV.avfilter_inout_free(&inputs);
  AV.avfilter_inout_free(&outputs);
  Check(ret, "fixture graph " + chain);
  Check(AV.avfilter_graph_config(t.Graph, nullptr), "fixture graph config");

  if (type == AVMEDIA_TYPE_VIDEO) {
    t.Enc->width = AV.av_buffersink_get_w(t.Sink);
    t.Enc->height = AV.av_buffersink_get_h(t.Sink);
    t.Enc->pix_fmt = static_cast<AVPixelFormat>(AV.av_buffersink_get_format(t.Sink));
    t.Enc->time_base = AV.av_buffersink_get_time_base(t.Sink);
    t.Enc->framerate = AV.av_buffersink_get_frame_rate(t.Sink);
    t.Enc->sample_aspect_ratio = AVRational{1, 1};
    t.Enc->gop_size = 12;
  } else {
    t.Enc->sample_fmt = static_cast<AVSampleFormat>(AV.av_buffersink_get_format(t.Sink));
    t.Enc->sample_rate = AV.av_buffersink_get_sample_rate(t.Sink);
    AV.av_channel_layout_default(&t.Enc->ch_layout, channels);
    t.Enc->time_base = AVRational{1, t.Enc->sample_rate};
    t.Enc->bit_rate = 128000;
  }
  if (oc->oformat->flags & AVFMT_GLOBALHEADER)
    t.Enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(AV.avcodec_open2(t.Enc, codec, nullptr), "fixture encoder");
  if (type == AVMEDIA_TYPE_AUDIO && t.Enc->frame_size > 0 &&
      !(codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
    AV.av_buffersink_set_frame_size(t.Sink, static_cast<unsigned>(t.Enc->frame_size));
  t.Stream = AV.avformat_new_stream(oc, nullptr);
  Check(AV.avcodec_parameters_from_context(t.Stream->codecpar, t.Enc), "fixture stream");
  t.Stream->time_base = t.Enc->time_base;
}

void Drain(TTrack &t, AVFormatContext *oc, AVPacket *pkt) {
  while (AV.avcodec_receive_packet(t.Enc, pkt) == 0) {
    AV.av_packet_rescale_ts(pkt, t.Enc->time_base, t.Stream->time_base);
    pkt->stream_index = t.Stream->index;
    Check(AV.av_interleaved_write_frame(oc, pkt), "fixture write");
  }
}

// Feeds one frame (or the end) of the track to its encoder.
void Step(TTrack &t, AVFormatContext *oc, AVFrame *frame, AVPacket *pkt) {
  const int ret = AV.av_buffersink_get_frame(t.Sink, frame);
  if (ret == AVERROR_EOF) {
    AV.avcodec_send_frame(t.Enc, nullptr);
    Drain(t, oc, pkt);
    t.Done = true;
    return;
  }
  Check(ret, "fixture source");
  // The sources mark every picture as an intra picture, which encoders take
  // as an order; without it the encoder's own GOP holds.
  frame->pict_type = AV_PICTURE_TYPE_NONE;
  Check(AV.avcodec_send_frame(t.Enc, frame), "fixture encode");
  AV.av_frame_unref(frame);
  Drain(t, oc, pkt);
}

void Make(const TFixtureSpec &s, const std::string &path) {
  AVFormatContext *oc = nullptr;
  // The container comes from the fixture's name; path is a temporary beside it.
  const AVOutputFormat *format = AV.av_guess_format(nullptr, s.Name.c_str(), nullptr);
  Check(AV.avformat_alloc_output_context2(&oc, format, nullptr, path.c_str()), "fixture format");
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> ocOwner(oc, [](AVFormatContext *c) {
    if (c->pb)
      AV.avio_closep(&c->pb);
    AV.avformat_free_context(c);
  });
  TTrack video, audio;
  std::vector<TTrack *> tracks;
  if (!s.Video.empty()) {
    OpenTrack(video, oc, s.Video, s.VideoCodec, AVMEDIA_TYPE_VIDEO, 0);
    tracks.push_back(&video);
  }
  if (!s.Audio.empty()) {
    OpenTrack(audio, oc, s.Audio, s.AudioCodec, AVMEDIA_TYPE_AUDIO, s.AudioChannels);
    tracks.push_back(&audio);
  }
  for (const auto &[key, value] : s.Metadata)
    AV.av_dict_set(&oc->metadata, key.c_str(), value.c_str(), 0);
  Check(AV.avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE), "fixture open " + path);
  Check(AV.avformat_write_header(oc, nullptr), "fixture header");
  AVFrame *frame = AV.av_frame_alloc();
  AVPacket *pkt = AV.av_packet_alloc();
  // Alternate the tracks so the muxer interleaves them without long queues.
  bool more = true;
  while (more) {
    more = false;
    for (TTrack *t : tracks)
      if (!t->Done) {
        Step(*t, oc, frame, pkt);
        more = true;
      }
  }
  AV.av_frame_free(&frame);
  AV.av_packet_free(&pkt);
  Check(AV.av_write_trailer(oc), "fixture trailer");
}

} // namespace

std::string FixtureDir() {
  const fs::path dir = fs::path(ZV_FIXTURE_DIR);
  fs::create_directories(dir);
  return dir.string();
}

std::string Fixture(const TFixtureSpec &ASpec) {
  const fs::path path = fs::path(FixtureDir()) / ASpec.Name;
  if (fs::exists(path) && fs::file_size(path) > 0)
    return path.string();
  // Write beside and rename, so a parallel test never reads half a file.
  const fs::path tmp = fs::path(path.string() + ".part" + std::to_string(::getpid()));
  try {
    Make(ASpec, tmp.string());
  } catch (...) {
    fs::remove(tmp);
    throw;
  }
  fs::rename(tmp, path);
  return path.string();
}

std::string ToneWav(double ASeconds) {
  return Fixture({"tone_" + std::to_string(static_cast<int>(ASeconds * 1000)) + "ms.wav", "",
                  "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(ASeconds), "", "pcm_s16le"});
}

std::string TestMovie(double ASeconds) {
  const std::string d = std::to_string(ASeconds);
  return Fixture({"movie_" + std::to_string(static_cast<int>(ASeconds * 1000)) + "ms.avi",
                  "testsrc=size=320x240:rate=25:duration=" + d, "sine=frequency=440:sample_rate=44100:duration=" + d,
                  "mpeg4", "mp2"});
}
