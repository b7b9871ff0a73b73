// The audio path: one buffer of decoded samples at a time becomes encoded
// packets of one output stream. On the way the samples are kept in step with
// the input's clock ("async"), converted to the encoder's channels, rate and
// sample format, and cut into the encoder's frame size through the stream's
// byte FIFO.
//
// Everything between the steps is interleaved ("packed") samples: the loop
// hands them over that way, the resampler and the converter produce them and
// the FIFO holds them in the encoder's packed format. Only the last step, the
// frame handed to an encoder that takes planar samples, is de-interleaved.
//
// The encoder of these libraries returns its packets in buffers of its own,
// so Faudio_out no longer receives encoded bytes; it keeps its size rule and
// serves as the encoder-side buffer instead: planar samples are laid out in
// it before they go to the encoder.
#include "engine/custom_ffmpeg.h"
#include "engine/sample_layout.h"

#include "platform/convert.h"
#include "platform/exceptions.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Room the old encoders asked for beyond the encoded data itself.
constexpr int64_t kMinEncodeBufferPadding = 16384;
// Drift (in output samples) below which the clock is left alone.
constexpr double kDriftSamples = 50.0;
// The resampler's filter: taps, phase bits, interpolation, cutoff.
constexpr int kFilterSize = 16;
constexpr int kPhaseShift = 10;
constexpr int kLinearInterp = 0;
constexpr double kCutoff = 0.8;

struct TPacketDeleter {
  void operator()(AVPacket *p) const { AV.av_packet_free(&p); }
};
using TPacketPtr = std::unique_ptr<AVPacket, TPacketDeleter>;

struct TFrameDeleter {
  void operator()(AVFrame *p) const {
    // The planes point into the engine's buffers; the frame must not free them.
    p->extended_data = p->data;
    AV.av_frame_free(&p);
  }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

using TPacketWriter = std::function<void(AVPacket *)>;

// A proper layout for a context's channels: its own when it names them,
// else the usual one for the count (the resampler needs to know which
// channel is which to mix).
void LayoutFor(const AVChannelLayout &AOwn, AVChannelLayout &ALayout) {
  if (AOwn.order == AV_CHANNEL_ORDER_NATIVE && AOwn.nb_channels > 0)
    AV.av_channel_layout_copy(&ALayout, &AOwn);
  else
    AV.av_channel_layout_default(&ALayout, AOwn.nb_channels);
}

// Grows an engine buffer to ASize bytes; a larger buffer is kept. The content
// is not kept: every user fills the buffer anew.
void GrowBuffer(TAVMemPtr<uint8_t> &ABuffer, uint32_t &AAllocated, int64_t ASize) {
  if (ABuffer && AAllocated >= ASize)
    return;
  ABuffer.reset(static_cast<uint8_t *>(AV.av_malloc(static_cast<size_t>(ASize))));
  AAllocated = ABuffer ? static_cast<uint32_t>(ASize) : 0;
}

// Takes every packet the encoder has ready, counts it and hands it on with the
// stream's index, the stream's time base and the key-frame flag (every audio
// packet stands on its own).
void ReceivePackets(AVCodecContext *AEnc, const TAVOutputStream &AOst, int64_t &AAudioSize,
                    const TPacketWriter &AWrite) {
  TPacketPtr pkt(AV.av_packet_alloc());
  if (!pkt)
    throw FFmpegException("Audio encoding failed");
  int ret;
  while ((ret = AV.avcodec_receive_packet(AEnc, pkt.get())) >= 0) {
    AAudioSize += pkt->size;
    pkt->stream_index = AOst.index;
    AV.av_packet_rescale_ts(pkt.get(), AEnc->time_base, AOst.st->time_base);
    pkt->flags |= AV_PKT_FLAG_KEY;
    AWrite(pkt.get());
    AV.av_packet_unref(pkt.get());
  }
  if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
    throw FFmpegException("Audio encoding failed");
}

// Sends ASamples interleaved samples in the encoder's packed format as one
// frame starting at output sample AFirstSample, and writes what comes out.
// APlanar receives the de-interleaved planes for an encoder that takes them
// (room for all of AData). The encoder copies the frame's samples: the frame
// does not own its planes.
void EncodeSamples(AVCodecContext *AEnc, const TAVOutputStream &AOst, const uint8_t *AData, int ASamples,
                   int64_t AFirstSample, uint8_t *APlanar, int64_t &AAudioSize, const TPacketWriter &AWrite) {
  TFramePtr frame(AV.av_frame_alloc());
  if (!frame)
    throw FFmpegException("Audio encoding failed");
  const int channels = AEnc->ch_layout.nb_channels;
  frame->nb_samples = ASamples;
  frame->format = AEnc->sample_fmt;
  frame->sample_rate = AEnc->sample_rate;
  LayoutFor(AEnc->ch_layout, frame->ch_layout);
  frame->pts = AV.av_rescale_q(AFirstSample, AVRational{1, AEnc->sample_rate}, AEnc->time_base);

  const int bps = AV.av_get_bytes_per_sample(AEnc->sample_fmt);
  std::vector<uint8_t *> planes;
  if (AV.av_sample_fmt_is_planar(AEnc->sample_fmt)) {
    planes.resize(static_cast<size_t>(channels));
    const size_t plane = static_cast<size_t>(ASamples) * static_cast<size_t>(bps);
    for (int c = 0; c < channels; ++c)
      planes[static_cast<size_t>(c)] = APlanar + static_cast<size_t>(c) * plane;
    DeinterleaveSamples(AData, planes.data(), channels, ASamples, bps);
    frame->linesize[0] = static_cast<int>(plane);
  } else {
    planes.push_back(const_cast<uint8_t *>(AData));
    frame->linesize[0] = ASamples * channels * bps;
  }
  for (size_t i = 0; i < planes.size() && i < AV_NUM_DATA_POINTERS; ++i)
    frame->data[i] = planes[i];
  frame->extended_data = planes.data();

  if (AV.avcodec_send_frame(AEnc, frame.get()) < 0)
    throw FFmpegException("Audio encoding failed");
  ReceivePackets(AEnc, AOst, AAudioSize, AWrite);
}

} // namespace

void TCustomFFmpeg::DoAudioOut(AVFormatContext *AOutput, TAVOutputStream &AOst, TAVInputStream &AIst, uint8_t *ABuf,
                               int32_t ASize) {
  AVCodecContext *enc = AOst.enc_ctx;
  AVCodecContext *dec = AIst.dec_ctx;
  const AVSampleFormat decFmt = AIst.dec_packed_fmt;
  const AVSampleFormat encFmt = AV.av_get_packed_sample_fmt(enc->sample_fmt);
  const int isize = AV.av_get_bytes_per_sample(decFmt);
  const int osize = AV.av_get_bytes_per_sample(encFmt);
  const int decChannels = dec->ch_layout.nb_channels;
  const int encChannels = enc->ch_layout.nb_channels;
  const int decRate = dec->sample_rate;
  const int encRate = enc->sample_rate;
  const int frameSize = enc->frame_size;
  const int codedBps = AV.av_get_bits_per_sample(enc->codec_id);
  const int64_t encSampleBytes = static_cast<int64_t>(osize) * encChannels;

  // Nothing below can size, resample or time samples without these.
  if (isize <= 0 || osize <= 0 || decChannels <= 0 || encChannels <= 0 || decRate <= 0 || encRate <= 0)
    throw FFmpegException(Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", decChannels, decRate,
                                 encChannels, encRate));

  uint8_t *buf = ABuf;
  int64_t size = ASize;
  int64_t allocatedForSize = ASize;
  int64_t audioOutSize = 0;

  // Room for the converted samples of allocatedForSize input bytes: twice the
  // expected count plus a margin (drift compensation may stretch), at least
  // one encoder frame; the out buffer as the old encoders wanted it.
  const auto sizeBuffers = [&] {
    int64_t n = (allocatedForSize + static_cast<int64_t>(isize) * decChannels - 1) /
                (static_cast<int64_t>(isize) * decChannels);
    n = (n * encRate + decRate) / decRate;
    n = 2 * n + 10000;
    n = std::max<int64_t>(n, frameSize);
    const int64_t audioBufSize = n * encSampleBytes;
    audioOutSize = std::max(audioBufSize, static_cast<int64_t>(frameSize) * encSampleBytes);
    if (codedBps > 8 * osize)
      audioOutSize = audioOutSize * codedBps / (8 * osize);
    audioOutSize += kMinEncodeBufferPadding;
    if (audioBufSize > INT32_MAX || audioOutSize > INT32_MAX)
      throw FFmpegException("Buffer sizes too large in do_audio_out");
    GrowBuffer(Faudio_buf, Fallocated_audio_buf_size, audioBufSize);
    GrowBuffer(Faudio_out, Fallocated_audio_out_size, audioOutSize);
    if (!Faudio_buf || !Faudio_out)
      throw FFmpegException("Out of memory in do_audio_out");
  };
  sizeBuffers();

  // Resampler or format converter, made on the first buffer that needs one.
  if (encChannels != decChannels)
    AOst.audio_resample = 1;
  if (AOst.audio_resample && !AOst.resample) {
    if (decFmt != AV_SAMPLE_FMT_S16 && Fverbose > 0)
      FFLogger().Log(this, llVerbose, "Warning, using s16 intermediate sample format for resampling");
    AVChannelLayout inLayout{}, outLayout{};
    LayoutFor(dec->ch_layout, inLayout);
    LayoutFor(enc->ch_layout, outLayout);
    bool ok = AV.swr_alloc_set_opts2(&AOst.resample, &outLayout, encFmt, encRate, &inLayout, decFmt, decRate, 0,
                                     nullptr) >= 0;
    AV.av_channel_layout_uninit(&inLayout);
    AV.av_channel_layout_uninit(&outLayout);
    ok = ok && AV.av_opt_set_int(AOst.resample, "filter_size", kFilterSize, 0) >= 0 &&
         AV.av_opt_set_int(AOst.resample, "phase_shift", kPhaseShift, 0) >= 0 &&
         AV.av_opt_set_int(AOst.resample, "linear_interp", kLinearInterp, 0) >= 0 &&
         AV.av_opt_set_double(AOst.resample, "cutoff", kCutoff, 0) >= 0;
    // Drift compensation needs the filter running even at equal rates; set
    // now, it does not restart the resampler (and drop its samples) later.
    if (ok && Faudio_sync_method > 1)
      ok = AV.av_opt_set_int(AOst.resample, "flags", SWR_FLAG_RESAMPLE, 0) >= 0;
    if (!ok || AV.swr_init(AOst.resample) < 0) {
      AV.swr_free(&AOst.resample);
      throw FFmpegException(Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", decChannels,
                                   decRate, encChannels, encRate));
    }
  } else if (!AOst.audio_resample && decFmt != encFmt) {
    const int32_t pair = encFmt + 5 * decFmt;
    if (pair != AOst.reformat_pair) {
      AV.swr_free(&AOst.reformat_ctx);
      // Channels do not matter to a format change: all samples go through as
      // one channel.
      AVChannelLayout mono{};
      AV.av_channel_layout_default(&mono, 1);
      const int rate = encRate > 0 ? encRate : 44100; // any valid rate: nothing is resampled
      if (AV.swr_alloc_set_opts2(&AOst.reformat_ctx, &mono, encFmt, rate, &mono, decFmt, rate, 0, nullptr) < 0 ||
          AV.swr_init(AOst.reformat_ctx) < 0) {
        AV.swr_free(&AOst.reformat_ctx);
        const char *decName = AV.av_get_sample_fmt_name(decFmt);
        const char *encName = AV.av_get_sample_fmt_name(encFmt);
        throw FFmpegException(Format("Cannot convert %s sample format to %s sample format", decName ? decName : "none",
                                     encName ? encName : "none"));
      }
      AOst.reformat_pair = pair;
    }
  }

  // Synchronisation with the input's clock. FIFO bytes are counted in the
  // encoder's own sample size (the converter's model assumed 16 bits).
  const TAVInputStream &syncIst = AOst.sync_ist ? *AOst.sync_ist : AIst;
  const double inputTime = static_cast<double>(syncIst.pts - Fstart_time) / 1000000.0;
  const int64_t fifoSamples = static_cast<int64_t>(AV.av_fifo_can_read(AOst.fifo)) / encSampleBytes;
  if (Faudio_sync_method) {
    const double delta = inputTime * encRate - static_cast<double>(AOst.sync_opts) - static_cast<double>(fifoSamples);
    const double idelta = delta * decRate / encRate;
    int64_t byteDelta = static_cast<int64_t>(idelta) * isize * decChannels;
    if (std::fabs(delta) > kDriftSamples) {
      if (AIst.is_start || std::fabs(delta) > encRate * Faudio_drift_threshold) {
        if (byteDelta < 0) {
          byteDelta = std::max(byteDelta, -size);
          size += byteDelta;
          buf -= byteDelta;
          if (Fverbose > 2)
            FFLogger().LogFmt(this, llVerbose, "discarding %d audio samples", static_cast<int>(-delta));
          if (!size)
            return;
          AIst.is_start = 0;
        } else {
          uint8_t *tmp = static_cast<uint8_t *>(AV.av_realloc(Finput_tmp.get(), static_cast<size_t>(byteDelta + size)));
          if (!tmp)
            throw FFmpegException("Out of memory in do_audio_out");
          (void)Finput_tmp.release();
          Finput_tmp.reset(tmp);
          if (byteDelta > allocatedForSize - size) {
            allocatedForSize = byteDelta + size;
            sizeBuffers();
          }
          AIst.is_start = 0;
          // Silence is not zero bytes for unsigned 8-bit samples.
          AV.av_samples_set_silence(&tmp, 0, static_cast<int>(byteDelta / isize), 1, decFmt);
          std::memcpy(tmp + byteDelta, buf, static_cast<size_t>(size));
          buf = tmp;
          size += byteDelta;
          if (Fverbose > 2)
            FFLogger().LogFmt(this, llVerbose, "adding %d audio samples of silence", static_cast<int>(delta));
        }
      } else if (Faudio_sync_method > 1) {
        const int comp = static_cast<int>(
            std::clamp<int64_t>(static_cast<int64_t>(delta), -Faudio_sync_method, Faudio_sync_method));
        Assert(AOst.resample != nullptr, "ost->audio_resample");
        if (Fverbose > 2)
          FFLogger().LogFmt(this, llVerbose, "compensating audio timestamp drift:%f compensation:%d in:%d", delta,
                            comp, encRate);
        AV.swr_set_compensation(AOst.resample, comp, encRate);
      }
    }
  } else {
    AOst.sync_opts = std::llround(inputTime * encRate) - fifoSamples;
  }

  // Conversion into Faudio_buf.
  const uint8_t *out = buf;
  int64_t outBytes = size;
  if (AOst.audio_resample) {
    uint8_t *dst = Faudio_buf.get();
    const uint8_t *src = buf;
    const int got = AV.swr_convert(AOst.resample, &dst, static_cast<int>(Fallocated_audio_buf_size / encSampleBytes),
                                   &src, static_cast<int>(size / (static_cast<int64_t>(decChannels) * isize)));
    if (got < 0) {
      if (Fexit_on_error)
        throw FFmpegException("audio_resample() failed");
      FFLogger().Log(this, llError, "audio_resample() failed");
      return;
    }
    out = Faudio_buf.get();
    outBytes = static_cast<int64_t>(got) * encSampleBytes;
  } else if (decFmt != encFmt) {
    uint8_t *dst = Faudio_buf.get();
    const uint8_t *src = buf;
    const int count = static_cast<int>(size / isize);
    const int got = AV.swr_convert(AOst.reformat_ctx, &dst, static_cast<int>(Fallocated_audio_buf_size / osize),
                                   &src, count);
    if (got < 0) {
      if (Fexit_on_error)
        throw FFmpegException("av_audio_convert() failed");
      FFLogger().Log(this, llError, "av_audio_convert() failed");
      return;
    }
    out = Faudio_buf.get();
    outBytes = static_cast<int64_t>(got) * osize;
  }

  TBitstreamFilterChain noFilters;
  TBitstreamFilterChain *chain = ChainOf(AOst);
  const TPacketWriter write = [&](AVPacket *APkt) { WriteFrame(AOutput, APkt, chain ? *chain : noFilters, enc); };

  if (frameSize > 1) {
    // Frame-based encoder: whole frames through the FIFO, the rest waits.
    if (AV.av_fifo_can_write(AOst.fifo) < static_cast<size_t>(outBytes) &&
        AV.av_fifo_grow2(AOst.fifo, static_cast<size_t>(outBytes) - AV.av_fifo_can_write(AOst.fifo)) < 0)
      throw FFmpegException("av_fifo_realloc2() failed");
    if (outBytes > 0 && AV.av_fifo_write(AOst.fifo, out, static_cast<size_t>(outBytes)) < 0)
      throw FFmpegException("av_fifo_realloc2() failed");
    const size_t frameBytes = static_cast<size_t>(frameSize) * static_cast<size_t>(encSampleBytes);
    while (AV.av_fifo_can_read(AOst.fifo) >= frameBytes) {
      AV.av_fifo_read(AOst.fifo, Faudio_buf.get(), frameBytes);
      EncodeSamples(enc, AOst, Faudio_buf.get(), frameSize, AOst.sync_opts, Faudio_out.get(), Faudio_size, write);
      AOst.sync_opts += frameSize;
    }
  } else {
    // Sample-based encoder (PCM): everything in one go.
    const int64_t samples = outBytes / encSampleBytes;
    const int64_t first = AOst.sync_opts;
    AOst.sync_opts += samples;
    int64_t codedSize = outBytes / osize;
    if (codedBps)
      codedSize = codedSize * codedBps / 8;
    if (codedSize > audioOutSize)
      throw FFmpegException("Internal error, buffer size too small");
    if (samples > 0)
      EncodeSamples(enc, AOst, out, static_cast<int>(samples), first, Faudio_out.get(), Faudio_size, write);
  }
}

void TCustomFFmpeg::FlushAudio(AVFormatContext *AOutput, TAVOutputStream &AOst) {
  AVCodecContext *enc = AOst.enc_ctx;
  const AVSampleFormat encFmt = AV.av_get_packed_sample_fmt(enc->sample_fmt);
  const int osize = AV.av_get_bytes_per_sample(encFmt);
  const int encChannels = enc->ch_layout.nb_channels;
  const size_t encSampleBytes = static_cast<size_t>(osize) * static_cast<size_t>(encChannels);

  TBitstreamFilterChain noFilters;
  TBitstreamFilterChain *chain = ChainOf(AOst);
  const TPacketWriter write = [&](AVPacket *APkt) { WriteFrame(AOutput, APkt, chain ? *chain : noFilters, enc); };

  const size_t left = AOst.fifo ? AV.av_fifo_can_read(AOst.fifo) : 0;
  if (left > 0 && encSampleBytes > 0) {
    const size_t frameBytes = static_cast<size_t>(std::max(enc->frame_size, 0)) * encSampleBytes;
    const bool shortLast =
        enc->codec && (enc->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
    const size_t bytes = shortLast ? left : std::max(frameBytes, left);
    if (!Faudio_buf || !Faudio_out || bytes > Fallocated_audio_buf_size || bytes > Fallocated_audio_out_size)
      throw FFmpegException("frame_bytes invalid.");
    uint8_t *data = Faudio_buf.get();
    AV.av_fifo_read(AOst.fifo, data, left);
    if (bytes > left)
      AV.av_samples_set_silence(&data, static_cast<int>(left / encSampleBytes),
                                static_cast<int>((bytes - left) / encSampleBytes), encChannels, encFmt);
    const int samples = static_cast<int>(bytes / encSampleBytes);
    EncodeSamples(enc, AOst, data, samples, AOst.sync_opts, Faudio_out.get(), Faudio_size, write);
    AOst.sync_opts += samples;
  }
  // What the encoder still holds back (its delay and look-ahead).
  const int ret = AV.avcodec_send_frame(enc, nullptr);
  if (ret < 0 && ret != AVERROR_EOF)
    throw FFmpegException("Audio encoding failed");
  ReceivePackets(enc, AOst, Faudio_size, write);
}
