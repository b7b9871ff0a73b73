// Bitmap subtitles: the subtitle thread decodes into the ring of four, with
// each palette turned into studio-range Y, U, V and alpha; the display blends
// the current one into the picture on screen.
#include "playback/custom_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

using namespace player_detail;

namespace {

struct TThreadArg {
  TCustomPlayer *Player;
  TVideoState *State;
};

uint8_t Clip8(double AValue) { return static_cast<uint8_t>(std::clamp(std::lround(AValue), 0L, 255L)); }

// ITU-R BT.601, studio range (Y 16..235, U and V 16..240).
uint32_t RGBAToYUVA(uint32_t AARGB) {
  const double a = (AARGB >> 24) & 0xFF;
  const double r = (AARGB >> 16) & 0xFF;
  const double g = (AARGB >> 8) & 0xFF;
  const double b = AARGB & 0xFF;
  const double y = 16 + (0.299 * r + 0.587 * g + 0.114 * b) * 219.0 / 255.0;
  const double u = 128 + (-0.168736 * r - 0.331264 * g + 0.5 * b) * 224.0 / 255.0;
  const double v = 128 + (0.5 * r - 0.418688 * g - 0.081312 * b) * 224.0 / 255.0;
  return static_cast<uint32_t>(Clip8(a)) << 24 | static_cast<uint32_t>(Clip8(y)) << 16 |
         static_cast<uint32_t>(Clip8(u)) << 8 | Clip8(v);
}

} // namespace

namespace player_detail {

void BlendSubtitle(TVideoPicture &ADst, const TSubPicture &ASub) {
  for (unsigned n = 0; n < ASub.sub.num_rects && n < ASub.YUVAPalettes.size(); ++n) {
    const AVSubtitleRect *rect = ASub.sub.rects[n];
    const std::vector<uint32_t> &pal = ASub.YUVAPalettes[n];
    if (!rect->data[0] || pal.empty())
      continue;
    const int x0 = std::clamp(rect->x, 0, ADst.width);
    const int y0 = std::clamp(rect->y, 0, ADst.height);
    const int x1 = std::clamp(rect->x + rect->w, 0, ADst.width);
    const int y1 = std::clamp(rect->y + rect->h, 0, ADst.height);
    auto entry = [&](int x, int y) -> uint32_t {
      const uint8_t idx = rect->data[0][static_cast<ptrdiff_t>(y - rect->y) * rect->linesize[0] + (x - rect->x)];
      return idx < pal.size() ? pal[idx] : 0;
    };
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint32_t e = entry(x, y);
        const int a = e >> 24;
        uint8_t &d = ADst.Data[0][static_cast<ptrdiff_t>(y) * ADst.Linesize[0] + x];
        d = static_cast<uint8_t>((d * (255 - a) + static_cast<int>((e >> 16) & 0xFF) * a) / 255);
      }
    for (int cy = y0 / 2; cy < (y1 + 1) / 2; ++cy)
      for (int cx = x0 / 2; cx < (x1 + 1) / 2; ++cx) {
        int sumA = 0, sumU = 0, sumV = 0, count = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) {
            const int x = cx * 2 + dx, y = cy * 2 + dy;
            if (x < x0 || x >= x1 || y < y0 || y >= y1)
              continue;
            const uint32_t e = entry(x, y);
            sumA += e >> 24;
            sumU += (e >> 8) & 0xFF;
            sumV += e & 0xFF;
            ++count;
          }
        if (!count)
          continue;
        const int a = sumA / 4; // averaged over the block: a partly covered block blends less
        uint8_t &u = ADst.Data[1][static_cast<ptrdiff_t>(cy) * ADst.Linesize[1] + cx];
        uint8_t &v = ADst.Data[2][static_cast<ptrdiff_t>(cy) * ADst.Linesize[2] + cx];
        u = static_cast<uint8_t>((u * (255 - a) + (sumU / count) * a) / 255);
        v = static_cast<uint8_t>((v * (255 - a) + (sumV / count) * a) / 255);
      }
  }
}

} // namespace player_detail

int TCustomPlayer::SubtitleThreadEntry(void *AData) {
  auto *arg = static_cast<TThreadArg *>(AData);
  arg->Player->SubtitleThread(arg->State);
  delete arg;
  return 0;
}

void TCustomPlayer::SubtitleThread(TVideoState *is) {
  AVPacket *pkt = AV.av_packet_alloc();
  while (pkt) {
    while (is->paused && !is->subtitleq.abort_request() && !is->seek_paused)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (is->subtitleq.Get(pkt, true) < 0)
      break;
    if (pkt->data == FFlushPacket->data) {
      AV.avcodec_flush_buffers(is->subtitle_dec);
      AV.av_packet_unref(pkt);
      continue;
    }
    AV.SDL_LockMutex(is->subpq_mutex);
    while (is->subpq_size >= kSubPictQueueSize && !is->subtitleq.abort_request())
      AV.SDL_CondWait(is->subpq_cond, is->subpq_mutex);
    AV.SDL_UnlockMutex(is->subpq_mutex);
    if (is->subtitleq.abort_request())
      break;
    TSubPicture &sp = is->subpq[is->subpq_windex];
    int got = 0;
    const int ret = AV.avcodec_decode_subtitle2(is->subtitle_dec, &sp.sub, &got, pkt);
    if (ret >= 0 && got && sp.sub.format == 0) {
      sp.pts = pkt->pts != AV_NOPTS_VALUE ? av_q2d(is->subtitle_st->time_base) * static_cast<double>(pkt->pts) : 0;
      sp.YUVAPalettes.assign(sp.sub.num_rects, {});
      for (unsigned i = 0; i < sp.sub.num_rects; ++i) {
        const AVSubtitleRect *rect = sp.sub.rects[i];
        const auto *rgba = reinterpret_cast<const uint32_t *>(rect->data[1]);
        for (int j = 0; rgba && j < rect->nb_colors; ++j)
          sp.YUVAPalettes[i].push_back(RGBAToYUVA(rgba[j]));
      }
      AV.SDL_LockMutex(is->subpq_mutex);
      is->subpq_windex = (is->subpq_windex + 1) % kSubPictQueueSize;
      ++is->subpq_size;
      AV.SDL_UnlockMutex(is->subpq_mutex);
    } else if (got) {
      AV.avsubtitle_free(&sp.sub); // text subtitles are not drawn
    }
    AV.av_packet_unref(pkt);
  }
  AV.av_packet_free(&pkt);
}
