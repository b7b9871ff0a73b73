// The "vf" filter graph of an input video stream: buffer source, optional
// crop and scale, the user's description between "in" and "out", and a sink
// that offers only the encoder's pixel format.
#include "engine/custom_ffmpeg.h"

#include "platform/convert.h"

namespace {

struct TInOutDeleter {
  void operator()(AVFilterInOut *p) const { AV.avfilter_inout_free(&p); }
};
using TInOutPtr = std::unique_ptr<AVFilterInOut, TInOutDeleter>;

// One end of the user's description: ALabel names the pad of AFilter.
TInOutPtr Endpoint(const char *ALabel, AVFilterContext *AFilter) {
  TInOutPtr io(AV.avfilter_inout_alloc());
  if (!io)
    return nullptr;
  io->name = AV.av_strdup(ALabel);
  io->filter_ctx = AFilter;
  io->pad_idx = 0;
  io->next = nullptr;
  return io->name ? std::move(io) : nullptr;
}

// Adds a filter after ALast and makes it the new last one.
int Append(AVFilterGraph *AGraph, AVFilterContext *&ALast, const char *AFilter, const char *AName,
           const std::string &AArgs) {
  const AVFilter *filter = AV.avfilter_get_by_name(AFilter);
  if (!filter)
    return AVERROR_FILTER_NOT_FOUND;
  AVFilterContext *ctx = nullptr;
  int ret = AV.avfilter_graph_create_filter(&ctx, filter, AName, AArgs.c_str(), nullptr, AGraph);
  if (ret < 0)
    return ret;
  if ((ret = AV.avfilter_link(ALast, 0, ctx, 0)) < 0)
    return ret;
  ALast = ctx;
  return 0;
}

} // namespace

int32_t TCustomFFmpeg::ConfigureFilters(TAVInputStream &AIst, TAVOutputStream &AOst) {
  AVCodecContext *enc = AOst.enc_ctx;
  if (AIst.out_video_filter) {
    // Another output stream made the graph already; pictures leave it at one size.
    enc->width = AV.av_buffersink_get_w(AIst.out_video_filter);
    enc->height = AV.av_buffersink_get_h(AIst.out_video_filter);
    return 0;
  }
  const AVCodecParameters *par = AIst.st->codecpar;
  AVFilterGraph *graph = AV.avfilter_graph_alloc();
  if (!graph)
    return AVERROR(ENOMEM);
  AIst.filter_graph = graph;
  const auto fail = [&AIst](int ARet) {
    AV.avfilter_graph_free(&AIst.filter_graph);
    AIst.input_video_filter = AIst.out_video_filter = nullptr;
    return ARet < 0 ? ARet : AVERROR(EINVAL);
  };

  // 1. Source (pictures carry µs timestamps) and sink.
  const AVRational sar = par->sample_aspect_ratio.num > 0 ? par->sample_aspect_ratio : AVRational{0, 1};
  const std::string srcArgs = Format("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d", par->width,
                                     par->height, par->format, AV_TIME_BASE, sar.num, sar.den);
  AVFilterContext *src = nullptr;
  int ret = AV.avfilter_graph_create_filter(&src, AV.avfilter_get_by_name("buffer"), "src", srcArgs.c_str(), nullptr,
                                            graph);
  if (ret < 0)
    return fail(ret);
  AVFilterContext *sink = AV.avfilter_graph_alloc_filter(graph, AV.avfilter_get_by_name("buffersink"), "out");
  if (!sink)
    return fail(AVERROR(ENOMEM));
  const AVPixelFormat format = enc->pix_fmt;
  if ((ret = AV.av_opt_set_bin(sink, "pix_fmts", reinterpret_cast<const uint8_t *>(&format), sizeof format,
                               AV_OPT_SEARCH_CHILDREN)) < 0 ||
      (ret = AV.avfilter_init_str(sink, nullptr)) < 0)
    return fail(ret);

  int64_t flags = Fsws_flags;
  if (FOptions.sws_opts && AV.av_opt_get_int(FOptions.sws_opts.get(), "sws_flags", 0, &flags) >= 0)
    Fsws_flags = static_cast<uint32_t>(flags);

  // 2. Crop to the input size less the bands. (Cropping straight to the
  // encoder's size would cut a window of that size out of the picture
  // instead of scaling the cropped picture to it.)
  AVFilterContext *last = src;
  const int cropWidth = par->width - (AOst.leftBand + AOst.rightBand);
  const int cropHeight = par->height - (AOst.topBand + AOst.bottomBand);
  if (AOst.video_crop &&
      (ret = Append(graph, last, "crop", "crop",
                    Format("w=%d:h=%d:x=%d:y=%d", cropWidth, cropHeight, AOst.leftBand, AOst.topBand))) < 0)
    return fail(ret);
  // 3. Scale to the encoder's size.
  if ((cropWidth != enc->width || cropHeight != enc->height) &&
      (ret = Append(graph, last, "scale", "scale",
                    Format("w=%d:h=%d:flags=0x%X", enc->width, enc->height, Fsws_flags))) < 0)
    return fail(ret);
  // 4. Scalers the graph inserts itself (format conversions) use the same flags.
  graph->scale_sws_opts = AV.av_strdup(Format("flags=0x%X", Fsws_flags).c_str());

  // 5. The user's description between "in" (the last filter) and "out".
  TInOutPtr outputs = Endpoint("in", last);
  TInOutPtr inputs = Endpoint("out", sink);
  if (!outputs || !inputs)
    return fail(AVERROR(ENOMEM));
  AVFilterInOut *in = inputs.release();
  AVFilterInOut *out = outputs.release();
  ret = AV.avfilter_graph_parse_ptr(graph, Fvfilters.c_str(), &in, &out, nullptr);
  AV.avfilter_inout_free(&in);
  AV.avfilter_inout_free(&out);
  if (ret < 0)
    return fail(ret);

  // 6. Formats and links; the encoder takes what arrives at the sink.
  if ((ret = AV.avfilter_graph_config(graph, nullptr)) < 0)
    return fail(ret);
  AIst.input_video_filter = src;
  AIst.out_video_filter = sink;
  enc->width = AV.av_buffersink_get_w(sink);
  enc->height = AV.av_buffersink_get_h(sink);
  const AVRational outSar = AV.av_buffersink_get_sample_aspect_ratio(sink);
  if (outSar.num > 0) {
    enc->sample_aspect_ratio = outSar;
    AOst.st->sample_aspect_ratio = outSar;
  }
  return 0;
}

void TCustomFFmpeg::FilterAndDispatch(TAVInputStream &AIst, AVFrame *APicture) {
  if (APicture) {
    APicture->pts = AIst.pts;
    if (AV.av_buffersrc_add_frame_flags(AIst.input_video_filter, APicture, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
      throw FFmpegException("Error while filtering the picture");
  } else if (AV.av_buffersrc_add_frame_flags(AIst.input_video_filter, nullptr, 0) < 0) {
    return;
  }
  if (!AIst.picref && !(AIst.picref = AV.av_frame_alloc()))
    throw FFmpegException("av_mallocz fail");
  while (AV.av_buffersink_get_frame(AIst.out_video_filter, AIst.picref) >= 0) {
    if (AIst.picref->pts != AV_NOPTS_VALUE)
      AIst.pts = AIst.picref->pts;
    try {
      DispatchDecoded(AIst, AIst.picref, nullptr, 0, nullptr, AV_NOPTS_VALUE);
    } catch (...) {
      AV.av_frame_unref(AIst.picref);
      throw;
    }
    AV.av_frame_unref(AIst.picref);
  }
}
