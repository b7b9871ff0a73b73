/* A video hook module for the tests. Configure takes up to two words after
 * the module name: the luma value to paint into the top-left 16x16 block of
 * every picture, and a file that gets "pictures=N first_pts=P" at Release.
 * The word "fail" makes Configure fail. Built three times: whole, without
 * Process (ZV_NO_PROCESS) and without Configure (ZV_NO_CONFIGURE). */
#include "engine/video_hook.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
  int luma;
  char report[1024];
  long pictures;
  long long first_pts;
} HookContext;

#ifndef ZV_NO_CONFIGURE
int Configure(void **ctxp, int argc, char *argv[]) {
  HookContext *ctx = calloc(1, sizeof *ctx);
  if (!ctx)
    return 1;
  ctx->luma = 255;
  ctx->first_pts = -1;
  if (argc > 1 && strcmp(argv[1], "fail") == 0) {
    free(ctx);
    return 1;
  }
  if (argc > 1)
    ctx->luma = atoi(argv[1]);
  if (argc > 2)
    snprintf(ctx->report, sizeof ctx->report, "%s", argv[2]);
  *ctxp = ctx;
  return 0;
}
#endif

#ifndef ZV_NO_PROCESS
void Process(void *opaque, ZvHookPicture *pict, int pix_fmt, int width, int height, int64_t pts) {
  (void)pix_fmt;
  HookContext *ctx = opaque;
  if (ctx) {
    if (ctx->pictures++ == 0)
      ctx->first_pts = pts;
  }
  /* Plane 0 is luma in every planar YUV format the tests use. */
  int value = ctx ? ctx->luma : 255;
  for (int y = 0; y < 16 && y < height; ++y)
    memset(pict->data[0] + (long)y * pict->linesize[0], value, width < 16 ? (size_t)width : 16u);
}
#endif

void Release(void *opaque) {
  HookContext *ctx = opaque;
  if (!ctx)
    return;
  if (ctx->report[0]) {
    FILE *f = fopen(ctx->report, "w");
    if (f) {
      fprintf(f, "pictures=%ld first_pts=%lld", ctx->pictures, ctx->first_pts);
      fclose(f);
    }
  }
  free(ctx);
}
