// What happens to a decoded picture before it is filtered and encoded
// (deinterlacing, the custom hook, hook modules) and to an encoded one after
// (the preview bitmap event and the preview window).
#include "engine/custom_ffmpeg.h"
#include "engine/video_hook.h"

#include "platform/convert.h"

#include <dlfcn.h>

#include <exception>
#include <map>
#include <mutex>

struct TFrameHookEntry {
  TFrameHookEntry *next = nullptr;
  ZvHookConfigureFn Configure = nullptr;
  ZvHookProcessFn Process = nullptr;
  ZvHookReleaseFn Release = nullptr;
  void *ctx = nullptr;
};

namespace {

struct TFrameDeleter {
  void operator()(AVFrame *p) const { AV.av_frame_free(&p); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

// Hook modules by file name. A module is loaded once per process and never
// unloaded: a later conversion reuses it, and code of a module may still be
// referenced by what it handed out.
std::mutex GModuleLock; // guards GModules
std::map<std::string, void *> GModules;

void *LoadHookModule(const std::string &AFileName) {
  std::lock_guard<std::mutex> g(GModuleLock);
  if (auto it = GModules.find(AFileName); it != GModules.end())
    return it->second;
  std::vector<void *> deps; // kept loaded with the module
  void *handle = OpenWithFolderDependencies(AFileName, deps);
  if (!handle) {
    const char *why = dlerror();
    AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", why ? why : AFileName.c_str());
    return nullptr;
  }
  GModules[AFileName] = handle;
  return handle;
}

TPictureRef RefOf(const AVFrame *APicture) {
  TPictureRef ref;
  for (int i = 0; i < 4; ++i) {
    ref.Data[i] = APicture->data[i];
    ref.Linesize[i] = APicture->linesize[i];
  }
  return ref;
}

// (Re)builds the stream's deinterlacer for the picture's size and format:
// buffer -> kerndeint (every pixel, as a fixed deinterlacer does) -> sink in
// the same format. False when the libraries cannot make it.
bool EnsureDeinterlacer(TAVInputStream &AIst, const AVFrame *APicture) {
  if (AIst.deint_graph && AIst.deint_width == APicture->width && AIst.deint_height == APicture->height &&
      AIst.deint_pix_fmt == APicture->format)
    return true;
  AV.avfilter_graph_free(&AIst.deint_graph);
  AIst.deint_src = AIst.deint_sink = nullptr;
  AIst.deint_graph = AV.avfilter_graph_alloc();
  if (!AIst.deint_graph)
    return false;
  const AVFilter *buffer = AV.avfilter_get_by_name("buffer");
  const AVFilter *deint = AV.avfilter_get_by_name("kerndeint");
  const AVFilter *sink = AV.avfilter_get_by_name("buffersink");
  if (!buffer || !deint || !sink)
    return false;
  const std::string args = Format("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=1/1", APicture->width,
                                  APicture->height, APicture->format, AV_TIME_BASE);
  AVFilterContext *filter = nullptr;
  if (AV.avfilter_graph_create_filter(&AIst.deint_src, buffer, "src", args.c_str(), nullptr, AIst.deint_graph) < 0 ||
      AV.avfilter_graph_create_filter(&filter, deint, "deinterlace", "thresh=0", nullptr, AIst.deint_graph) < 0)
    return false;
  AIst.deint_sink = AV.avfilter_graph_alloc_filter(AIst.deint_graph, sink, "out");
  const AVPixelFormat format = static_cast<AVPixelFormat>(APicture->format);
  if (!AIst.deint_sink ||
      AV.av_opt_set_bin(AIst.deint_sink, "pix_fmts", reinterpret_cast<const uint8_t *>(&format), sizeof format,
                        AV_OPT_SEARCH_CHILDREN) < 0 ||
      AV.avfilter_init_str(AIst.deint_sink, nullptr) < 0 || AV.avfilter_link(AIst.deint_src, 0, filter, 0) < 0 ||
      AV.avfilter_link(filter, 0, AIst.deint_sink, 0) < 0 || AV.avfilter_graph_config(AIst.deint_graph, nullptr) < 0) {
    AV.avfilter_graph_free(&AIst.deint_graph);
    AIst.deint_src = AIst.deint_sink = nullptr;
    return false;
  }
  AIst.deint_width = APicture->width;
  AIst.deint_height = APicture->height;
  AIst.deint_pix_fmt = APicture->format;
  return true;
}

// The deinterlaced picture in AOut (a new reference), or false.
bool Deinterlace(TAVInputStream &AIst, AVFrame *APicture, AVFrame *AOut) {
  if (!EnsureDeinterlacer(AIst, APicture))
    return false;
  if (AV.av_buffersrc_add_frame_flags(AIst.deint_src, APicture, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
    return false;
  return AV.av_buffersink_get_frame(AIst.deint_sink, AOut) >= 0;
}

} // namespace

int32_t TCustomFFmpeg::AddVideoHook(const std::vector<std::string> &AWords) {
  if (AWords.empty())
    return -1;
  const std::string &file = AWords[0];
  void *module = LoadHookModule(file);
  if (!module)
    return -1;
  auto entry = std::make_unique<TFrameHookEntry>();
  entry->Configure = reinterpret_cast<ZvHookConfigureFn>(dlsym(module, "Configure"));
  entry->Process = reinterpret_cast<ZvHookProcessFn>(dlsym(module, "Process"));
  entry->Release = reinterpret_cast<ZvHookReleaseFn>(dlsym(module, "Release"));
  if (!entry->Process) {
    AV.av_log(nullptr, AV_LOG_ERROR, "Failed to find Process entrypoint in %s\n", file.c_str());
    return -1;
  }
  if (!entry->Configure && AWords.size() > 1) {
    AV.av_log(nullptr, AV_LOG_ERROR, "Failed to find Configure entrypoint in %s\n", file.c_str());
    return -1;
  }
  if (entry->Configure) {
    std::vector<std::string> words = AWords; // the module may keep or change them while configuring
    std::vector<char *> argv;
    for (auto &w : words)
      argv.push_back(w.data());
    argv.push_back(nullptr);
    if (entry->Configure(&entry->ctx, static_cast<int>(words.size()), argv.data()) != 0) {
      AV.av_log(nullptr, AV_LOG_ERROR, "Failed to Configure %s\n", file.c_str());
      return -1;
    }
  }
  TFrameHookEntry **tail = &FFirstHook;
  while (*tail)
    tail = &(*tail)->next;
  *tail = entry.release();
  return 0;
}

void TCustomFFmpeg::ReleaseVideoHooks() {
  while (FFirstHook) {
    TFrameHookEntry *entry = FFirstHook;
    FFirstHook = entry->next;
    if (entry->Release)
      entry->Release(entry->ctx);
    delete entry;
  }
}

void TCustomFFmpeg::PreProcessVideoFrame(TAVInputStream &AIst, AVFrame *APicture) {
  ++FHookFrameNumber;
  const int64_t pts = AIst.pts;
  const bool custom = FOnCustomHook && !FCustomHookOff;
  const bool modules = Fusing_vhook && FFirstHook;
  if (!Fdo_deinterlace && !custom && !modules)
    return;

  const AVPixelFormat format = static_cast<AVPixelFormat>(APicture->format);
  const int size = AV.av_image_get_buffer_size(format, APicture->width, APicture->height, 1);
  if (size < 0) {
    FFLogger().Log(this, llError, "hook buf malloc error.");
    return;
  }
  FHookBufSize = std::max(FHookBufSize, size);

  // The working picture: the deinterlaced one, or a copy of the decoded one
  // unless the decoder no longer shares it. Either way the decoded picture
  // then refers to it.
  if (Fdo_deinterlace) {
    TFramePtr work(AV.av_frame_alloc());
    if (work && Deinterlace(AIst, APicture, work.get())) {
      AV.av_frame_copy_props(work.get(), APicture);
      work->interlaced_frame = 0;
      AV.av_frame_unref(APicture);
      AV.av_frame_move_ref(APicture, work.get());
    } else {
      FFLogger().Log(this, llError, "Deinterlacing failed.");
    }
  }
  if (!custom && !modules)
    return;
  if (AV.av_frame_make_writable(APicture) < 0) {
    FFLogger().Log(this, llError, "hook buf malloc error.");
    return;
  }

  if (custom) {
    RunCustomHook(APicture, pts);
  } else {
    ZvHookPicture picture{};
    for (int i = 0; i < 4; ++i) {
      picture.data[i] = APicture->data[i];
      picture.linesize[i] = APicture->linesize[i];
    }
    for (TFrameHookEntry *entry = FFirstHook; entry; entry = entry->next)
      entry->Process(entry->ctx, &picture, APicture->format, APicture->width, APicture->height, pts);
  }
}

void TCustomFFmpeg::RunCustomHook(AVFrame *APicture, int64_t APTS) {
  const AVPixelFormat format = static_cast<AVPixelFormat>(APicture->format);
  TPictureRef picture = RefOf(APicture);
  TRGBConvertContext &ctx = FHookContext.Context;
  bool update = true;
  bool stop = false;
  if (!PictureToBitmap(ctx, picture, format, APicture->width, APicture->height)) {
    FFLogger().Log(this, llError, "Cannot initialize the toRGB conversion context");
    stop = true;
  } else {
    try {
      FOnCustomHook(this, ctx.Bitmap.get(), FHookFrameNumber, APTS, update, stop);
    } catch (const std::exception &e) {
      FFLogger().Log(this, llError, std::string("Error occurs OnCustomHook: ") + e.what());
      update = false;
    } catch (...) {
      FFLogger().Log(this, llError, "Error occurs OnCustomHook: unknown exception");
      update = false;
    }
    if (update && !BitmapToPicture(ctx, picture, format, APicture->width, APicture->height)) {
      FFLogger().Log(this, llError, "Cannot initialize the fromRGB conversion context");
      stop = true;
    }
  }
  if (stop) {
    FCustomHookOff = true;
    Fusing_vhook = false;
  }
}

void TCustomFFmpeg::RunPostHooks(const AVFrame *APicture, int64_t APTS) {
  TPostHooks hooks;
  std::shared_ptr<TPreviewer> previewer;
  {
    std::lock_guard<TCriticalSection> g(PostHookLock());
    hooks = FPostHooks;
    previewer = FPostContext.Previewer;
  }
  const bool bitmap = (hooks & PostHookBit(phBitmap)) && FOnPreviewBitmap;
  const bool preview = !bitmap && (hooks & PostHookBit(phPreview));
  if (!bitmap && !preview)
    return;
  FPostContext.preview_cur_time = AV.av_gettime_relative();
  if (FPostContext.preview_last_time && FPostContext.preview_cur_time - FPostContext.preview_last_time <= PreviewInterval)
    return;

  TPostHooks removed = 0;
  TRGBConvertContext &ctx = FPostContext.Context;
  if (!PictureToBitmap(ctx, RefOf(APicture), static_cast<AVPixelFormat>(APicture->format), APicture->width,
                       APicture->height)) {
    FFLogger().Log(this, llError, "Cannot initialize the toRGB conversion context");
    removed = PostHookBit(bitmap ? phBitmap : phPreview);
  } else if (bitmap) {
    try {
      FOnPreviewBitmap(this, ctx.Bitmap.get(), FHookFrameNumber, APTS);
    } catch (const std::exception &e) {
      // A failing handler switches previews off; the conversion goes on.
      FFLogger().Log(this, llError, std::string("Error occurs OnPreviewBitmap: ") + e.what());
      removed = PostHookBit(phBitmap);
    }
  } else {
    if (!previewer) {
      previewer = std::make_shared<TPreviewer>();
      std::lock_guard<TCriticalSection> g(PostHookLock());
      if (FPostHooks & PostHookBit(phPreview))
        FPostContext.Previewer = previewer;
    }
    if (!previewer->PaintFrame(ctx.Bitmap.get(), FHookFrameNumber, APTS))
      removed = PostHookBit(phPreview);
  }
  FPostContext.preview_last_time = AV.av_gettime_relative();
  if (removed) {
    std::shared_ptr<TPreviewer> dropped;
    {
      std::lock_guard<TCriticalSection> g(PostHookLock());
      FPostHooks &= ~removed;
      if (removed & PostHookBit(phPreview))
        dropped = std::move(FPostContext.Previewer);
    }
  }
}
