// The plan of a run: input and output stream records, the binding of each
// output stream to its source, codec parameters, encoders and decoders,
// timestamps, metadata, chapters and headers. Built on the run's thread when
// the run starts, freed when it ends.
#include "engine/custom_ffmpeg.h"
#include "engine/media_names.h"

#include "media/wide_file.h"
#include "platform/convert.h"

#include <climits>
#include <cstdio>
#include <mutex>

namespace {

AVMediaType TypeOf(const AVStream *AStream) { return AStream->codecpar->codec_type; }

// Whether AStream belongs to a program of AInput with the id AProgram.
bool InProgram(const AVFormatContext *AInput, const AVStream *AStream, int AProgram) {
  for (unsigned p = 0; p < AInput->nb_programs; ++p) {
    const AVProgram *program = AInput->programs[p];
    if (program->id != AProgram)
      continue;
    for (unsigned s = 0; s < program->nb_stream_indexes; ++s)
      if (AInput->streams[program->stream_index[s]] == AStream)
        return true;
  }
  return false;
}

uint16_t *DuplicateMatrix(const uint16_t *AMatrix) {
  if (!AMatrix)
    return nullptr;
  auto *m = static_cast<uint16_t *>(AV.av_malloc(sizeof(uint16_t) * 64));
  if (m)
    std::copy(AMatrix, AMatrix + 64, m);
  return m;
}

// A fresh encoder context with the settings of an old one: the options the
// library knows by name and the fields it keeps outside its option table.
void CopyEncoderSettings(AVCodecContext *ADst, const AVCodecContext *ASrc) {
  AV.av_opt_copy(ADst, ASrc);
  ADst->codec_type = ASrc->codec_type;
  ADst->codec_id = ASrc->codec_id;
  ADst->codec_tag = ASrc->codec_tag;
  ADst->time_base = ASrc->time_base;
  ADst->framerate = ASrc->framerate;
  ADst->width = ASrc->width;
  ADst->height = ASrc->height;
  ADst->pix_fmt = ASrc->pix_fmt;
  ADst->sample_aspect_ratio = ASrc->sample_aspect_ratio;
  ADst->sample_fmt = ASrc->sample_fmt;
  ADst->sample_rate = ASrc->sample_rate;
  AV.av_channel_layout_uninit(&ADst->ch_layout);
  AV.av_channel_layout_copy(&ADst->ch_layout, &ASrc->ch_layout);
  ADst->flags = ASrc->flags;
  ADst->flags2 = ASrc->flags2;
  ADst->global_quality = ASrc->global_quality;
  ADst->gop_size = ASrc->gop_size;
  ADst->bits_per_raw_sample = ASrc->bits_per_raw_sample;
  ADst->chroma_sample_location = ASrc->chroma_sample_location;
  ADst->rc_initial_buffer_occupancy = ASrc->rc_initial_buffer_occupancy;
  ADst->intra_dc_precision = ASrc->intra_dc_precision;
  ADst->thread_count = ASrc->thread_count;
  AV.av_freep(&ADst->intra_matrix);
  AV.av_freep(&ADst->inter_matrix);
  ADst->intra_matrix = DuplicateMatrix(ASrc->intra_matrix);
  ADst->inter_matrix = DuplicateMatrix(ASrc->inter_matrix);
  AV.av_freep(&ADst->rc_override);
  ADst->rc_override_count = 0;
  if (ASrc->rc_override_count > 0) {
    const size_t bytes = sizeof(RcOverride) * static_cast<size_t>(ASrc->rc_override_count);
    ADst->rc_override = static_cast<RcOverride *>(AV.av_malloc(bytes));
    if (ADst->rc_override) {
      std::copy(ASrc->rc_override, ASrc->rc_override + ASrc->rc_override_count, ADst->rc_override);
      ADst->rc_override_count = ASrc->rc_override_count;
    }
  }
}

// Reads a whole file for the pass-2 statistics input.
std::string ReadWholeFile(const std::string &AName, bool &AOk) {
  AOk = false;
  std::FILE *f = std::fopen(AName.c_str(), "rb");
  if (!f)
    return {};
  std::string text;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
    text.append(buf, n);
  AOk = !std::ferror(f);
  std::fclose(f);
  return text;
}

} // namespace

void FreeInputStream(TAVInputStream &AIst) {
  if (AIst.dec_ctx)
    AV.avcodec_free_context(&AIst.dec_ctx);
  AV.av_frame_free(&AIst.decoded_frame);
  AV.av_frame_free(&AIst.filter_frame);
  AV.av_frame_free(&AIst.picref);
  AV.avfilter_graph_free(&AIst.filter_graph);
  AIst.input_video_filter = AIst.out_video_filter = nullptr;
  AV.avfilter_graph_free(&AIst.deint_graph);
  AIst.deint_src = AIst.deint_sink = nullptr;
}

void FreeOutputStream(TAVOutputStream &AOst) {
  if (AOst.enc_ctx)
    AV.avcodec_free_context(&AOst.enc_ctx);
  AV.av_frame_free(&AOst.pict_tmp);
  if (AOst.img_resample_ctx) {
    AV.sws_freeContext(AOst.img_resample_ctx);
    AOst.img_resample_ctx = nullptr;
  }
  AV.swr_free(&AOst.resample);
  AV.swr_free(&AOst.reformat_ctx);
  if (AOst.fifo)
    AV.av_fifo_freep2(&AOst.fifo);
  if (AOst.logfile) {
    std::fclose(AOst.logfile);
    AOst.logfile = nullptr;
  }
}

int TCustomFFmpeg::OpenEncoder(AVCodecContext *ACtx, const AVCodec *ACodec, AVDictionary **AOptions) {
  // The count may change between creating the stream and the run (the job
  // manager shares the cores among the tasks it starts together).
  ACtx->thread_count = Fthread_count;
  int ret;
  {
    std::lock_guard<TCriticalSection> g(LibraryLock());
    ret = AV.avcodec_open2(ACtx, ACodec, AOptions);
  }
  if (ret >= 0)
    FEncoderList.push_back(ACtx);
  return ret;
}

int TCustomFFmpeg::OpenDecoder(AVCodecContext *ACtx, const AVCodec *ACodec, AVDictionary **AOptions) {
  // The count may change between creating the stream and the run (the job
  // manager shares the cores among the tasks it starts together).
  ACtx->thread_count = Fthread_count;
  int ret;
  {
    std::lock_guard<TCriticalSection> g(LibraryLock());
    ret = AV.avcodec_open2(ACtx, ACodec, AOptions);
  }
  if (ret >= 0)
    FDecoderList.push_back(ACtx);
  return ret;
}

void TCustomFFmpeg::CloseCodec(AVCodecContext *ACtx) {
  if (!ACtx)
    return;
  AV.av_freep(&ACtx->stats_in);
  {
    std::lock_guard<TCriticalSection> g(LibraryLock());
    AV.avcodec_close(ACtx);
  }
  FEncoderList.remove(ACtx);
  FDecoderList.remove(ACtx);
}

void TCustomFFmpeg::LogStreamMapping() {
  const int32_t outputs = FJoinMode ? std::min<int32_t>(Fnb_output_files, 1) : Fnb_output_files;
  for (int32_t i = 0; i < outputs; ++i) {
    AVFormatContext *oc = Foutput_files[static_cast<size_t>(i)];
    AV.av_dump_format(oc, i, oc->url, 1);
  }
  if (Fverbose < 0)
    return;
  FFLogger().Log(this, llVerbose, "Stream mapping:");
  for (const auto &ost : FPlan.OutputStreams) {
    if (ost->source_index < 0)
      continue;
    const TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(ost->source_index)];
    std::string line = Format("  Stream #%d.%d -> #%d.%d (%s)", ist.file_index, ist.index,
                              FJoinMode ? 0 : ost->file_index, ost->index, MediaTypeName(TypeOf(ost->st)));
    if (ost->sync_ist && ost->sync_ist != &ist)
      line += Format(" [sync #%d.%d (%s)]", ost->sync_ist->file_index, ost->sync_ist->index,
                     MediaTypeName(TypeOf(ost->sync_ist->st)));
    FFLogger().Log(this, llVerbose, line);
  }
}

TBitstreamFilterChain *TCustomFFmpeg::ChainOf(const TAVOutputStream &AOst) {
  if (AOst.index >= MAX_STREAMS)
    return nullptr;
  const size_t file = FJoinMode ? 0 : static_cast<size_t>(AOst.file_index);
  return &Fbitstream_filters[file][static_cast<size_t>(AOst.index)];
}

void TCustomFFmpeg::BuildPlan() {
  FreePlan();
  FPlan.Scratch = AV.av_frame_alloc();
  if (!FPlan.Scratch)
    throw FFmpegException("av_mallocz fail");

  // 1. Input tables.
  int32_t istCount = 0;
  for (int32_t i = 0; i < Fnb_input_files; ++i) {
    AVFormatContext *ic = Finput_files[static_cast<size_t>(i)];
    TAVInputFile file;
    file.ist_index = istCount;
    file.nb_streams = static_cast<int32_t>(ic->nb_streams);
    FPlan.InputFiles.push_back(file);
    for (unsigned s = 0; s < ic->nb_streams; ++s, ++istCount) {
      auto ist = std::make_unique<TAVInputStream>();
      ist->file_index = i;
      ist->index = static_cast<int32_t>(s);
      ist->st = ic->streams[s];
      ist->discard = 1;
      if (Frate_emu)
        ist->start = AV.av_gettime_relative();
      FPlan.InputStreams.push_back(std::move(ist));
    }
  }

  // 2. Every output needs a stream; maps must cover every output stream and
  // name streams that exist.
  int32_t ostCount = 0;
  for (int32_t i = 0; i < Fnb_output_files; ++i) {
    AVFormatContext *oc = Foutput_files[static_cast<size_t>(i)];
    if (oc->nb_streams == 0) {
      AV.av_dump_format(oc, i, oc->url, 1);
      throw FFmpegException(Format("Output file #%d does not contain any stream", i));
    }
    ostCount += static_cast<int32_t>(oc->nb_streams);
  }
  FPlan.FirstOutputStreams = Fnb_output_files > 0 ? static_cast<int32_t>(Foutput_files[0]->nb_streams) : 0;
  if (Fnb_stream_maps > 0 && Fnb_stream_maps != ostCount)
    throw FFmpegException("Number of stream maps must match number of output streams");
  const auto inputStream = [this](int32_t AFile, int32_t AStream) -> int32_t {
    if (AFile < 0 || AFile >= Fnb_input_files || AStream < 0 ||
        AStream >= FPlan.InputFiles[static_cast<size_t>(AFile)].nb_streams)
      return -1;
    return FPlan.InputFiles[static_cast<size_t>(AFile)].ist_index + AStream;
  };
  for (int32_t m = 0; m < Fnb_stream_maps; ++m) {
    const TAVStreamMap &map = Fstream_maps[static_cast<size_t>(m)];
    if (inputStream(map.file_index, map.stream_index) < 0)
      throw FFmpegException(Format("Could not find input stream #%d.%d", map.file_index, map.stream_index));
    if (inputStream(map.sync_file_index, map.sync_stream_index) < 0)
      throw FFmpegException(
          Format("Could not find sync stream #%d.%d", map.sync_file_index, map.sync_stream_index));
  }

  // 3. Output streams and their sources.
  for (int32_t i = 0, n = 0; i < Fnb_output_files; ++i) {
    AVFormatContext *oc = Foutput_files[static_cast<size_t>(i)];
    for (unsigned j = 0; j < oc->nb_streams; ++j, ++n) {
      auto ost = std::make_unique<TAVOutputStream>();
      ost->file_index = i;
      ost->index = static_cast<int32_t>(j);
      ost->st = oc->streams[j];
      const AVMediaType type = TypeOf(ost->st);
      TAVInputStream *sync = nullptr;
      if (Fnb_stream_maps > 0) {
        const TAVStreamMap &map = Fstream_maps[static_cast<size_t>(n)];
        ost->source_index = inputStream(map.file_index, map.stream_index);
        const TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(ost->source_index)];
        if (TypeOf(ist.st) != type)
          throw FFmpegException(Format("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)", map.file_index,
                                       map.stream_index, MediaTypeName(TypeOf(ist.st)), i, static_cast<int>(j),
                                       MediaTypeName(type)));
        sync = FPlan.InputStreams[static_cast<size_t>(inputStream(map.sync_file_index, map.sync_stream_index))].get();
      } else {
        // The first input with a free stream of the type gives it; within an
        // input, the stream the library rates best (probing no longer says
        // how many frames it saw).
        int32_t chosen = -1;
        for (int32_t k = 0; k < istCount && chosen < 0; ++k) {
          const TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(k)];
          const AVFormatContext *ic = Finput_files[static_cast<size_t>(ist.file_index)];
          const auto usable = [&](const TAVInputStream &AIst) {
            return AIst.discard && AIst.st->discard != AVDISCARD_ALL && TypeOf(AIst.st) == type &&
                   (!Fopt_programid || InProgram(ic, AIst.st, Fopt_programid)) &&
                   (!FJoinMode || AIst.file_index == i);
          };
          if (!usable(ist))
            continue;
          chosen = k;
          const int best = AV.av_find_best_stream(const_cast<AVFormatContext *>(ic), type, -1, -1, nullptr, 0);
          const int32_t bestIndex = FPlan.InputFiles[static_cast<size_t>(ist.file_index)].ist_index + best;
          if (best >= 0 && usable(*FPlan.InputStreams[static_cast<size_t>(bestIndex)]))
            chosen = bestIndex;
        }
        if (chosen < 0 && !Fopt_programid && !FJoinMode)
          for (int32_t k = 0; k < istCount; ++k) {
            const TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(k)];
            if (TypeOf(ist.st) == type && ist.st->discard != AVDISCARD_ALL)
              chosen = k;
          }
        if (chosen < 0)
          throw FFmpegException(Format("Could not find input stream matching output stream #%d.%d (%s)", i,
                                       static_cast<int>(j), MediaTypeName(type)));
        ost->source_index = chosen;
      }
      TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(ost->source_index)];
      ist.discard = 0;
      ost->sync_ist = sync ? sync : &ist;
      ost->show_fps = 1;
      FPlan.OutputStreams.push_back(std::move(ost));
    }
  }
  // The loop drops packets of streams no output uses; the demuxer need not
  // even hand them over.
  for (auto &ist : FPlan.InputStreams)
    if (ist->discard)
      ist->st->discard = AVDISCARD_ALL;

  // 4. Codec parameters. Join entries after the first share the first's
  // streams and encoders; only their own working state is made for them.
  for (size_t n = 0; n < FPlan.OutputStreams.size(); ++n) {
    TAVOutputStream &ost = *FPlan.OutputStreams[n];
    TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(ost.source_index)];
    AVFormatContext *oc = Foutput_files[static_cast<size_t>(ost.file_index)];
    AVStream *st = ost.st;
    const bool shared = FJoinMode && ost.file_index > 0;
    TOutputStreamSetup *setup = StreamSetup(st);
    if (shared) {
      const TAVOutputStream &first = *FPlan.OutputStreams[static_cast<size_t>(ost.index)];
      ost.enc_ctx = first.enc_ctx;
      ost.stream_copy = first.stream_copy;
    } else {
      if (!setup || !setup->Codec)
        throw FFmpegException(Format("invalid codec_type of output stream"));
      ost.enc_ctx = setup->Codec.release();
      ost.stream_copy = setup->StreamCopy;
    }
    AVCodecContext *enc = ost.enc_ctx;
    const AVCodecParameters *ipar = ist.st->codecpar;
    const AVMediaType type = TypeOf(st);
    if (!shared) {
      AV.av_dict_copy(&st->metadata, ist.st->metadata, AV_DICT_DONT_OVERWRITE);
      st->disposition = ist.st->disposition;
      enc->bits_per_raw_sample = ipar->bits_per_raw_sample;
      enc->chroma_sample_location = ipar->chroma_location;
    }

    if (ost.stream_copy) {
      if (shared)
        continue;
      if (static_cast<int64_t>(ipar->extradata_size) + AV_INPUT_BUFFER_PADDING_SIZE > INT_MAX)
        throw FFmpegException("icodec.extradata_size is invalid (too large)");
      if (type == AVMEDIA_TYPE_VIDEO) {
        if (FOnCustomHook)
          throw FFmpegException("-vcodec copy and CustomHook are incompatible (frames are not decoded)");
        if (Fusing_vhook)
          throw FFmpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
        if (PostHooks() != 0)
          throw FFmpegException("-vcodec copy and PostHooks are incompatible (frames are not decoded)");
      } else if (type == AVMEDIA_TYPE_AUDIO) {
        if (Faudio_volume != 256)
          throw FFmpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
      } else if (type != AVMEDIA_TYPE_SUBTITLE) {
        throw FFmpegException("invalid codec_type of output stream");
      }
      uint32_t tag = enc->codec_tag;
      if (!tag) {
        const AVCodecTag *const *tags = oc->oformat->codec_tag;
        if (!tags || AV.av_codec_get_id(tags, ipar->codec_tag) == ipar->codec_id ||
            AV.av_codec_get_tag(tags, ipar->codec_id) == 0)
          tag = ipar->codec_tag;
      }
      const AVRational sar = st->sample_aspect_ratio;
      AV.avcodec_parameters_copy(st->codecpar, ipar);
      st->codecpar->codec_tag = tag;
      if (type == AVMEDIA_TYPE_VIDEO) {
        // The muxer refuses a stream whose two aspect ratios disagree.
        st->codecpar->sample_aspect_ratio = sar;
        st->sample_aspect_ratio = sar;
      }
      if (type == AVMEDIA_TYPE_AUDIO && ((ipar->codec_id == AV_CODEC_ID_MP3 && ipar->block_align == 1) ||
                                         ipar->codec_id == AV_CODEC_ID_AC3))
        st->codecpar->block_align = 0;
      // Streams no longer carry a codec time base to prefer; the source
      // stream's own time base keeps every timestamp exact.
      st->time_base = ist.st->time_base;
      AV.avcodec_parameters_to_context(enc, st->codecpar);
      continue;
    }

    switch (type) {
    case AVMEDIA_TYPE_VIDEO: {
      if (!shared && enc->pix_fmt == AV_PIX_FMT_NONE)
        throw FFmpegException("Video pixel format is unknown, stream cannot be encoded");
      ost.topBand = ost.original_topBand = Fframe_topBand;
      ost.bottomBand = ost.original_bottomBand = Fframe_bottomBand;
      ost.leftBand = ost.original_leftBand = Fframe_leftBand;
      ost.rightBand = ost.original_rightBand = Fframe_rightBand;
      ost.video_crop = (Fframe_topBand + Fframe_bottomBand + Fframe_leftBand + Fframe_rightBand) != 0;
      const int inWidth = ipar->width - Fframe_leftBand - Fframe_rightBand;
      const int inHeight = ipar->height - Fframe_topBand - Fframe_bottomBand;
      const AVPixelFormat inFormat = static_cast<AVPixelFormat>(ipar->format);
      ost.resample_width = inWidth;
      ost.resample_height = inHeight;
      ost.resample_pix_fmt = inFormat;
      if (FEnableFilter) {
        // The graph crops and scales; the encoder takes its size from it.
        if (ConfigureFilters(ist, ost) != 0)
          throw FFmpegException("Error opening filters!");
        break;
      }
      if (enc->width != inWidth || enc->height != inHeight || enc->pix_fmt != inFormat) {
        ost.pict_tmp = AV.av_frame_alloc();
        if (!ost.pict_tmp)
          throw FFmpegException("Cannot allocate temp picture, check pix fmt");
        ost.pict_tmp->format = enc->pix_fmt;
        ost.pict_tmp->width = enc->width;
        ost.pict_tmp->height = enc->height;
        if (AV.av_frame_get_buffer(ost.pict_tmp, 0) < 0)
          throw FFmpegException("Cannot allocate temp picture, check pix fmt");
        int64_t flags = Fsws_flags;
        if (FOptions.sws_opts && AV.av_opt_get_int(FOptions.sws_opts.get(), "sws_flags", 0, &flags) >= 0)
          Fsws_flags = static_cast<uint32_t>(flags);
        ost.img_resample_ctx = AV.sws_getContext(inWidth, inHeight, inFormat, enc->width, enc->height, enc->pix_fmt,
                                                 static_cast<int>(Fsws_flags), nullptr, nullptr, nullptr);
        if (!ost.img_resample_ctx)
          throw FFmpegException("Cannot get resampling context");
        ost.original_height = ipar->height;
        ost.original_width = ipar->width;
        if (!shared)
          enc->bits_per_raw_sample = 0;
        ost.video_resample = 1;
      }
      break;
    }
    case AVMEDIA_TYPE_AUDIO:
      ost.fifo = AV.av_fifo_alloc2(1024, 1, AV_FIFO_FLAG_AUTO_GROW);
      if (!ost.fifo)
        throw FFmpegException("av_fifo_alloc fail");
      ost.reformat_pair = -6;
      ost.audio_resample = enc->sample_rate != ipar->sample_rate || Faudio_sync_method > 1;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      break;
    default:
      throw FFmpegException("invalid codec_type of output stream");
    }
    ist.decoding_needed = 1;
    ost.encoding_needed = 1;

    // Two-pass encoding: the statistics file of this output stream.
    if (!shared && (enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2))) {
      const std::string prefix = Fpass_logfilename_prefix.empty() ? "ffmpeg2pass" : Fpass_logfilename_prefix;
      const std::string logName = Format("%s-%d.log", prefix.c_str(), static_cast<int>(n)).substr(0, 1023);
      if (enc->flags & AV_CODEC_FLAG_PASS1) {
        ost.logfile = std::fopen(logName.c_str(), "wb");
        if (!ost.logfile)
          throw FFmpegException(Format("Cannot write log file %s for pass-1 encoding", logName.c_str()));
      } else {
        bool ok = false;
        const std::string stats = ReadWholeFile(logName, ok);
        if (!ok)
          throw FFmpegException(
              Format("Cannot read file: Error reading log file \"%s\" for pass-2 encoding", logName.c_str()));
        enc->stats_in = static_cast<char *>(AV.av_malloc(stats.size() + 1));
        if (!enc->stats_in)
          throw FFmpegException(
              Format("Could not allocate file buffer: Error reading log file \"%s\" for pass-2 encoding",
                     logName.c_str()));
        std::copy(stats.begin(), stats.end(), enc->stats_in);
        enc->stats_in[stats.size()] = '\0';
      }
    }
  }

  // Opens the decoder of an input stream that needs one (once).
  const auto openDecoder = [this](TAVInputStream &ist) {
    if (ist.dec_ctx)
      return;
    const AVCodecParameters *par = ist.st->codecpar;
    const char *typeName = MediaTypeName(par->codec_type);
    const size_t k = static_cast<size_t>(FPlan.InputFiles[static_cast<size_t>(ist.file_index)].ist_index + ist.index);
    const AVCodec *codec = k < Finput_codecs.size() && Finput_codecs[k] ? Finput_codecs[k]
                                                                         : AV.avcodec_find_decoder(par->codec_id);
    if (!codec) {
      LogStreamMapping();
      const std::string msg = Format("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                                     static_cast<int>(par->codec_id), ist.file_index, ist.index, typeName);
      FFLogger().Log(this, llError, msg);
      throw FFmpegException(msg);
    }
    ist.dec_ctx = AV.avcodec_alloc_context3(codec);
    ist.decoded_frame = AV.av_frame_alloc();
    if (!ist.dec_ctx || !ist.decoded_frame || AV.avcodec_parameters_to_context(ist.dec_ctx, par) < 0)
      throw FFmpegException("av_mallocz fail");
    ist.dec_ctx->codec_id = codec->id; // a forced decoder reads the stream as its own kind
    ist.dec_ctx->pkt_timebase = ist.st->time_base;
    ist.dec_ctx->thread_count = Fthread_count;
    const int typeFlag = par->codec_type == AVMEDIA_TYPE_VIDEO   ? AV_OPT_FLAG_VIDEO_PARAM
                         : par->codec_type == AVMEDIA_TYPE_AUDIO ? AV_OPT_FLAG_AUDIO_PARAM
                                                                 : AV_OPT_FLAG_SUBTITLE_PARAM;
    const int typeIndex = par->codec_type >= 0 && par->codec_type < MEDIA_TYPE_COUNT ? static_cast<int>(par->codec_type)
                                                                                     : static_cast<int>(miData);
    ApplyCollectedOptions(ist.dec_ctx, FOptions.avcodec_opts[static_cast<size_t>(typeIndex)].get(),
                          AV_OPT_FLAG_DECODING_PARAM | typeFlag);
    AVDictionary *opts = nullptr;
    AddPrivateOptions(codec, &opts);
    const int ret = OpenDecoder(ist.dec_ctx, codec, &opts);
    AV.av_dict_free(&opts);
    if (ret < 0) {
      LogStreamMapping();
      const std::string msg =
          Format("Error while opening decoder for input stream #%d.%d (%s)", ist.file_index, ist.index, typeName);
      FFLogger().Log(this, llError, msg);
      throw FFmpegException(msg);
    }
    if (par->codec_type == AVMEDIA_TYPE_AUDIO)
      ist.dec_packed_fmt = AV.av_get_packed_sample_fmt(ist.dec_ctx->sample_fmt);
  };

  // 5. Encoders (in join mode only the first entry's, which all entries use).
  const size_t firstOnly = FJoinMode ? static_cast<size_t>(FPlan.FirstOutputStreams) : FPlan.OutputStreams.size();
  for (size_t n = 0; n < firstOnly; ++n) {
    TAVOutputStream &ost = *FPlan.OutputStreams[n];
    if (!ost.encoding_needed)
      continue;
    AVCodecContext *enc = ost.enc_ctx;
    const char *typeName = MediaTypeName(TypeOf(ost.st));
    const AVCodec *codec = n < Foutput_codecs.size() && Foutput_codecs[n] ? Foutput_codecs[n]
                                                                           : AV.avcodec_find_encoder(enc->codec_id);
    if (!codec) {
      const std::string msg = Format("Encoder (codec id %d) not found for output stream #%d.%d (%s)",
                                     static_cast<int>(enc->codec_id), ost.file_index, ost.index, typeName);
      FFLogger().Log(this, llError, msg);
      throw FFmpegException(msg);
    }
    if (FJoinMode)
      ost.codec_id = enc->codec_id;
    // Text subtitle encoders start from the header the decoder describes
    // the cues with, so that decoder opens first.
    if (TypeOf(ost.st) == AVMEDIA_TYPE_SUBTITLE) {
      TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(ost.source_index)];
      openDecoder(ist);
      if (ist.dec_ctx->subtitle_header && !enc->subtitle_header) {
        enc->subtitle_header = static_cast<uint8_t *>(AV.av_mallocz(ist.dec_ctx->subtitle_header_size + 1));
        if (!enc->subtitle_header)
          throw FFmpegException("av_mallocz fail");
        std::copy(ist.dec_ctx->subtitle_header, ist.dec_ctx->subtitle_header + ist.dec_ctx->subtitle_header_size,
                  enc->subtitle_header);
        enc->subtitle_header_size = ist.dec_ctx->subtitle_header_size;
      }
    }
    AVDictionary *opts = nullptr;
    AddPrivateOptions(codec, &opts);
    const int ret = OpenEncoder(enc, codec, &opts);
    AV.av_dict_free(&opts);
    if (ret < 0) {
      LogStreamMapping();
      const std::string msg =
          Format("Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect parameters such as "
                 "bit_rate, rate, width or height. Please check error log message to find out more detail "
                 "information.",
                 ost.file_index, ost.index, typeName);
      FFLogger().Log(this, llError, msg);
      throw FFmpegException(msg);
    }
    AV.avcodec_parameters_from_context(ost.st->codecpar, enc);
    ost.st->time_base = enc->time_base;
    Fextra_size += enc->extradata_size;
  }

  // Bitstream filters, after the stream parameters they start from are known.
  // A copied video stream that is not H.264 or MPEG-1/2 has its in-band
  // headers rewritten as the output's header flags ask (what the parser did).
  for (size_t n = 0; n < firstOnly; ++n) {
    TAVOutputStream &ost = *FPlan.OutputStreams[n];
    TBitstreamFilterChain *chainPtr = ChainOf(ost);
    if (!chainPtr)
      continue;
    TBitstreamFilterChain &chain = *chainPtr;
    const AVCodecParameters *par = ost.st->codecpar;
    if (ost.stream_copy && par->codec_type == AVMEDIA_TYPE_VIDEO && par->codec_id != AV_CODEC_ID_H264 &&
        par->codec_id != AV_CODEC_ID_MPEG1VIDEO && par->codec_id != AV_CODEC_ID_MPEG2VIDEO && par->extradata_size > 0) {
      const bool global = ost.enc_ctx->flags & AV_CODEC_FLAG_GLOBAL_HEADER;
      const bool local = ost.enc_ctx->flags2 & AV_CODEC_FLAG2_LOCAL_HEADER;
      std::vector<const char *> names;
      if (global || local)
        names.push_back("remove_extra");
      if (local)
        names.push_back("dump_extra");
      for (auto it = names.rbegin(); it != names.rend(); ++it) {
        AVBSFContext *ctx = nullptr;
        const AVBitStreamFilter *f = AV.av_bsf_get_by_name(*it);
        if (f && AV.av_bsf_alloc(f, &ctx) >= 0) {
          TBitstreamFilter item;
          item.Context.reset(ctx);
          chain.insert(chain.begin(), std::move(item));
        }
      }
    }
    const AVCodecParameters *in = ost.st->codecpar;
    for (auto &f : chain) {
      AVBSFContext *ctx = f.Context.get();
      AV.avcodec_parameters_copy(ctx->par_in, in);
      ctx->time_base_in = ost.st->time_base;
      // "key=value:key=value", or a bare value for the filter's first option.
      if (!f.Args.empty() && ctx->priv_data && ctx->filter->priv_class) {
        size_t pos = 0;
        while (pos <= f.Args.size()) {
          const size_t end = std::min(f.Args.find(':', pos), f.Args.size());
          const std::string item = f.Args.substr(pos, end - pos);
          const size_t eq = item.find('=');
          if (eq != std::string::npos)
            AV.av_opt_set(ctx->priv_data, item.substr(0, eq).c_str(), item.substr(eq + 1).c_str(), 0);
          else if (const AVOption *first = AV.av_opt_next(ctx->priv_data, nullptr); first && !item.empty())
            AV.av_opt_set(ctx->priv_data, first->name, item.c_str(), 0);
          pos = end + 1;
        }
      }
      const int ret = AV.av_bsf_init(ctx);
      if (ret < 0)
        throw FFmpegException(
            Format("Error initializing bitstream filter: %s: %s", ctx->filter->name, AVErrorText(ret).c_str()));
      in = ctx->par_out;
    }
    if (!chain.empty()) {
      AV.avcodec_parameters_copy(ost.st->codecpar, in);
      ost.st->time_base = chain.back().Context->time_base_out;
    }
  }

  // 6. Decoders.
  for (auto &ist : FPlan.InputStreams)
    if (ist->decoding_needed)
      openDecoder(*ist);

  // 7. Timestamps: a stream with B-frame delay starts that many frames early.
  for (auto &ist : FPlan.InputStreams) {
    const AVRational rate = ist->st->avg_frame_rate;
    ist->pts = rate.num && rate.den ? -static_cast<int64_t>(ist->st->codecpar->video_delay * 1000000.0 /
                                                           av_q2d(rate))
                                    : 0;
    ist->next_pts = AV_NOPTS_VALUE;
    ist->is_start = 1;
  }

  // 8. Metadata maps.
  for (int32_t m = 0; m < Fnb_meta_data_maps; ++m) {
    const TAVMetaDataMap &map = Fmeta_data_maps[static_cast<size_t>(m)];
    std::string msg;
    if (map.out_file < 0 || map.out_file >= Fnb_output_files)
      msg = Format("Invalid output file index %d map_meta_data(%d,%d)", map.out_file, map.out_file, map.in_file);
    else if (map.in_file < 0 || map.in_file >= Fnb_input_files)
      msg = Format("Invalid input file index %d map_meta_data(%d,%d)", map.in_file, map.out_file, map.in_file);
    if (!msg.empty()) {
      FFLogger().Log(this, llError, msg);
      throw FFmpegException(msg);
    }
    AV.av_dict_copy(&Foutput_files[static_cast<size_t>(map.out_file)]->metadata,
                    Finput_files[static_cast<size_t>(map.in_file)]->metadata, AV_DICT_DONT_OVERWRITE);
  }

  // 9. Chapters, cut to the part of the input that is converted.
  const int32_t outputs = FJoinMode ? std::min<int32_t>(Fnb_output_files, 1) : Fnb_output_files;
  for (int32_t i = 0; i < Fnb_input_files; ++i) {
    const AVFormatContext *ic = Finput_files[static_cast<size_t>(i)];
    for (int32_t o = 0; o < outputs && ic->nb_chapters > 0; ++o) {
      AVFormatContext *oc = Foutput_files[static_cast<size_t>(o)];
      for (unsigned c = 0; c < ic->nb_chapters; ++c) {
        const AVChapter *in = ic->chapters[c];
        const int64_t offset = AV.av_rescale_q(Fstart_time - Finput_files_ts_offset[static_cast<size_t>(i)],
                                               AV_TIME_BASE_Q, in->time_base);
        const int64_t limit = Frecording_time == INT64_MAX
                                  ? INT64_MAX
                                  : AV.av_rescale_q(Frecording_time, AV_TIME_BASE_Q, in->time_base);
        if (in->end < offset)
          continue;
        if (limit != INT64_MAX && in->start > limit + offset)
          break;
        auto *out = static_cast<AVChapter *>(AV.av_mallocz(sizeof(AVChapter)));
        if (!out)
          throw FFmpegException("av_mallocz fail");
        out->id = in->id;
        out->time_base = in->time_base;
        out->start = std::max<int64_t>(0, in->start - offset);
        out->end = std::min(limit, in->end - offset);
        AV.av_dict_copy(&out->metadata, in->metadata, 0);
        auto *grown = static_cast<AVChapter **>(
            AV.av_realloc(oc->chapters, sizeof(AVChapter *) * (static_cast<size_t>(oc->nb_chapters) + 1)));
        if (!grown) {
          AV.av_dict_free(&out->metadata);
          AV.av_free(out);
          throw FFmpegException("av_realloc fail");
        }
        oc->chapters = grown;
        oc->chapters[oc->nb_chapters++] = out;
      }
    }
  }

  // 10. Headers.
  bool allRtp = outputs > 0;
  for (int32_t o = 0; o < outputs; ++o) {
    AVFormatContext *oc = Foutput_files[static_cast<size_t>(o)];
    AVDictionary *opts = nullptr;
    AddPrivateOptions(oc->oformat, &opts);
    const int ret = AV.avformat_write_header(oc, &opts);
    AV.av_dict_free(&opts);
    if (ret < 0) {
      LogStreamMapping();
      const std::string msg = Format("Could not write header for output file #%d (incorrect codec parameters ?)", o);
      FFLogger().Log(this, llError, msg);
      throw FFmpegException(msg);
    }
    allRtp = allRtp && std::string(oc->oformat->name) == "rtp";
  }
  if (allRtp) {
    char sdp[2048];
    if (AV.av_sdp_create(Foutput_files.data(), outputs, sdp, sizeof sdp) >= 0)
      FFLogger().Log(this, llInfo, std::string("SDP:\r\n") + sdp);
  }

  // 11. What goes where.
  LogStreamMapping();
}

void TCustomFFmpeg::FreePlan() {
  for (auto &ost : FPlan.OutputStreams) {
    // Join entries after the first use the first entry's encoders.
    if (FJoinMode && ost->file_index > 0)
      ost->enc_ctx = nullptr;
    CloseCodec(ost->enc_ctx);
    FreeOutputStream(*ost);
  }
  for (auto &ist : FPlan.InputStreams) {
    CloseCodec(ist->dec_ctx);
    FreeInputStream(*ist);
  }
  AV.av_frame_free(&FPlan.Scratch);
  FPlan = TTranscodePlan();
}

void TCustomFFmpeg::ReopenEncoders() {
  const size_t first = std::min(static_cast<size_t>(FPlan.FirstOutputStreams), FPlan.OutputStreams.size());
  for (size_t n = 0; n < first; ++n) {
    TAVOutputStream &ost = *FPlan.OutputStreams[n];
    if (!ost.encoding_needed)
      continue;
    const char *typeName = MediaTypeName(TypeOf(ost.st));
    AVCodecContext *old = ost.enc_ctx;
    const AVCodec *codec = n < Foutput_codecs.size() && Foutput_codecs[n] ? Foutput_codecs[n]
                                                                           : AV.avcodec_find_encoder(ost.codec_id);
    if (!codec) {
      CloseCodec(old);
      throw FFmpegException(
          Format("Unsupported codec for output stream #%d.%d (%s)", ost.file_index, ost.index, typeName));
    }
    // An encoder that has been drained cannot be opened again: a new context
    // with the same settings (read before closing, which drops some of them)
    // takes its place in every entry.
    AVCodecContext *fresh = AV.avcodec_alloc_context3(codec);
    if (!fresh) {
      CloseCodec(old);
      throw FFmpegException("av_mallocz fail");
    }
    CopyEncoderSettings(fresh, old);
    fresh->codec_id = ost.codec_id;
    CloseCodec(old);
    for (auto &other : FPlan.OutputStreams)
      if (other->st == ost.st)
        other->enc_ctx = fresh;
    AV.avcodec_free_context(&old);
    AVDictionary *opts = nullptr;
    AddPrivateOptions(codec, &opts);
    const int ret = OpenEncoder(fresh, codec, &opts);
    AV.av_dict_free(&opts);
    if (ret < 0)
      throw FFmpegException(Format("Error while opening codec for output stream #%d.%d (%s) - maybe incorrect "
                                   "parameters such as bit_rate, rate, width or height",
                                   ost.file_index, ost.index, typeName));
  }
}
