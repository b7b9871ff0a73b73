// The outputs on the play thread: the SDL window (the host's, or one of the
// player's own), the picture with its aspect ratio and subtitles, and the
// audio display (wave form or spectrum). Everything here runs under
// FDataLock on the play thread, except where a closing thread takes over.
#include "playback/custom_player.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

using namespace player_detail;

namespace player_detail {

TDisplayRect PictureDisplayRect(int AAreaLeft, int AAreaTop, int AAreaWidth, int AAreaHeight, int APicWidth,
                                int APicHeight, AVRational ASampleAspect, float AAspectRatio) {
  double aspect;
  if (AAspectRatio > 0) {
    aspect = AAspectRatio;
  } else if (AAspectRatio < 0 && AAreaWidth > 0 && AAreaHeight > 0) {
    aspect = static_cast<double>(AAreaWidth) / AAreaHeight;
  } else {
    double sar = ASampleAspect.num > 0 && ASampleAspect.den > 0 ? av_q2d(ASampleAspect) : 1.0;
    if (sar <= 0)
      sar = 1.0;
    aspect = APicHeight > 0 ? sar * APicWidth / APicHeight : 1.0;
  }
  if (aspect <= 0)
    aspect = 1.0;
  TDisplayRect r;
  r.h = AAreaHeight;
  r.w = static_cast<int>(std::lrint(r.h * aspect)) & ~1;
  if (r.w > AAreaWidth) {
    r.w = AAreaWidth;
    r.h = static_cast<int>(std::lrint(r.w / aspect)) & ~1;
  }
  r.x = (AAreaWidth - r.w) / 2 + AAreaLeft;
  r.y = (AAreaHeight - r.h) / 2 + AAreaTop;
  return r;
}

// Blends the rectangles of a bitmap subtitle into a 4:2:0 picture (subtitle.cpp).
void BlendSubtitle(TVideoPicture &ADst, const TSubPicture &ASub);

} // namespace player_detail

namespace {

// Sizes the planes of a 4:2:0 picture of AWidth x AHeight (both even).
void AllocPlanes(TVideoPicture &vp, int AWidth, int AHeight) {
  const size_t luma = static_cast<size_t>(AWidth) * AHeight;
  const size_t chroma = luma / 4;
  vp.Planes.assign(luma + 2 * chroma, 0);
  std::memset(vp.Planes.data() + luma, 128, 2 * chroma);
  vp.Data[0] = vp.Planes.data();
  vp.Data[1] = vp.Data[0] + luma;
  vp.Data[2] = vp.Data[1] + chroma;
  vp.Linesize[0] = AWidth;
  vp.Linesize[1] = vp.Linesize[2] = AWidth / 2;
  vp.width = AWidth;
  vp.height = AHeight;
}

} // namespace

bool TCustomPlayer::VideoOpen(TVideoState *is, bool AForce) {
  int w, h;
  if (Fis_full_screen && Ffs_screen_width > 0) {
    w = Ffs_screen_width;
    h = Ffs_screen_height;
  } else if (FScreenWidth > 0 && FScreenHeight > 0) {
    w = FScreenWidth;
    h = FScreenHeight;
  } else if (is->video_dec && is->video_dec->width > 0) {
    w = is->video_dec->width & ~1;
    h = is->video_dec->height & ~1;
  } else {
    w = 640;
    h = 480;
  }
  if (!AForce && FScreen.Renderer && FScreen.Width == w && FScreen.Height == h)
    return true;
  if (FScreenHandle) {
    if (!FScreen.Window) {
      FScreen.Window = AV.SDL_CreateWindowFrom(reinterpret_cast<const void *>(FScreenHandle));
      FScreen.Foreign = FScreen.Window != nullptr;
    }
  } else if (!FScreen.Window) {
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    if (Fis_full_screen)
      flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    FScreen.Window = AV.SDL_CreateWindow("VURadori", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, flags);
  } else {
    AV.SDL_SetWindowSize(FScreen.Window, w, h);
  }
  if (FScreen.Window && !FScreen.Renderer) {
    FScreen.Renderer = AV.SDL_CreateRenderer(FScreen.Window, -1, 0);
    // A foreign window has no GL surface of SDL's: draw in software then.
    if (!FScreen.Renderer)
      FScreen.Renderer = AV.SDL_CreateRenderer(FScreen.Window, -1, SDL_RENDERER_SOFTWARE);
  }
  if (!FScreen.Window || !FScreen.Renderer) {
    FFLogger().Log(this, llError, "SDL: could not set video mode.");
    return false;
  }
  if (FScreen.Foreign) {
    // The host decides the size: the area is its client area.
    AV.SDL_GetWindowSize(FScreen.Window, &w, &h);
    if (FScreenWidth == 0 || FScreenHeight == 0) {
      FScreenWidth = w;
      FScreenHeight = h;
    }
  }
  int ow = w, oh = h;
  if (AV.SDL_GetRendererOutputSize(FScreen.Renderer, &ow, &oh) == 0 && ow > 0 && oh > 0) {
    w = ow;
    h = oh;
  }
  FScreen.Width = w;
  FScreen.Height = h;
  is->width = w;
  is->height = h;
  return true;
}

void TCustomPlayer::ResizeWindow(TVideoState *is, int AWidth, int AHeight) {
  if (AWidth <= 0 || AHeight <= 0)
    return;
  FScreenWidth = AWidth;
  FScreenHeight = AHeight;
  if (!VideoOpen(is, true))
    return;
  if (is->paused)
    VideoRefresh(is, false);
}

void TCustomPlayer::AllocPicture(TVideoState *is) {
  TVideoPicture &vp = is->pictq[is->pictq_windex];
  if (!FDisableDisplay && !FScreen.Renderer)
    VideoOpen(is, false);
  AV.SDL_LockMutex(is->pictq_mutex);
  AllocPlanes(vp, vp.width, vp.height);
  vp.allocated = true;
  AV.SDL_CondSignal(is->pictq_cond);
  AV.SDL_UnlockMutex(is->pictq_mutex);
}

void TCustomPlayer::ShowPicture(TVideoState *is, TVideoPicture &vp) {
  TVideoPicture &shown = FScreen.Shown;
  if (shown.width != vp.width || shown.height != vp.height || !shown.HasOverlay())
    AllocPlanes(shown, vp.width, vp.height);
  std::memcpy(shown.Planes.data(), vp.Planes.data(), std::min(shown.Planes.size(), vp.Planes.size()));
  shown.pts = vp.pts;
  shown.pos = vp.pos;
  shown.sar = vp.sar;
  FScreen.HasShown = true;
  if (is->subtitle_st) {
    AV.SDL_LockMutex(is->subpq_mutex);
    if (is->subpq_size > 0) {
      const TSubPicture &sp = is->subpq[is->subpq_rindex];
      if (vp.pts >= sp.pts + sp.sub.start_display_time / 1000.0)
        BlendSubtitle(shown, sp);
    }
    AV.SDL_UnlockMutex(is->subpq_mutex);
  }
  if (!FScreen.Renderer)
    return;
  if (!FScreen.Texture || FScreen.TexWidth != shown.width || FScreen.TexHeight != shown.height) {
    if (FScreen.Texture)
      AV.SDL_DestroyTexture(FScreen.Texture);
    FScreen.Texture = AV.SDL_CreateTexture(FScreen.Renderer, SDL_PIXELFORMAT_IYUV, SDL_TEXTUREACCESS_STREAMING,
                                           shown.width, shown.height);
    FScreen.TexWidth = shown.width;
    FScreen.TexHeight = shown.height;
  }
  if (FScreen.Texture)
    AV.SDL_UpdateYUVTexture(FScreen.Texture, nullptr, shown.Data[0], shown.Linesize[0], shown.Data[1],
                            shown.Linesize[1], shown.Data[2], shown.Linesize[2]);
}

void TCustomPlayer::VideoDisplay(TVideoState *is) {
  if (FDisableDisplay)
    return;
  if (!FScreen.Renderer && !VideoOpen(is, false))
    return;
  if (FScreen.ClearPending) {
    FScreen.ClearPending = false;
    FillBlack(is);
  }
  if (is->audio_st && is->show_audio)
    AudioDisplay(is);
  else if (is->video_st)
    VideoImageDisplay(is);
}

void TCustomPlayer::VideoImageDisplay(TVideoState *is) {
  SDL_Renderer *r = FScreen.Renderer;
  AV.SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
  AV.SDL_RenderClear(r);
  if (FScreen.HasShown && FScreen.Texture) {
    const TVideoPicture &shown = FScreen.Shown;
    const TDisplayRect d =
        PictureDisplayRect(is->xleft, is->ytop, is->width, is->height, shown.width, shown.height, shown.sar,
                           FAspectRatio);
    const SDL_Rect rect{d.x, d.y, d.w, d.h};
    AV.SDL_RenderCopy(r, FScreen.Texture, nullptr, &rect);
  }
  AV.SDL_RenderPresent(r);
  is->no_background = false;
}

void TCustomPlayer::FillBlack(TVideoState *) {
  std::fill(FScreen.AudioPixels.begin(), FScreen.AudioPixels.end(), 0xFF000000u);
  if (!FScreen.Renderer)
    return;
  AV.SDL_SetRenderDrawColor(FScreen.Renderer, 0, 0, 0, 255);
  AV.SDL_RenderClear(FScreen.Renderer);
  AV.SDL_RenderPresent(FScreen.Renderer);
}

void TCustomPlayer::AudioDisplay(TVideoState *is) {
  const int width = is->width, height = is->height;
  const int channels = is->audio_channels;
  if (width <= 0 || height <= 0 || channels <= 0)
    return;
  if (FScreen.AudioWidth != width || FScreen.AudioHeight != height) {
    FScreen.AudioPixels.assign(static_cast<size_t>(width) * height, 0xFF000000u);
    if (FScreen.AudioTexture)
      AV.SDL_DestroyTexture(FScreen.AudioTexture);
    FScreen.AudioTexture = AV.SDL_CreateTexture(FScreen.Renderer, SDL_PIXELFORMAT_ARGB8888,
                                                SDL_TEXTUREACCESS_STREAMING, width, height);
    FScreen.AudioWidth = width;
    FScreen.AudioHeight = height;
    is->xpos = 0;
  }
  const int mode = is->show_audio;
  const int16_t *s = is->sample_array.data();
  int rdftBits = 1;
  while ((1 << rdftBits) < 2 * height)
    ++rdftBits;
  const int nbFreq = 1 << (rdftBits - 1);

  int iStart;
  if (!is->paused) {
    const int dataUsed = mode == saWave ? width : 2 * nbFreq;
    const int n = 2 * channels;
    int delay = (is->audio_buf_size - is->audio_buf_index) / n;
    const int64_t cb = Faudio_callback_time;
    if (cb) {
      const int64_t elapsed = AV.av_gettime_relative() - cb;
      delay -= static_cast<int>(elapsed * is->audio_sample_rate / 1000000);
    }
    delay += 2 * dataUsed;
    if (delay < dataUsed)
      delay = dataUsed;
    const int x = ((is->sample_array_index - delay * channels) % kSampleArraySize + kSampleArraySize) %
                  kSampleArraySize;
    iStart = x;
    if (mode == saWave) {
      // Start at a rising zero crossing, so the wave stands still on screen.
      int best = INT_MIN;
      for (int i = 0; i < 1000; i += channels) {
        const int idx = (kSampleArraySize + x - i) % kSampleArraySize;
        const int a = s[idx];
        const int b = s[(idx + 4 * channels) % kSampleArraySize];
        const int c = s[(idx + 5 * channels) % kSampleArraySize];
        const int d = s[(idx + 9 * channels) % kSampleArraySize];
        const int score = a - d;
        if (best < score && (b ^ c) < 0) {
          best = score;
          iStart = idx;
        }
      }
    }
    is->last_i_start = iStart;
  } else {
    iStart = is->last_i_start;
  }

  uint32_t *px = FScreen.AudioPixels.data();
  const uint32_t white = 0xFFFFFFFFu;
  if (mode == saWave) {
    std::fill(FScreen.AudioPixels.begin(), FScreen.AudioPixels.end(), 0xFF000000u);
    const int band = height / channels;
    const int h2 = band * 9 / 20;
    for (int ch = 0; ch < channels; ++ch) {
      int i = iStart + ch;
      const int mid = ch * band + band / 2;
      for (int x = 0; x < width; ++x) {
        int y = (s[i] * h2) >> 15;
        int ys = mid;
        if (y < 0) {
          y = -y;
          ys = mid - y;
        }
        for (int k = 0; k <= y; ++k)
          if (ys + k >= 0 && ys + k < height)
            px[static_cast<size_t>(ys + k) * width + x] = white;
        i += channels;
        if (i >= kSampleArraySize)
          i -= kSampleArraySize;
      }
    }
    for (int ch = 1; ch < channels; ++ch) {
      const int y = ch * band;
      for (int x = 0; x < width; ++x)
        px[static_cast<size_t>(y) * width + x] = white;
    }
  } else {
    const int nbDisplay = std::min(channels, 2);
    if (rdftBits != is->rdft_bits) {
      if (is->rdft)
        AV.av_rdft_end(is->rdft);
      is->rdft = AV.av_rdft_init(rdftBits, DFT_R2C);
      is->rdft_bits = rdftBits;
      is->rdft_data.assign(static_cast<size_t>(4) * nbFreq, 0);
    }
    if (!is->rdft)
      return;
    for (int ch = 0; ch < nbDisplay; ++ch) {
      FFTSample *data = is->rdft_data.data() + static_cast<size_t>(2) * nbFreq * ch;
      int i = iStart + ch;
      for (int x = 0; x < 2 * nbFreq; ++x) {
        const double w = static_cast<double>(x - nbFreq) / nbFreq;
        data[x] = static_cast<FFTSample>(s[i] * (1.0 - w * w));
        i += channels;
        if (i >= kSampleArraySize)
          i -= kSampleArraySize;
      }
      AV.av_rdft_calc(is->rdft, data);
    }
    const FFTSample *d0 = is->rdft_data.data();
    const FFTSample *d1 = nbDisplay > 1 ? d0 + 2 * nbFreq : d0;
    const double weight = 1.0 / std::sqrt(static_cast<double>(nbFreq));
    const int xpos = is->xpos;
    for (int y = 0; y < height; ++y) {
      int a = static_cast<int>(std::sqrt(weight * std::sqrt(static_cast<double>(d0[2 * y]) * d0[2 * y] +
                                                            static_cast<double>(d0[2 * y + 1]) * d0[2 * y + 1])));
      int b = static_cast<int>(std::sqrt(weight * std::sqrt(static_cast<double>(d1[2 * y]) * d1[2 * y] +
                                                            static_cast<double>(d1[2 * y + 1]) * d1[2 * y + 1])));
      a = std::min(a, 255);
      b = std::min(b, 255);
      const uint32_t colour = 0xFF000000u | static_cast<uint32_t>(a) << 16 | static_cast<uint32_t>(b) << 8 |
                              static_cast<uint32_t>((a + b) / 2);
      px[static_cast<size_t>(height - 1 - y) * width + xpos] = colour;
    }
    if (++is->xpos >= width)
      is->xpos = is->xleft;
  }
  if (!FScreen.AudioTexture)
    return;
  AV.SDL_UpdateTexture(FScreen.AudioTexture, nullptr, px, width * 4);
  const SDL_Rect rect{is->xleft, is->ytop, width, height};
  AV.SDL_SetRenderDrawColor(FScreen.Renderer, 0, 0, 0, 255);
  AV.SDL_RenderClear(FScreen.Renderer);
  AV.SDL_RenderCopy(FScreen.Renderer, FScreen.AudioTexture, nullptr, &rect);
  AV.SDL_RenderPresent(FScreen.Renderer);
}

void TCustomPlayer::DestroyScreen() {
  if (FScreen.Texture)
    AV.SDL_DestroyTexture(FScreen.Texture);
  if (FScreen.AudioTexture)
    AV.SDL_DestroyTexture(FScreen.AudioTexture);
  if (FScreen.Renderer)
    AV.SDL_DestroyRenderer(FScreen.Renderer);
  // SDL forgets a foreign window without destroying it.
  if (FScreen.Window)
    AV.SDL_DestroyWindow(FScreen.Window);
  FScreen = TScreen{};
}
