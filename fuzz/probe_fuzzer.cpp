// The media probe on any bytes: once on a context opened from memory and
// attached (every record and the information text), once through LoadFile
// on the bytes as a file (seeking and decoding single pictures too).
#include "fuzz/fuzz_support.h"
#include "platform/exceptions.h"
#include "playback/av_probe.h"

#include <memory>

namespace {

void ReportEverything(TCustomAVProbe &AProbe) {
  AProbe.FileName();
  AProbe.FormatName();
  AProbe.FormatLongName();
  AProbe.FileStreamInfo();
  AProbe.FileInfoText();
  AProbe.FirstAudioStreamInfo();
  AProbe.FirstVideoStreamInfo();
  AProbe.FirstSubtitleStreamInfo();
  // One past the last index too: the refusal is part of the contract.
  for (int32_t i = 0; i <= AProbe.StreamCount(); ++i) {
    AProbe.AudioStreamInfo(i);
    AProbe.VideoStreamInfo(i);
    AProbe.SubtitleStreamInfo(i);
    AProbe.IsAudioStream(i);
    AProbe.IsVideoStream(i);
    AProbe.IsSubtitleStream(i);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  static std::unique_ptr<TAVProbe> probe = [] {
    LoadMediaLibraries();
    return std::make_unique<TAVProbe>();
  }();

  {
    TMemoryInput input(AData, ASize);
    if (input.Context()) {
      probe->SetFileHandle(input.Context());
      ReportEverything(*probe);
      try {
        probe->Decode();
      } catch (const Exception &) {
        // Documented: an attached context is never decoded.
      }
      probe->CloseFile();
    }
  }

  const std::string path = WriteScratchFile("probe.bin", AData, ASize);
  if (probe->LoadFile(path)) {
    ReportEverything(*probe);
    TBitmap bitmap;
    for (int i = 0; i < 3 && probe->Decode(); ++i)
      probe->CopyToBitmap(bitmap);
    probe->DecodeNextKeyFrame();
    probe->DecodePreviousFrame();
    probe->DecodePreviousKeyFrame();
    probe->Position();
    probe->Seek(0);
    probe->Decode();
    probe->Seek(probe->FileSize() / 2, SeekFlag(sfByte));
    probe->Decode();
    probe->CopyToBitmap(bitmap);
    probe->CloseFile();
  }
  return 0;
}
