#include "media/elf_needed.h"

#include <elf.h>
#include <link.h>

#include <cstring>
#include <fstream>

std::vector<std::string> ReadNeededLibraries(const std::string &APath) {
  std::vector<std::string> result;
  std::ifstream in(APath, std::ios::binary);
  if (!in)
    return result;
  // One read of the whole file: character-wise iteration over a codec
  // library took seconds.
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length <= 0)
    return result;
  std::vector<char> data(static_cast<size_t>(length));
  in.seekg(0, std::ios::beg);
  if (!in.read(data.data(), length))
    return result;
  const auto fits = [&](uint64_t off, uint64_t len) { return off <= data.size() && len <= data.size() - off; };

  ElfW(Ehdr) eh;
  if (!fits(0, sizeof eh))
    return result;
  std::memcpy(&eh, data.data(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != (sizeof(void *) == 8 ? ELFCLASS64 : ELFCLASS32) ||
      eh.e_shentsize != sizeof(ElfW(Shdr)))
    return result;

  const auto section = [&](unsigned i, ElfW(Shdr) & sh) {
    const uint64_t off = eh.e_shoff + static_cast<uint64_t>(i) * sizeof sh;
    if (i >= eh.e_shnum || !fits(off, sizeof sh))
      return false;
    std::memcpy(&sh, data.data() + off, sizeof sh);
    return true;
  };

  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    ElfW(Shdr) dyn, str;
    if (!section(i, dyn) || dyn.sh_type != SHT_DYNAMIC || !section(dyn.sh_link, str))
      continue;
    if (!fits(dyn.sh_offset, dyn.sh_size) || !fits(str.sh_offset, str.sh_size))
      return result;
    for (uint64_t off = 0; off + sizeof(ElfW(Dyn)) <= dyn.sh_size; off += sizeof(ElfW(Dyn))) {
      ElfW(Dyn) d;
      std::memcpy(&d, data.data() + dyn.sh_offset + off, sizeof d);
      if (d.d_tag == DT_NULL)
        break;
      if (d.d_tag != DT_NEEDED || d.d_un.d_val >= str.sh_size)
        continue;
      const char *name = data.data() + str.sh_offset + d.d_un.d_val;
      result.emplace_back(name, strnlen(name, str.sh_size - d.d_un.d_val));
    }
    break;
  }
  return result;
}
