// Audio on SDL's audio thread: the callback pulls decoded blocks, converted
// to signed 16-bit at the device's rate and channel count with
// libswresample, corrects drift against another master clock and writes
// silence when nothing is there, so a gap never blocks the device.
#include "playback/custom_player.h"

#include "platform/convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace player_detail;

namespace {

// Grows ABuf so that a block of ABytes can still be stretched by drift correction.
uint8_t *Room(std::vector<uint8_t> &ABuf, int ABytes) {
  const size_t need = static_cast<size_t>(ABytes) * 11 / 10 + 64;
  if (ABuf.size() < need)
    ABuf.resize(need);
  return ABuf.data();
}

} // namespace

void TCustomPlayer::AudioCallbackEntry(void *AData, Uint8 *AStream, int ALen) {
  auto *is = static_cast<TVideoState *>(AData);
  is->Owner->AudioCallback(is, AStream, ALen);
}

void TCustomPlayer::AudioCallback(TVideoState *is, Uint8 *AStream, int ALen) {
  Faudio_callback_time = AV.av_gettime_relative();
  // SDL2 hands over the buffer as it is: silence first, the blocks are mixed in.
  std::memset(AStream, 0, static_cast<size_t>(ALen));
  while (ALen > 0) {
    if (is->audio_buf_index >= is->audio_buf_size) {
      int size = AudioDecodeFrame(is);
      if (is->audioq.abort_request())
        return;
      is->audio_buf_silent = size < 0;
      if (size < 0) {
        is->audio_buf = is->audio_silence.data();
        size = static_cast<int>(is->audio_silence.size());
      } else {
        if (is->show_audio)
          UpdateSampleDisplay(is, reinterpret_cast<const int16_t *>(is->audio_buf), size);
        size = SynchronizeAudio(is, reinterpret_cast<int16_t *>(const_cast<uint8_t *>(is->audio_buf)), size);
      }
      is->audio_buf_size = size;
      is->audio_buf_index = 0;
    }
    const int index = is->audio_buf_index;
    const int len = std::min(is->audio_buf_size - index, ALen);
    if (!FMute)
      AV.SDL_MixAudioFormat(AStream, is->audio_buf + index, AUDIO_S16SYS, static_cast<Uint32>(len), FAudioVolume);
    ALen -= len;
    AStream += len;
    is->audio_buf_index = index + len;
  }
}

// Decodes one block into audio_buf; its size in bytes, or -1 when there is
// nothing to play now (paused, aborted, queue empty).
int TCustomPlayer::AudioDecodeFrame(TVideoState *is) {
  AVCodecContext *dec = is->audio_dec;
  AVFrame *frame = is->audio_frame;
  const int channels = is->audio_channels;
  const int rate = is->audio_sample_rate;
  for (;;) {
    int r = AV.avcodec_receive_frame(dec, frame);
    if (r == 0) {
      int bytes = -1;
      const AVSampleFormat fmt = static_cast<AVSampleFormat>(frame->format);
      if (fmt != is->audio_src_fmt || AV.av_channel_layout_compare(&frame->ch_layout, &is->audio_src_layout) != 0 ||
          frame->sample_rate != is->audio_src_rate) {
        AV.swr_free(&is->reformat_ctx);
        is->audio_src_fmt = fmt;
        AV.av_channel_layout_uninit(&is->audio_src_layout);
        AV.av_channel_layout_copy(&is->audio_src_layout, &frame->ch_layout);
        is->audio_src_rate = frame->sample_rate;
        is->audio_cannot_convert = false;
        const bool direct = fmt == AV_SAMPLE_FMT_S16 && frame->ch_layout.nb_channels == channels &&
                            frame->sample_rate == rate;
        if (!direct) {
          AVChannelLayout out{};
          AV.av_channel_layout_default(&out, channels);
          if (AV.swr_alloc_set_opts2(&is->reformat_ctx, &out, AV_SAMPLE_FMT_S16, rate, &frame->ch_layout, fmt,
                                     frame->sample_rate, 0, nullptr) < 0 ||
              AV.swr_init(is->reformat_ctx) < 0) {
            AV.swr_free(&is->reformat_ctx);
            const char *name = AV.av_get_sample_fmt_name(fmt);
            FFLogger().Log(this, llError, ::Format("Cannot convert %s sample format to %s sample format",
                                                 name ? name : "?", AV.av_get_sample_fmt_name(AV_SAMPLE_FMT_S16)));
            // The next blocks of this format are skipped quietly.
            is->audio_cannot_convert = true;
          }
          AV.av_channel_layout_uninit(&out);
        }
      }
      if (is->audio_cannot_convert) {
        // skipped: becomes silence
      } else if (is->reformat_ctx) {
        const int outCount = AV.swr_get_out_samples(is->reformat_ctx, frame->nb_samples) + 256;
        uint8_t *out[1] = {Room(is->audio_buf2, outCount * 2 * channels)};
        const int n = AV.swr_convert(is->reformat_ctx, out, outCount,
                                     const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
        if (n < 0) {
          FFLogger().Log(this, llError, "av_audio_convert() failed");
        } else {
          is->audio_buf = is->audio_buf2.data();
          bytes = n * 2 * channels;
        }
      } else {
        bytes = frame->nb_samples * 2 * channels;
        std::memcpy(Room(is->audio_buf1, bytes), frame->data[0], static_cast<size_t>(bytes));
        is->audio_buf = is->audio_buf1.data();
      }
      AV.av_frame_unref(frame);
      if (bytes <= 0)
        continue;
      is->audio_clock = is->audio_clock + static_cast<double>(bytes) / (2.0 * channels * rate);
      return bytes;
    }
    if (r != AVERROR(EAGAIN) && r != AVERROR_EOF)
      FFLogger().Log(this, llInfo, "avcodec_decode_audio2() failed");
    if (is->audio_pkt_pending) {
      is->audio_pkt_pending = false;
      r = AV.avcodec_send_packet(dec, is->audio_pkt);
      if (r < 0)
        FFLogger().Log(this, llInfo, "avcodec_decode_audio2() failed");
      AV.av_packet_unref(is->audio_pkt);
      continue;
    }
    // The packet is used up.
    if (is->paused || is->audioq.abort_request())
      return -1;
    if (is->audioq.Get(is->audio_pkt, false) <= 0)
      return -1;
    if (is->audio_pkt->data == FFlushPacket->data) {
      AV.avcodec_flush_buffers(dec);
      AV.av_packet_unref(is->audio_pkt);
      continue;
    }
    if (is->audio_pkt->pts != AV_NOPTS_VALUE)
      is->audio_clock = av_q2d(is->audio_st->time_base) * static_cast<double>(is->audio_pkt->pts);
    is->audio_pkt_pending = true;
  }
}

int TCustomPlayer::SynchronizeAudio(TVideoState *is, int16_t *ASamples, int ASize) {
  if (!((is->av_sync_type == AV_SYNC_VIDEO_MASTER && is->video_st) || is->av_sync_type == AV_SYNC_EXTERNAL_CLOCK))
    return ASize;
  const int n = 2 * is->audio_channels;
  const double diff = GetAudioClock(is) - GetMasterClock(is);
  if (std::fabs(diff) >= kAVNoSyncThreshold) {
    // Too far apart to be drift (a seek, a broken stream): start averaging anew.
    is->audio_diff_avg_count = 0;
    is->audio_diff_cum = 0;
    return ASize;
  }
  is->audio_diff_cum = diff + is->audio_diff_avg_coef * is->audio_diff_cum;
  if (is->audio_diff_avg_count < kAudioDiffAvgNB) {
    ++is->audio_diff_avg_count;
    return ASize;
  }
  const double avgDiff = is->audio_diff_cum * (1.0 - is->audio_diff_avg_coef);
  if (std::fabs(avgDiff) < is->audio_diff_threshold)
    return ASize;
  int wanted = ASize + static_cast<int>(diff * is->audio_sample_rate) * n;
  const int minSize = ASize * (100 - kSampleCorrectionPercentMax) / 100 / n * n;
  const int maxSize = ASize * (100 + kSampleCorrectionPercentMax) / 100 / n * n;
  wanted = std::clamp(wanted, minSize, maxSize);
  if (wanted < ASize)
    return wanted;
  if (wanted > ASize) {
    // Repeat the last sample frame (the buffers keep 10 % room for this).
    uint8_t *bytes = reinterpret_cast<uint8_t *>(ASamples);
    const uint8_t *last = bytes + ASize - n;
    for (int at = ASize; at < wanted; at += n)
      std::memcpy(bytes + at, last, static_cast<size_t>(n));
    return wanted;
  }
  return ASize;
}

void TCustomPlayer::UpdateSampleDisplay(TVideoState *is, const int16_t *ASamples, int ASize) {
  int count = ASize / 2;
  int index = is->sample_array_index;
  while (count > 0) {
    const int len = std::min(kSampleArraySize - index, count);
    std::memcpy(is->sample_array.data() + index, ASamples, static_cast<size_t>(len) * 2);
    ASamples += len;
    index += len;
    if (index >= kSampleArraySize)
      index = 0;
    count -= len;
  }
  is->sample_array_index = index;
}
