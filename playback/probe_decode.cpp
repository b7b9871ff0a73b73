// TAVProbe: seeking, decoding single video pictures, and the picture as a bitmap.
#include "playback/av_probe.h"

#include "media/ff_logger.h"
#include "platform/convert.h"
#include "platform/exceptions.h"
#include "playback/probe_internal.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <mutex>
#include <new>

using namespace probe_detail;

void TAVProbe::TFrameFree::operator()(AVFrame *f) const {
  if (AV.av_frame_free)
    AV.av_frame_free(&f);
}

void TAVProbe::TPacketFree::operator()(AVPacket *p) const {
  if (AV.av_packet_free)
    AV.av_packet_free(&p);
}

TAVProbe::TAVProbe() = default;

TAVProbe::~TAVProbe() {
  if (FFileHandle || FCodec)
    CloseFile();
}

void TAVProbe::UpdateFileInfo() {
  TCustomAVProbe::UpdateFileInfo();
  FSeekIndex = FFirstVideoStreamIndex >= 0 ? FFirstVideoStreamIndex : FFirstAudioStreamIndex;
  int64_t start = AV_NOPTS_VALUE;
  if (FFileHandle)
    start = FSeekIndex >= 0 ? FFileHandle->streams[FSeekIndex]->start_time : FFileHandle->start_time;
  FStartTime = start == AV_NOPTS_VALUE ? 0 : start;
}

void TAVProbe::CloseFile() {
  FSeekIndex = -1;
  FStartTime = -1;
  FDecodeIndex = -1;
  FEOF = false;
  ClearPicture();
  FLastPTS = AV_NOPTS_VALUE;
  FLastPos = -1;
  CloseDecoder();
  FRGBContext.Reset();
  TCustomAVProbe::CloseFile();
}

void TAVProbe::ClearPicture() {
  if (FPicture.PTS != AV_NOPTS_VALUE)
    FLastPTS = FPicture.PTS;
  if (FPicture.Position >= 0)
    FLastPos = FPicture.Position;
  // The memory stays for the next picture.
  uint8_t *buffer = FPicture.Buffer;
  const int32_t size = FPicture.Size;
  FPicture = TFrameInfo{};
  FPicture.Buffer = buffer;
  FPicture.Size = size;
}

int64_t TAVProbe::Position() {
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return -1;
  }
  // avio_tell, which the headers define inline over avio_seek.
  const int64_t pos = FFileHandle->pb ? AV.avio_seek(FFileHandle->pb, 0, SEEK_CUR) : -1;
  if (pos < 0) {
    Report(llError, "cannot get position");
    return -1;
  }
  return pos;
}

bool TAVProbe::IsImage2() const {
  return FFileHandle && FFileHandle->iformat && FFileHandle->iformat->name &&
         LowerCase(FFileHandle->iformat->name) == "image2";
}

bool TAVProbe::CheckSeekable() {
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return false;
  }
  if (!FOwnHandle) {
    // The context belongs to a running conversion: moving its read position
    // would corrupt that run, so this is a caller's error, not a failure.
    static const char *const msg = "file cannot be seeked, handle is readonly.";
    Report(llWarning, msg);
    throw Exception(msg);
  }
  return true;
}

bool TAVProbe::Seek(int64_t APTS, TSeekFlags ASeekFlags) {
  if (!CheckSeekable())
    return false;
  if (IsImage2()) {
    Report(llInfo, "\"image2\" format cannot to be seeked.");
    return false;
  }
  Report(llDebug, Format("currunt position %" PRId64 " bytes", Position()));
  const bool byBytes = ASeekFlags & SeekFlag(sfByte);
  int64_t target = APTS < 0 ? 0 : APTS;
  if (!byBytes) {
    if (FSeekIndex >= 0)
      target = AV.av_rescale_q(target, kMicroseconds, FFileHandle->streams[FSeekIndex]->time_base);
    if (FStartTime > 0)
      target += FStartTime;
  }
  if (FCodec)
    AV.avcodec_flush_buffers(FCodec);
  FEOF = false;
  ClearPicture();
  const int flags = static_cast<int>(ASeekFlags);
  int ret;
  if (APTS > 0) {
    ret = AV.av_seek_frame(FFileHandle, FSeekIndex, target, flags);
  } else {
    ret = AV.av_seek_frame(FFileHandle, FSeekIndex, 0, flags | AVSEEK_FLAG_BACKWARD);
    if (ret < 0)
      ret = AV.av_seek_frame(FFileHandle, FSeekIndex, APTS, flags & ~AVSEEK_FLAG_BACKWARD);
  }
  const bool ok = ret >= 0;
  if (!ok)
    Report(llError, byBytes ? Format("could not seek to position %" PRId64 " bytes", APTS)
                            : Format("could not seek to position %0.3f seconds", APTS / 1000000.0));
  const std::string where = Format("seek to position %" PRId64 " bytes", Position());
  // After a failure LastErrMsg keeps the reason; the position is only logged.
  if (ok)
    Report(llDebug, where);
  else
    FFLogger().Log(this, llDebug, where);
  if (FFileHandle->pb && AV.avio_feof(FFileHandle->pb)) {
    if (ok)
      Report(llInfo, "stream eof reached.");
    FEOF = true;
    return false;
  }
  return ok;
}

int32_t TAVProbe::SelectStream(int32_t AStreamIndex) {
  if (!CheckSeekable())
    return -1;
  int32_t index = AStreamIndex;
  if (index < 0) {
    index = FDecodeIndex >= 0 ? FDecodeIndex : FFirstVideoStreamIndex;
    if (index < 0) {
      Report(llError, "no video stream.");
      return -1;
    }
  }
  if (index >= static_cast<int32_t>(FFileHandle->nb_streams)) {
    Report(llError, Format("stream index #%d is invalid.", index));
    return -1;
  }
  if (FFileHandle->streams[index]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
    Report(llError, Format("stream #%d is not video stream.", index));
    return -1;
  }
  if (index != FDecodeIndex) {
    ClearPicture();
    FDecodeIndex = index;
  }
  return index;
}

bool TAVProbe::OpenDecoder(int32_t AStreamIndex) {
  if (FCodec && FCodecStream == AStreamIndex)
    return true;
  const AVStream *st = FFileHandle->streams[AStreamIndex];
  const AVCodecParameters *par = st->codecpar;
  if (par->width == 0 || par->height == 0) {
    Report(llError, "frame size of codec is invalid.");
    return false;
  }
  CloseDecoder();
  const AVCodec *codec = AV.avcodec_find_decoder(par->codec_id);
  if (!codec) {
    Report(llError, Format("Unsupported codec (id=%d) for input file stream #%d", static_cast<int>(par->codec_id),
                           AStreamIndex));
    return false;
  }
  // The current libraries keep no open decoder on the stream; the probe
  // makes its own from the stream's parameters.
  AVCodecContext *ctx = AV.avcodec_alloc_context3(codec);
  int ret = ctx ? AV.avcodec_parameters_to_context(ctx, par) : AVERROR(ENOMEM);
  if (ret >= 0) {
    ctx->pkt_timebase = st->time_base;
    // Frame threads hold pictures back; one thread gives each picture out
    // with the packet that completed it, whose time stamps it then carries.
    ctx->thread_count = 1;
    std::lock_guard<TCriticalSection> lock(LibraryLock());
    ret = AV.avcodec_open2(ctx, codec, nullptr);
    if (ret < 0)
      AV.avcodec_free_context(&ctx);
  } else {
    AV.avcodec_free_context(&ctx);
  }
  if (ret < 0) {
    Report(llError, Format("Error while opening codec for input file stream #%d", AStreamIndex));
    return false;
  }
  FCodec = ctx;
  FCodecStream = AStreamIndex;
  FSent = TSentPacket{};
  return true;
}

void TAVProbe::CloseDecoder() {
  if (FCodec) {
    std::lock_guard<TCriticalSection> lock(LibraryLock());
    AV.avcodec_free_context(&FCodec);
  }
  FCodec = nullptr;
  FCodecStream = -1;
  FSent = TSentPacket{};
}

bool TAVProbe::Decode(int32_t AStreamIndex) {
  const int32_t index = SelectStream(AStreamIndex);
  if (index < 0)
    return false;
  if (FPicture.Ready && IsImage2())
    return true; // an image decodes once
  if (FEOF) {
    Report(llInfo, "stream eof reached.");
    return false;
  }
  if (!OpenDecoder(index))
    return false;
  AVFormatContext *ic = FFileHandle;
  AVStream *st = ic->streams[index];
  const int64_t position = ic->pb ? AV.avio_seek(ic->pb, 0, SEEK_CUR) : -1;
  if (!FFrame)
    FFrame.reset(AV.av_frame_alloc());
  if (!FPacket)
    FPacket.reset(AV.av_packet_alloc());
  AVFrame *frame = FFrame.get();
  AVPacket *pkt = FPacket.get();
  for (;;) {
    // A picture the decoder already holds comes out before more input goes in.
    int ret = AV.avcodec_receive_frame(FCodec, frame);
    if (ret == 0) {
      FFLogger().LogFmt(this, llDebug, "pkt.st_idx=%d, dts=%" PRId64 ", pts=%" PRId64 ", flags=%d, pict_type=%d",
                        FSent.StreamIndex, FSent.DTS, FSent.PTS, FSent.Flags, static_cast<int>(frame->pict_type));
      const bool stored = StorePicture(frame, st, position);
      AV.av_frame_unref(frame);
      return stored;
    }
    if (ret == AVERROR_EOF)
      break; // drained after the end of input
    ret = AV.av_read_frame(ic, pkt);
    if (ret == AVERROR(EAGAIN)) {
      // The context reads without blocking; a slow source is waited for.
      AV.av_usleep(10000);
      continue;
    }
    if (ret < 0) {
      // End of input: the decoder gives up the pictures it holds back, timed
      // by their own reordered stamps.
      FSent = TSentPacket{true, index, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0};
      if (AV.avcodec_send_packet(FCodec, nullptr) < 0)
        break;
      continue;
    }
    if (pkt->stream_index != index) {
      AV.av_packet_unref(pkt);
      continue;
    }
    FSent = TSentPacket{true, pkt->stream_index, pkt->dts, pkt->pts, pkt->flags};
    AV.av_frame_unref(frame);
    // The packet's pts travels through the decoder's reordering into the
    // picture's pts. A damaged packet is skipped; decoding goes on.
    AV.avcodec_send_packet(FCodec, pkt);
    AV.av_packet_unref(pkt);
  }
  Report(llInfo, "stream eof reached.");
  FEOF = true;
  return false;
}

bool TAVProbe::StorePicture(const AVFrame *AFrame, AVStream *AStream, int64_t APosition) {
  const auto fmt = static_cast<AVPixelFormat>(AFrame->format);
  const int size = AV.av_image_get_buffer_size(fmt, AFrame->width, AFrame->height, 1);
  if (size <= 0) {
    Report(llError, "frame size of codec is invalid.");
    return false;
  }
  if (size > FPicture.Size) {
    FPictureMemory.reset(static_cast<uint8_t *>(::operator new[](static_cast<size_t>(size), kPictureAlign)));
    FPicture.Buffer = FPictureMemory.get();
    FPicture.Size = size;
  }
  FPicture.PixFmt = fmt;
  FPicture.Width = AFrame->width;
  FPicture.Height = AFrame->height;
  FPicture.IsKeyFrame = AFrame->key_frame == 1;
  FPicture.PictureType =
      AFrame->pict_type >= 0 && AFrame->pict_type <= 7 ? static_cast<TPictureType>(AFrame->pict_type) : ptUnknown;
  int64_t ts = FSent.DTS;
  if (ts == AV_NOPTS_VALUE)
    ts = AFrame->pts; // the reordered packet pts
  if (ts == AV_NOPTS_VALUE)
    ts = FSent.PTS;
  if (FPicture.PTS != AV_NOPTS_VALUE)
    FLastPTS = FPicture.PTS;
  if (ts == AV_NOPTS_VALUE) {
    FPicture.PTS = AV_NOPTS_VALUE;
  } else {
    if (AStream->start_time != AV_NOPTS_VALUE)
      ts -= AStream->start_time;
    FPicture.PTS = AV.av_rescale_q(ts, AStream->time_base, kMicroseconds);
    FFLogger().LogFmt(this, llDebug, "decode PTS: %0.3f", FPicture.PTS / 1000000.0);
  }
  FPicture.OriginalDTS = FSent.DTS;
  FPicture.OriginalPTS = FSent.PTS;
  FPicture.StreamIndex = FSent.StreamIndex;
  if (FPicture.Position >= 0)
    FLastPos = FPicture.Position;
  FPicture.Position = APosition;
  AV.av_image_fill_arrays(FPicture.Picture.Data, FPicture.Picture.Linesize, FPicture.Buffer, fmt, AFrame->width,
                          AFrame->height, 1);
  AV.av_image_copy(FPicture.Picture.Data, FPicture.Picture.Linesize, const_cast<const uint8_t **>(AFrame->data),
                   AFrame->linesize, fmt, AFrame->width, AFrame->height);
  FPicture.Ready = true;
  return true;
}

int64_t TAVProbe::FrameDuration(int32_t AStreamIndex) const {
  const AVRational rate = FFileHandle->streams[AStreamIndex]->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0)
    return 40000;
  // The searches step by this much: a damaged rate must not make it zero.
  return std::max<int64_t>(1, 1000000LL * rate.den / rate.num);
}

bool TAVProbe::DecodeNextKeyFrame(int32_t AStreamIndex) {
  const int32_t index = SelectStream(AStreamIndex);
  if (index < 0)
    return false;
  // Seeking forward lands on the first key frame at or after the target.
  const int64_t d = FrameDuration(index);
  int64_t target = d;
  if (FPicture.PTS != AV_NOPTS_VALUE && FPicture.PTS > 0)
    target = FPicture.PTS > INT64_MAX - d ? INT64_MAX : FPicture.PTS + d;
  return Seek(target, 0) && Decode(index);
}

bool TAVProbe::DecodePreviousFrame(int32_t AStreamIndex) {
  const int32_t index = SelectStream(AStreamIndex);
  if (index < 0)
    return false;
  const int64_t reference = FPicture.PTS != AV_NOPTS_VALUE ? FPicture.PTS : FLastPTS != AV_NOPTS_VALUE ? FLastPTS : 0;
  const int64_t twoFrames = 2 * FrameDuration(index);
  const int64_t limit = reference < INT64_MIN + twoFrames ? INT64_MIN : reference - twoFrames;
  if (!DecodePreviousKeyFrame(index))
    return false;
  while (FPicture.PTS <= limit)
    if (!Decode(index))
      return false;
  return true;
}

bool TAVProbe::DecodePreviousKeyFrame(int32_t AStreamIndex) {
  const int32_t index = SelectStream(AStreamIndex);
  if (index < 0)
    return false;
  const int64_t d = FrameDuration(index);
  int64_t reference = FPicture.PTS;
  if (reference == AV_NOPTS_VALUE)
    reference = FLastPTS;
  if (reference == AV_NOPTS_VALUE)
    reference = FFileHandle->duration != AV_NOPTS_VALUE ? FFileHandle->duration : 0;
  const int64_t bytePos = FPicture.Position >= 0 ? FPicture.Position : FLastPos;
  // The target goes back one frame at a time at first, then twice as far
  // each time: a damaged stamp can put the reference days after the real
  // pictures, and a seek that never gets before the current picture must
  // still reach the start in a few dozen seeks, not in millions.
  constexpr int32_t kFrameSteps = 32;
  int64_t back = 0;
  for (int32_t step = 1;; ++step) {
    if (step <= kFrameSteps)
      back += d;
    else
      back = back > INT64_MAX / 2 ? INT64_MAX : back * 2;
    const bool fromStart = reference <= back;
    // Seek's own failure shows in where the input stands or in Decode. A
    // target at or before 0 seeks to the start.
    Seek(reference >= 0 ? reference - back : 0, SeekFlag(sfBackward));
    const int64_t pos = FFileHandle->pb ? AV.avio_seek(FFileHandle->pb, 0, SEEK_CUR) : -1;
    if (pos >= bytePos && bytePos > 0 && !fromStart)
      continue; // the seek did not get before the current picture
    const bool decoded = Decode(index);
    if (decoded && (FPicture.PTS < reference || FPicture.PTS <= 0))
      return true;
    // A target at the start has tried the stream's first pictures: when
    // none of them is earlier, nothing is, and going further back only
    // repeats that seek.
    if (fromStart)
      break;
  }
  FLastErrMsg = "Could not seek to the previous key-frame. " + FLastErrMsg;
  return false;
}

bool TAVProbe::CopyToBitmap(TBitmap &ABitmap) {
  if (!FPicture.Ready) {
    Report(llError, "picture not ready, please decode first");
    return false;
  }
  if (PictureToBitmap(FRGBContext, FPicture.Picture, FPicture.PixFmt, FPicture.Width, FPicture.Height)) {
    ABitmap = *FRGBContext.Bitmap;
    return true;
  }
  ABitmap.SetSize(FPicture.Width, FPicture.Height);
  for (int y = 0; y < ABitmap.Height(); ++y)
    std::memset(ABitmap.ScanLine(y), 0, static_cast<size_t>(ABitmap.RowSize()));
  Report(llError, "convert picture to bitmap failed");
  return false;
}
