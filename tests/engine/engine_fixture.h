// A session over the real conversion libraries, with its protected state in
// reach and the log lines it produces collected.
#pragma once

#include "engine/custom_ffmpeg.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The engine with the state the tests read made public.
class TTestEngine : public TCustomFFmpeg {
public:
  using TCustomFFmpeg::TCustomFFmpeg;
  using TCustomFFmpeg::ApplyCollectedOptions;
  using TCustomFFmpeg::FreeSession;
  using TCustomFFmpeg::InitDefaults;

  using TCustomFFmpeg::Finput_files;
  using TCustomFFmpeg::Fnb_input_files;
  using TCustomFFmpeg::Finput_files_ts_scale;
  using TCustomFFmpeg::Finput_codecs;
  using TCustomFFmpeg::Foutput_files;
  using TCustomFFmpeg::Fnb_output_files;
  using TCustomFFmpeg::Foutput_codecs;
  using TCustomFFmpeg::Fstream_maps;
  using TCustomFFmpeg::Fnb_stream_maps;
  using TCustomFFmpeg::Fmeta_data_maps;
  using TCustomFFmpeg::Fnb_meta_data_maps;
  using TCustomFFmpeg::Fbitstream_filters;
  using TCustomFFmpeg::Fstreamid_map;
  using TCustomFFmpeg::FJoinMode;

  using TCustomFFmpeg::Flast_asked_format;
  using TCustomFFmpeg::Fframe_width;
  using TCustomFFmpeg::Fframe_height;
  using TCustomFFmpeg::Fframe_aspect_ratio;
  using TCustomFFmpeg::Fframe_pix_fmt;
  using TCustomFFmpeg::Faudio_sample_fmt;
  using TCustomFFmpeg::Fframe_topBand;
  using TCustomFFmpeg::Fframe_bottomBand;
  using TCustomFFmpeg::Fframe_leftBand;
  using TCustomFFmpeg::Fframe_rightBand;
  using TCustomFFmpeg::Fmax_frames;
  using TCustomFFmpeg::Fframe_rate;
  using TCustomFFmpeg::Fvideo_qscale;
  using TCustomFFmpeg::Fintra_matrix;
  using TCustomFFmpeg::Finter_matrix;
  using TCustomFFmpeg::Fvideo_codec_name;
  using TCustomFFmpeg::Faudio_codec_name;
  using TCustomFFmpeg::Fsubtitle_codec_name;
  using TCustomFFmpeg::Fvideo_stream_copy;
  using TCustomFFmpeg::Faudio_stream_copy;
  using TCustomFFmpeg::Fvideo_codec_tag;
  using TCustomFFmpeg::Faudio_codec_tag;
  using TCustomFFmpeg::Fsubtitle_codec_tag;
  using TCustomFFmpeg::Ftop_field_first;
  using TCustomFFmpeg::Fintra_dc_precision;
  using TCustomFFmpeg::Floop_output;
  using TCustomFFmpeg::Fvfilters;
  using TCustomFFmpeg::Faudio_sample_rate;
  using TCustomFFmpeg::Faudio_qscale;
  using TCustomFFmpeg::Faudio_channels;
  using TCustomFFmpeg::Fmux_preload;
  using TCustomFFmpeg::Fmux_max_delay;
  using TCustomFFmpeg::Frecording_time;
  using TCustomFFmpeg::Fstart_time;
  using TCustomFFmpeg::Frecording_timestamp;
  using TCustomFFmpeg::Finput_ts_offset;
  using TCustomFFmpeg::Fmetadata;
  using TCustomFFmpeg::Fdo_hex_dump;
  using TCustomFFmpeg::Fdo_pkt_dump;
  using TCustomFFmpeg::Fdo_pass;
  using TCustomFFmpeg::Fvideo_sync_method;
  using TCustomFFmpeg::Faudio_sync_method;
  using TCustomFFmpeg::Faudio_drift_threshold;
  using TCustomFFmpeg::Fcopy_ts;
  using TCustomFFmpeg::Fopt_shortest;
  using TCustomFFmpeg::Fvstats_filename;
  using TCustomFFmpeg::Fopt_programid;
  using TCustomFFmpeg::Frate_emu;
  using TCustomFFmpeg::Faudio_volume;
  using TCustomFFmpeg::Fexit_on_error;
  using TCustomFFmpeg::Fusing_vhook;
  using TCustomFFmpeg::Fverbose;
  using TCustomFFmpeg::Fthread_count;
  using TCustomFFmpeg::Flimit_filesize;
  using TCustomFFmpeg::Fpgmyuv_compatibility_hack;
  using TCustomFFmpeg::Fdts_delta_threshold;
  using TCustomFFmpeg::Fsws_flags;
  using TCustomFFmpeg::Fvideo_bitstream_filters;
  using TCustomFFmpeg::Faudio_bitstream_filters;
  using TCustomFFmpeg::Fsubtitle_bitstream_filters;
  using TCustomFFmpeg::Fbit_buffer_size;
  using TCustomFFmpeg::Foutput_filter;
  using TCustomFFmpeg::FOptions;
  using TCustomFFmpeg::FStopEvent;
  using TCustomFFmpeg::FTermEvent;
  using TCustomFFmpeg::FTotalOutputDuration;

  // Setup and the loop.
  using TCustomFFmpeg::Transcode;
  using TCustomFFmpeg::FindCodec;
  using TCustomFFmpeg::FPlan;
  using TCustomFFmpeg::FStreamSetups;
  using TCustomFFmpeg::FEncoderList;
  using TCustomFFmpeg::FDecoderList;
  using TCustomFFmpeg::Finput_files_ts_offset;
  using TCustomFFmpeg::FBroken;
  using TCustomFFmpeg::Fnb_frames_dup;
  using TCustomFFmpeg::Fnb_frames_drop;
  using TCustomFFmpeg::Faudio_size;
  using TCustomFFmpeg::Fvideo_size;
};

struct TLoggedLine {
  TLogLevel Level;
  std::string Msg;
};

// Loads the conversion set from the LibAV folder beside the test binary,
// collects log lines at llInfo and gives each test a prepared session.
class EngineTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // The collected lines, optionally only those of one level.
  std::vector<std::string> Lines(TLogLevel ALevel) const;
  bool Logged(const std::string &AMsg) const;

  // The generic context of a media type, and an integer option read from it.
  AVCodecContext *CodecOpts(TMediaIndex AType) const { return Engine->FOptions.avcodec_opts[AType].get(); }
  int64_t IntOpt(void *AContext, const char *AName) const;

  std::unique_ptr<TTestEngine> Engine;
  std::vector<TLoggedLine> Logged_;
};
