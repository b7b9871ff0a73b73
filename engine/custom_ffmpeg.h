// TCustomFFmpeg: one conversion session. The caller hands it options of the
// converter's option language one (name, value) pair at a time and opens its
// input and output files in between, exactly as on a converter command line:
// options before an input configure that input, options before an output
// configure that output, and most stay in force for later files. The session
// then runs once and is reset before the next task.
//
// Threads: an engine is configured from one thread (the caller's, normally
// the main thread) and then run by one worker thread. Options are never
// applied while a run is going on. Only SetPostHooks may be called during a
// run; it takes the process-wide post-hook lock. Logging goes through the log
// bridge, which any thread may call.
//
// Pieces: session.cpp (life of the object), options.cpp (the option table),
// generic_options.cpp (the libraries' own options, encoder and muxer private
// options, older names). Opening files, the loop, the audio and video paths,
// run control, targets and presets come in their own files.
#pragma once

#include "engine/av_owners.h"
#include "engine/ffmpeg_exception.h"
#include "engine/plan.h"
#include "media/ff_logger.h"
#include "media/ffmpeg_loader.h"
#include "media/previewer.h"
#include "media/rgb_convert.h"
#include "platform/bitmap.h"
#include "platform/object.h"
#include "platform/sync.h"
#include "platform/thread.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Streams per file for which per-stream settings are kept.
constexpr int MAX_STREAMS = 20;
// Bounds of the file capacity given at creation.
constexpr int MIN_MAX_FILES = 1;
constexpr int MAX_MAX_FILES = 512;

// Media type indexes of the per-type tables (the libraries' AVMediaType order).
enum TMediaIndex { miVideo = 0, miAudio = 1, miData = 2, miSubtitle = 3, miAttachment = 4 };
constexpr int MEDIA_TYPE_COUNT = 5;

struct TAVStreamMap {
  int32_t file_index = 0;
  int32_t stream_index = 0;
  int32_t sync_file_index = 0;
  int32_t sync_stream_index = 0;
};

struct TAVMetaDataMap {
  int32_t out_file = 0;
  int32_t in_file = 0;
};

// One bitstream filter of a chain: the library's context and the text after
// "=" in the option value (the filter's arguments), handed on with the chain.
struct TBitstreamFilter {
  TBSFContextPtr Context;
  std::string Args;
};
// Filters applied in order to the packets of one output stream.
using TBitstreamFilterChain = std::vector<TBitstreamFilter>;

// Video hook modules loaded by "vhook" (list node; the video path defines it).
struct TFrameHookEntry;

// State of the custom hook: the conversion of decoded pictures to bitmaps.
struct TCustomHookContext {
  TRGBConvertContext Context;
};

// What the post hooks do with an encoded picture.
enum TPostHook { phPreview = 0, phBitmap = 1, phHBITMAP = 2 };
// A set of TPostHook: bit n stands for the member of ordinal n.
using TPostHooks = uint32_t;
constexpr TPostHooks PostHookBit(TPostHook AHook) { return 1u << static_cast<unsigned>(AHook); }

// State of the post hooks.
struct TPostHookContext {
  TRGBConvertContext Context;
  // The preview window, made on the first preview picture. Guarded by
  // PostHookLock(); the worker paints through its own reference with the lock
  // released, since painting waits for the main thread, which may itself be
  // waiting for the lock in SetPostHooks.
  std::shared_ptr<TPreviewer> Previewer;
  int64_t preview_last_time = 0; // µs
  int64_t preview_cur_time = 0;  // µs
};

// The output filter description: the sink of the video filter graph (which
// on the current libraries is the buffersink limited to the encoder's format).
struct TOutputFilterDesc {
  std::string Name;
  std::string InputPad;
  AVMediaType InputType = AVMEDIA_TYPE_VIDEO;
};

// Kinds of object whose private options may know a name.
enum TPrivateKind : uint32_t { pkEncoder = 1, pkDecoder = 2, pkMuxer = 4, pkDemuxer = 8 };

// An option that none of the generic contexts knows but some encoder's,
// decoder's, muxer's or demuxer's private options do ("crf", "preset",
// "muxrate"): kept until the object that knows it is opened.
struct TPrivateOption {
  std::string Name;
  std::string Value;
  uint32_t Kinds = 0; // TPrivateKind bits of the objects that know the name
};

// The generic option contexts: where options set by name are kept until a
// file or codec is created and takes them (ApplyCollectedOptions). They exist
// only between ResetSession and FreeSession.
struct TFFOptions {
  std::vector<std::string> opt_names;                         // generic options set so far, by their own names
  std::array<TCodecContextPtr, MEDIA_TYPE_COUNT> avcodec_opts; // one per TMediaIndex
  TFormatContextPtr avformat_opts;
  TSwsContextPtr sws_opts;
  std::vector<TPrivateOption> private_opts; // in the order given; a later value of a name replaces the earlier
};

class TCustomFFmpeg;

// The worker that runs one conversion (RunConversion) and signals the
// engine's FStopEvent when it ends, however it ends.
class TConvertThread : public TThread {
public:
  explicit TConvertThread(TCustomFFmpeg *AOwner) : FOwner(AOwner) {}

protected:
  void Execute() override;

private:
  TCustomFFmpeg *FOwner;
};

// Sends the terminate notification of a task that never ran, on a thread of
// its own, and signals the engine's FTermEvent when done.
class TDoTerminateThread : public TThread {
public:
  explicit TDoTerminateThread(TCustomFFmpeg *AOwner) : FOwner(AOwner) {}

protected:
  void Execute() override;

private:
  TCustomFFmpeg *FOwner;
};

// The records of one run (created when it starts, freed when it ends).
struct TTranscodePlan {
  std::vector<TAVInputFile> InputFiles;
  std::vector<std::unique_ptr<TAVInputStream>> InputStreams;
  std::vector<std::unique_ptr<TAVOutputStream>> OutputStreams;
  int32_t FirstOutputStreams = 0; // streams of the first output entry (join mode)
  // Each muxer stream's presentation counter: the end of the last packet
  // handed to it, in seconds. Keyed by stream because join entries share them.
  std::map<const AVStream *, double> OutputTime;
  std::vector<uint8_t> SubtitleOut; // encoded subtitle, 1 MiB once needed
  AVFrame *Scratch = nullptr;       // owned; a reference to the picture being encoded
};

// An output stream's settings from its creation until a run takes them: the
// encoder context (configured, never opened here) and whether the stream is
// copied instead of encoded.
struct TOutputStreamSetup {
  TCodecContextPtr Codec;
  bool StreamCopy = false;
};

// Events; the sender comes first.
using TNotifyEvent = std::function<void(TObject *Sender)>;
using TProgressEvent =
    std::function<void(TObject *Sender, int32_t AFileIndex, int32_t AFrameNumber, int32_t AFPS, float AQuality,
                       float ABitRate, int64_t ACurrentSize, int64_t ACurrentDuration, int64_t ATotalDuration)>;
using TPreviewBitmapEvent =
    std::function<void(TObject *Sender, TBitmap *ABitmap, int32_t AFrameNumber, int64_t APTS)>;
using TCustomHookEvent = std::function<void(TObject *Sender, TBitmap *ABitmap, int32_t AFrameNumber, int64_t APTS,
                                            bool &AUpdate, bool &AStopHook)>;

// The lock around every change and use of the post-hook set, shared by all
// engines (the job manager changes the sets while conversions run).
TCriticalSection &PostHookLock();

class TCustomFFmpeg : public TObject {
  friend class TConvertThread;
  friend class TDoTerminateThread;

public:
  // AMaxFiles (1..512, else EAssertionFailed) is the most input files and the
  // most output files the session can hold. The option contexts do not exist
  // yet: call ResetSession once the conversion libraries are loaded.
  explicit TCustomFFmpeg(int32_t AMaxFiles);
  // Frees the session's files and contexts.
  ~TCustomFFmpeg() override;
  TCustomFFmpeg(const TCustomFFmpeg &) = delete;
  TCustomFFmpeg &operator=(const TCustomFFmpeg &) = delete;

  // Prepares the session for a new task: frees what the last one left, sets
  // every option to its default and creates the generic option contexts.
  // Does nothing while the conversion libraries are not loaded.
  void ResetSession();

  // Applies one option of the option language (names are case-sensitive).
  // Raises FFmpegException for invalid values, EConvertError for malformed
  // numbers and EAssertionFailed for a codec tag that is not 4 characters.
  // A name the table does not know goes to ApplyGenericOption, whose refusal
  // is ignored.
  void SetOption(const std::string &AName, const std::string &AValue);

  // The default option handler: sets the option on the generic contexts (the
  // codec contexts of the types whose flags it carries, else the format
  // context, else the scaler; "vb", "ab", "sb" reach the video, audio,
  // subtitle context's "b"), or keeps it for the encoder or muxer whose
  // private options know it. Older names are translated first. Never raises:
  // an invalid value is logged through the library's logger and false is
  // returned; an unknown name gives false without a message.
  bool ApplyGenericOption(const std::string &AName, const std::string &AValue);

  // Direct setters used by the job manager, with the effect of the option named.
  void SetAudioCodec(const std::string &AValue) { OptCodec(miAudio, AValue); }     // "acodec"
  void SetVideoCodec(const std::string &AValue) { OptCodec(miVideo, AValue); }     // "vcodec"
  void SetSubtitleCodec(const std::string &AValue) { OptCodec(miSubtitle, AValue); } // "scodec"
  void SetFrameSize(const std::string &AValue);                                   // "s"
  void SetVideoFilters(const std::string &AValue);                                // "vf"
  // Appends one pair to the metadata the next output file takes.
  void AddMetadata(const std::string &AKey, const std::string &AValue);
  // Setters that ignore out-of-range values.
  void SetAudioVolume(int32_t AValue);        // negative ignored; 256 is unity
  void SetStartTime(int64_t AValue);          // µs; AV_NOPTS_VALUE ignored
  void SetRecordingTime(int64_t AValue);      // µs, as "t"; AV_NOPTS_VALUE ignored
  void SetProgramID(int32_t AValue);          // negative ignored
  void SetAudioSyncMethod(int32_t AValue);    // negative ignored
  void SetVideoSyncMethod(int32_t AValue);    // below -1 (automatic) ignored
  void SetMuxDelay(double ASeconds);          // negative ignored
  void SetMuxPreload(double ASeconds);        // negative ignored
  void SetVerbose(int32_t AValue) { Fverbose = AValue; }

  // A target kind ("vcd", "svcd", "dvd", "dv", "dv50") for a norm ("pal",
  // "ntsc", "film", else automatic) with the norm to take when automatic
  // detection finds none.
  void ApplyTarget(const std::string &ATarget, const std::string &ANorm, const std::string &ADefaultNorm);
  // A built-in or file preset for the option "apre", "vpre", "spre" or "fpre".
  void LoadPreset(const std::string &AOptName, const std::string &AValue);

  // --- Files (input_setup.cpp, output_setup.cpp) ---

  // Opens one input with the pending input options. False with the reason in
  // LastErrMsg; raises FFmpegException for an unknown asked format and
  // invalid media types.
  bool OpenInputFile(const std::string &AFileName);
  // Creates one output with the pending output options (AJoin: all inputs
  // into this one output). Returns the new number of output files, or -1
  // with the reason in LastErrMsg.
  int32_t OpenOutputFile(const std::string &AFileName, bool AJoin);

  // --- Run control (run_control.cpp) ---

  // Starts the run: on the caller's thread (AUseThread false; returns null
  // when the run, its notification included, is over) or on a worker thread
  // that is returned not yet started (the caller calls Start on it). An
  // engine runs once per ResetSession; a second call returns null.
  TConvertThread *StartConvert(bool AUseThread, TThreadPriority APriority);
  // Asks the run to end (the output is finished and closed); with AWaitFor
  // waits until the worker has ended, serving the main thread's queue while
  // waiting on it.
  void Stop(bool AWaitFor);
  // A paused worker halts before its next packet and holds no lock.
  void Pause();
  void Resume();
  bool Paused() const { return FPaused; }
  // Stops a running task, or sends the terminate notification of one that
  // never ran (from a thread of its own; with AWaitFor waits for it).
  void StopOrTerminate(bool AWaitFor);

  // Replaces the post-hook set; any thread, takes PostHookLock().
  void SetPostHooks(TPostHooks AValue);
  TPostHooks PostHooks() const;

  // The private options kept so far that APrivClass knows, added to *ADict
  // (created when null; the caller frees it). Hand the result to
  // avcodec_open2 or avformat_write_header / avformat_init_output; what they
  // leave in the dictionary was not taken.
  void AddPrivateOptions(const AVClass *APrivClass, AVDictionary **ADict) const;
  void AddPrivateOptions(const AVCodec *ACodec, AVDictionary **ADict) const;
  void AddPrivateOptions(const AVOutputFormat *AFormat, AVDictionary **ADict) const;

  // Events. Set them before a run; a run calls them on its own thread.
  const TProgressEvent &OnProgress() const { return FOnProgress; }
  void SetOnProgress(TProgressEvent AHandler) { FOnProgress = std::move(AHandler); }
  const TNotifyEvent &OnTerminate() const { return FOnTerminate; }
  void SetOnTerminate(TNotifyEvent AHandler) { FOnTerminate = std::move(AHandler); }
  const TPreviewBitmapEvent &OnPreviewBitmap() const { return FOnPreviewBitmap; }
  void SetOnPreviewBitmap(TPreviewBitmapEvent AHandler) { FOnPreviewBitmap = std::move(AHandler); }
  const TCustomHookEvent &OnCustomHook() const { return FOnCustomHook; }
  void SetOnCustomHook(TCustomHookEvent AHandler) { FOnCustomHook = std::move(AHandler); }

  int32_t nb_input_files() const { return Fnb_input_files; }
  int32_t nb_output_files() const { return Fnb_output_files; }
  int32_t MaxFiles() const { return FMaxFiles; }
  bool Finished() const { return FFinished; }
  bool FatalException() const { return FFatalException; }
  const std::string &FatalMessage() const { return FFatalMessage; }
  // The reason the last file operation failed.
  const std::string &LastErrMsg() const { return FLastErrMsg; }

  int64_t ReportInterval = 500000;  // µs between progress reports
  int64_t PreviewInterval = 100000; // µs between preview frames

protected:
  // --- Life of the session (session.cpp) ---

  // Frees everything a task opened: the option contexts, buffers, the output
  // files (deleting those left empty), the input files, matrices, the
  // statistics file, texts, filter chains, hooks and the filter graph. Does
  // nothing while the conversion libraries are not loaded.
  void FreeSession();
  // Called first by FreeSession, before the input files close: a subclass
  // drops what refers to them (the job manager's per-input probes).
  virtual void InputsClosing() {}
  // Sets every pending option to its default and zeroes the statistics and
  // maps. The generic option contexts are owned and only FreeSession frees them.
  void InitDefaults();

  // Hands the collected generic options to a new file or codec context: each
  // name set so far is read as text from ASource and set on ATarget when the
  // option's flags hold all bits of AFlags (1 encoding, 2 decoding, 8 audio,
  // 16 video, 32 subtitle). ATarget and ASource are objects with an AVClass.
  void ApplyCollectedOptions(void *ATarget, void *ASource, int AFlags);

  // Adds one stream to the last output file (the next piece builds them).
  void NewVideoStream(AVFormatContext *AOutput);
  void NewAudioStream(AVFormatContext *AOutput);
  void NewSubtitleStream(AVFormatContext *AOutput);
  // Loads a video hook module from AWords (module, arguments) and appends it
  // to FFirstHook's list; 0 on success.
  int32_t AddVideoHook(const std::vector<std::string> &AWords);
  // Calls each loaded module's Release and frees the list.
  void ReleaseVideoHooks();

  // --- Input and output setup (input_setup.cpp, output_setup.cpp, plan_setup.cpp) ---

  // Looks a codec name up among encoders or decoders of AType; true with its
  // id in ACodecID (an empty name gives AV_CODEC_ID_NONE and true), false
  // with the reason in FLastErrMsg.
  bool FindCodec(const std::string &AName, AVMediaType AType, bool AEncoder, int AStrict, AVCodecID &ACodecID);
  // Builds the run's plan (tables, sources, codec parameters, encoders,
  // decoders, timestamps, metadata maps, chapters, headers, mapping log).
  void BuildPlan();
  // Frees the plan's records, closing first any codec of theirs still open
  // (so it may follow a failure anywhere in the run).
  void FreePlan();
  // Join mode: reopens the first output entry's encoders for the next input.
  void ReopenEncoders();
  // Opens a codec under LibraryLock and adds it to FEncoderList / FDecoderList;
  // the library's result (negative: not opened, not listed). AOptions as for
  // avcodec_open2: what stays in it was not taken.
  int OpenEncoder(AVCodecContext *ACtx, const AVCodec *ACodec, AVDictionary **AOptions);
  int OpenDecoder(AVCodecContext *ACtx, const AVCodec *ACodec, AVDictionary **AOptions);
  // Frees the statistics input, closes the codec under LibraryLock and takes
  // it off its list; the context itself stays with its owner. Closing twice
  // is harmless.
  void CloseCodec(AVCodecContext *ACtx);
  // Logs the library's dump of the outputs and "Stream mapping:" with one line
  // per output stream (before raising setup errors, so the log shows what was built).
  void LogStreamMapping();
  // The settings a new output stream was given, kept until a run takes them
  // (null for a stream that was not made by NewVideoStream and its kin).
  TOutputStreamSetup *StreamSetup(const AVStream *AStream);

  // --- Transcode loop (transcode_loop.cpp) ---

  // The whole run; raises FFmpegException on fatal errors after freeing the plan.
  void Transcode();
  // Join mode, end of input k: drains its streams, reopens the encoders and
  // moves the timeline on. False when k was the last input.
  bool JoinAdvance(int32_t AInput);
  // Hands one decoded picture, samples buffer or subtitle (ASubtitlePts: its
  // packet's pts) to every encoding output stream fed by AIst.
  void DispatchDecoded(TAVInputStream &AIst, AVFrame *AFrame, uint8_t *ASamples, int32_t ASampleBytes,
                       AVSubtitle *ASub, int64_t ASubtitlePts);
  // Hands one input packet to every copying output stream fed by AIst, once
  // per packet however many frames it decodes to.
  void DispatchCopies(TAVInputStream &AIst, const AVPacket *APkt);
  // "re": waits until the wall clock since the start reaches AIst.pts.
  void EmulateRate(const TAVInputStream &AIst);
  // Stream copy of one packet: from the first key frame on (or at once with
  // "copyinkf"), timestamps in the output's time base, through the stream's
  // bitstream filters.
  void CopyPacket(TAVOutputStream &AOst, TAVInputStream &AIst, const AVPacket *APkt);
  // Decoded audio as interleaved samples in AIst.dec_packed_fmt in Fsamples,
  // with the volume applied; the byte count.
  int32_t PackSamples(TAVInputStream &AIst, const AVFrame *AFrame, int32_t APacketBytes);
  // Encoder drain at the end of a stream for the outputs fed by AIst.
  void DrainEncoders(TAVInputStream &AIst);
  // Notes a packet handed to the muxer in the stream's presentation counter.
  void NoteOutputTime(const AVStream *AStream, const AVPacket *APkt);
  // The muxer stream's presentation counter in seconds (0 before any packet).
  double OutputTime(const AVStream *AStream) const;
  // The bitstream filter chain of an output stream (join entries share the
  // first's); null for streams beyond the per-stream tables.
  TBitstreamFilterChain *ChainOf(const TAVOutputStream &AOst);
  // Keeps what the encoder reports about a packet (quality, picture type,
  // errors), writes its pass-1 statistics, and writes the packet.
  void WriteEncodedVideo(AVFormatContext *AOutput, TAVOutputStream &AOst, AVPacket *APkt);
  // One decode-and-dispatch step for one input packet (null at the end of the
  // stream: drains). 0 on success, -1 when decoding failed.
  int32_t OutputPacket(TAVInputStream &AIst, int32_t AIstIndex, const AVPacket *APkt);
  // Runs the stream's bitstream filters on the packet and writes it
  // (interleaved); the packet's times are in the output stream's time base.
  // A failing filter is reported ("xerror": raised) and skipped; a failing
  // write raises.
  void WriteFrame(AVFormatContext *AOutput, AVPacket *APkt, TBitstreamFilterChain &AChain, AVCodecContext *AEnc);
  // Passes APkt through the filters of AChain from AFrom on and writes what
  // comes out; a null APkt tells filter AFrom that no more packets come.
  void RunChain(AVFormatContext *AOutput, AVPacket *APkt, TBitstreamFilterChain &AChain, size_t AFrom,
                int AStreamIndex, const std::string &ACodecName);
  // End of the run: writes the packets the bitstream filters still hold.
  void FlushBitstreamFilters();
  // Builds the progress line, calls OnProgress, logs; the last report adds
  // the summary. Nothing at all while a video output has no picture yet.
  void PrintReport(bool AIsLast, int32_t AFileIndex);
  // Encodes one decoded subtitle (APts: its packet's pts in the input
  // stream's time base) and writes it; DVB subtitles twice, to show and clear.
  void DoSubtitleOut(AVFormatContext *AOutput, TAVOutputStream &AOst, TAVInputStream &AIst, AVSubtitle *ASub,
                     int64_t APts);
  // Appends one line about the picture just written (AFrameSize bytes) to
  // the statistics file, opening it on first use.
  void DoVideoStats(const TAVOutputStream &AOst, int32_t AFrameSize);

  // --- Audio path (audio_path.cpp) ---

  // Takes one buffer of decoded samples (interleaved, AIst.dec_packed_fmt)
  // and writes the output stream's encoded packets.
  void DoAudioOut(AVFormatContext *AOutput, TAVOutputStream &AOst, TAVInputStream &AIst, uint8_t *ABuf,
                  int32_t ASize);
  // End of stream: encodes what the FIFO still holds (padded with zeros or as
  // a short last frame) and drains the encoder.
  void FlushAudio(AVFormatContext *AOutput, TAVOutputStream &AOst);

  // --- Video path (video_path.cpp) ---

  // Before filters and encoding, once per decoded picture: counts it, and
  // deinterlaces it and runs the custom hook or the hook modules on it. The
  // picture may be replaced by a working copy (its own reference).
  void PreProcessVideoFrame(TAVInputStream &AIst, AVFrame *APicture);
  // Builds the input stream's filter graph for "vf" (buffer source, crop,
  // scale, the user's description, a sink offering only the encoder's pixel
  // format) and gives the encoder the size arriving at the sink. 0 on success,
  // else a negative library error code (the library logs the reason).
  int32_t ConfigureFilters(TAVInputStream &AIst, TAVOutputStream &AOst);
  // Pushes a decoded picture (null: the end) through the stream's graph and
  // serves the output streams with every picture coming out.
  void FilterAndDispatch(TAVInputStream &AIst, AVFrame *APicture);
  // Runs the custom hook on APicture (writable); APTS in µs.
  void RunCustomHook(AVFrame *APicture, int64_t APTS);
  // After a picture was encoded: the preview bitmap event or the preview
  // window, at most once per PreviewInterval. APTS in µs.
  void RunPostHooks(const AVFrame *APicture, int64_t APTS);
  // Encodes one decoded (or filtered) picture for one output stream, with
  // frame-rate sync, crop and scale. AFrameSize gets the last packet's bytes.
  void DoVideoOut(AVFormatContext *AOutput, TAVOutputStream &AOst, TAVInputStream &AIst, AVFrame *APicture,
                  int32_t &AFrameSize);
  // End of stream: drains the video encoder.
  void FlushVideo(AVFormatContext *AOutput, TAVOutputStream &AOst);

  // --- Run control (run_control.cpp) ---

  // The body of a run: Transcode, then closing codecs, FreeSession and
  // DoTerminate, each capturing its own exception as the fatal result.
  void RunConversion();
  // Marks the run terminated and calls OnTerminate (exactly once per run).
  void DoTerminate();
  // Records an exception as the run's fatal result and logs it at llQuiet.
  void SetFatal(const std::string &AMessage);
  // Called by the loop between packets: blocks while paused (holding no lock).
  void WaitWhilePaused();

  // --- Option handlers (options.cpp) ---
  void OptCodec(TMediaIndex AKind, const std::string &AValue);
  void OptFormat(const std::string &AValue);
  void OptMap(const std::string &AValue);
  void OptMapMetaData(const std::string &AValue);
  void OptRecordingTime(const std::string &AName, const std::string &AValue);
  void OptInputTSScale(const std::string &AValue);
  void OptRecordingTimestamp(const std::string &AName, const std::string &AValue);
  void OptMetadata(const std::string &AValue);
  void OptTarget(const std::string &AValue);
  void OptBitrate(const std::string &AName, const std::string &AValue);
  void OptFrameRate(const std::string &AValue);
  void OptAspect(const std::string &AValue);
  void OptPixFmt(const std::string &AValue);
  void OptSampleFmt(const std::string &AValue);
  void OptCrop(const std::string &AName, const std::string &AValue);
  void OptQScale(const std::string &AValue);
  void OptPass(const std::string &AValue);
  void OptVStats();
  void OptVHook(const std::string &AValue);
  void OptMatrix(const std::string &AName, const std::string &AValue);
  void OptCodecTag(TMediaIndex AKind, const std::string &AValue);
  void OptNewStream(TMediaIndex AKind);
  void OptStreamID(const std::string &AName, const std::string &AValue);
  void OptBitstreamFilter(const std::string &AName, const std::string &AValue);
  void ListPixelFormats();
  void ListSampleFormats();
  // A duration (ADate false) or date in µs; a value the parser refuses raises the "Invalid … for …" message.
  int64_t ParseTime(const std::string &AName, const std::string &AValue, bool ADate);

  // --- Generic options (generic_options.cpp) ---
  // The generic step without older-name translation.
  bool ApplyCurrentOption(const std::string &AName, const std::string &AValue);
  // Keeps a name that some private option class knows; false when none
  // does or none takes the value.
  bool KeepPrivateOption(const std::string &AName, const std::string &AValue, bool &AKnown);

  // --- File tables (sized from FMaxFiles at creation) ---
  int32_t FMaxFiles;
  std::vector<AVFormatContext *> Finput_files; // owned: closed by FreeSession
  int32_t Fnb_input_files = 0;
  std::vector<int64_t> Finput_files_ts_offset;                          // µs
  std::vector<std::array<double, MAX_STREAMS>> Finput_files_ts_scale; // 0: no scaling
  std::vector<const AVCodec *> Finput_codecs;                          // FMaxFiles * MAX_STREAMS; null: automatic
  int32_t Fnb_icodecs = 0;
  std::vector<AVFormatContext *> Foutput_files; // owned (in join mode all slots share slot 0's context)
  int32_t Fnb_output_files = 0;
  std::vector<const AVCodec *> Foutput_codecs; // FMaxFiles * MAX_STREAMS
  int32_t Fnb_ocodecs = 0;
  std::vector<TAVStreamMap> Fstream_maps; // FMaxFiles * MAX_STREAMS
  int32_t Fnb_stream_maps = 0;
  std::vector<TAVMetaDataMap> Fmeta_data_maps; // FMaxFiles
  int32_t Fnb_meta_data_maps = 0;
  std::vector<std::array<TBitstreamFilterChain, MAX_STREAMS>> Fbitstream_filters; // per output file and stream
  std::array<int32_t, MAX_STREAMS> Fstreamid_map{};

  // --- Pending option state: written by options, read when the next file
  // opens. Texts that may be "absent" are empty when absent. ---
  std::string Flast_asked_format;
  int32_t Fframe_width = 0, Fframe_height = 0;
  float Fframe_aspect_ratio = 0;
  AVPixelFormat Fframe_pix_fmt = AV_PIX_FMT_NONE;
  AVSampleFormat Faudio_sample_fmt = AV_SAMPLE_FMT_NONE;
  int32_t Fframe_topBand = 0, Fframe_bottomBand = 0, Fframe_leftBand = 0, Fframe_rightBand = 0;
  std::array<int32_t, 4> Fmax_frames{}; // video, audio, data, subtitle
  AVRational Fframe_rate{0, 0};
  float Fvideo_qscale = 0;
  std::unique_ptr<std::array<uint16_t, 64>> Fintra_matrix, Finter_matrix; // absent until set
  std::string Fvideo_rc_override_string;
  bool Fvideo_disable = false;
  int32_t Fvideo_discard = 0;
  std::string Fvideo_codec_name, Faudio_codec_name, Fsubtitle_codec_name;
  int32_t Fvideo_stream_copy = 0, Faudio_stream_copy = 0, Fsubtitle_stream_copy = 0;
  uint32_t Fvideo_codec_tag = 0, Faudio_codec_tag = 0, Fsubtitle_codec_tag = 0;
  std::string Fvideo_language, Faudio_language, Fsubtitle_language;
  bool Fsame_quality = false;
  bool Fdo_deinterlace = false;
  int32_t Ftop_field_first = -1;
  int32_t Fme_threshold = 0;
  int32_t Fintra_dc_precision = 8;
  bool Floop_input = false;
  int32_t Floop_output = -1;
  bool Fqp_hist = false;
  std::string Fvfilters;
  bool FEnableFilter = false;
  bool Fintra_only = false;
  int32_t Faudio_sample_rate = 44100;
  int64_t Fchannel_layout = 0;
  float Faudio_qscale = -99999.0f;
  bool Faudio_disable = false, Fsubtitle_disable = false;
  int32_t Faudio_channels = 2;
  float Fmux_preload = 0.5f;   // seconds
  float Fmux_max_delay = 0.7f; // seconds
  int64_t Frecording_time = INT64_MAX; // µs
  int64_t Fstart_time = 0;             // µs
  int64_t Frecording_timestamp = 0;    // seconds
  int64_t Finput_ts_offset = 0;        // µs
  std::vector<std::pair<std::string, std::string>> Fmetadata; // pending metadata; its size is the count
  int32_t Fdo_benchmark = 0;
  bool Fdo_hex_dump = false, Fdo_pkt_dump = false, Fdo_psnr = false;
  int32_t Fdo_pass = 0;
  std::string Fpass_logfilename_prefix;
  int32_t Fvideo_sync_method = -1;
  int32_t Faudio_sync_method = 0;
  float Faudio_drift_threshold = 0.1f;
  bool Fcopy_ts = false;
  bool Fopt_shortest = false;
  int32_t Fvideo_global_header = 0;
  std::string Fvstats_filename;
  std::FILE *Fvstats_file = nullptr; // owned; opened by the loop, closed by FreeSession
  int32_t Fopt_programid = 0;
  int32_t Fcopy_initial_nonkeyframes = 0;
  bool Frate_emu = false;
  int32_t Fvideo_channel = 0;
  std::string Fvideo_standard;
  int32_t Faudio_volume = 256;
  bool Fexit_on_error = false;
  int32_t Fusing_stdin = 0;
  bool Fusing_vhook = false;
  int32_t Fverbose = 1;
  int32_t Fthread_count = 1;
  int64_t Flimit_filesize = 0;
  bool Fforce_fps = false;
  int32_t Fpgmyuv_compatibility_hack = 0;
  float Fdts_delta_threshold = 10.0f; // seconds
  bool Finput_sync = false;
  uint32_t Fsws_flags = SWS_BICUBIC;
  TBitstreamFilterChain Fvideo_bitstream_filters, Faudio_bitstream_filters, Fsubtitle_bitstream_filters;

  // --- Run statistics (zeroed by InitDefaults) ---
  int32_t Fq_pressed = 0;
  int64_t Fvideo_size = 0, Faudio_size = 0, Fextra_size = 0;
  int32_t Fnb_frames_dup = 0, Fnb_frames_drop = 0;
  bool FShowDupOrDrop = false;

  // --- Working buffers (owned, freed by FreeSession) ---
  TAVMemPtr<uint8_t> Faudio_buf, Faudio_out;
  uint32_t Fallocated_audio_buf_size = 0, Fallocated_audio_out_size = 0;
  TAVMemPtr<uint8_t> Finput_tmp;
  TAVMemPtr<uint8_t> Fsamples;
  int32_t Fsamples_size = 0;
  TAVMemPtr<uint8_t> Fbit_buffer;
  int32_t Fbit_buffer_size = 262144;
  TFrameHookEntry *FFirstHook = nullptr; // loaded hook modules (a list); owned, released by FreeSession
  // The working picture of the hooks is a reference-counted frame (encoders
  // may keep pictures), so only its size is kept here.
  int32_t FHookBufSize = 0;
  TCustomHookContext FHookContext;
  int32_t FHookFrameNumber = 0;
  // Set when the custom hook stopped (asked to, or a conversion failed): it
  // stays off for the rest of the run, and the handler stays for the next.
  bool FCustomHookOff = false;
  TPostHookContext FPostContext;
  TPostHooks FPostHooks = 0; // guarded by PostHookLock()
  // A filter graph is kept per input stream (TAVInputStream::filter_graph).
  TOutputFilterDesc Foutput_filter;
  // Codec contexts opened during a run, closed at its end (each exactly once).
  std::list<AVCodecContext *> FEncoderList, FDecoderList;

  // --- Generic option contexts (ResetSession to FreeSession) ---
  TFFOptions FOptions;

  // --- Output streams between their creation and the run that takes them ---
  std::map<const AVStream *, TOutputStreamSetup> FStreamSetups;

  // --- The run's records (built and freed on the run's thread) ---
  TTranscodePlan FPlan;
  int64_t Ftimer_start = 0; // µs, when the loop started

  // --- Run state. The flags are written by one side and read by the other. ---
  // Set by StartConvert, cleared by the worker at its end; Stop and Pause read
  // it from other threads.
  std::atomic<TConvertThread *> FThread{nullptr};
  std::unique_ptr<TConvertThread> FThreadOwner;         // joined before it is replaced or the engine dies
  std::unique_ptr<TDoTerminateThread> FTermThreadOwner; // likewise
  // The pause gate: the worker waits on FPauseCond while FPaused is set.
  std::mutex FPauseLock; // guards FPaused for the wait
  std::condition_variable FPauseCond;
  std::atomic<bool> FPaused{false};
  TEvent FStopEvent{true}; // manual reset; not signalled while a worker runs
  TEvent FTermEvent{true}; // manual reset; not signalled while a terminate thread runs
  bool FJoinMode = false;
  std::atomic<bool> FConverting{false};
  std::atomic<bool> FBroken{false};
  // Set when a run wrote the trailers of all its outputs; FreeSession removes
  // the output files of a session without it.
  bool FOutputsFinished = false;
  // The run that wrote the trailers was stopped; FreeSession removes those of
  // its outputs that got no packet (a header and an index of nothing play
  // nowhere). Worker thread during the run, then the session's owner.
  bool FOutputsStopped = false;
  std::set<const AVFormatContext *> FOutputsWithPackets;
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FTerminated{false};
  bool FFatalException = false;
  std::string FFatalMessage;
  int64_t FTotalOutputDuration = -1; // µs, -1 when unknown
  std::string FLastErrMsg;

  // --- Events ---
  TCustomHookEvent FOnCustomHook;
  TPreviewBitmapEvent FOnPreviewBitmap;
  TProgressEvent FOnProgress;
  TNotifyEvent FOnTerminate;
};
