// Moving audio samples between planar (one plane per channel) and
// interleaved layouts. Typed loops: a library call per sample costs more than
// the whole conversion of a frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sample_layout {

template <typename T>
inline void InterleaveAs(const uint8_t *const *APlanes, uint8_t *ADst, int AChannels, int ASamples) {
  T *out = reinterpret_cast<T *>(ADst);
  for (int c = 0; c < AChannels; ++c) {
    const T *in = reinterpret_cast<const T *>(APlanes[c]);
    for (int s = 0; s < ASamples; ++s)
      out[static_cast<size_t>(s) * static_cast<size_t>(AChannels) + static_cast<size_t>(c)] = in[s];
  }
}

template <typename T>
inline void DeinterleaveAs(const uint8_t *ASrc, uint8_t *const *APlanes, int AChannels, int ASamples) {
  const T *in = reinterpret_cast<const T *>(ASrc);
  for (int c = 0; c < AChannels; ++c) {
    T *out = reinterpret_cast<T *>(APlanes[c]);
    for (int s = 0; s < ASamples; ++s)
      out[s] = in[static_cast<size_t>(s) * static_cast<size_t>(AChannels) + static_cast<size_t>(c)];
  }
}

} // namespace sample_layout

// Interleaves ASamples samples of AChannels planes of ABytesPerSample bytes into ADst.
inline void InterleaveSamples(const uint8_t *const *APlanes, uint8_t *ADst, int AChannels, int ASamples,
                              int ABytesPerSample) {
  using namespace sample_layout;
  switch (ABytesPerSample) {
  case 1: InterleaveAs<uint8_t>(APlanes, ADst, AChannels, ASamples); return;
  case 2: InterleaveAs<uint16_t>(APlanes, ADst, AChannels, ASamples); return;
  case 4: InterleaveAs<uint32_t>(APlanes, ADst, AChannels, ASamples); return;
  case 8: InterleaveAs<uint64_t>(APlanes, ADst, AChannels, ASamples); return;
  default:
    for (int c = 0; c < AChannels; ++c)
      for (int s = 0; s < ASamples; ++s)
        std::memcpy(ADst + (static_cast<size_t>(s) * AChannels + c) * ABytesPerSample,
                    APlanes[c] + static_cast<size_t>(s) * ABytesPerSample, static_cast<size_t>(ABytesPerSample));
  }
}

// The reverse: splits interleaved samples into AChannels planes.
inline void DeinterleaveSamples(const uint8_t *ASrc, uint8_t *const *APlanes, int AChannels, int ASamples,
                                int ABytesPerSample) {
  using namespace sample_layout;
  switch (ABytesPerSample) {
  case 1: DeinterleaveAs<uint8_t>(ASrc, APlanes, AChannels, ASamples); return;
  case 2: DeinterleaveAs<uint16_t>(ASrc, APlanes, AChannels, ASamples); return;
  case 4: DeinterleaveAs<uint32_t>(ASrc, APlanes, AChannels, ASamples); return;
  case 8: DeinterleaveAs<uint64_t>(ASrc, APlanes, AChannels, ASamples); return;
  default:
    for (int c = 0; c < AChannels; ++c)
      for (int s = 0; s < ASamples; ++s)
        std::memcpy(APlanes[c] + static_cast<size_t>(s) * ABytesPerSample,
                    ASrc + (static_cast<size_t>(s) * AChannels + c) * ABytesPerSample,
                    static_cast<size_t>(ABytesPerSample));
  }
}
