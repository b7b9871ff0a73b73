/* The interface of video hook modules ("vhook"): shared objects that get
 * every decoded picture before it is encoded and may change it in place.
 *
 * A module exports, with C linkage:
 *   int  Configure(void **ctxp, int argc, char *argv[]);   optional; 0 = success
 *   void Process(void *ctx, ZvHookPicture *pict, int pix_fmt, int width,
 *                int height, int64_t pts);                   required
 *   void Release(void *ctx);                                optional
 * argv[0] is the module's file name, the rest are the words after it in the
 * option value. pix_fmt is the libraries' pixel format number, pts the
 * picture's time in microseconds. Process runs on the conversion thread;
 * a module loaded once serves every later conversion of the process, each
 * with the context its own Configure made.
 *
 * Plain C, so that modules need nothing of this program to be built. */
#ifndef ZV_VIDEO_HOOK_H
#define ZV_VIDEO_HOOK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The planes of one picture and the bytes from one row to the next. */
typedef struct ZvHookPicture {
  uint8_t *data[4];
  int linesize[4];
} ZvHookPicture;

typedef int (*ZvHookConfigureFn)(void **ctxp, int argc, char *argv[]);
typedef void (*ZvHookProcessFn)(void *ctx, ZvHookPicture *pict, int pix_fmt, int width, int height, int64_t pts);
typedef void (*ZvHookReleaseFn)(void *ctx);

#ifdef __cplusplus
}
#endif

#endif
