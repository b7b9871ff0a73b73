// The audio path on real encoders and muxers: samples go in as the loop hands
// them over, and the written file is decoded back to see what a listener
// would get (sample counts, silence, the tones themselves).
#include "tests/engine/engine_fixture.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <functional>

namespace {

namespace fs = std::filesystem;

// The engine with the audio path in reach.
class TAudioEngine : public TTestEngine {
public:
  using TTestEngine::TTestEngine;
  using TCustomFFmpeg::DoAudioOut;
  using TCustomFFmpeg::FlushAudio;
};

// One input audio stream as the loop keeps it: a decoder context that only
// describes the samples, and the clock.
struct TAudioInput {
  TAVInputStream Ist;
  TAudioInput(AVSampleFormat AFormat, int ARate, int AChannels) {
    Ist.dec_ctx = AV.avcodec_alloc_context3(nullptr);
    Ist.dec_ctx->sample_fmt = AFormat;
    Ist.dec_ctx->sample_rate = ARate;
    AV.av_channel_layout_default(&Ist.dec_ctx->ch_layout, AChannels);
    Ist.dec_packed_fmt = AFormat;
    Ist.decoding_needed = 1;
  }
  ~TAudioInput() { AV.avcodec_free_context(&Ist.dec_ctx); }
};

// One output file with one audio stream: encoder open, header written.
struct TAudioOutput {
  AVFormatContext *Ctx = nullptr;
  TAVOutputStream Ost;
  ~TAudioOutput() {
    if (Ctx) {
      AV.avio_closep(&Ctx->pb);
      AV.avformat_free_context(Ctx);
    }
    FreeOutputStream(Ost);
  }
};

struct TOutputSpec {
  const char *Encoder;
  AVSampleFormat Format;
  int Rate, Channels;
  bool Open = true; // false: the encoder is left unopened (and no header is written)
};

// The decoded content of a file's audio stream.
struct TDecoded {
  int Rate = 0, Channels = 0;
  int64_t Samples = 0;          // per channel
  std::vector<double> Data;     // interleaved, full scale ±1
  int64_t Packets = 0;
  std::vector<int> FrameSizes;  // samples of each decoded frame
  double At(int64_t ASample, int AChannel) const { return Data[static_cast<size_t>(ASample * Channels + AChannel)]; }
};

double SampleValue(const uint8_t *AData, AVSampleFormat APacked, int64_t AIndex) {
  switch (APacked) {
  case AV_SAMPLE_FMT_U8: return (AData[AIndex] - 128) / 128.0;
  case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t *>(AData)[AIndex] / 32768.0;
  case AV_SAMPLE_FMT_S32: return reinterpret_cast<const int32_t *>(AData)[AIndex] / 2147483648.0;
  case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float *>(AData)[AIndex];
  case AV_SAMPLE_FMT_DBL: return reinterpret_cast<const double *>(AData)[AIndex];
  default: ADD_FAILURE() << "unexpected sample format " << APacked; return 0;
  }
}

TDecoded Decode(const std::string &APath) {
  TDecoded r;
  AVFormatContext *ic = nullptr;
  if (AV.avformat_open_input(&ic, APath.c_str(), nullptr, nullptr) < 0) {
    ADD_FAILURE() << "cannot open " << APath;
    return r;
  }
  EXPECT_GE(AV.avformat_find_stream_info(ic, nullptr), 0);
  const AVCodec *codec = nullptr;
  const int index = AV.av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  EXPECT_GE(index, 0) << APath;
  AVCodecContext *dec = AV.avcodec_alloc_context3(codec);
  if (index >= 0) {
    AV.avcodec_parameters_to_context(dec, ic->streams[index]->codecpar);
    EXPECT_GE(AV.avcodec_open2(dec, codec, nullptr), 0);
  }
  AVPacket *pkt = AV.av_packet_alloc();
  AVFrame *frame = AV.av_frame_alloc();
  const auto drain = [&] {
    while (AV.avcodec_receive_frame(dec, frame) >= 0) {
      const AVSampleFormat fmt = static_cast<AVSampleFormat>(frame->format);
      const AVSampleFormat packed = AV.av_get_packed_sample_fmt(fmt);
      const bool planar = AV.av_sample_fmt_is_planar(fmt);
      r.Rate = frame->sample_rate;
      r.Channels = frame->ch_layout.nb_channels;
      r.FrameSizes.push_back(frame->nb_samples);
      for (int s = 0; s < frame->nb_samples; ++s)
        for (int c = 0; c < r.Channels; ++c)
          r.Data.push_back(planar ? SampleValue(frame->extended_data[c], packed, s)
                                  : SampleValue(frame->extended_data[0], packed, s * r.Channels + c));
      r.Samples += frame->nb_samples;
      AV.av_frame_unref(frame);
    }
  };
  while (index >= 0 && AV.av_read_frame(ic, pkt) >= 0) {
    if (pkt->stream_index == index) {
      ++r.Packets;
      AV.avcodec_send_packet(dec, pkt);
      drain();
    }
    AV.av_packet_unref(pkt);
  }
  AV.avcodec_send_packet(dec, nullptr);
  drain();
  AV.av_frame_free(&frame);
  AV.av_packet_free(&pkt);
  AV.avcodec_free_context(&dec);
  AV.avformat_close_input(&ic);
  return r;
}

// Interleaved cosines of half scale, channel c at 500 × (c + 1) Hz, so that a
// swapped or smeared channel shows. Cosines start at full swing: inserted
// silence is told from the tone's own first samples.
std::vector<uint8_t> Tone(AVSampleFormat AFormat, int ARate, int AChannels, int ASamples) {
  const int bps = AV.av_get_bytes_per_sample(AFormat);
  std::vector<uint8_t> r(static_cast<size_t>(ASamples) * AChannels * bps);
  for (int s = 0; s < ASamples; ++s)
    for (int c = 0; c < AChannels; ++c) {
      const double v = 0.5 * std::cos(2 * M_PI * 500.0 * (c + 1) * s / ARate);
      uint8_t *p = r.data() + (static_cast<size_t>(s) * AChannels + c) * bps;
      if (AFormat == AV_SAMPLE_FMT_S16) {
        const int16_t x = static_cast<int16_t>(std::lrint(v * 32767));
        std::memcpy(p, &x, sizeof x);
      } else {
        const float x = static_cast<float>(v);
        std::memcpy(p, &x, sizeof x);
      }
    }
  return r;
}

double ToneValue(const std::vector<uint8_t> &ATone, AVSampleFormat AFormat, int AChannels, int64_t ASample,
                 int AChannel) {
  return SampleValue(ATone.data(), AFormat, ASample * AChannels + AChannel);
}

// Frequency of one channel from its upward zero crossings over [AFrom, ATo).
double Frequency(const TDecoded &ADecoded, int AChannel, int64_t AFrom, int64_t ATo) {
  int crossings = 0;
  int64_t first = -1, last = -1;
  for (int64_t s = AFrom + 1; s < ATo; ++s)
    if (ADecoded.At(s - 1, AChannel) < 0 && ADecoded.At(s, AChannel) >= 0) {
      if (first < 0)
        first = s;
      last = s;
      ++crossings;
    }
  if (crossings < 2)
    return 0;
  return (crossings - 1) * static_cast<double>(ADecoded.Rate) / static_cast<double>(last - first);
}

// Leading samples that are silent in every channel.
int64_t LeadingSilence(const TDecoded &ADecoded) {
  int64_t s = 0;
  for (; s < ADecoded.Samples; ++s)
    for (int c = 0; c < ADecoded.Channels; ++c)
      if (ADecoded.At(s, c) != 0)
        return s;
  return s;
}

class AudioPathTest : public EngineTest {
protected:
  void SetUp() override {
    EngineTest::SetUp();
    Engine.reset();
    A = std::make_unique<TAudioEngine>(20);
    A->ResetSession();
    FFLogger().SetLogLevel(llVerbose); // the path's own notes are verbose
    Dir = fs::temp_directory_path() / ("zv_audio_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override {
    A.reset();
    fs::remove_all(Dir);
    EngineTest::TearDown();
  }

  std::string Out(const std::string &AName) const { return (Dir / AName).string(); }

  // Creates the file with its encoder open and its header written, and binds
  // the output stream to AIn as the plan would ("sample rates differ or
  // async > 1" decides resampling; the path adds the channel rule).
  void Open(TAudioOutput &AOut, const std::string &APath, const TOutputSpec &ASpec, TAudioInput &AIn) {
    ASSERT_GE(AV.avformat_alloc_output_context2(&AOut.Ctx, nullptr, nullptr, APath.c_str()), 0) << APath;
    const AVCodec *codec = AV.avcodec_find_encoder_by_name(ASpec.Encoder);
    ASSERT_NE(codec, nullptr) << ASpec.Encoder;
    AVStream *st = AV.avformat_new_stream(AOut.Ctx, nullptr);
    AVCodecContext *enc = AV.avcodec_alloc_context3(codec);
    enc->sample_fmt = ASpec.Format;
    enc->sample_rate = ASpec.Rate;
    AV.av_channel_layout_default(&enc->ch_layout, ASpec.Channels);
    enc->bit_rate = ASpec.Channels * 96000;
    enc->time_base = AVRational{1, ASpec.Rate};
    AOut.Ost.enc_ctx = enc;
    AOut.Ost.st = st;
    AOut.Ost.index = st->index;
    AOut.Ost.encoding_needed = 1;
    AOut.Ost.sync_ist = &AIn.Ist;
    AOut.Ost.reformat_pair = -6;
    // No automatic growth: the path must make room itself.
    AOut.Ost.fifo = AV.av_fifo_alloc2(1024, 1, 0);
    AOut.Ost.audio_resample = ASpec.Rate != AIn.Ist.dec_ctx->sample_rate || A->Faudio_sync_method > 1;
    if (!ASpec.Open)
      return;
    ASSERT_GE(AV.avcodec_open2(enc, codec, nullptr), 0) << ASpec.Encoder;
    AV.avcodec_parameters_from_context(st->codecpar, enc);
    st->time_base = enc->time_base;
    ASSERT_GE(AV.avio_open(&AOut.Ctx->pb, APath.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(AV.avformat_write_header(AOut.Ctx, nullptr), 0);
  }

  // Hands the interleaved samples to the path in buffers of AChunk samples
  // as the loop does, the input clock at each buffer's first sample given by
  // AClock (µs for a sample index).
  void Feed(TAudioOutput &AOut, TAudioInput &AIn, std::vector<uint8_t> ASamples, int AChunk,
            const std::function<int64_t(int64_t)> &AClock) {
    const int frameBytes =
        AV.av_get_bytes_per_sample(AIn.Ist.dec_packed_fmt) * AIn.Ist.dec_ctx->ch_layout.nb_channels;
    const int64_t total = static_cast<int64_t>(ASamples.size()) / frameBytes;
    for (int64_t pos = 0; pos < total; pos += AChunk) {
      const int64_t n = std::min<int64_t>(AChunk, total - pos);
      AIn.Ist.pts = AClock(pos);
      A->DoAudioOut(AOut.Ctx, AOut.Ost, AIn.Ist, ASamples.data() + pos * frameBytes,
                    static_cast<int32_t>(n * frameBytes));
    }
  }

  // Drains the encoder and finishes the file.
  void Finish(TAudioOutput &AOut) {
    A->FlushAudio(AOut.Ctx, AOut.Ost);
    ASSERT_GE(AV.av_write_trailer(AOut.Ctx), 0);
    AV.avio_closep(&AOut.Ctx->pb);
  }

  std::vector<std::string> LinesStarting(const std::string &APrefix) const {
    std::vector<std::string> r;
    for (const auto &l : Logged_)
      if (l.Msg.rfind(APrefix, 0) == 0)
        r.push_back(l.Msg);
    return r;
  }

  std::unique_ptr<TAudioEngine> A;
  fs::path Dir;
};

// A clock that follows the samples exactly from AStart µs.
std::function<int64_t(int64_t)> ExactClock(int ARate, int64_t AStart = 0) {
  return [=](int64_t APos) { return AStart + APos * 1000000 / ARate; };
}

TEST_F(AudioPathTest, ResamplesToTheEncoderRateAndWithAsyncZeroInsertsNothing) {
  // 2 s at 48 kHz that start 0.5 s late on the input's clock, to a 44.1 kHz MP3.
  TAudioInput in(AV_SAMPLE_FMT_S16, 48000, 2);
  TAudioOutput out;
  Open(out, Out("resampled.mp3"), {"libmp3lame", AV_SAMPLE_FMT_S16P, 44100, 2}, in);
  ASSERT_EQ(out.Ost.audio_resample, 1);
  A->Faudio_sync_method = 0;
  A->Fverbose = 3;
  Feed(out, in, Tone(AV_SAMPLE_FMT_S16, 48000, 2, 96000), 1000, ExactClock(48000, 500000));
  Finish(out);

  EXPECT_NE(out.Ost.resample, nullptr);
  EXPECT_EQ(out.Ost.reformat_ctx, nullptr);
  const TDecoded d = Decode(Out("resampled.mp3"));
  ASSERT_EQ(d.Rate, 44100);
  ASSERT_EQ(d.Channels, 2);
  // 88200 samples, less what the resampler's filter still holds at the end.
  EXPECT_NEAR(d.Samples, 88200, 64);
  // No silence in front: the tone is there from the first samples.
  EXPECT_GT(std::fabs(d.At(20, 0)) + std::fabs(d.At(20, 1)), 0.2);
  EXPECT_TRUE(LinesStarting("adding").empty());
  EXPECT_TRUE(LinesStarting("discarding").empty());
  // The tones keep their pitch, each in its own channel.
  EXPECT_NEAR(Frequency(d, 0, 2000, d.Samples - 2000), 500.0, 1.0);
  EXPECT_NEAR(Frequency(d, 1, 2000, d.Samples - 2000), 1000.0, 1.0);
}

// Equal rates, other channel count: the resampler mixes. One made for other
// than 16-bit input leaves its note in the log.
TEST_F(AudioPathTest, MonoToStereoAtTheSameRateGoesThroughTheResampler) {
  const char *const kNote = "Warning, using s16 intermediate sample format for resampling";
  for (const AVSampleFormat format : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_FLT}) {
    SCOPED_TRACE(AV.av_get_sample_fmt_name(format));
    Logged_.clear();
    TAudioInput in(format, 44100, 1);
    const std::string path = Out(std::string(AV.av_get_sample_fmt_name(format)) + ".wav");
    const std::vector<uint8_t> tone = Tone(format, 44100, 1, 44100);
    {
      TAudioOutput out;
      Open(out, path, {"pcm_s16le", AV_SAMPLE_FMT_S16, 44100, 2}, in);
      ASSERT_EQ(out.Ost.audio_resample, 0); // equal rates: the plan does not ask for it
      Feed(out, in, tone, 1024, ExactClock(44100));
      Finish(out);
      EXPECT_EQ(out.Ost.audio_resample, 1);
      EXPECT_NE(out.Ost.resample, nullptr);
    }
    const std::vector<std::string> verbose = Lines(llVerbose);
    EXPECT_EQ(std::count(verbose.begin(), verbose.end(), kNote), format == AV_SAMPLE_FMT_S16 ? 0 : 1);

    const TDecoded d = Decode(path);
    ASSERT_EQ(d.Channels, 2);
    EXPECT_EQ(d.Samples, 44100);
    // Both channels carry the mono tone, with one gain throughout.
    const double gain = d.At(0, 0) / ToneValue(tone, format, 1, 0, 0);
    EXPECT_GT(gain, 0.5);
    for (int64_t s = 0; s < d.Samples; ++s) {
      ASSERT_EQ(d.At(s, 0), d.At(s, 1)) << s;
      ASSERT_NEAR(d.At(s, 0), gain * ToneValue(tone, format, 1, s, 0), 2.0 / 32768) << s;
    }
  }
}

// "async" 1 on a lossless output at equal rates (no resampler): silence in
// front of a late start, samples dropped from an early one, large gaps
// filled, small jitter left alone. Times are multiples of 1/64 s so that the
// sample counts are exact.
TEST_F(AudioPathTest, AsyncOneInsertsAndDropsOnlyAtTheStartAndForLargeGaps) {
  constexpr int kRate = 48000, kChunk = 750; // 1/64 s
  constexpr int64_t kSamples = 48000;
  const struct {
    const char *Name;
    int64_t StartTime;   // Fstart_time, µs
    int64_t FirstPts;    // the input clock at the first sample, µs
    int64_t JitterUs;    // added to the clock of every 8th buffer
    int64_t GapAt, GapUs; // from this sample on the clock runs GapUs ahead
    int Verbose;
    int64_t Silence, Dropped, GapSilence;
    std::vector<std::string> Logs;
    int32_t IsStart = 0; // left at 1 when no buffer was cut into: whole buffers dropped do not count
    AVSampleFormat Format = AV_SAMPLE_FMT_S16; // of input and output alike
  } cases[] = {
      {"late start", 0, 500000, 0, -1, 0, 3, 24000, 0, 0, {"adding 24000 audio samples of silence"}},
      {"late start, quiet", 0, 500000, 0, -1, 0, 2, 24000, 0, 0, {}},
      {"late start, float samples", 0, 500000, 0, -1, 0, 3, 24000, 0, 0, {"adding 24000 audio samples of silence"}, 0,
       AV_SAMPLE_FMT_FLT},
      {"early start, float samples", 0, -15625, 0, -1, 0, 3, 0, 750, 0, {"discarding 750 audio samples"}, 1,
       AV_SAMPLE_FMT_FLT},
      {"late start, jitter ignored", 0, 500000, 15625, -1, 0, 3, 24000, 0, 0,
       {"adding 24000 audio samples of silence"}},
      {"late after the start time", 250000, 750000, 0, -1, 0, 3, 24000, 0, 0,
       {"adding 24000 audio samples of silence"}},
      // 9000 samples early: the first 12 buffers go whole, each with its note.
      {"early start", 0, -187500, 0, -1, 0, 3, 0, 9000, 0,
       {"discarding 9000 audio samples", "discarding 8250 audio samples", "discarding 7500 audio samples",
        "discarding 6750 audio samples", "discarding 6000 audio samples", "discarding 5250 audio samples",
        "discarding 4500 audio samples", "discarding 3750 audio samples", "discarding 3000 audio samples",
        "discarding 2250 audio samples", "discarding 1500 audio samples", "discarding 750 audio samples"},
       1},
      {"gap beyond the threshold", 0, 500000, 0, 24000, 250000, 3, 24000, 0, 12000,
       {"adding 24000 audio samples of silence", "adding 12000 audio samples of silence"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Logged_.clear();
    A->Faudio_sync_method = 1;
    A->Fstart_time = c.StartTime;
    A->Fverbose = c.Verbose;
    TAudioInput in(c.Format, kRate, 2);
    const std::string path = Out(std::string(c.Name) + ".wav");
    {
      TAudioOutput out;
      Open(out, path, {c.Format == AV_SAMPLE_FMT_S16 ? "pcm_s16le" : "pcm_f32le", c.Format, kRate, 2}, in);
      ASSERT_EQ(out.Ost.audio_resample, 0);
      const std::vector<uint8_t> tone = Tone(c.Format, kRate, 2, kSamples);
      Feed(out, in, tone, kChunk, [&](int64_t APos) {
        int64_t t = c.FirstPts + APos * 1000000 / kRate;
        if (c.JitterUs && (APos / kChunk) % 8 == 7)
          t += c.JitterUs;
        if (c.GapAt >= 0 && APos >= c.GapAt)
          t += c.GapUs;
        return t;
      });
      Finish(out);
      EXPECT_EQ(out.Ost.resample, nullptr);
    }
    const TDecoded d = Decode(path);
    EXPECT_EQ(d.Samples, kSamples + c.Silence - c.Dropped + c.GapSilence);
    EXPECT_EQ(LeadingSilence(d), c.Silence);
    EXPECT_EQ(in.Ist.is_start, c.IsStart);
    // The tone follows the silence sample for sample, from the first one kept.
    const std::vector<uint8_t> tone = Tone(c.Format, kRate, 2, kSamples);
    for (int64_t s = 0; s < 100; ++s)
      for (int ch = 0; ch < 2; ++ch)
        ASSERT_EQ(d.At(c.Silence + s, ch), ToneValue(tone, c.Format, 2, c.Dropped + s, ch)) << s;
    if (c.GapSilence) {
      const int64_t at = c.Silence + c.GapAt;
      for (int64_t s = at; s < at + c.GapSilence; ++s)
        ASSERT_EQ(d.At(s, 0), 0.0) << s;
      EXPECT_EQ(d.At(at + c.GapSilence, 0), ToneValue(tone, c.Format, 2, c.GapAt, 0));
    }
    std::vector<std::string> logs = LinesStarting("adding");
    for (const auto &l : LinesStarting("discarding"))
      logs.push_back(l);
    EXPECT_EQ(logs, c.Logs);
    const std::vector<std::string> verbose = Lines(llVerbose);
    for (const auto &l : logs)
      EXPECT_NE(std::find(verbose.begin(), verbose.end(), l), verbose.end()) << "not at llVerbose: " << l;
  }
}

// "async" above 1: drift below the threshold is taken up by the resampler, at
// most "async" samples per second of output, and never by silence.
TEST_F(AudioPathTest, AsyncAboveOneCompensatesDriftThroughTheResamplerByAtMostAsyncSamples) {
  constexpr int kRate = 48000, kChunk = 750;
  constexpr int64_t kSamples = 4 * kRate;
  const struct {
    int Async;
    double ClockScale; // the input's clock runs this much faster than its samples
  } cases[] = {{1000, 1.03}, {100, 1.01}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Async);
    Logged_.clear();
    A->Faudio_sync_method = c.Async;
    A->Fverbose = 3;
    TAudioInput in(AV_SAMPLE_FMT_S16, kRate, 2);
    const std::string path = Out("drift" + std::to_string(c.Async) + ".wav");
    {
      TAudioOutput out;
      Open(out, path, {"pcm_s16le", AV_SAMPLE_FMT_S16, kRate, 2}, in);
      ASSERT_EQ(out.Ost.audio_resample, 1); // the plan's rule for async > 1
      // 1/64 s late: the start is corrected with silence, then only compensation.
      Feed(out, in, Tone(AV_SAMPLE_FMT_S16, kRate, 2, kSamples), kChunk,
           [&](int64_t APos) { return 15625 + std::llround(APos * 1000000.0 / kRate * c.ClockScale); });
      Finish(out);
    }
    EXPECT_EQ(LinesStarting("adding"), std::vector<std::string>{"adding 750 audio samples of silence"});
    const std::vector<std::string> lines = LinesStarting("compensating audio timestamp drift:");
    ASSERT_FALSE(lines.empty());
    int largest = 0;
    for (const auto &l : lines) {
      double drift = 0;
      int comp = 0, in = 0;
      ASSERT_EQ(std::sscanf(l.c_str(), "compensating audio timestamp drift:%lf compensation:%d in:%d", &drift, &comp,
                            &in),
                3)
          << l;
      EXPECT_EQ(in, kRate);
      EXPECT_LE(std::abs(comp), c.Async) << l;
      EXPECT_EQ(comp, static_cast<int>(std::clamp(drift, -1.0 * c.Async, 1.0 * c.Async))) << l;
      largest = std::max(largest, comp);
    }
    EXPECT_EQ(largest, c.Async);
    // The output grew by what was compensated: close to "async" samples for
    // each of the 4 seconds, never more.
    const TDecoded d = Decode(path);
    const int64_t extra = d.Samples - (kSamples + 750);
    EXPECT_GT(extra, 3 * c.Async);
    EXPECT_LE(extra, 4 * c.Async + 16);
  }
}

// With a clock that matches the samples nothing is corrected, whatever the
// encoder's sample size: what waits in the FIFO counts as output already made.
TEST_F(AudioPathTest, AnExactClockNeedsNoCorrection) {
  constexpr int kRate = 44100;
  constexpr int64_t kSamples = 3 * kRate;
  const struct {
    const char *File, *Encoder;
    AVSampleFormat Format;
  } cases[] = {{"s16.mp2", "mp2", AV_SAMPLE_FMT_S16}, {"float.mp3", "libmp3lame", AV_SAMPLE_FMT_FLTP}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Encoder);
    Logged_.clear();
    A->Faudio_sync_method = 1000;
    A->Fverbose = 3;
    TAudioInput in(AV_SAMPLE_FMT_S16, kRate, 2);
    {
      TAudioOutput out;
      Open(out, Out(c.File), {c.Encoder, c.Format, kRate, 2}, in);
      Feed(out, in, Tone(AV_SAMPLE_FMT_S16, kRate, 2, kSamples), 1000, ExactClock(kRate));
      Finish(out);
    }
    EXPECT_TRUE(LinesStarting("adding").empty());
    EXPECT_TRUE(LinesStarting("discarding").empty());
    EXPECT_TRUE(LinesStarting("compensating").empty());
    EXPECT_NEAR(Decode(Out(c.File)).Samples, kSamples, 1152);
  }
}

// Same rate and channels, other sample format: the format converter, not the
// resampler; a decoder that changes format midway gets a new converter.
TEST_F(AudioPathTest, SampleFormatOnlyChangesUseTheConverter) {
  constexpr int kRate = 44100, kSamples = 22050;
  TAudioInput in(AV_SAMPLE_FMT_S16, kRate, 2);
  TAudioOutput out;
  Open(out, Out("float.wav"), {"pcm_f32le", AV_SAMPLE_FMT_FLT, kRate, 2}, in);
  const std::vector<uint8_t> first = Tone(AV_SAMPLE_FMT_S16, kRate, 2, kSamples);
  Feed(out, in, first, 1024, ExactClock(kRate));
  EXPECT_EQ(out.Ost.audio_resample, 0);
  EXPECT_EQ(out.Ost.resample, nullptr);
  EXPECT_NE(out.Ost.reformat_ctx, nullptr);
  EXPECT_EQ(out.Ost.reformat_pair, AV_SAMPLE_FMT_FLT + 5 * AV_SAMPLE_FMT_S16);

  in.Ist.dec_ctx->sample_fmt = AV_SAMPLE_FMT_DBL;
  in.Ist.dec_packed_fmt = AV_SAMPLE_FMT_DBL;
  std::vector<uint8_t> second(static_cast<size_t>(kSamples) * 2 * sizeof(double));
  for (int64_t s = 0; s < 2 * kSamples; ++s) {
    const double v = 0.25 * std::sin(s * 0.01);
    std::memcpy(second.data() + s * sizeof(double), &v, sizeof v);
  }
  Feed(out, in, second, 1024, ExactClock(kRate, 500000));
  EXPECT_EQ(out.Ost.reformat_pair, AV_SAMPLE_FMT_FLT + 5 * AV_SAMPLE_FMT_DBL);
  Finish(out);

  const TDecoded d = Decode(Out("float.wav"));
  ASSERT_EQ(d.Samples, 2 * kSamples);
  for (int64_t s = 0; s < kSamples; ++s)
    for (int c = 0; c < 2; ++c) {
      ASSERT_EQ(d.At(s, c), ToneValue(first, AV_SAMPLE_FMT_S16, 2, s, c)) << s;
      ASSERT_EQ(d.At(kSamples + s, c),
                static_cast<float>(SampleValue(second.data(), AV_SAMPLE_FMT_DBL, s * 2 + c)))
          << s;
    }
}

// An encoder of 1152-sample frames gets whole frames from the FIFO whatever
// the buffer sizes; the rest is encoded at the end, padded to a whole frame
// unless the encoder takes a short last one.
TEST_F(AudioPathTest, FrameEncodersGetWholeFramesAndTheRestAtTheEnd) {
  constexpr int kRate = 44100;
  constexpr int64_t kSamples = 10 * 1152 + 500;
  const struct {
    const char *File, *Encoder;
    AVSampleFormat EncFormat, InFormat;
    bool ShortLast;
  } cases[] = {
      {"padded.mp2", "mp2", AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_FLT, false},
      {"short.mp3", "libmp3lame", AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S16, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Encoder);
    A->Faudio_size = 0;
    TAudioInput in(c.InFormat, kRate, 2);
    {
      TAudioOutput out;
      Open(out, Out(c.File), {c.Encoder, c.EncFormat, kRate, 2}, in);
      ASSERT_EQ(out.Ost.enc_ctx->frame_size, 1152);
      ASSERT_EQ((out.Ost.enc_ctx->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0, c.ShortLast);
      Feed(out, in, Tone(c.InFormat, kRate, 2, kSamples), 1000, ExactClock(kRate));
      EXPECT_EQ(out.Ost.sync_opts, 10 * 1152); // whole frames so far; 500 samples wait
      EXPECT_EQ(AV.av_fifo_can_read(out.Ost.fifo), 500u * 2 * AV.av_get_bytes_per_sample(c.EncFormat));
      Finish(out);
      EXPECT_EQ(AV.av_fifo_can_read(out.Ost.fifo), 0u);
    }
    const TDecoded d = Decode(Out(c.File));
    if (c.ShortLast) {
      EXPECT_EQ(d.Samples, kSamples);
    } else {
      EXPECT_EQ(d.Packets, 11);
      EXPECT_EQ(d.Samples, 11 * 1152);
      // A raw MP2 file is nothing but the packets the path counted.
      EXPECT_EQ(static_cast<int64_t>(fs::file_size(Out(c.File))), A->Faudio_size);
    }
    EXPECT_NEAR(Frequency(d, 0, 1200, 9000), 500.0, 1.0);
    EXPECT_NEAR(Frequency(d, 1, 1200, 9000), 1000.0, 1.0);
  }
}

TEST_F(AudioPathTest, FatalConditionsRaiseTheirMessages) {
  const struct {
    const char *Name;
    AVSampleFormat InFormat;
    int InChannels;
    int32_t Bytes; // claimed size of the buffer handed over
    TOutputSpec Output;
    const char *Message;
  } cases[] = {
      {"buffers beyond 2 GiB", AV_SAMPLE_FMT_U8, 1, 2000000000, {"pcm_f32le", AV_SAMPLE_FMT_FLT, 44100, 2},
       "Buffer sizes too large in do_audio_out"},
      {"more channels than the resampler takes", AV_SAMPLE_FMT_S16, 65, 65 * 2 * 64,
       {"pcm_s16le", AV_SAMPLE_FMT_S16, 44100, 2}, "Can not resample 65 channels @ 44100 Hz to 2 channels @ 44100 Hz"},
      {"encoder not open", AV_SAMPLE_FMT_S16, 2, 2 * 2 * 64, {"pcm_s16le", AV_SAMPLE_FMT_S16, 44100, 2, false},
       "Audio encoding failed"},
  };
  std::vector<uint8_t> samples(65 * 2 * 64);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    TAudioInput in(c.InFormat, 44100, c.InChannels);
    TAudioOutput out;
    Open(out, Out("error.wav"), c.Output, in);
    try {
      A->DoAudioOut(out.Ctx, out.Ost, in.Ist, samples.data(), c.Bytes);
      ADD_FAILURE() << "no exception";
    } catch (const FFmpegException &e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
  }
}

} // namespace
