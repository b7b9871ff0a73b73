// The transcode loop: choose an input, read a packet, fix its timestamps,
// decode it and hand the result to the output streams (or copy the packet),
// write through the bitstream filters, report progress; at the end drain the
// decoders and encoders, write the trailers and close the codecs.
#include "engine/custom_ffmpeg.h"
#include "engine/sample_layout.h"
#include "engine/media_names.h"

#include "platform/convert.h"
#include "platform/exceptions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

int64_t NowMicros() { return AV.av_gettime_relative(); }

// The Fmax_frames entry of a media type (video, audio, data, subtitle), -1 for none.
int MaxFramesIndex(AVMediaType AType) {
  switch (AType) {
  case AVMEDIA_TYPE_VIDEO:
    return 0;
  case AVMEDIA_TYPE_AUDIO:
    return 1;
  case AVMEDIA_TYPE_DATA:
    return 2;
  case AVMEDIA_TYPE_SUBTITLE:
    return 3;
  default:
    return -1;
  }
}

// The quantiser histogram of "qphist", shared by all engines.
std::mutex QPHistogramLock; // guards QPHistogram
int QPHistogram[52];

double PSNR(double AError) { return -10.0 * std::log10(AError); }

template <typename T> T Clip(int64_t AValue, int64_t ALow, int64_t AHigh) {
  return static_cast<T>(std::clamp(AValue, ALow, AHigh));
}

// The "vol" step: 256 is unity. Integers are scaled as (s * vol + 128) >> 8
// around their zero and clipped to their range; floats are scaled and
// clipped to full scale.
void ApplyVolume(uint8_t *ABuf, int32_t ABytes, AVSampleFormat APacked, int32_t AVolume) {
  switch (APacked) {
  case AV_SAMPLE_FMT_U8:
    for (int32_t i = 0; i < ABytes; ++i)
      ABuf[i] = Clip<uint8_t>((((ABuf[i] - 128) * static_cast<int64_t>(AVolume) + 128) >> 8) + 128, 0, 255);
    break;
  case AV_SAMPLE_FMT_S16: {
    auto *s = reinterpret_cast<int16_t *>(ABuf);
    for (int32_t i = 0; i < ABytes / 2; ++i)
      s[i] = Clip<int16_t>((s[i] * static_cast<int64_t>(AVolume) + 128) >> 8, INT16_MIN, INT16_MAX);
    break;
  }
  case AV_SAMPLE_FMT_S32: {
    auto *s = reinterpret_cast<int32_t *>(ABuf);
    for (int32_t i = 0; i < ABytes / 4; ++i)
      s[i] = Clip<int32_t>((s[i] * static_cast<int64_t>(AVolume) + 128) >> 8, INT32_MIN, INT32_MAX);
    break;
  }
  case AV_SAMPLE_FMT_S64: {
    auto *s = reinterpret_cast<int64_t *>(ABuf);
    for (int32_t i = 0; i < ABytes / 8; ++i) {
      const __int128 v = (static_cast<__int128>(s[i]) * AVolume + 128) >> 8;
      s[i] = v > INT64_MAX ? INT64_MAX : v < INT64_MIN ? INT64_MIN : static_cast<int64_t>(v);
    }
    break;
  }
  case AV_SAMPLE_FMT_FLT: {
    auto *s = reinterpret_cast<float *>(ABuf);
    for (int32_t i = 0; i < ABytes / 4; ++i)
      s[i] = std::clamp(s[i] * AVolume / 256.0f, -1.0f, 1.0f);
    break;
  }
  case AV_SAMPLE_FMT_DBL: {
    auto *s = reinterpret_cast<double *>(ABuf);
    for (int32_t i = 0; i < ABytes / 8; ++i)
      s[i] = std::clamp(s[i] * AVolume / 256.0, -1.0, 1.0);
    break;
  }
  default:
    break;
  }
}

} // namespace

double TCustomFFmpeg::OutputTime(const AVStream *AStream) const {
  const auto it = FPlan.OutputTime.find(AStream);
  return it == FPlan.OutputTime.end() ? 0.0 : it->second;
}

void TCustomFFmpeg::NoteOutputTime(const AVStream *AStream, const AVPacket *APkt) {
  const int64_t t = APkt->pts != AV_NOPTS_VALUE ? APkt->pts : APkt->dts;
  if (t == AV_NOPTS_VALUE)
    return;
  const double end = static_cast<double>(t + std::max<int64_t>(APkt->duration, 0)) * av_q2d(AStream->time_base);
  double &current = FPlan.OutputTime[AStream];
  current = std::max(current, end);
}

void TCustomFFmpeg::Transcode() {
  AVPacket *pkt = nullptr;
  try {
    BuildPlan();
    Ftimer_start = NowMicros();
    pkt = AV.av_packet_alloc();
    if (!pkt)
      throw FFmpegException("av_mallocz fail");
    std::vector<char> noPacket(static_cast<size_t>(Fnb_input_files), 0);
    int32_t noPacketCount = 0;
    int64_t lastReport = Ftimer_start;
    int32_t current = 0; // join mode: the input being read
    const int32_t C = FPlan.FirstOutputStreams;
    const auto reachedMax = [this](const TAVOutputStream &AOst) {
      const int m = MaxFramesIndex(AOst.st->codecpar->codec_type);
      return m >= 0 && AOst.frame_number >= Fmax_frames[static_cast<size_t>(m)];
    };

    for (;;) {
      WaitWhilePaused();
      if (FBroken)
        break;

      // 1. The input to read from: the one behind the output that is furthest
      // behind (or, with "isync", the input that is furthest behind).
      int32_t fileIndex = -1;
      if (!FJoinMode) {
        double iptsMin = 1e100, optsMin = 1e100;
        for (const auto &ostPtr : FPlan.OutputStreams) {
          const TAVOutputStream &ost = *ostPtr;
          const TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(ost.source_index)];
          if (ist.is_past_recording_time || noPacket[static_cast<size_t>(ist.file_index)])
            continue;
          const double opts = OutputTime(ost.st);
          const double ipts = static_cast<double>(ist.pts);
          if (!FPlan.InputFiles[static_cast<size_t>(ist.file_index)].eof_reached) {
            if (ipts < iptsMin) {
              iptsMin = ipts;
              if (Finput_sync)
                fileIndex = ist.file_index;
            }
            if (opts < optsMin) {
              optsMin = opts;
              if (!Finput_sync)
                fileIndex = ist.file_index;
            }
          }
          if (reachedMax(ost)) {
            fileIndex = -1;
            break;
          }
        }
      } else {
        fileIndex = current;
        for (int32_t n = current * C; n < (current + 1) * C && n < static_cast<int32_t>(FPlan.OutputStreams.size());
             ++n)
          if (reachedMax(*FPlan.OutputStreams[static_cast<size_t>(n)])) {
            fileIndex = -1;
            break;
          }
      }

      // 2. Nothing to read: the end, or every input said "try again".
      if (fileIndex < 0) {
        if (FJoinMode || noPacketCount == 0)
          break;
        std::fill(noPacket.begin(), noPacket.end(), 0);
        noPacketCount = 0;
        AV.av_usleep(10000);
        continue;
      }

      // 3. The size limit of the first output.
      if (Flimit_filesize != 0 && Foutput_files[0]->pb &&
          AV.avio_seek(Foutput_files[0]->pb, 0, SEEK_CUR) > Flimit_filesize)
        break;

      // 4. One packet.
      AVFormatContext *is = Finput_files[static_cast<size_t>(fileIndex)];
      const int ret = AV.av_read_frame(is, pkt);
      if (ret == AVERROR(EAGAIN)) {
        noPacket[static_cast<size_t>(fileIndex)] = 1;
        ++noPacketCount;
        continue;
      }
      if (ret < 0) {
        FPlan.InputFiles[static_cast<size_t>(fileIndex)].eof_reached = 1;
        if (!FJoinMode) {
          if (Fopt_shortest)
            break;
          continue;
        }
        if (!JoinAdvance(current))
          break;
        ++current;
        continue;
      }

      // 5. to 9.: one packet's way to the outputs; false drops the packet
      // without a progress report.
      std::fill(noPacket.begin(), noPacket.end(), 0);
      noPacketCount = 0;
      const auto handlePacket = [&]() -> bool {
        const TAVInputFile &file = FPlan.InputFiles[static_cast<size_t>(fileIndex)];
        if (pkt->stream_index < 0 || pkt->stream_index >= file.nb_streams)
          return true;
        if (Fdo_pkt_dump)
          AV.av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, pkt, Fdo_hex_dump, is->streams[pkt->stream_index]);
        const int32_t istIndex = file.ist_index + pkt->stream_index;
        TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(istIndex)];
        if (ist.discard)
          return true;

        // 6. Offset and scale.
        const AVRational tb = ist.st->time_base;
        const int64_t offset = Finput_files_ts_offset[static_cast<size_t>(fileIndex)];
        if (offset != 0) {
          const int64_t d = AV.av_rescale_q(offset, AV_TIME_BASE_Q, tb);
          if (pkt->dts != AV_NOPTS_VALUE)
            pkt->dts += d;
          if (pkt->pts != AV_NOPTS_VALUE)
            pkt->pts += d;
        }
        if (pkt->stream_index < MAX_STREAMS) {
          const double scale =
              Finput_files_ts_scale[static_cast<size_t>(fileIndex)][static_cast<size_t>(pkt->stream_index)];
          if (scale != 0) {
            if (pkt->pts != AV_NOPTS_VALUE)
              pkt->pts = std::llrint(static_cast<double>(pkt->pts) * scale);
            if (pkt->dts != AV_NOPTS_VALUE)
              pkt->dts = std::llrint(static_cast<double>(pkt->dts) * scale);
          }
        }

        // 7. Discontinuities of formats that have them.
        if (pkt->dts != AV_NOPTS_VALUE && ist.next_pts != AV_NOPTS_VALUE && (is->iformat->flags & AVFMT_TS_DISCONT)) {
          const int64_t dts = AV.av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
          const int64_t delta = dts - ist.next_pts;
          if ((std::llabs(delta) > static_cast<int64_t>(Fdts_delta_threshold * 1000000.0) || dts + 1 < ist.pts) &&
              !Fcopy_ts) {
            int64_t &fileOffset = Finput_files_ts_offset[static_cast<size_t>(fileIndex)];
            fileOffset -= delta;
            const int64_t d = AV.av_rescale_q(delta, AV_TIME_BASE_Q, tb);
            pkt->dts -= d;
            if (pkt->pts != AV_NOPTS_VALUE)
              pkt->pts -= d;
            if (Fverbose > 2)
              FFLogger().LogFmt(this, llVerbose, "timestamp discontinuity %lld, new offset= %lld",
                                static_cast<long long>(delta), static_cast<long long>(fileOffset));
          }
        }

        // 8. Past the recording time.
        if (Frecording_time != INT64_MAX && pkt->pts != AV_NOPTS_VALUE &&
            AV.av_compare_ts(pkt->pts, tb, Frecording_time + Fstart_time, AV_TIME_BASE_Q) >= 0) {
          ist.is_past_recording_time = 1;
          return true;
        }

        // 9. Decode and hand on.
        if (OutputPacket(ist, istIndex, pkt) < 0) {
          const std::string msg = Format("Error while decoding stream #%d.%d (%s)", ist.file_index, ist.index,
                                         MediaTypeName(ist.st->codecpar->codec_type));
          if (Fexit_on_error)
            throw FFmpegException(msg);
          if (Fverbose >= 0)
            FFLogger().Log(this, llVerbose, msg);
          return false;
        }
        return true;
      };
      const bool report = handlePacket();
      AV.av_packet_unref(pkt);
      if (!report)
        continue;

      // 10. Progress.
      const int64_t now = NowMicros();
      if (now - lastReport > ReportInterval) {
        lastReport = now;
        PrintReport(false, fileIndex);
      }
    }

    // End of the run (also after a stop): drain, trailers, last report, close.
    for (size_t i = 0; i < FPlan.InputStreams.size(); ++i) {
      TAVInputStream &ist = *FPlan.InputStreams[i];
      if (ist.decoding_needed && !ist.decoder_flushed)
        OutputPacket(ist, static_cast<int32_t>(i), nullptr);
    }
    FlushBitstreamFilters();
    const int32_t outputs = FJoinMode ? std::min<int32_t>(Fnb_output_files, 1) : Fnb_output_files;
    // The trailer flushes what is still buffered, so a disk that fills up
    // now fails here: the run ends on that error as on a failed packet
    // write (no last report that would show the output complete), instead
    // of ending "finished" with its output removed. Every output still gets
    // its trailer; the codecs left open are closed by RunConversion.
    std::string trailerError;
    for (int32_t o = 0; o < outputs; ++o) {
      const int ret = AV.av_write_trailer(Foutput_files[static_cast<size_t>(o)]);
      if (ret < 0 && trailerError.empty())
        trailerError = "av_write_trailer(): " + AVErrorText(ret);
    }
    if (!trailerError.empty())
      throw FFmpegException(trailerError);
    FOutputsFinished = true;
    FOutputsStopped = FBroken;
    PrintReport(true, -1);
    const size_t firstOnly = FJoinMode ? static_cast<size_t>(C) : FPlan.OutputStreams.size();
    for (size_t n = 0; n < firstOnly && n < FPlan.OutputStreams.size(); ++n)
      if (FPlan.OutputStreams[n]->encoding_needed)
        CloseCodec(FPlan.OutputStreams[n]->enc_ctx);
    for (auto &ist : FPlan.InputStreams)
      if (ist->decoding_needed)
        CloseCodec(ist->dec_ctx);
    FFinished = !FBroken;
    FreePlan();
    AV.av_packet_free(&pkt);
  } catch (...) {
    AV.av_packet_free(&pkt);
    FreePlan();
    throw;
  }
}

bool TCustomFFmpeg::JoinAdvance(int32_t AInput) {
  const TAVInputFile &file = FPlan.InputFiles[static_cast<size_t>(AInput)];
  // 1. Drain the input's decoders and the encoders they feed.
  for (int32_t s = 0; s < file.nb_streams; ++s) {
    const int32_t k = file.ist_index + s;
    TAVInputStream &ist = *FPlan.InputStreams[static_cast<size_t>(k)];
    if (!ist.decoding_needed)
      continue;
    OutputPacket(ist, k, nullptr);
    AV.avcodec_flush_buffers(ist.dec_ctx);
    ist.decoder_flushed = 1;
  }
  // 2. Reset the encoders; those that cannot be reset in place are replaced
  // by ReopenEncoders below.
  const int32_t C = FPlan.FirstOutputStreams;
  const int32_t count = static_cast<int32_t>(FPlan.OutputStreams.size());
  for (int32_t n = 0; n < C && n < count; ++n) {
    TAVOutputStream &ost = *FPlan.OutputStreams[static_cast<size_t>(n)];
    if (ost.encoding_needed && ost.enc_ctx->codec && (ost.enc_ctx->codec->capabilities & AV_CODEC_CAP_ENCODER_FLUSH))
      AV.avcodec_flush_buffers(ost.enc_ctx);
  }
  const bool last = AInput >= Fnb_input_files - 1 || (AInput + 1) * C >= count;
  // 3.
  if (!last)
    ReopenEncoders();
  // 4. The counters go on in the later entries.
  for (int32_t n = (AInput + 1) * C; n < count; ++n) {
    TAVOutputStream &ost = *FPlan.OutputStreams[static_cast<size_t>(n)];
    const TAVOutputStream &before = *FPlan.OutputStreams[static_cast<size_t>(n - C)];
    ost.sync_opts = before.sync_opts;
    ost.frame_number = before.frame_number;
  }
  // 5. Where the output ends now; the finished entry no longer reports.
  double end = 0;
  for (int32_t n = AInput * C; n < (AInput + 1) * C && n < count; ++n) {
    TAVOutputStream &ost = *FPlan.OutputStreams[static_cast<size_t>(n)];
    if (n + C >= count)
      continue;
    end = std::max(end, OutputTime(ost.st));
    ost.show_fps = 0;
  }
  // 6.
  if (last)
    return false;
  Finput_files_ts_offset[static_cast<size_t>(AInput + 1)] += std::llround(end * 1000000.0);
  return true;
}

int32_t TCustomFFmpeg::PackSamples(TAVInputStream &AIst, const AVFrame *AFrame, int32_t APacketBytes) {
  const AVSampleFormat format = static_cast<AVSampleFormat>(AFrame->format);
  const int bps = AV.av_get_bytes_per_sample(format);
  const int channels = AFrame->ch_layout.nb_channels;
  const int32_t bytes = AFrame->nb_samples * channels * bps;
  const int32_t need = std::max({192000, APacketBytes * 2, bytes});
  if (Fsamples_size < need || !Fsamples) {
    Fsamples.reset(static_cast<uint8_t *>(AV.av_malloc(static_cast<size_t>(need))));
    if (!Fsamples) {
      Fsamples_size = 0;
      throw FFmpegException("Out of memory in do_audio_out");
    }
    Fsamples_size = need;
  }
  uint8_t *dst = Fsamples.get();
  // Decoders may settle their format only with the first frame.
  AIst.dec_packed_fmt = AV.av_get_packed_sample_fmt(format);
  if (AV.av_sample_fmt_is_planar(format) && channels > 1) {
    InterleaveSamples(AFrame->extended_data, dst, channels, AFrame->nb_samples, bps);
  } else {
    std::memcpy(dst, AFrame->extended_data[0], static_cast<size_t>(bytes));
  }
  if (Faudio_volume != 256)
    ApplyVolume(dst, bytes, AIst.dec_packed_fmt, Faudio_volume);
  return bytes;
}

int32_t TCustomFFmpeg::OutputPacket(TAVInputStream &AIst, int32_t /*AIstIndex*/, const AVPacket *APkt) {
  const AVRational tb = AIst.st->time_base;
  const AVMediaType type = AIst.st->codecpar->codec_type;
  if (AIst.next_pts == AV_NOPTS_VALUE)
    AIst.next_pts = AIst.pts;
  if (APkt && APkt->dts != AV_NOPTS_VALUE)
    AIst.next_pts = AIst.pts = AV.av_rescale_q(APkt->dts, tb, AV_TIME_BASE_Q);

  // A picture's duration in µs from the best frame rate known.
  const auto frameDuration = [&](int ARepeat) -> int64_t {
    AVRational rate = AIst.dec_ctx ? AIst.dec_ctx->framerate : AVRational{0, 1};
    if (!rate.num || !rate.den)
      rate = AIst.st->avg_frame_rate;
    if (!rate.num || !rate.den)
      rate = AIst.st->r_frame_rate;
    if (!rate.num || !rate.den)
      return 0;
    return 1000000LL * rate.den * (2 + ARepeat) / (2LL * rate.num);
  };

  if (!AIst.decoding_needed) {
    if (!APkt)
      return 0;
    // Stream copy: the clock moves on by the packet's length.
    AIst.pts = AIst.next_pts;
    const AVCodecParameters *par = AIst.st->codecpar;
    if (type == AVMEDIA_TYPE_AUDIO) {
      if (par->frame_size > 0 && par->sample_rate > 0)
        AIst.next_pts += static_cast<int64_t>(par->frame_size) * 1000000 / par->sample_rate;
      else if (APkt->duration > 0)
        AIst.next_pts += AV.av_rescale_q(APkt->duration, tb, AV_TIME_BASE_Q);
    } else if (type == AVMEDIA_TYPE_VIDEO) {
      AIst.next_pts += APkt->duration > 0 ? AV.av_rescale_q(APkt->duration, tb, AV_TIME_BASE_Q) : frameDuration(0);
    }
    EmulateRate(AIst);
    DispatchCopies(AIst, APkt);
    return 0;
  }

  // A stream both decoded and copied is copied packet by packet: a decoder
  // may hold a packet back or make several frames of it.
  if (APkt)
    DispatchCopies(AIst, APkt);
  AVCodecContext *dec = AIst.dec_ctx;
  if (type == AVMEDIA_TYPE_SUBTITLE) {
    if (!APkt)
      return 0; // subtitle encoders hold nothing back
    AIst.pts = AIst.next_pts;
    AVSubtitle sub{};
    int got = 0;
    if (AV.avcodec_decode_subtitle2(dec, &sub, &got, const_cast<AVPacket *>(APkt)) < 0)
      return -1;
    if (got) {
      EmulateRate(AIst);
      DispatchDecoded(AIst, nullptr, nullptr, 0, &sub, APkt->pts);
      AV.avsubtitle_free(&sub);
    }
    return 0;
  }
  if (type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_VIDEO)
    return -1;

  // One packet in (none: the decoder gives up what it holds), any number of
  // frames out.
  int ret = AV.avcodec_send_packet(dec, APkt);
  if (ret < 0 && ret != AVERROR_EOF && ret != AVERROR(EAGAIN))
    return -1;
  AIst.pts = AIst.next_pts;
  AVFrame *frame = AIst.decoded_frame;
  for (int frames = 0;; ++frames) {
    ret = AV.avcodec_receive_frame(dec, frame);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
      break;
    if (ret < 0)
      return -1;
    if (frames == 1 && APkt && ((!AIst.showed_multi_packet_warning && Fverbose > 0) || Fverbose > 1)) {
      FFLogger().LogFmt(this, llError, "Multiple frames in a packet from stream %d", APkt->stream_index);
      AIst.showed_multi_packet_warning = 1;
    }
    AIst.pts = AIst.next_pts;
    if (type == AVMEDIA_TYPE_AUDIO) {
      const int32_t bytes = PackSamples(AIst, frame, APkt ? APkt->size : 0);
      const int bps = AV.av_get_bytes_per_sample(AIst.dec_packed_fmt);
      const int64_t perSecond = static_cast<int64_t>(frame->sample_rate) * frame->ch_layout.nb_channels;
      if (bps > 0 && perSecond > 0)
        AIst.next_pts += static_cast<int64_t>(1000000 / bps) * bytes / perSecond;
      EmulateRate(AIst);
      DispatchDecoded(AIst, nullptr, Fsamples.get(), bytes, nullptr, AV_NOPTS_VALUE);
    } else {
      // A picture carries its own stamp: a decoder with frame threads gives
      // each one back several packets late, when the packet clock has moved
      // on, which shifted the picture against the sound and repeated some.
      if (frame->best_effort_timestamp != AV_NOPTS_VALUE && AIst.dec_ctx->active_thread_type & FF_THREAD_FRAME)
        AIst.pts = AV.av_rescale_q(frame->best_effort_timestamp, tb, AV_TIME_BASE_Q);
      AIst.next_pts = AIst.pts + frameDuration(frame->repeat_pict);
      PreProcessVideoFrame(AIst, frame);
      EmulateRate(AIst);
      if (AIst.input_video_filter)
        FilterAndDispatch(AIst, frame);
      else
        DispatchDecoded(AIst, frame, nullptr, 0, nullptr, AV_NOPTS_VALUE);
    }
    AV.av_frame_unref(frame);
  }
  if (!APkt) {
    // Filters that hold pictures back give them up now.
    if (AIst.input_video_filter)
      FilterAndDispatch(AIst, nullptr);
    DrainEncoders(AIst);
  }
  return 0;
}

void TCustomFFmpeg::EmulateRate(const TAVInputStream &AIst) {
  if (!Frate_emu)
    return;
  const int64_t elapsed = NowMicros() - AIst.start;
  if (AIst.pts > elapsed + 1000)
    AV.av_usleep(static_cast<unsigned>((AIst.pts - elapsed) / 1000 * 1000));
}

void TCustomFFmpeg::DispatchDecoded(TAVInputStream &AIst, AVFrame *AFrame, uint8_t *ASamples, int32_t ASampleBytes,
                                    AVSubtitle *ASub, int64_t ASubtitlePts) {
  if (Fstart_time != 0 && AIst.pts < Fstart_time)
    return;
  for (auto &ostPtr : FPlan.OutputStreams) {
    TAVOutputStream &ost = *ostPtr;
    if (!ost.encoding_needed || FPlan.InputStreams[static_cast<size_t>(ost.source_index)].get() != &AIst)
      continue;
    Assert(AIst.decoding_needed, "ist->decoding_needed");
    AVFormatContext *oc = Foutput_files[static_cast<size_t>(ost.file_index)];
    switch (ost.st->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      if (ASamples)
        DoAudioOut(oc, ost, AIst, ASamples, ASampleBytes);
      break;
    case AVMEDIA_TYPE_VIDEO:
      if (AFrame) {
        int32_t frameSize = 0;
        DoVideoOut(oc, ost, AIst, AFrame, frameSize);
        if (!Fvstats_filename.empty() && frameSize)
          DoVideoStats(ost, frameSize);
      }
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      if (ASub)
        DoSubtitleOut(oc, ost, AIst, ASub, ASubtitlePts);
      break;
    default:
      throw FFmpegException("invalid codec_type");
    }
  }
}

void TCustomFFmpeg::DispatchCopies(TAVInputStream &AIst, const AVPacket *APkt) {
  if (Fstart_time != 0 && AIst.pts < Fstart_time)
    return;
  for (auto &ostPtr : FPlan.OutputStreams) {
    TAVOutputStream &ost = *ostPtr;
    if (!ost.encoding_needed && FPlan.InputStreams[static_cast<size_t>(ost.source_index)].get() == &AIst)
      CopyPacket(ost, AIst, APkt);
  }
}

void TCustomFFmpeg::CopyPacket(TAVOutputStream &AOst, TAVInputStream &AIst, const AVPacket *APkt) {
  // A copy starts at a key frame unless told otherwise.
  if (AOst.frame_number == 0 && !(APkt->flags & AV_PKT_FLAG_KEY) && !Fcopy_initial_nonkeyframes)
    return;
  const AVMediaType type = AOst.st->codecpar->codec_type;
  if (type == AVMEDIA_TYPE_AUDIO) {
    Faudio_size += APkt->size;
  } else if (type == AVMEDIA_TYPE_VIDEO) {
    Fvideo_size += APkt->size;
    ++AOst.sync_opts;
  }
  AVPacket *opkt = AV.av_packet_alloc();
  if (!opkt || AV.av_packet_ref(opkt, APkt) < 0) {
    AV.av_packet_free(&opkt);
    throw FFmpegException("av_mallocz fail");
  }
  const AVRational itb = AIst.st->time_base;
  const AVRational otb = AOst.st->time_base;
  const int64_t startOffset = AV.av_rescale_q(Fstart_time, AV_TIME_BASE_Q, otb);
  opkt->stream_index = AOst.index;
  opkt->pts = APkt->pts != AV_NOPTS_VALUE ? AV.av_rescale_q(APkt->pts, itb, otb) - startOffset : AV_NOPTS_VALUE;
  opkt->dts = (APkt->dts != AV_NOPTS_VALUE ? AV.av_rescale_q(APkt->dts, itb, otb)
                                           : AV.av_rescale_q(AIst.pts, AV_TIME_BASE_Q, otb)) -
              startOffset;
  opkt->duration = AV.av_rescale_q(APkt->duration, itb, otb);
  opkt->time_base = otb;
  TBitstreamFilterChain none;
  TBitstreamFilterChain *chain = ChainOf(AOst);
  try {
    WriteFrame(Foutput_files[static_cast<size_t>(AOst.file_index)], opkt, chain ? *chain : none, AOst.enc_ctx);
  } catch (...) {
    AV.av_packet_free(&opkt);
    throw;
  }
  AV.av_packet_free(&opkt);
  ++AOst.enc_ctx->frame_number;
  ++AOst.frame_number;
}

void TCustomFFmpeg::DrainEncoders(TAVInputStream &AIst) {
  for (auto &ostPtr : FPlan.OutputStreams) {
    TAVOutputStream &ost = *ostPtr;
    if (!ost.encoding_needed || FPlan.InputStreams[static_cast<size_t>(ost.source_index)].get() != &AIst)
      continue;
    AVFormatContext *oc = Foutput_files[static_cast<size_t>(ost.file_index)];
    const AVMediaType type = ost.st->codecpar->codec_type;
    // Sample-based audio encoders hold nothing back.
    if (type == AVMEDIA_TYPE_AUDIO && ost.enc_ctx->frame_size > 1)
      FlushAudio(oc, ost);
    else if (type == AVMEDIA_TYPE_VIDEO)
      FlushVideo(oc, ost);
  }
}

void TCustomFFmpeg::WriteFrame(AVFormatContext *AOutput, AVPacket *APkt, TBitstreamFilterChain &AChain,
                               AVCodecContext *AEnc) {
  RunChain(AOutput, APkt, AChain, 0, APkt->stream_index, AEnc && AEnc->codec ? AEnc->codec->name : "copy");
}

void TCustomFFmpeg::RunChain(AVFormatContext *AOutput, AVPacket *APkt, TBitstreamFilterChain &AChain, size_t AFrom,
                             int AStreamIndex, const std::string &ACodecName) {
  if (AFrom >= AChain.size()) {
    if (!APkt)
      return;
    NoteOutputTime(AOutput->streams[APkt->stream_index], APkt);
    FOutputsWithPackets.insert(AOutput);
    const int ret = AV.av_interleaved_write_frame(AOutput, APkt);
    if (ret < 0)
      throw FFmpegException("av_interleaved_write_frame(): " + AVErrorText(ret));
    return;
  }
  AVBSFContext *ctx = AChain[AFrom].Context.get();
  const auto report = [&](int AErr) {
    const std::string msg =
        Format("%s failed for stream %d, codec %s", ctx->filter->name, AStreamIndex, ACodecName.c_str()) + ": " +
        AVErrorText(AErr);
    if (Fexit_on_error)
      throw FFmpegException(msg);
    FFLogger().Log(this, llError, msg);
  };
  // What a failing filter leaves unchanged goes on to the next one.
  AVPacket *kept = APkt ? AV.av_packet_clone(APkt) : nullptr;
  int ret = AV.av_bsf_send_packet(ctx, APkt);
  if (ret < 0) {
    if (APkt)
      AV.av_packet_unref(APkt);
    try {
      report(ret);
      if (kept)
        RunChain(AOutput, kept, AChain, AFrom + 1, AStreamIndex, ACodecName);
    } catch (...) {
      AV.av_packet_free(&kept);
      throw;
    }
    AV.av_packet_free(&kept);
    return;
  }
  AV.av_packet_free(&kept);
  // A filter may give no packet, one or several.
  AVPacket *out = AV.av_packet_alloc();
  try {
    while ((ret = AV.av_bsf_receive_packet(ctx, out)) == 0) {
      RunChain(AOutput, out, AChain, AFrom + 1, AStreamIndex, ACodecName);
      AV.av_packet_unref(out);
    }
    if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
      report(ret);
  } catch (...) {
    AV.av_packet_free(&out);
    throw;
  }
  AV.av_packet_free(&out);
}

void TCustomFFmpeg::FlushBitstreamFilters() {
  const size_t count = FJoinMode ? static_cast<size_t>(FPlan.FirstOutputStreams) : FPlan.OutputStreams.size();
  for (size_t n = 0; n < count && n < FPlan.OutputStreams.size(); ++n) {
    const TAVOutputStream &ost = *FPlan.OutputStreams[n];
    TBitstreamFilterChain *chain = ChainOf(ost);
    if (!chain)
      continue;
    const std::string codecName = ost.enc_ctx && ost.enc_ctx->codec ? ost.enc_ctx->codec->name : "copy";
    for (size_t i = 0; i < chain->size(); ++i)
      RunChain(Foutput_files[static_cast<size_t>(ost.file_index)], nullptr, *chain, i, ost.index, codecName);
  }
}

void TCustomFFmpeg::DoSubtitleOut(AVFormatContext *AOutput, TAVOutputStream &AOst, TAVInputStream &AIst,
                                  AVSubtitle *ASub, int64_t APts) {
  if (APts == AV_NOPTS_VALUE) {
    if (Fexit_on_error)
      throw FFmpegException("Subtitle packets must have a pts");
    FFLogger().Log(this, llError, "Subtitle packets must have a pts");
    return;
  }
  constexpr int kSubtitleOutSize = 1024 * 1024;
  if (FPlan.SubtitleOut.size() < static_cast<size_t>(kSubtitleOutSize))
    FPlan.SubtitleOut.resize(kSubtitleOutSize);
  AVCodecContext *enc = AOst.enc_ctx;
  // DVB subtitles are sent twice: the picture, then an empty one that clears it.
  const bool dvb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
  const int passes = dvb ? 2 : 1;
  const unsigned rects = ASub->num_rects;
  TBitstreamFilterChain none;
  TBitstreamFilterChain *chain = ChainOf(AOst);
  for (int i = 0; i < passes; ++i) {
    ASub->pts = AV.av_rescale_q(APts, AIst.st->time_base, AV_TIME_BASE_Q) +
                static_cast<int64_t>(ASub->start_display_time) * 1000;
    ASub->end_display_time -= ASub->start_display_time;
    ASub->start_display_time = 0;
    if (i == 1)
      ASub->num_rects = 0;
    const int size = AV.avcodec_encode_subtitle(enc, FPlan.SubtitleOut.data(), kSubtitleOutSize, ASub);
    ASub->num_rects = rects;
    if (size < 0)
      throw FFmpegException("Subtitle encoding failed");
    AVPacket *pkt = AV.av_packet_alloc();
    if (!pkt || AV.av_new_packet(pkt, size) < 0) {
      AV.av_packet_free(&pkt);
      throw FFmpegException("Subtitle encoding failed");
    }
    std::memcpy(pkt->data, FPlan.SubtitleOut.data(), static_cast<size_t>(size));
    const AVRational otb = AOst.st->time_base;
    pkt->stream_index = AOst.index;
    pkt->pts = AV.av_rescale_q(ASub->pts, AV_TIME_BASE_Q, otb);
    if (dvb)
      pkt->pts += AV.av_rescale_q(i == 0 ? ASub->start_display_time : ASub->end_display_time, AVRational{1, 1000}, otb);
    else
      pkt->duration = AV.av_rescale_q(ASub->end_display_time, AVRational{1, 1000}, otb);
    pkt->dts = pkt->pts;
    try {
      WriteFrame(AOutput, pkt, chain ? *chain : none, enc);
    } catch (...) {
      AV.av_packet_free(&pkt);
      throw;
    }
    AV.av_packet_free(&pkt);
  }
}

void TCustomFFmpeg::DoVideoStats(const TAVOutputStream &AOst, int32_t AFrameSize) {
  if (!Fvstats_file) {
    Fvstats_file = std::fopen(Fvstats_filename.c_str(), "w");
    if (!Fvstats_file)
      throw FFmpegException("fopen fail: " + Fvstats_filename);
  }
  const AVCodecContext *enc = AOst.enc_ctx;
  std::string line = Format("frame= %5d q= %2.1f ", AOst.frame_number, static_cast<double>(AOst.quality) / FF_QP2LAMBDA);
  if (enc->flags & AV_CODEC_FLAG_PSNR)
    line += Format("PSNR= %6.2f ", PSNR(static_cast<double>(AOst.frame_error[0]) /
                                       (static_cast<double>(enc->width) * enc->height * 255.0 * 255.0)));
  line += Format("f_size= %6d ", AFrameSize);
  const double tb = av_q2d(enc->time_base);
  const double time = std::max(static_cast<double>(AOst.sync_opts) * tb, 0.01);
  const double bitrate = AFrameSize * 8 / tb / 1000.0;
  const double average = static_cast<double>(Fvideo_size) * 8 / time / 1000.0;
  line += Format("s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 static_cast<double>(Fvideo_size) / 1024, time, bitrate, average);
  line += Format("type= %c\n", AV.av_get_picture_type_char(static_cast<AVPictureType>(AOst.pict_type)));
  std::fputs(line.c_str(), Fvstats_file);
}

void TCustomFFmpeg::PrintReport(bool AIsLast, int32_t AFileIndex) {
  AVFormatContext *oc = Fnb_output_files > 0 ? Foutput_files[0] : nullptr;
  int64_t totalSize = 0;
  if (oc && oc->pb) {
    totalSize = AV.avio_size(oc->pb);
    if (totalSize <= 0)
      totalSize = AV.avio_seek(oc->pb, 0, SEEK_CUR);
  }
  int32_t frameNumber = -1;
  int32_t fps = -1;
  float quality = -1.0f;
  std::string line;
  bool video = false;
  double duration = 1e10;
  for (const auto &ostPtr : FPlan.OutputStreams) {
    const TAVOutputStream &ost = *ostPtr;
    const AVCodecContext *enc = ost.enc_ctx;
    const bool isVideo = ost.st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    const float q = ost.stream_copy ? -1.0f : static_cast<float>(ost.quality) / FF_QP2LAMBDA;
    if (isVideo && video) {
      line += Format("q=%2.1f ", q);
    } else if (isVideo && ost.show_fps) {
      const double elapsed = static_cast<double>(NowMicros() - Ftimer_start) / 1000000.0;
      frameNumber = ost.frame_number;
      // Nothing worth saying before the first picture is out.
      if (frameNumber < 1)
        return;
      fps = elapsed > 1 ? static_cast<int32_t>(frameNumber / elapsed + 0.5) : 0;
      quality = q;
      line += Format("frame=%5d fps=%3d q=%3.1f ", frameNumber, fps, q);
      if (AIsLast)
        line += "L";
      if (Fqp_hist) {
        std::lock_guard<std::mutex> g(QPHistogramLock);
        const int qp = std::clamp(static_cast<int>(std::lrint(q)), 0, 51);
        ++QPHistogram[qp];
        for (int j = 0; j < 32; ++j)
          line += Format("%X", static_cast<int>(std::lrint(std::log2(QPHistogram[j] + 1))));
      }
      if (enc && (enc->flags & AV_CODEC_FLAG_PSNR)) {
        static const char planes[3] = {'Y', 'U', 'V'};
        double errorSum = 0, scaleSum = 0;
        line += "PSNR=";
        for (int j = 0; j < 3; ++j) {
          double error, scale = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0;
          if (AIsLast) {
            error = static_cast<double>(enc->error[j]);
            scale *= frameNumber;
          } else {
            error = static_cast<double>(ost.frame_error[j]);
          }
          if (j)
            scale /= 4;
          errorSum += error;
          scaleSum += scale;
          line += Format("%c:%2.2f ", planes[j], PSNR(error / scale));
        }
        line += Format("*:%2.2f ", PSNR(errorSum / scaleSum));
      }
      video = true;
    }
    const double t = OutputTime(ost.st);
    if (t > 0 && t < duration)
      duration = t;
  }
  // Before any stream has a time the conversion has no length yet; a tiny
  // one keeps the bit rate finite like the shortest time would.
  if (duration < 0.01 || duration == 1e10)
    duration = 0.01;

  if (FOnProgress || Fverbose > 0 || AIsLast) {
    const double bitrate = static_cast<double>(totalSize) * 8 / duration / 1000.0;
    line += Format("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", totalSize / 1024.0, duration, bitrate);
    if (Fnb_frames_dup || Fnb_frames_drop) {
      line += Format(" dup=%d drop=%d", Fnb_frames_dup, Fnb_frames_drop);
      if (FShowDupOrDrop && Fverbose >= 0 && FOnProgress) {
        FShowDupOrDrop = false;
        FFLogger().Log(this, llVerbose, line);
      }
    }
    if (FOnProgress)
      FOnProgress(this, AFileIndex, frameNumber, fps, quality, static_cast<float>(bitrate), totalSize,
                  static_cast<int64_t>(duration * 1000000.0), FTotalOutputDuration);
    else if (Fverbose >= 0)
      FFLogger().Log(this, llVerbose, line);
  }

  if (AIsLast && Fverbose >= 0) {
    const double payload = static_cast<double>(Fvideo_size + Faudio_size + Fextra_size);
    FFLogger().LogFmt(this, llVerbose, "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                      Fvideo_size / 1024.0, Faudio_size / 1024.0, Fextra_size / 1024.0,
                      payload > 0 ? 100.0 * (static_cast<double>(totalSize) - payload) / payload : 0.0);
  }
}
