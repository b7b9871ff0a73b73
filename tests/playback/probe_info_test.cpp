// The probe's file information: values read from generated files, the
// records of each stream, the information text and the reported messages.
#include "media/wide_file.h"
#include "platform/exceptions.h"
#include "tests/playback/probe_test_support.h"
#include "tests/support/fixtures.h"

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>

namespace fs = std::filesystem;

namespace {

std::string MovieTS() {
  return Fixture({.Name = "probe_ntsc.ts",
                  .Video = "testsrc=size=64x48:rate=30000/1001:duration=1",
                  .Audio = "sine=frequency=440:sample_rate=44100:duration=1",
                  .VideoCodec = "",
                  .AudioCodec = ""});
}

std::string WriteText(const fs::path &APath, const std::string &AContent) {
  std::ofstream(APath, std::ios::binary) << AContent;
  return APath.string();
}

TEST_F(ProbeTest, MissingLibraryIsNamedBeforeAnythingOpens) {
  const std::string movie = TestMovie(2.0);
  const struct {
    std::vector<TLibrary> Unloaded;
    const char *Msg;
  } cases[] = {
      {{avCodec}, "LibAVCodec not loaded."},
      {{avFormat}, "LibAVFormat not loaded."},
      {{avUtil}, "LibAVUtil not loaded."},
      {{swScale}, "LibSwScale not loaded."},
      {{swScale, avFormat}, "LibAVFormat not loaded."}, // the first missing one in the order above
  };
  for (const auto &c : cases) {
    TAVProbe probe;
    for (TLibrary lib : c.Unloaded)
      FFLoader().Unload(lib);
    try {
      probe.LoadFile(movie);
      ADD_FAILURE() << "LoadFile did not raise " << c.Msg;
    } catch (const Exception &e) {
      EXPECT_EQ(e.Message(), c.Msg);
    }
    try {
      probe.SetFileHandle(nullptr);
      ADD_FAILURE() << "attaching did not raise " << c.Msg;
    } catch (const Exception &e) {
      EXPECT_EQ(e.Message(), c.Msg);
    }
    ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  }
  TAVProbe probe;
  EXPECT_TRUE(probe.AVLibLoaded());
  EXPECT_TRUE(probe.LoadFile(movie)) << probe.LastErrMsg();
}

TEST_F(ProbeTest, MovieInformationMatchesTheFile) {
  const std::string movie = TestMovie(2.0);
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(movie)) << probe.LastErrMsg();
  EXPECT_EQ(probe.FileName(), movie);
  EXPECT_EQ(probe.FormatName(), "avi");
  EXPECT_EQ(probe.FormatLongName(), "AVI (Audio Video Interleaved)");
  EXPECT_EQ(probe.FileSize(), static_cast<int64_t>(fs::file_size(movie)));
  EXPECT_EQ(probe.StreamCount(), 2);
  EXPECT_EQ(probe.ProgramCount(), 0);
  EXPECT_EQ(probe.VideoStreamCount(), 1);
  EXPECT_EQ(probe.AudioStreamCount(), 1);
  EXPECT_EQ(probe.SubtitleStreamCount(), 0);
  EXPECT_EQ(probe.FirstVideoStreamIndex(), 0);
  EXPECT_EQ(probe.FirstAudioStreamIndex(), 1);
  EXPECT_EQ(probe.FirstSubtitleStreamIndex(), -1);
  EXPECT_TRUE(probe.IsVideoStream(0));
  EXPECT_TRUE(probe.IsAudioStream(1));
  EXPECT_FALSE(probe.IsSubtitleStream(1));

  const TFileStreamInfo file = probe.FileStreamInfo();
  EXPECT_EQ(file.StartTime, 0);
  EXPECT_NEAR(file.Duration, 2000000, 50000); // the audio runs a frame longer than the video
  // The container's rate is its size over its duration.
  EXPECT_NEAR(file.BitRate, probe.FileSize() * 8e6 / file.Duration, 0.01 * file.BitRate);
  EXPECT_EQ(file.Title, "");

  const TVideoStreamInfo video = probe.FirstVideoStreamInfo();
  EXPECT_EQ(video.CodecName, "mpeg4(MPEG-4 part 2)");
  EXPECT_EQ(video.Width, 320);
  EXPECT_EQ(video.Height, 240);
  EXPECT_EQ(video.FrameRate.num, 25);
  EXPECT_EQ(video.FrameRate.den, 1);
  EXPECT_FLOAT_EQ(video.AspectRatio, 4.0f / 3.0f);
  EXPECT_EQ(video.PixFmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(video.StartTime, 0);
  EXPECT_EQ(video.Duration, 50); // frames, in the stream's 1/25 time base
  EXPECT_EQ(video.DurationScaled, 2000000);
  EXPECT_GT(video.BitRate, 0);

  const TAudioStreamInfo audio = probe.FirstAudioStreamInfo();
  EXPECT_EQ(audio.CodecName, "mp2(MP2 (MPEG audio layer 2))");
  EXPECT_EQ(audio.Channels, 2);
  EXPECT_EQ(audio.SampleRate, 44100);
  EXPECT_EQ(audio.BitRate, 128000);
  EXPECT_EQ(audio.SampleFormat, AV_SAMPLE_FMT_S16P);
  EXPECT_NEAR(audio.DurationScaled, 2000000, 50000);
  EXPECT_EQ(audio.Language, "");

  probe.CloseFile();
  EXPECT_EQ(probe.FileHandle(), nullptr);
  EXPECT_EQ(probe.FileSize(), -1);
  EXPECT_EQ(probe.StreamCount(), -1);
  EXPECT_EQ(probe.VideoStreamCount(), -1);
  EXPECT_EQ(probe.FirstVideoStreamIndex(), -1);
  const TFileStreamInfo closed = probe.FileStreamInfo();
  EXPECT_EQ(closed.Duration, -1);
  EXPECT_EQ(closed.BitRate, -1);
  EXPECT_EQ(probe.LastErrMsg(), "file not loaded.");
}

// Each message as the user sees it: kept in LastErrMsg and logged at its
// level with the probe as sender, or kept only.
TEST_F(ProbeTest, MessagesCarryTheirLevel) {
  FFLogger().SetLogLevel(llDebug);
  const std::string movie = TestMovie(2.0);
  const std::string tone = ToneWav(1.0);
  const std::string missing = (Dir / "missing.avi").string();
  const std::string text = WriteText(Dir / "notes.avi", "These are notes, not a movie.\n");
  using TAction = std::function<bool(TAVProbe &)>;
  const struct {
    const char *Name;
    std::string File; // loaded first unless empty
    TAction Action;
    std::string Msg;
    std::optional<TLogLevel> Level; // none: not logged
  } cases[] = {
      {"name without file", "", [](TAVProbe &p) { return !p.FileName().empty(); }, "file not loaded.", llWarning},
      {"text without file", "", [](TAVProbe &p) { return !p.FileInfoText().empty(); }, "file not loaded.",
       llWarning},
      {"decode without file", "", [](TAVProbe &p) { return p.Decode(); }, "file not loaded.", llWarning},
      {"position without file", "", [](TAVProbe &p) { return p.Position() >= 0; }, "file not loaded.",
       llWarning},
      {"missing file", "", [&](TAVProbe &p) { return p.LoadFile(missing); }, missing + ": No such file or directory",
       llError},
      {"not media", "", [&](TAVProbe &p) { return p.LoadFile(text); },
       text + ": Invalid data found when processing input", llError},
      {"unknown format", "", [&](TAVProbe &p) { return p.LoadFile(movie, "no_such_format"); },
       "Unknown input format: no_such_format", std::nullopt},
      {"no video", tone, [](TAVProbe &p) { return p.Decode(); }, "no video stream.", llError},
      {"no video record", tone, [](TAVProbe &p) { return p.FirstVideoStreamInfo().Width >= 0; }, "no video stream.",
       llError},
      {"no subtitle", movie, [](TAVProbe &p) { return !p.FirstSubtitleStreamInfo().CodecName.empty(); },
       "no subtitle stream.", llError},
      {"audio record of video", movie, [](TAVProbe &p) { return p.AudioStreamInfo(0).Channels >= 0; },
       "stream #0 is not audio stream.", llError},
      {"subtitle record of audio", movie, [](TAVProbe &p) { return !p.SubtitleStreamInfo(1).CodecName.empty(); },
       "stream #1 is not subtitle stream.", llError},
      {"record beyond streams", movie, [](TAVProbe &p) { return p.VideoStreamInfo(2).Width >= 0; },
       "stream index #2 is invalid.", llError},
      {"kind test beyond streams", movie, [](TAVProbe &p) { return p.IsVideoStream(7); },
       "stream index #7 is invalid.", llError},
      {"decode audio stream", movie, [](TAVProbe &p) { return p.Decode(1); }, "stream #1 is not video stream.",
       llError},
      {"decode beyond streams", movie, [](TAVProbe &p) { return p.Decode(5); }, "stream index #5 is invalid.",
       llError},
      {"bitmap before decode", movie,
       [](TAVProbe &p) {
         TBitmap b;
         return p.CopyToBitmap(b);
       },
       "picture not ready, please decode first", llError},
      {"seek past the end", movie, [](TAVProbe &p) { return p.Seek(5000000); },
       "could not seek to position 5.000 seconds", llError},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    TAVProbe probe;
    if (!c.File.empty()) {
      ASSERT_TRUE(probe.LoadFile(c.File)) << probe.LastErrMsg();
    }
    Lines.clear();
    EXPECT_FALSE(c.Action(probe));
    EXPECT_EQ(probe.LastErrMsg(), c.Msg);
    bool logged = false;
    for (const auto &l : Lines)
      if (l.Msg == probe.LastErrMsg()) {
        logged = true;
        EXPECT_EQ(l.Sender, &probe);
        if (c.Level) {
          EXPECT_EQ(l.Level, *c.Level);
        }
      }
    EXPECT_EQ(logged, c.Level.has_value());
  }
}

TEST_F(ProbeTest, FailedLoadLeavesTheProbeClosed) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(TestMovie(2.0), "avi")) << probe.LastErrMsg();
  EXPECT_EQ(probe.ForceFormat(), "avi");
  EXPECT_FALSE(probe.LoadFile((Dir / "gone.avi").string()));
  EXPECT_EQ(probe.FileHandle(), nullptr);
  EXPECT_EQ(probe.ForceFormat(), "");
  EXPECT_EQ(probe.StreamCount(), -1);
  EXPECT_EQ(probe.FileSize(), -1);
  EXPECT_EQ(probe.FileInfoText(), "");
}

TEST(ProbeInfoTexts, SizesAndDurations) {
  const struct {
    int64_t Size;
    const char *Text;
  } sizes[] = {{0, "0 Byte"},          {1024, "1024 Byte"},         {1025, "1.00 KB"},
               {1048576, "1024.00 KB"}, {1048577, "1.00 MB"},         {1073741824, "1024.00 MB"},
               {1073741825, "1.00 GB"}, {5368709120, "5.00 GB"}};
  for (const auto &s : sizes)
    EXPECT_EQ(ProbeSizeText(s.Size), s.Text) << s.Size;
  const struct {
    int64_t Us;
    const char *Text;
  } durations[] = {{0, "00:00:00.000"},
                   {3725500000, "01:02:05.500"},
                   {59999999, "00:00:59.999"},
                   {360000000000, "100:00:00.000"}};
  for (const auto &d : durations)
    EXPECT_EQ(ProbeDurationText(d.Us), d.Text) << d.Us;
}

// Programs with their streams, stream ids, start times and the rate rules.
TEST_F(ProbeTest, TransportStreamInformationText) {
  const std::string ts = MovieTS();
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(ts)) << probe.LastErrMsg();
  const std::string expected = "File Name: " + ts +
                               "\r\n"
                               "Format Name: mpegts\r\n"
                               "Format Long Name: MPEG-TS (MPEG-2 Transport Stream)\r\n"
                               "File Size: 40.57 KB\r\n"
                               "Duration: 00:00:01.018\r\n"
                               "StartTime: 0.022456\r\n"
                               "Bit Rate: 326 kb/s\r\n"
                               "Program 1 FFmpeg@Service01\r\n"
                               "  Metadata:\r\n"
                               "    service_name    : Service01\r\n"
                               "    service_provider: FFmpeg\r\n"
                               "Stream #0[0x100], 1/90000: Video: mpeg2video (Main) ([2][0][0][0] / 0x0002), "
                               "yuv420p(tv, progressive), 64x48 [SAR 1:1 DAR 4:3], 29.97 fps, 29.97 tbr, 90k tbn, "
                               "StartTime: 0.033367, Duration: 00:00:01.001\r\n"
                               "Stream #1[0x101], 1/90000: Audio: mp2 ([3][0][0][0] / 0x0003), 44100 Hz, stereo, fltp, "
                               "128 kb/s, StartTime: 0.022456, Duration: 00:00:01.018\r\n";
  EXPECT_EQ(probe.FileInfoText(), expected);
}

// Restores TZ when the test ends.
struct TZone {
  explicit TZone(const char *AZone) {
    if (const char *old = std::getenv("TZ"))
      Old = old;
    setenv("TZ", AZone, 1);
    tzset();
  }
  ~TZone() {
    if (Old)
      setenv("TZ", Old->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  std::optional<std::string> Old;
};

// ID3v2 frame names left raw show under generic names (exact case only), the
// container's language entry is left out, and the creation stamp is shown in
// the zone's standard time even in its summer.
TEST_F(ProbeTest, MetadataTextShowsGenericNamesAndStandardTime) {
  const std::string content = ";FFMETADATA1\n"
                              "TIT2=Song\n"
                              "TPE1=Singer\n"
                              "TAL=Record\n"
                              "tcon=Pop\n"
                              "language=eng\n"
                              "TYER=2010\n"
                              "creation_time=2010-05-04T03:02:01.000000Z\n"
                              "custom=kept\n"
                              "[STREAM]\n"
                              "language=deu\n"
                              "[STREAM]\n"
                              "language=fra\n"
                              "title=Commentary\n";
  const std::string file = WriteText(Dir / "tags.ffmeta", content);
  TZone zone("EST5EDT");
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(file)) << probe.LastErrMsg();
  EXPECT_EQ(probe.FileStreamInfo().TimeStamp, 1272942121);
  const std::string expected = "File Name: " + file +
                               "\r\n"
                               "Format Name: ffmetadata\r\n"
                               "Format Long Name: FFmpeg metadata in text\r\n"
                               "File Size: " +
                               std::to_string(content.size()) +
                               " Byte\r\n"
                               "Duration: N/A\r\n"
                               "StartTime: 0.000000\r\n"
                               "Bit Rate: N/A\r\n"
                               "Time Stamp: 2010-05-03 22:02:01\r\n"
                               "Metadata:\r\n"
                               "  title           : Song\r\n"
                               "  artist          : Singer\r\n"
                               "  album           : Record\r\n"
                               "  tcon            : Pop\r\n"
                               "  year            : 2010\r\n"
                               "  creation_time   : 2010-05-04T03:02:01.000000Z\r\n"
                               "  custom          : kept\r\n"
                               "Stream #0(deu), 1/90000: Data: unknown_codec, Duration: N/A\r\n"
                               "Stream #1(fra), 1/90000: Data: unknown_codec, Duration: N/A\r\n"
                               "  Metadata:\r\n"
                               "    title           : Commentary\r\n";
  EXPECT_EQ(probe.FileInfoText(), expected);
}

// Tags written by the MP3 muxer come back through the current ID3v2 reader,
// which names the performer "artist" where the old libraries said "author".
TEST_F(ProbeTest, Id3v2TagsOfAnMp3) {
  const std::string mp3 = Fixture({.Name = "probe_tags.mp3",
                                   .Video = "",
                                   .Audio = "sine=frequency=440:sample_rate=44100:duration=1",
                                   .VideoCodec = "",
                                   .AudioCodec = "",
                                   .AudioChannels = 2,
                                   .Metadata = {{"title", "Song"},
                                                {"artist", "Singer"},
                                                {"album", "Record"},
                                                {"genre", "Pop"},
                                                {"track", "3/12"},
                                                {"date", "2010"},
                                                {"comment", "Nice"},
                                                {"copyright", "Zelvora 2010"}}});
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(mp3)) << probe.LastErrMsg();
  const TFileStreamInfo info = probe.FileStreamInfo();
  EXPECT_EQ(info.Title, "Song");
  EXPECT_EQ(info.Author, "Singer");
  EXPECT_EQ(info.Album, "Record");
  EXPECT_EQ(info.Genre, "Pop");
  EXPECT_EQ(info.Comment, "Nice");
  EXPECT_EQ(info.Copyright, "Zelvora 2010");
  EXPECT_EQ(info.Track, 3);
  EXPECT_EQ(info.Year, 2010);
  EXPECT_EQ(info.TimeStamp, 0);
  const std::string text = probe.FileInfoText();
  EXPECT_NE(text.find("\r\nMetadata:\r\n  title           : Song\r\n  artist          : Singer\r\n"), std::string::npos)
      << text;
  EXPECT_EQ(probe.FirstAudioStreamInfo().CodecName, "mp3float(MP3 (MPEG audio layer 3))");
}

TEST_F(ProbeTest, LanguageAloneIsNoMetadata) {
  const std::string content = ";FFMETADATA1\nlanguage=eng\n";
  const std::string file = WriteText(Dir / "lang.ffmeta", content);
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(file)) << probe.LastErrMsg();
  EXPECT_EQ(probe.FileInfoText(), "File Name: " + file +
                                      "\r\nFormat Name: ffmetadata\r\nFormat Long Name: FFmpeg metadata in text\r\n"
                                      "File Size: " +
                                      std::to_string(content.size()) + " Byte\r\nDuration: N/A\r\nStartTime: 0.000000\r\nBit Rate: N/A\r\n");
}

// The job manager's probes read an engine's input without owning it.
TEST_F(ProbeTest, AttachedContextIsReadButNeitherMovedNorClosed) {
  const std::string movie = TestMovie(2.0);
  AVFormatContext *ic = nullptr;
  ASSERT_EQ(OpenInputFormat(&ic, WideFileNameToURL(movie), nullptr, nullptr), 0);
  ASSERT_GE(AV.avformat_find_stream_info(ic, nullptr), 0);
  {
    TAVProbe probe;
    probe.SetFileHandle(ic);
    EXPECT_EQ(probe.FileHandle(), ic);
    EXPECT_EQ(probe.FileName(), movie);
    EXPECT_EQ(probe.StreamCount(), 2);
    EXPECT_EQ(probe.FirstAudioStreamIndex(), 1);
    EXPECT_EQ(probe.FileSize(), static_cast<int64_t>(fs::file_size(movie)));
    EXPECT_EQ(probe.FirstVideoStreamInfo().Width, 320);
    EXPECT_EQ(probe.FileInfoText().rfind("File Name: " + movie + "\r\nFormat Name: avi\r\n", 0), 0u);
    for (const auto &op : std::vector<std::function<void()>>{[&] { probe.Decode(); }, [&] { probe.Seek(0); },
                                                              [&] { probe.DecodePreviousKeyFrame(); }}) {
      try {
        op();
        ADD_FAILURE() << "an attached context was moved";
      } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "file cannot be seeked, handle is readonly.");
      }
    }
    probe.CloseFile();
    EXPECT_EQ(probe.FileHandle(), nullptr);
    probe.SetFileHandle(ic); // the destructor must leave it open as well
  }
  AVPacket *pkt = AV.av_packet_alloc();
  EXPECT_EQ(AV.av_read_frame(ic, pkt), 0); // still open, still at its start
  EXPECT_EQ(pkt->dts, 0);
  AV.av_packet_free(&pkt);
  CloseInputFormat(&ic);
}

// A name the C locale cannot express goes through our own byte stream, for
// reading the information and for decoding.
TEST_F(ProbeTest, ChineseFileNameUnderTheCLocale) {
  const fs::path file = Dir / "视频 测试.avi";
  fs::copy_file(TestMovie(2.0), file);
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  ASSERT_EQ(WideFileNameToURL(file.string()).rfind(kUnicodeURLPrefix, 0), 0u);
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(file.string())) << probe.LastErrMsg();
  EXPECT_EQ(probe.FileName(), file.string());
  EXPECT_EQ(probe.FileSize(), static_cast<int64_t>(fs::file_size(file)));
  EXPECT_EQ(probe.FileInfoText().rfind("File Name: " + file.string() + "\r\n", 0), 0u);
  EXPECT_EQ(probe.VideoStreamCount(), 1);
  ASSERT_TRUE(probe.Seek(1000000, SeekFlag(sfBackward))) << probe.LastErrMsg();
  ASSERT_TRUE(probe.Decode()) << probe.LastErrMsg();
  EXPECT_EQ(probe.FrameInfo().PTS, 960000);
  const std::string missing = (Dir / "不在.avi").string();
  EXPECT_FALSE(probe.LoadFile(missing));
  EXPECT_EQ(probe.LastErrMsg(), missing + ": No such file or directory");
}

} // namespace
