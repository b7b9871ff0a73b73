#include "playback/player_state.h"

#include "playback/custom_player.h"

#include <cstring>
#include <new>

namespace player_detail {

double Now() { return static_cast<double>(AV.av_gettime_relative()) / 1000000.0; }

// ---------------------------------------------------------------------------
// TPacketQueue

void TPacketQueue::Init(const AVPacket *AFlushPacket) {
  if (!Fmutex) {
    Fmutex = AV.SDL_CreateMutex();
    Fcond = AV.SDL_CreateCond();
  }
  FFlushPacket = AFlushPacket;
  Fabort_request = false;
}

void TPacketQueue::End() {
  Flush();
  if (Fmutex)
    AV.SDL_DestroyMutex(Fmutex);
  if (Fcond)
    AV.SDL_DestroyCond(Fcond);
  Fmutex = nullptr;
  Fcond = nullptr;
}

int TPacketQueue::Put(AVPacket *APacket) {
  if (!Fmutex)
    return -1;
  const bool flush = FFlushPacket && APacket->data == FFlushPacket->data;
  auto *node = new TNode{nullptr, flush, nullptr};
  int bytes = 0;
  if (!flush && (APacket->data || APacket->size)) {
    node->Packet = AV.av_packet_alloc();
    if (!node->Packet || AV.av_packet_ref(node->Packet, APacket) < 0) {
      AV.av_packet_free(&node->Packet);
      delete node;
      return -1;
    }
    bytes = node->Packet->size;
  }
  AV.SDL_LockMutex(Fmutex);
  if (Fabort_request) {
    AV.SDL_UnlockMutex(Fmutex);
    AV.av_packet_free(&node->Packet);
    delete node;
    return -1;
  }
  if (last_pkt)
    last_pkt->Next = node;
  else
    first_pkt = node;
  last_pkt = node;
  ++Fnb_packets;
  Fsize += bytes + kPacketNodeOverhead;
  AV.SDL_CondSignal(Fcond);
  AV.SDL_UnlockMutex(Fmutex);
  return 0;
}

int TPacketQueue::Get(AVPacket *APacket, bool ABlock) {
  if (!Fmutex)
    return -1;
  int ret;
  AV.SDL_LockMutex(Fmutex);
  for (;;) {
    if (Fabort_request) {
      ret = -1;
      break;
    }
    if (TNode *node = first_pkt) {
      first_pkt = node->Next;
      if (!first_pkt)
        last_pkt = nullptr;
      --Fnb_packets;
      AV.av_packet_unref(APacket);
      if (node->Packet) {
        Fsize -= node->Packet->size + kPacketNodeOverhead;
        AV.av_packet_move_ref(APacket, node->Packet);
        AV.av_packet_free(&node->Packet);
      } else {
        Fsize -= kPacketNodeOverhead;
        if (node->Flush) {
          APacket->data = FFlushPacket->data;
          APacket->size = FFlushPacket->size;
        }
      }
      delete node;
      ret = 1;
      break;
    }
    if (!ABlock) {
      ret = 0;
      break;
    }
    AV.SDL_CondWait(Fcond, Fmutex);
  }
  AV.SDL_UnlockMutex(Fmutex);
  return ret;
}

void TPacketQueue::Flush() {
  if (!Fmutex)
    return;
  AV.SDL_LockMutex(Fmutex);
  for (TNode *node = first_pkt; node;) {
    TNode *next = node->Next;
    AV.av_packet_free(&node->Packet);
    delete node;
    node = next;
  }
  first_pkt = last_pkt = nullptr;
  Fnb_packets = 0;
  Fsize = 0;
  AV.SDL_UnlockMutex(Fmutex);
}

void TPacketQueue::Abort() {
  if (!Fmutex)
    return;
  AV.SDL_LockMutex(Fmutex);
  Fabort_request = true;
  AV.SDL_CondSignal(Fcond);
  AV.SDL_UnlockMutex(Fmutex);
}

// ---------------------------------------------------------------------------
// TVideoState

TVideoState *AllocVideoState() {
  auto *is = new (std::nothrow) TVideoState;
  if (!is)
    return nullptr;
  try {
    is->audio_buf1.resize(kAudioBufSize);
    is->audio_buf2.resize(kAudioBufSize);
    is->sample_array.assign(kSampleArraySize, 0);
    is->audio_silence.assign(1024, 0);
  } catch (const std::bad_alloc &) {
    delete is;
    return nullptr;
  }
  return is;
}

void FreeVideoState(TVideoState *is) {
  is->audioq.End();
  is->videoq.End();
  is->subtitleq.End();
  for (auto &sp : is->subpq)
    if (sp.sub.rects || sp.sub.num_rects)
      AV.avsubtitle_free(&sp.sub);
  if (is->pictq_mutex)
    AV.SDL_DestroyMutex(is->pictq_mutex);
  if (is->pictq_cond)
    AV.SDL_DestroyCond(is->pictq_cond);
  if (is->subpq_mutex)
    AV.SDL_DestroyMutex(is->subpq_mutex);
  if (is->subpq_cond)
    AV.SDL_DestroyCond(is->subpq_cond);
  if (is->rdft)
    AV.av_rdft_end(is->rdft);
  AV.av_channel_layout_uninit(&is->audio_src_layout);
  delete is;
}

void ReleaseVideoState(TVideoState *is) {
  if (is->Holders.fetch_sub(1) == 1)
    FreeVideoState(is);
}

// ---------------------------------------------------------------------------
// TPlayEvent

void TPlayEvent::Put(TPlayEventKind AKind, int64_t AValue) {
  {
    std::lock_guard<std::mutex> g(Lock);
    const int last = (Tailer + kSlots - 1) % kSlots;
    if (Header == Tailer || Events[last].Kind != AKind) {
      Tailer = (Tailer + 1) % kSlots;
      if (Tailer == Header) // full: the oldest event gives way
        Header = (Header + 1) % kSlots;
    }
    Events[(Tailer + kSlots - 1) % kSlots] = {AKind, AValue};
  }
  Event.SetEvent();
}

bool TPlayEvent::Get(TPlayEventItem &AItem) {
  std::lock_guard<std::mutex> g(Lock);
  if (Header == Tailer)
    return false;
  AItem = Events[Header];
  Header = (Header + 1) % kSlots;
  if (Header == Tailer)
    Event.ResetEvent();
  return true;
}

} // namespace player_detail

using namespace player_detail;

// ---------------------------------------------------------------------------
// Threads of the component

void TEventThread::Execute() {
  while (!Terminated()) {
    TPlayEventItem item;
    while (FQueue->Get(item)) {
      bool end = false;
      FPlayer->DeliverEvent(item, end);
      if (end)
        return;
    }
    FQueue->Event.WaitFor(100);
  }
}

void TPlayThread::Execute() { FPlayer->RunEventLoop(); }
