// Life of a session: creation, reset between tasks, freeing, defaults.
#include "engine/custom_ffmpeg.h"

#include "media/wide_file.h"
#include "platform/exceptions.h"

#include <filesystem>

TCriticalSection &PostHookLock() {
  static TCriticalSection lock;
  return lock;
}

TCustomFFmpeg::TCustomFFmpeg(int32_t AMaxFiles) : FMaxFiles(AMaxFiles) {
  Assert(AMaxFiles >= MIN_MAX_FILES && AMaxFiles <= MAX_MAX_FILES, "AMaxFiles must be 1..512");
  const size_t files = static_cast<size_t>(AMaxFiles);
  const size_t streams = files * MAX_STREAMS;
  Finput_files.assign(files, nullptr);
  Finput_files_ts_offset.assign(files, 0);
  Finput_files_ts_scale.assign(files, {});
  Finput_codecs.assign(streams, nullptr);
  Foutput_files.assign(files, nullptr);
  Foutput_codecs.assign(streams, nullptr);
  Fstream_maps.assign(streams, {});
  Fmeta_data_maps.assign(files, {});
  Fbitstream_filters.resize(files);
  InitDefaults();
}

TCustomFFmpeg::~TCustomFFmpeg() {
  Stop(true);
  // The thread objects may still be leaving their bodies after signalling.
  if (FThreadOwner)
    FThreadOwner->WaitFor();
  if (FTermThreadOwner)
    FTermThreadOwner->WaitFor();
  FreeSession();
}

void TCustomFFmpeg::ResetSession() {
  if (!FFLoader().Loaded(LIBS_CONVERT))
    return;
  FreeSession();
  InitDefaults();
  FJoinMode = false;
  FConverting = false;
  FBroken = false;
  FFinished = false;
  FTerminated = false;
  FTotalOutputDuration = -1;

  for (int t = 0; t < MEDIA_TYPE_COUNT; ++t) {
    FOptions.avcodec_opts[t].reset(AV.avcodec_alloc_context3(nullptr));
    if (FOptions.avcodec_opts[t])
      FOptions.avcodec_opts[t]->codec_type = static_cast<AVMediaType>(t);
  }
  FOptions.avformat_opts.reset(AV.avformat_alloc_context());
  // A real (initialised) scaler, so that "sws_flags" read back later is the
  // value the scalers of the run are made with.
  SwsContext *sws = AV.sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                      static_cast<int>(Fsws_flags), nullptr, nullptr, nullptr);
  FOptions.sws_opts.reset(sws ? sws : AV.sws_alloc_context());
}

void TCustomFFmpeg::FreeSession() {
  if (!FFLoader().Loaded(LIBS_CONVERT))
    return;
  InputsClosing();
  FOptions = TFFOptions();
  FStreamSetups.clear(); // encoder settings of streams no run took

  Faudio_buf.reset();
  Faudio_out.reset();
  Fallocated_audio_buf_size = 0;
  Fallocated_audio_out_size = 0;
  Finput_tmp.reset();
  Fsamples.reset();
  Fsamples_size = 0;

  // In join mode every slot refers to the context of slot 0.
  const int32_t outputs = FJoinMode ? (Fnb_output_files > 0 ? 1 : 0) : Fnb_output_files;
  for (int32_t i = 0; i < outputs; ++i) {
    AVFormatContext *oc = Foutput_files[static_cast<size_t>(i)];
    if (!oc)
      continue;
    const bool hasFile = oc->oformat && !(oc->oformat->flags & AVFMT_NOFILE);
    const bool noMedia = FOutputsStopped && !FOutputsWithPackets.count(oc);
    const std::string url = oc->url ? oc->url : "";
    if (hasFile && oc->pb)
      CloseWideIO(&oc->pb);
    // Frees the streams with their metadata, the programs, chapters and the
    // file's own metadata.
    AV.avformat_free_context(oc);
    if (hasFile && !url.empty()) {
      // An output that never got a byte, or whose run ended before the file
      // was finished (a failure, not a stop), or that a stop left without a
      // single packet, is no result: a half-written or empty file must not
      // look like a converted one.
      std::error_code ec;
      const std::filesystem::path path(URLToWideFileName(url));
      if (std::filesystem::is_regular_file(path, ec)) {
        const uintmax_t size = std::filesystem::file_size(path, ec);
        if (!ec && (size == 0 || !FOutputsFinished || noMedia) && std::filesystem::remove(path, ec) && size > 0)
          FFLogger().LogFmt(this, llWarning,
                            noMedia ? "Output without media removed: %s" : "Incomplete output removed: %s",
                            path.c_str());
      }
    }
  }
  FOutputsFinished = false;
  FOutputsStopped = false;
  FOutputsWithPackets.clear();
  std::fill(Foutput_files.begin(), Foutput_files.end(), nullptr);
  Fnb_output_files = 0;
  for (auto &file : Fbitstream_filters)
    for (auto &chain : file)
      chain.clear();
  std::fill(Foutput_codecs.begin(), Foutput_codecs.end(), nullptr);
  Fnb_ocodecs = 0;

  for (int32_t i = 0; i < Fnb_input_files; ++i)
    CloseInputFormat(&Finput_files[static_cast<size_t>(i)]);
  std::fill(Finput_files.begin(), Finput_files.end(), nullptr);
  Fnb_input_files = 0;
  std::fill(Finput_codecs.begin(), Finput_codecs.end(), nullptr);
  Fnb_icodecs = 0;

  Fintra_matrix.reset();
  Finter_matrix.reset();
  if (Fvstats_file) {
    std::fclose(Fvstats_file);
    Fvstats_file = nullptr;
  }
  Fvstats_filename.clear();
  Fvideo_codec_name.clear();
  Faudio_codec_name.clear();
  Fsubtitle_codec_name.clear();
  Fvideo_standard.clear();
  Fvideo_rc_override_string.clear();
  Fvideo_language.clear();
  Faudio_language.clear();
  Fsubtitle_language.clear();
  Fsubtitle_codec_tag = 0;
  Fvideo_bitstream_filters.clear();
  Faudio_bitstream_filters.clear();
  Fsubtitle_bitstream_filters.clear();
  Fbit_buffer.reset();
  ReleaseVideoHooks();
  FHookBufSize = 0;
  FCustomHookOff = false;
  FHookContext.Context.Reset();
  FPostContext.Context.Reset();
  std::shared_ptr<TPreviewer> previewer;
  {
    std::lock_guard<TCriticalSection> g(PostHookLock());
    previewer = std::move(FPostContext.Previewer);
  }
}

void TCustomFFmpeg::InitDefaults() {
  Flast_asked_format.clear();
  Fframe_width = 0;
  Fframe_height = 0;
  Fframe_aspect_ratio = 0;
  Fframe_pix_fmt = AV_PIX_FMT_NONE;
  Faudio_sample_fmt = AV_SAMPLE_FMT_NONE;
  Fframe_topBand = Fframe_bottomBand = Fframe_leftBand = Fframe_rightBand = 0;
  Fmax_frames.fill(INT32_MAX);
  Fframe_rate = AVRational{0, 0};
  Fvideo_qscale = 0;
  Fintra_matrix.reset();
  Finter_matrix.reset();
  Fvideo_rc_override_string.clear();
  Fvideo_disable = false;
  Fvideo_discard = 0;
  Fvideo_codec_name.clear();
  Faudio_codec_name.clear();
  Fsubtitle_codec_name.clear();
  Fvideo_stream_copy = Faudio_stream_copy = Fsubtitle_stream_copy = 0;
  Fvideo_codec_tag = Faudio_codec_tag = Fsubtitle_codec_tag = 0;
  Fvideo_language.clear();
  Faudio_language.clear();
  Fsubtitle_language.clear();
  Fsame_quality = false;
  Fdo_deinterlace = false;
  Ftop_field_first = -1;
  Fme_threshold = 0;
  Fintra_dc_precision = 8;
  Floop_input = false;
  Floop_output = -1;
  Fqp_hist = false;
  Fvfilters.clear();
  FEnableFilter = false;
  Fintra_only = false;
  Faudio_sample_rate = 44100;
  Fchannel_layout = 0;
  Faudio_qscale = -99999.0f;
  Faudio_disable = false;
  Fsubtitle_disable = false;
  Faudio_channels = 2;
  Fmux_preload = 0.5f;
  Fmux_max_delay = 0.7f;
  Frecording_time = INT64_MAX;
  Fstart_time = 0;
  Frecording_timestamp = 0;
  Finput_ts_offset = 0;
  Fmetadata.clear();
  Fdo_benchmark = 0;
  Fdo_hex_dump = Fdo_pkt_dump = Fdo_psnr = false;
  Fdo_pass = 0;
  Fpass_logfilename_prefix.clear();
  Fvideo_sync_method = -1;
  Faudio_sync_method = 0;
  Faudio_drift_threshold = 0.1f;
  Fcopy_ts = false;
  Fopt_shortest = false;
  Fvideo_global_header = 0;
  Fvstats_filename.clear();
  Fopt_programid = 0;
  Fcopy_initial_nonkeyframes = 0;
  Frate_emu = false;
  Fvideo_channel = 0;
  Fvideo_standard.clear();
  Faudio_volume = 256;
  Fexit_on_error = false;
  Fusing_stdin = 0;
  Fusing_vhook = false;
  Fverbose = 1;
  Fthread_count = 1;
  Flimit_filesize = 0;
  Fforce_fps = false;
  Fpgmyuv_compatibility_hack = 0;
  Fdts_delta_threshold = 10.0f;
  Finput_sync = false;
  Fsws_flags = SWS_BICUBIC;
  Fvideo_bitstream_filters.clear();
  Faudio_bitstream_filters.clear();
  Fsubtitle_bitstream_filters.clear();

  Fq_pressed = 0;
  Fvideo_size = Faudio_size = Fextra_size = 0;
  Fnb_frames_dup = Fnb_frames_drop = 0;
  FShowDupOrDrop = false;

  for (auto &scales : Finput_files_ts_scale)
    scales.fill(0);
  Fnb_stream_maps = 0;
  Fnb_meta_data_maps = 0;
  Fstreamid_map.fill(0);

  Fbit_buffer_size = 262144;
  FHookFrameNumber = 0;
  Fusing_vhook = false;
  FCustomHookOff = false;
  SetPostHooks(0);
  FPostContext.preview_last_time = 0;
  FPostContext.preview_cur_time = 0;
  FTotalOutputDuration = -1;
  FFatalException = false;

  Foutput_filter.Name = "ffmpeg_output";
  Foutput_filter.InputPad = "default";
  Foutput_filter.InputType = AVMEDIA_TYPE_VIDEO;
}

void TCustomFFmpeg::SetPostHooks(TPostHooks AValue) {
  std::shared_ptr<TPreviewer> dropped;
  {
    std::lock_guard<TCriticalSection> g(PostHookLock());
    if (AValue == FPostHooks)
      return;
    if (!(AValue & PostHookBit(phPreview)))
      dropped = std::move(FPostContext.Previewer);
    FPostHooks = AValue;
  }
  // The window goes with the last reference, outside the lock: freeing it
  // waits for the main thread.
  dropped.reset();
}

TPostHooks TCustomFFmpeg::PostHooks() const {
  std::lock_guard<TCriticalSection> g(PostHookLock());
  return FPostHooks;
}
