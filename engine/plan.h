// The transcoding plan: one record per input file, input stream and output
// stream, built when a run starts and freed when it ends (normally or by an
// exception). All of it belongs to the run's thread.
//
// The records follow the converter's model; where the current libraries work
// differently the record holds what they need: streams no longer carry codec
// contexts, so each input stream owns its decoder context and each output
// stream its encoder context; audio resampling and sample-format conversion
// both use libswresample; the byte FIFO is an AVFifo of single bytes.
#pragma once

#include "media/ffmpeg_loader.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

struct TAVInputFile {
  int32_t eof_reached = 0;
  int32_t ist_index = 0;   // index of the file's first stream in the input-stream table
  int32_t buffer_size = 0;
  int32_t nb_streams = 0;
};

struct TAVInputStream {
  int32_t file_index = 0;
  int32_t index = 0;
  AVStream *st = nullptr;
  AVCodecContext *dec_ctx = nullptr;     // owned; opened when decoding_needed
  int32_t discard = 1;                   // 1 while no output uses the stream
  int32_t decoding_needed = 0;
  int64_t sample_index = 0;
  int64_t start = 0;                     // wall clock at start (µs), for "re"
  int64_t next_pts = AV_NOPTS_VALUE;     // µs
  int64_t pts = 0;                       // µs
  int32_t is_start = 1;
  int32_t showed_multi_packet_warning = 0;
  int32_t is_past_recording_time = 0;
  int32_t decoder_flushed = 0;
  // Decoded audio handed to the audio path: interleaved samples in
  // dec_packed_fmt (the packed form of the decoder's sample format).
  AVSampleFormat dec_packed_fmt = AV_SAMPLE_FMT_NONE;
  // Video filter graph ("vf", owned) with its ends, and the picture taken
  // from it (owned frames).
  AVFilterGraph *filter_graph = nullptr;
  AVFilterContext *out_video_filter = nullptr;
  AVFilterContext *input_video_filter = nullptr;
  AVFrame *filter_frame = nullptr;
  int32_t has_filter_frame = 0;
  AVFrame *picref = nullptr;
  AVFrame *decoded_frame = nullptr;      // owned, reused for every decode
  // Deinterlacer (owned graph), made for the picture size and format it was
  // last given.
  AVFilterGraph *deint_graph = nullptr;
  AVFilterContext *deint_src = nullptr, *deint_sink = nullptr;
  int32_t deint_width = 0, deint_height = 0, deint_pix_fmt = -1;
};

struct TAVOutputStream {
  int32_t file_index = 0;
  int32_t index = 0;
  int32_t source_index = -1;
  AVStream *st = nullptr;
  AVCodecContext *enc_ctx = nullptr;     // owned; opened when encoding_needed
  bool stream_copy = false;
  int32_t encoding_needed = 0;
  int32_t frame_number = 0;
  TAVInputStream *sync_ist = nullptr;
  int64_t sync_opts = 0;                 // output frames (video) or samples per channel (audio) so far
  // Video: crop and scale.
  int32_t video_resample = 0;
  AVFrame *pict_tmp = nullptr;           // owned scaled picture
  SwsContext *img_resample_ctx = nullptr;
  int32_t resample_height = 0, resample_width = 0, resample_pix_fmt = -1;
  int32_t original_height = 0, original_width = 0;
  int32_t video_crop = 0;
  int32_t topBand = 0, bottomBand = 0, leftBand = 0, rightBand = 0;
  int32_t original_topBand = 0, original_bottomBand = 0, original_leftBand = 0, original_rightBand = 0;
  // Audio.
  int32_t audio_resample = 0;
  SwrContext *resample = nullptr;        // rate / channel conversion
  int32_t reformat_pair = -6;            // enc format + 5 * dec format the converter was made for; -6 none
  SwrContext *reformat_ctx = nullptr;    // sample-format conversion only
  AVFifo *fifo = nullptr;                // bytes in the encoder's packed sample format
  FILE *logfile = nullptr;               // pass-1 statistics
  AVCodecID codec_id = AV_CODEC_ID_NONE; // saved codec id (join mode)
  int32_t show_fps = 0;
  // What the encoder reported with its last picture (the packet's quality
  // statistics): quality in lambda units, picture type and the squared error
  // per plane when PSNR is asked for. The progress line reads them.
  int32_t quality = 0;
  int32_t pict_type = 0;
  int64_t frame_error[3] = {0, 0, 0};
};

// Frees everything the records own (contexts, frames, scalers, resamplers,
// FIFOs, pass logs). Codec contexts that are open must have been closed and
// removed from the engine's codec lists before (closing holds LibraryLock).
void FreeInputStream(TAVInputStream &AIst);
void FreeOutputStream(TAVOutputStream &AOst);
