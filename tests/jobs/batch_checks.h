// Checks on what a batch leaves behind, shared by the job manager's tests and
// the long stress run of `make bench`: a written file read back through the
// media libraries, and rounds of pausing, resuming and stopping batches.
#pragma once

#include "jobs/job_manager.h"
#include "platform/main_thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

// Decodes every packet of every stream of a written file: the number of
// frames decoded, or -1 when the file does not open, a stream has no decoder
// or a packet is refused.
inline int DecodedFrames(const std::string &APath) {
  AVFormatContext *ic = nullptr;
  if (AV.avformat_open_input(&ic, APath.c_str(), nullptr, nullptr) < 0)
    return -1;
  int frames = 0;
  std::vector<AVCodecContext *> decoders;
  bool ok = AV.avformat_find_stream_info(ic, nullptr) >= 0;
  for (unsigned i = 0; ok && i < ic->nb_streams; ++i) {
    const AVCodec *codec = AV.avcodec_find_decoder(ic->streams[i]->codecpar->codec_id);
    AVCodecContext *dec = codec ? AV.avcodec_alloc_context3(codec) : nullptr;
    decoders.push_back(dec);
    ok = dec && AV.avcodec_parameters_to_context(dec, ic->streams[i]->codecpar) >= 0 &&
         AV.avcodec_open2(dec, codec, nullptr) >= 0;
  }
  AVPacket *pkt = AV.av_packet_alloc();
  AVFrame *frame = AV.av_frame_alloc();
  const auto drain = [&](AVCodecContext *ADec) {
    while (AV.avcodec_receive_frame(ADec, frame) >= 0) {
      ++frames;
      AV.av_frame_unref(frame);
    }
  };
  while (ok && AV.av_read_frame(ic, pkt) >= 0) {
    AVCodecContext *dec = decoders[static_cast<size_t>(pkt->stream_index)];
    ok = AV.avcodec_send_packet(dec, pkt) >= 0;
    AV.av_packet_unref(pkt);
    drain(dec);
  }
  for (AVCodecContext *dec : decoders)
    if (ok) {
      AV.avcodec_send_packet(dec, nullptr);
      drain(dec);
    }
  for (AVCodecContext *dec : decoders)
    AV.avcodec_free_context(&dec);
  AV.av_frame_free(&frame);
  AV.av_packet_free(&pkt);
  AV.avformat_close_input(&ic);
  return ok ? frames : -1;
}

// Ends the process with a message when not disarmed in time: a deadlock then
// fails the run at once instead of hanging until the runner's time limit.
class TWatchdog {
public:
  TWatchdog(std::chrono::seconds ALimit, std::string AWhat) : FWhat(std::move(AWhat)) {
    FThread = std::thread([this, ALimit] {
      std::unique_lock<std::mutex> g(FLock);
      if (!FCond.wait_for(g, ALimit, [this] { return FDisarmed; })) {
        std::fprintf(stderr, "deadlock? %s did not end in time\n", FWhat.c_str());
        std::abort();
      }
    });
  }
  ~TWatchdog() {
    {
      std::lock_guard<std::mutex> g(FLock);
      FDisarmed = true;
    }
    FCond.notify_all();
    FThread.join();
  }

private:
  std::string FWhat;
  std::mutex FLock; // guards FDisarmed
  std::condition_variable FCond;
  bool FDisarmed = false;
  std::thread FThread;
};

struct TStressResult {
  std::vector<std::string> Problems; // empty when every round held
  std::vector<double> StopWaitMs;    // how long each Stop(true) took
  int StoppedOutputs = 0;            // outputs of stopped rounds that were read back
};

// ARounds rounds of one batch each: four tasks converting AInput to MP4
// (whose index is written only when the file is finished), two at a time,
// paused and resumed at random moments and then stopped with waiting,
// sometimes right after a stop without waiting (every third round is left to
// end on its own). After each round: every task and
// the final notification came exactly once, all of them before Stop(true)
// returned, and every output file left behind decodes. The calling thread is
// the main thread.
inline TStressResult RunPauseStopStress(const std::string &AInput, const std::filesystem::path &ADir, int ARounds,
                                        uint32_t ASeed) {
  TStressResult result;
  std::mt19937 random(ASeed);
  const auto problem = [&](int ARound, const std::string &AText) {
    result.Problems.push_back("round " + std::to_string(ARound) + " (seed " + std::to_string(ASeed) + "): " + AText);
  };
  TJobManager jm;
  if (!jm.LoadAVLib(DefaultLibraryPath())) {
    problem(0, jm.LastErrMsg());
    return result;
  }
  std::mutex lock;
  std::map<int32_t, int> ended; // notifications per task index
  jm.SetOnTerminate([&](TObject *, const TTerminateInfo &AInfo) {
    std::lock_guard<std::mutex> g(lock);
    ++ended[AInfo.TaskIndex];
  });
  const auto endedCopy = [&] {
    std::lock_guard<std::mutex> g(lock);
    return ended;
  };
  const auto serve = [](int AMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMs);
    do {
      PumpMainThread();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < until);
  };

  for (int round = 0; round < ARounds; ++round) {
    TWatchdog watchdog(std::chrono::seconds(120), "stress round " + std::to_string(round));
    {
      std::lock_guard<std::mutex> g(lock);
      ended.clear();
    }
    std::vector<std::filesystem::path> outputs;
    for (int i = 0; i < 4; ++i) {
      outputs.push_back(ADir / ("stress" + std::to_string(round) + "_" + std::to_string(i) + ".mp4"));
      std::filesystem::remove(outputs.back());
      const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
      TOutputOptions o;
      o.VideoCodec = "mpeg4";
      o.AudioCodec = "aac";
      if (t < 0 || !jm.SetOutputFile(t, outputs.back().string(), &o))
        problem(round, "building task " + std::to_string(i) + ": " + jm.LastErrMsg());
    }
    jm.Start(2);
    const bool stop = round % 3 != 2;
    for (int k = std::uniform_int_distribution<int>(0, 4)(random); k > 0; --k) {
      serve(std::uniform_int_distribution<int>(0, 40)(random));
      jm.Pause();
      serve(std::uniform_int_distribution<int>(0, 30)(random));
      jm.Resume();
    }
    serve(std::uniform_int_distribution<int>(0, 60)(random));
    if (stop) {
      if (std::uniform_int_distribution<int>(0, 1)(random))
        jm.Pause(); // stopping paused workers too
      const auto before = std::chrono::steady_clock::now();
      if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
        jm.Stop(false); // a stop that does not wait, then one that does
      jm.Stop(true);
      result.StopWaitMs.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
    } else {
      while (endedCopy().size() < 5)
        serve(5);
    }
    const std::map<int32_t, int> want{{-1, 1}, {0, 1}, {1, 1}, {2, 1}, {3, 1}};
    if (endedCopy() != want) {
      std::string got;
      for (const auto &[index, times] : endedCopy())
        got += " " + std::to_string(index) + "x" + std::to_string(times);
      problem(round, std::string(stop ? "after Stop(true)" : "at the end") + " the notifications were" + got);
    }
    if (!jm.Terminated())
      problem(round, "the batch did not end");
    jm.ClearTasks(); // closes never-started tasks, removing their empty files
    for (const auto &out : outputs)
      if (!std::filesystem::exists(out)) {
        if (!stop)
          problem(round, out.filename().string() + " is missing");
      } else {
        if (DecodedFrames(out.string()) <= 0)
          problem(round, out.filename().string() + " does not decode");
        else if (stop)
          ++result.StoppedOutputs;
        std::filesystem::remove(out);
      }
  }
  jm.SetOnTerminate(nullptr);
  return result;
}
