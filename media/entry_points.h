// The libraries' headers behind the entry-point table. The names live in
// entry_lists.h; the loader resolves each with dlsym and takes the slot's type
// from these headers, so a wrong signature does not compile. Nothing links the
// libraries: call them as `AV.name(...)` (see ffmpeg_loader.h).
//
// To use a new entry point, add its name to its library's list in entry_lists.h.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/avfft.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/dict.h>
#include <libavutil/fifo.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libavutil/timestamp.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
#include <SDL2/SDL.h>
}

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "media/entry_lists.h"

