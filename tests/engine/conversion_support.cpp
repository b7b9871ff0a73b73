#include "tests/engine/conversion_support.h"

#include <cctype>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

const TStreamSummary *TMediaSummary::Find(AVMediaType AType) const {
  for (const auto &s : Streams)
    if (s.Type == AType)
      return &s;
  return nullptr;
}

double TMediaSummary::AudioSeconds() const {
  const TStreamSummary *a = Find(AVMEDIA_TYPE_AUDIO);
  return a && a->SampleRate ? static_cast<double>(a->Samples) / a->SampleRate : 0;
}

std::vector<TBitmap> DecodePictures(const std::string &APath, int AMax) {
  std::vector<TBitmap> pictures;
  AVFormatContext *ic = nullptr;
  if (AV.avformat_open_input(&ic, APath.c_str(), nullptr, nullptr) < 0)
    return pictures;
  AV.avformat_find_stream_info(ic, nullptr);
  const int index = AV.av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  AVCodecContext *dec = nullptr;
  if (index >= 0) {
    const AVCodecParameters *par = ic->streams[index]->codecpar;
    const AVCodec *codec = AV.avcodec_find_decoder(par->codec_id);
    dec = codec ? AV.avcodec_alloc_context3(codec) : nullptr;
    if (dec) {
      AV.avcodec_parameters_to_context(dec, par);
      dec->pkt_timebase = ic->streams[index]->time_base;
      if (AV.avcodec_open2(dec, codec, nullptr) < 0)
        AV.avcodec_free_context(&dec);
    }
  }
  AVPacket *pkt = AV.av_packet_alloc();
  AVFrame *frame = AV.av_frame_alloc();
  TRGBConvertContext rgb;
  const auto receive = [&] {
    while (static_cast<int>(pictures.size()) < AMax && AV.avcodec_receive_frame(dec, frame) == 0) {
      TPictureRef ref;
      for (int i = 0; i < 4; ++i) {
        ref.Data[i] = frame->data[i];
        ref.Linesize[i] = frame->linesize[i];
      }
      if (PictureToBitmap(rgb, ref, static_cast<AVPixelFormat>(frame->format), frame->width, frame->height))
        pictures.push_back(*rgb.Bitmap);
      AV.av_frame_unref(frame);
    }
  };
  while (dec && static_cast<int>(pictures.size()) < AMax && AV.av_read_frame(ic, pkt) >= 0) {
    if (pkt->stream_index == index && AV.avcodec_send_packet(dec, pkt) >= 0)
      receive();
    AV.av_packet_unref(pkt);
  }
  if (dec) {
    AV.avcodec_send_packet(dec, nullptr);
    receive();
    AV.avcodec_free_context(&dec);
  }
  AV.av_frame_free(&frame);
  AV.av_packet_free(&pkt);
  AV.avformat_close_input(&ic);
  return pictures;
}

TBGR PixelAt(const TBitmap &ABitmap, int AX, int AY) {
  const uint8_t *p = ABitmap.ScanLine(AY) + 3 * AX;
  return {p[0], p[1], p[2]};
}

TMediaSummary Inspect(const std::string &APath) {
  TMediaSummary r;
  AVFormatContext *ic = nullptr;
  int ret = AV.avformat_open_input(&ic, APath.c_str(), nullptr, nullptr);
  if (ret < 0) {
    r.Error = AVErrorText(ret);
    return r;
  }
  AV.avformat_find_stream_info(ic, nullptr);
  for (const AVDictionaryEntry *e = nullptr; (e = AV.av_dict_get(ic->metadata, "", e, AV_DICT_IGNORE_SUFFIX));) {
    std::string key = e->key; // containers differ in case ("ARTIST" in Matroska)
    for (char &c : key)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    r.Tags[key] = e->value;
  }
  for (unsigned c = 0; c < ic->nb_chapters; ++c) {
    const AVChapter *ch = ic->chapters[c];
    const AVDictionaryEntry *title = AV.av_dict_get(ch->metadata, "title", nullptr, 0);
    r.Chapters.push_back({static_cast<double>(ch->start) * av_q2d(ch->time_base),
                          static_cast<double>(ch->end) * av_q2d(ch->time_base), title ? title->value : ""});
  }
  std::vector<AVCodecContext *> decoders(ic->nb_streams, nullptr);
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    const AVCodecParameters *par = ic->streams[i]->codecpar;
    TStreamSummary s;
    s.Type = par->codec_type;
    s.Codec = AV.avcodec_get_name(par->codec_id);
    s.SampleRate = par->sample_rate;
    s.Channels = par->ch_layout.nb_channels;
    s.Width = par->width;
    s.Height = par->height;
    s.BitRate = par->bit_rate;
    r.Streams.push_back(s);
    const AVCodec *codec = AV.avcodec_find_decoder(par->codec_id);
    if (codec && (s.Type == AVMEDIA_TYPE_AUDIO || s.Type == AVMEDIA_TYPE_VIDEO)) {
      decoders[i] = AV.avcodec_alloc_context3(codec);
      AV.avcodec_parameters_to_context(decoders[i], par);
      decoders[i]->pkt_timebase = ic->streams[i]->time_base;
      if (AV.avcodec_open2(decoders[i], codec, nullptr) < 0)
        AV.avcodec_free_context(&decoders[i]);
    }
  }
  AVPacket *pkt = AV.av_packet_alloc();
  AVFrame *frame = AV.av_frame_alloc();
  const auto receive = [&](unsigned AIndex) {
    while (AV.avcodec_receive_frame(decoders[AIndex], frame) == 0) {
      TStreamSummary &s = r.Streams[AIndex];
      if (s.Type == AVMEDIA_TYPE_AUDIO)
        s.Samples += frame->nb_samples;
      else
        ++s.DecodedFrames;
      AV.av_frame_unref(frame);
    }
  };
  while (AV.av_read_frame(ic, pkt) >= 0) {
    const unsigned i = static_cast<unsigned>(pkt->stream_index);
    TStreamSummary &s = r.Streams[i];
    if (s.Packets++ == 0)
      s.FirstKey = pkt->flags & AV_PKT_FLAG_KEY;
    if (pkt->pts != AV_NOPTS_VALUE)
      s.Pts.push_back(static_cast<double>(pkt->pts) * av_q2d(ic->streams[i]->time_base));
    if (decoders[i] && AV.avcodec_send_packet(decoders[i], pkt) >= 0)
      receive(i);
    AV.av_packet_unref(pkt);
  }
  for (unsigned i = 0; i < ic->nb_streams; ++i)
    if (decoders[i]) {
      AV.avcodec_send_packet(decoders[i], nullptr);
      receive(i);
      AV.avcodec_free_context(&decoders[i]);
    }
  AV.av_frame_free(&frame);
  AV.av_packet_free(&pkt);
  AV.avformat_close_input(&ic);
  return r;
}

void ConversionTest::SetUp() {
  EngineTest::SetUp();
  const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char &c : name)
    if (c == '/')
      c = '_';
  Dir = (fs::temp_directory_path() / ("zv_loop_" + std::to_string(::getpid()) + "_" + name)).string();
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  Engine->SetOnProgress([this](TObject *, int32_t AFileIndex, int32_t AFrameNumber, int32_t AFPS, float AQuality,
                               float ABitRate, int64_t ACurrentSize, int64_t ACurrentDuration,
                               int64_t ATotalDuration) {
    Progress.push_back({AFileIndex, AFrameNumber, AFPS, AQuality, ABitRate, ACurrentSize, ACurrentDuration,
                        ATotalDuration});
  });
}

void ConversionTest::TearDown() {
  EngineTest::TearDown();
  std::error_code ec;
  fs::remove_all(Dir, ec);
}

std::string ConversionTest::Out(const std::string &AName) const { return (fs::path(Dir) / AName).string(); }

void ConversionTest::Setup(const TSteps &ASteps) {
  for (const auto &[name, value] : ASteps) {
    if (name == "<in>")
      ASSERT_TRUE(Engine->OpenInputFile(value)) << Engine->LastErrMsg();
    else if (name == "<out>" || name == "<join>")
      ASSERT_GT(Engine->OpenOutputFile(value, name == "<join>"), 0) << Engine->LastErrMsg();
    else
      Engine->SetOption(name, value);
  }
}

void ConversionTest::Run() {
  Engine->Transcode();
  EXPECT_TRUE(Engine->FEncoderList.empty());
  EXPECT_TRUE(Engine->FDecoderList.empty());
  Engine->FreeSession();
}

void ConversionTest::RunFails(const std::string &AMessage) {
  try {
    Engine->Transcode();
    ADD_FAILURE() << "the run did not fail; expected: " << AMessage;
  } catch (const FFmpegException &e) {
    EXPECT_EQ(e.Message(), AMessage);
  }
  // A failed run leaves no codec open.
  EXPECT_TRUE(Engine->FEncoderList.empty());
  EXPECT_TRUE(Engine->FDecoderList.empty());
  Engine->FreeSession();
}
