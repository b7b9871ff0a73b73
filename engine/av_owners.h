// Owners for the media libraries' objects the engine keeps. Each frees its
// object exactly once through the entry-point table. When the library that
// made the object is no longer loaded the object is left alone: its memory
// went away with the library, and calling through an empty slot would crash.
#pragma once

#include "media/ffmpeg_loader.h"

#include <memory>

struct TAVFreeDeleter {
  void operator()(void *p) const {
    if (p && AV.av_free)
      AV.av_free(p);
  }
};
struct TCodecContextDeleter {
  void operator()(AVCodecContext *p) const {
    if (p && AV.avcodec_free_context)
      AV.avcodec_free_context(&p);
  }
};
struct TFormatContextDeleter {
  void operator()(AVFormatContext *p) const {
    if (p && AV.avformat_free_context)
      AV.avformat_free_context(p);
  }
};
struct TSwsContextDeleter {
  void operator()(SwsContext *p) const {
    if (p && AV.sws_freeContext)
      AV.sws_freeContext(p);
  }
};
struct TBSFContextDeleter {
  void operator()(AVBSFContext *p) const {
    if (p && AV.av_bsf_free)
      AV.av_bsf_free(&p);
  }
};
struct TFilterGraphDeleter {
  void operator()(AVFilterGraph *p) const {
    if (p && AV.avfilter_graph_free)
      AV.avfilter_graph_free(&p);
  }
};
struct TDictionaryDeleter {
  void operator()(AVDictionary *p) const {
    if (p && AV.av_dict_free)
      AV.av_dict_free(&p);
  }
};

// Memory from av_malloc / av_mallocz.
template <typename T> using TAVMemPtr = std::unique_ptr<T, TAVFreeDeleter>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextDeleter>;
using TFormatContextPtr = std::unique_ptr<AVFormatContext, TFormatContextDeleter>;
using TSwsContextPtr = std::unique_ptr<SwsContext, TSwsContextDeleter>;
using TBSFContextPtr = std::unique_ptr<AVBSFContext, TBSFContextDeleter>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphDeleter>;
using TDictionaryPtr = std::unique_ptr<AVDictionary, TDictionaryDeleter>;
