#include "media/wide_file.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <set>

namespace {

// Converts between code sets; false when a character cannot be expressed.
bool Recode(const std::string &AText, const char *AFrom, const char *ATo, std::string &AOut) {
  iconv_t cd = iconv_open(ATo, AFrom);
  if (cd == reinterpret_cast<iconv_t>(-1))
    return false;
  std::string out(AText.size() * 4 + 16, '\0');
  char *in = const_cast<char *>(AText.data());
  size_t inLeft = AText.size();
  char *o = out.data();
  size_t outLeft = out.size();
  const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || inLeft != 0)
    return false;
  out.resize(out.size() - outLeft);
  AOut = std::move(out);
  return true;
}

const char *LocaleCodeSet() { return nl_langinfo(CODESET); }

bool IsProtocolAddress(const std::string &AName) {
  static const char *const protocols[] = {"unicode", "stream", "gopher", "http", "pipe", "rtp", "tcp", "udp"};
  const size_t colon = AName.find(':');
  if (colon == std::string::npos)
    return false;
  const std::string head = AName.substr(0, colon);
  for (const char *p : protocols)
    if (head == p)
      return true;
  return false;
}

// Our byte stream: a file descriptor behind a custom I/O context.
struct TWideStream {
  int Fd = -1;
};

std::mutex StreamsLock;           // guards Streams
std::set<AVIOContext *> Streams;  // contexts made by OpenWideIO's own stream

int ReadPacket(void *AOpaque, uint8_t *ABuf, int ASize) {
  const ssize_t n = ::read(static_cast<TWideStream *>(AOpaque)->Fd, ABuf, static_cast<size_t>(ASize));
  if (n < 0)
    return AVERROR(errno);
  return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

// The library takes any non-negative result as "all written", so a short
// write (a disk filling up, a file-size limit) is carried on until the rest
// is written or the system refuses with a reason.
int WritePacket(void *AOpaque, uint8_t *ABuf, int ASize) {
  const int fd = static_cast<TWideStream *>(AOpaque)->Fd;
  size_t done = 0;
  while (done < static_cast<size_t>(ASize)) {
    const ssize_t n = ::write(fd, ABuf + done, static_cast<size_t>(ASize) - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return AVERROR(errno);
    if (n == 0)
      return AVERROR(EIO);
    done += static_cast<size_t>(n);
  }
  return ASize;
}

int64_t Seek(void *AOpaque, int64_t APos, int AWhence) {
  const int fd = static_cast<TWideStream *>(AOpaque)->Fd;
  if (AWhence & AVSEEK_SIZE) {
    struct stat st;
    return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
  }
  const off_t r = ::lseek(fd, static_cast<off_t>(APos), AWhence & ~AVSEEK_FORCE);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

} // namespace

std::string WideFileNameToURL(const std::string &AFileName) {
  if (IsProtocolAddress(AFileName))
    return AFileName;
  std::string narrow, back;
  if (Recode(AFileName, "UTF-8", LocaleCodeSet(), narrow) && Recode(narrow, LocaleCodeSet(), "UTF-8", back) &&
      back == AFileName)
    return narrow;
  return kUnicodeURLPrefix + AFileName;
}

std::string URLToWideFileName(const std::string &AURL) {
  const std::string prefix = kUnicodeURLPrefix;
  if (AURL.compare(0, prefix.size(), prefix) == 0)
    return AURL.substr(prefix.size());
  std::string wide;
  return Recode(AURL, LocaleCodeSet(), "UTF-8", wide) ? wide : AURL;
}

int OpenWideIO(AVIOContext **APB, const std::string &AURL, int AFlags) {
  *APB = nullptr;
  if (AURL.compare(0, 8, "unicode:") != 0)
    return AV.avio_open(APB, AURL.c_str(), AFlags);
  // Everything up to and including the second ":" is the prefix.
  const size_t first = AURL.find(':');
  const size_t second = AURL.find(':', first + 1);
  const std::string path = second == std::string::npos ? std::string() : AURL.substr(second + 1);
  int mode = O_RDONLY;
  if ((AFlags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE)
    mode = O_RDWR | O_CREAT | O_TRUNC;
  else if (AFlags & AVIO_FLAG_WRITE)
    mode = O_WRONLY | O_CREAT | O_TRUNC;
  const int fd = path.empty() ? -1 : ::open(path.c_str(), mode | O_CLOEXEC, 0666);
  if (fd < 0)
    return path.empty() ? AVERROR(ENOENT) : AVERROR(errno); // the reason the file protocol would give
  constexpr int kBufferSize = 64 * 1024;
  auto *buffer = static_cast<unsigned char *>(AV.av_malloc(kBufferSize));
  auto *stream = new TWideStream{fd};
  AVIOContext *pb = buffer ? AV.avio_alloc_context(buffer, kBufferSize, (AFlags & AVIO_FLAG_WRITE) ? 1 : 0, stream,
                                                   ReadPacket, WritePacket, Seek)
                           : nullptr;
  if (!pb) {
    AV.av_free(buffer);
    ::close(fd);
    delete stream;
    return AVERROR(ENOMEM);
  }
  {
    std::lock_guard<std::mutex> g(StreamsLock);
    Streams.insert(pb);
  }
  *APB = pb;
  return 0;
}

void CloseWideIO(AVIOContext **APB) {
  if (!*APB)
    return;
  bool ours;
  {
    std::lock_guard<std::mutex> g(StreamsLock);
    ours = Streams.erase(*APB) > 0;
  }
  if (!ours) {
    AV.avio_closep(APB);
    return;
  }
  AVIOContext *pb = *APB;
  AV.avio_flush(pb);
  auto *stream = static_cast<TWideStream *>(pb->opaque);
  ::close(stream->Fd);
  delete stream;
  AV.av_freep(&pb->buffer);
  AV.avio_context_free(APB);
}

int OpenInputFormat(AVFormatContext **AIC, const std::string &AURL, const AVInputFormat *AFormat,
                    AVDictionary **AOptions) {
  if (AURL.compare(0, 8, "unicode:") != 0)
    return AV.avformat_open_input(AIC, AURL.c_str(), AFormat, AOptions);
  AVIOContext *pb = nullptr;
  const int ret = OpenWideIO(&pb, AURL, AVIO_FLAG_READ);
  if (ret < 0) {
    if (*AIC)
      AV.avformat_free_context(*AIC);
    *AIC = nullptr;
    return ret;
  }
  if (!*AIC)
    *AIC = AV.avformat_alloc_context();
  (*AIC)->pb = pb;
  (*AIC)->flags |= AVFMT_FLAG_CUSTOM_IO;
  const int r = AV.avformat_open_input(AIC, AURL.c_str(), AFormat, AOptions);
  if (r < 0)
    CloseWideIO(&pb); // the library freed the context but leaves custom I/O to us
  return r;
}

void CloseInputFormat(AVFormatContext **AIC) {
  if (!*AIC)
    return;
  AVIOContext *pb = ((*AIC)->flags & AVFMT_FLAG_CUSTOM_IO) ? (*AIC)->pb : nullptr;
  AV.avformat_close_input(AIC);
  CloseWideIO(&pb);
}
