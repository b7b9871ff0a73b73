#include "media/elf_needed.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

// Reads only the pieces it is asked for: a codec library is tens of MB and
// the loader asks for a handful of them at every start.
class TElfFile {
public:
  explicit TElfFile(const std::string &APath) : FFd(open(APath.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat st {};
    if (FFd >= 0 && fstat(FFd, &st) == 0)
      FSize = static_cast<uint64_t>(st.st_size);
  }
  ~TElfFile() {
    if (FFd >= 0)
      close(FFd);
  }
  TElfFile(const TElfFile &) = delete;
  TElfFile &operator=(const TElfFile &) = delete;

  bool Read(uint64_t AOffset, void *ATo, uint64_t ALength) const {
    if (FFd < 0 || AOffset > FSize || ALength > FSize - AOffset)
      return false;
    auto *to = static_cast<char *>(ATo);
    while (ALength > 0) {
      const ssize_t n = pread(FFd, to, ALength, static_cast<off_t>(AOffset));
      if (n <= 0)
        return false;
      to += n, AOffset += static_cast<uint64_t>(n), ALength -= static_cast<uint64_t>(n);
    }
    return true;
  }

private:
  int FFd;
  uint64_t FSize = 0;
};

} // namespace

std::vector<std::string> ReadNeededLibraries(const std::string &APath) {
  std::vector<std::string> result;
  const TElfFile file(APath);
  ElfW(Ehdr) eh;
  if (!file.Read(0, &eh, sizeof eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
      eh.e_ident[EI_CLASS] != (sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32) || eh.e_shentsize != sizeof(ElfW(Shdr)))
    return result;

  const auto section = [&](unsigned i, ElfW(Shdr) & sh) {
    return i < eh.e_shnum && file.Read(eh.e_shoff + static_cast<uint64_t>(i) * sizeof sh, &sh, sizeof sh);
  };

  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    ElfW(Shdr) dyn, str;
    if (!section(i, dyn) || dyn.sh_type != SHT_DYNAMIC || !section(dyn.sh_link, str))
      continue;
    std::vector<char> dynamic(dyn.sh_size), strings(str.sh_size);
    if (!file.Read(dyn.sh_offset, dynamic.data(), dynamic.size()) ||
        !file.Read(str.sh_offset, strings.data(), strings.size()))
      return result;
    for (uint64_t off = 0; off + sizeof(ElfW(Dyn)) <= dynamic.size(); off += sizeof(ElfW(Dyn))) {
      ElfW(Dyn) d;
      std::memcpy(&d, dynamic.data() + off, sizeof d);
      if (d.d_tag == DT_NULL)
        break;
      if (d.d_tag != DT_NEEDED || d.d_un.d_val >= strings.size())
        continue;
      const char *name = strings.data() + d.d_un.d_val;
      result.emplace_back(name, strnlen(name, strings.size() - d.d_un.d_val));
    }
    break;
  }
  return result;
}
