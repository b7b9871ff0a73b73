// The media probe: opens a media file only far enough to read its container
// and stream information and reports it as records, single values and an
// information text. TAVProbe adds seeking, decoding of single video pictures
// (next, next key, previous, previous key) and conversion of the decoded
// picture to a bitmap.
//
// A probe is used from one thread at a time. Decoder open and close, and the
// reading of stream information, take LibraryLock(): the libraries' codec
// opening must not run concurrently with the engine's or the player's.
//
// Every message is sent to FFLogger() with the probe as sender and kept in
// LastErrMsg(); the exceptions are named where they occur. Failures give
// false, -1 or empty results; only the library check and seeking or decoding
// an attached context raise an Exception.
#pragma once

#include "media/ff_base_component.h"
#include "media/ff_logger.h"
#include "media/rgb_convert.h"
#include "platform/bitmap.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>

// Container information. Times in µs, -1 when unknown; texts empty when absent.
struct TFileStreamInfo {
  int64_t StartTime = -1;
  int64_t Duration = -1;
  int32_t BitRate = -1;  // bit/s
  int64_t TimeStamp = -1; // creation stamp, seconds since 1970-01-01 UTC
  int32_t Year = -1;
  int32_t Track = -1;
  std::string Title, Author, Copyright, Comment, Album, Genre;
};

// Numbers are -1 when unknown. StartTime/Duration are in the stream's time
// base, the Scaled ones in µs.
struct TAudioStreamInfo {
  std::string Language, CodecName;
  int64_t StartTime = -1;
  int64_t StartTimeScaled = -1;
  int64_t Duration = -1;
  int64_t DurationScaled = -1;
  int32_t BitRate = -1;
  int32_t Channels = -1;
  int32_t SampleRate = -1;
  int32_t SampleFormat = -1; // AVSampleFormat
};

struct TVideoStreamInfo {
  std::string Language, CodecName;
  int64_t StartTime = -1;
  int64_t StartTimeScaled = -1;
  int64_t Duration = -1;
  int64_t DurationScaled = -1;
  int32_t BitRate = -1;
  int32_t Height = -1;
  int32_t Width = -1;
  float AspectRatio = -1.0f; // display width / height
  int32_t PixFmt = -1;       // AVPixelFormat
  AVRational FrameRate{-1, -1};
};

struct TSubtitleStreamInfo {
  std::string Language, CodecName;
};

enum TPictureType { ptUnknown = 0, ptI, ptP, ptB, ptS, ptSI, ptSP, ptBI = 7 };

// The decoded picture. Buffer belongs to the probe and stays valid until the
// next decode or the probe's destruction; Picture's planes point into it.
struct TFrameInfo {
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
  int32_t Width = 0;
  int32_t Height = 0;
  bool IsKeyFrame = false;
  TPictureType PictureType = ptUnknown;
  int64_t PTS = AV_NOPTS_VALUE;         // µs from the stream's start
  int64_t OriginalDTS = AV_NOPTS_VALUE; // stream time base, as read from the packet
  int64_t OriginalPTS = AV_NOPTS_VALUE;
  int32_t StreamIndex = -1;
  int64_t Position = -1; // byte position of the input before the picture's packets were read
  bool Ready = false;
  TPictureRef Picture;
  uint8_t *Buffer = nullptr;
  int32_t Size = 0; // bytes allocated in Buffer
};

enum TSeekFlag { sfBackward = 0, sfByte = 1, sfAny = 2, sfFrame = 3 };
// A set of TSeekFlag: bit 1 << member, which is also the libraries' seek flag
// mask (backward 1, byte 2, any 4, frame 8).
using TSeekFlags = uint32_t;
constexpr TSeekFlags SeekFlag(TSeekFlag f) { return 1u << static_cast<unsigned>(f); }

class TCustomAVProbe : public TFFBaseComponent {
public:
  TCustomAVProbe();
  ~TCustomAVProbe() override;
  TCustomAVProbe(const TCustomAVProbe &) = delete;
  TCustomAVProbe &operator=(const TCustomAVProbe &) = delete;

  // Opens AFileName (UTF-8; names the locale cannot express go through our
  // own byte stream) and reads its stream information; AFormatName forces
  // the input format when not empty. Raises Exception when a library of the
  // probe set is missing. On failure the probe is closed and LastErrMsg says
  // why: "<name>: <library error text>" (logged), "Unknown input format: %s"
  // or "<name>: could not find codec parameters" (not logged).
  bool LoadFile(const std::string &AFileName, const std::string &AFormatName = "");
  // The three virtual operations, in their slot order.
  // Recomputes size, counts and first indexes from the open context.
  virtual void UpdateFileInfo();
  // Attaches a context opened elsewhere; the caller keeps owning it and must
  // keep it open while attached. Such a probe reads but never seeks or
  // decodes. Raises Exception when a library of the probe set is missing.
  virtual void SetFileHandle(AVFormatContext *AValue);
  // Closes the file (an attached context is only forgotten); counts become -1.
  virtual void CloseFile();

  AVFormatContext *FileHandle() const { return FFileHandle; }

  // The open file's name ("" and "file not loaded." when none).
  std::string FileName();
  std::string FormatName();
  std::string FormatLongName();
  int64_t FileSize() const { return FFileSize; }
  const std::string &ForceFormat() const { return FForceFormat; }
  int32_t StreamCount() const { return FStreamCount; }
  int32_t ProgramCount() const { return FProgramCount; }
  int32_t AudioStreamCount() const { return FAudioStreamCount; }
  int32_t VideoStreamCount() const { return FVideoStreamCount; }
  int32_t SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int32_t FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
  int32_t FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
  int32_t FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }

  // Container values; without a file all -1 and "file not loaded." is reported.
  TFileStreamInfo FileStreamInfo();
  // The multi-line information text, lines ended by CR LF; empty without a file.
  std::string FileInfoText();

  // Records of stream AStreamIndex; a negative index means the first stream
  // of the kind. On failure the record holds its "unknown" values.
  TAudioStreamInfo AudioStreamInfo(int32_t AStreamIndex);
  TVideoStreamInfo VideoStreamInfo(int32_t AStreamIndex);
  TSubtitleStreamInfo SubtitleStreamInfo(int32_t AStreamIndex);
  TAudioStreamInfo FirstAudioStreamInfo() { return AudioStreamInfo(-1); }
  TVideoStreamInfo FirstVideoStreamInfo() { return VideoStreamInfo(-1); }
  TSubtitleStreamInfo FirstSubtitleStreamInfo() { return SubtitleStreamInfo(-1); }

  // False with "file not loaded." or "stream index #%d is invalid." too.
  bool IsAudioStream(int32_t AStreamIndex) { return IsStreamOfType(AStreamIndex, AVMEDIA_TYPE_AUDIO); }
  bool IsVideoStream(int32_t AStreamIndex) { return IsStreamOfType(AStreamIndex, AVMEDIA_TYPE_VIDEO); }
  bool IsSubtitleStream(int32_t AStreamIndex) { return IsStreamOfType(AStreamIndex, AVMEDIA_TYPE_SUBTITLE); }

protected:
  // Logs AMsg with the probe as sender and keeps it in LastErrMsg.
  void Report(TLogLevel ALevel, const std::string &AMsg);
  // Raises Exception naming the first missing library of the probe set.
  void CheckLibraries() const;
  // The stream of a valid index, or null after reporting why not.
  AVStream *StreamOfKind(int32_t AStreamIndex, AVMediaType AType);
  bool IsStreamOfType(int32_t AStreamIndex, AVMediaType AType);

  AVFormatContext *FFileHandle = nullptr;
  bool FOwnHandle = false;
  // FLastErrMsg comes from TFFBaseComponent.
  std::string FForceFormat;
  int64_t FFileSize = -1;
  int32_t FStreamCount = -1;
  int32_t FProgramCount = -1;
  int32_t FAudioStreamCount = -1;
  int32_t FVideoStreamCount = -1;
  int32_t FSubtitleStreamCount = -1;
  int32_t FFirstAudioStreamIndex = -1;
  int32_t FFirstVideoStreamIndex = -1;
  int32_t FFirstSubtitleStreamIndex = -1;
};

class TAVProbe : public TCustomAVProbe {
public:
  TAVProbe();
  ~TAVProbe() override;

  void UpdateFileInfo() override;
  void CloseFile() override;

  // Seeking and decoding need a file this probe opened with LoadFile: without
  // a file they fail with "file not loaded."; on an attached context they
  // raise Exception("file cannot be seeked, handle is readonly.").

  // Seeks to APTS (µs from the seek stream's start, or bytes with sfByte);
  // 0 or less seeks backward to the start. Clears EOF and the picture.
  bool Seek(int64_t APTS, TSeekFlags ASeekFlags = 0);
  // Decodes the next picture of video stream AStreamIndex (negative: the
  // stream decoded last, else the first video stream).
  bool Decode(int32_t AStreamIndex = -1);
  // The first key frame at least one picture after the current one.
  bool DecodeNextKeyFrame(int32_t AStreamIndex = -1);
  // The picture before the current one: back to a key frame, then forward.
  bool DecodePreviousFrame(int32_t AStreamIndex = -1);
  // The nearest key frame before the current picture. Fails with LastErrMsg
  // "Could not seek to the previous key-frame. " + the reason when the
  // stream's first decodable picture is not earlier.
  bool DecodePreviousKeyFrame(int32_t AStreamIndex = -1);
  // Copies the ready picture into ABitmap (24-bit, the picture's size). On a
  // failed conversion ABitmap is the picture's size, black, and false returns.
  bool CopyToBitmap(TBitmap &ABitmap);

  // The EOF property; C's EOF macro takes the plain name.
  bool Eof() const { return FEOF; }
  const TFrameInfo &FrameInfo() const { return FPicture; }
  // Byte position of the input; -1 with "file not loaded." or "cannot get position".
  int64_t Position();

private:
  // Seekable test: false without a file; throws on an attached context.
  bool CheckSeekable();
  // Resolves the decode stream (changing it clears the picture); -1 on failure.
  int32_t SelectStream(int32_t AStreamIndex);
  bool OpenDecoder(int32_t AStreamIndex);
  void CloseDecoder();
  // Forgets the picture, keeping its PTS and position as the previous ones.
  void ClearPicture();
  // Copies the decoder's picture into Buffer and times it; false when its
  // format and size give no picture size.
  bool StorePicture(const AVFrame *AFrame, AVStream *AStream, int64_t APosition);
  // Frame duration of the stream in µs (40000 when its rate is unknown).
  int64_t FrameDuration(int32_t AStreamIndex) const;
  bool IsImage2() const;

  AVCodecContext *FCodec = nullptr;
  TRGBConvertContext FRGBContext;
  int32_t FSeekIndex = -1;
  int64_t FStartTime = -1;
  int32_t FDecodeIndex = -1;
  bool FEOF = false;
  TFrameInfo FPicture;
  int64_t FLastPTS = AV_NOPTS_VALUE;
  int64_t FLastPos = -1;

  // Working state of the decoder beside the fields above.
  int32_t FCodecStream = -1; // stream FCodec was opened for
  struct TFrameFree {
    void operator()(AVFrame *f) const;
  };
  struct TPacketFree {
    void operator()(AVPacket *p) const;
  };
  std::unique_ptr<AVFrame, TFrameFree> FFrame;
  std::unique_ptr<AVPacket, TPacketFree> FPacket;
  // The packet last given to the decoder: its fields time the picture that comes out.
  struct TSentPacket {
    bool Valid = false;
    int32_t StreamIndex = -1;
    int64_t DTS = AV_NOPTS_VALUE;
    int64_t PTS = AV_NOPTS_VALUE;
    int32_t Flags = 0;
  } FSent;
  // Owns the memory behind FPicture.Buffer (grows, never shrinks).
  static constexpr std::align_val_t kPictureAlign{64};
  struct TPictureFree {
    void operator()(uint8_t *p) const { ::operator delete[](p, kPictureAlign); }
  };
  std::unique_ptr<uint8_t[], TPictureFree> FPictureMemory;
};

// The texts of the information text, for its rules' own tests.
// Size: "%d Byte" up to 1 KiB, then "%.2f KB", "%.2f MB", "%.2f GB".
std::string ProbeSizeText(int64_t ASize);
// "hh:mm:ss.mmm" of a µs value; hours not limited to two digits.
std::string ProbeDurationText(int64_t AMicroseconds);
// A creation stamp (seconds since 1970 UTC) in local standard time (daylight
// saving not applied), "yyyy-mm-dd hh:nn:ss".
std::string ProbeTimeStampText(int64_t ASeconds);
