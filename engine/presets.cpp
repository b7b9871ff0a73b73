// Encoder presets: named lists of KEY=VALUE lines, built in (the x264 ones
// the catalogue names) or read from a file, applied through the codec choice
// and the generic option mechanism.
#include "engine/presets.h"
#include "engine/custom_ffmpeg.h"

#include "platform/convert.h"

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

// The texts as the x264 encoder's preset files of the older libraries wrote
// them; older names among the keys are translated when they are applied.
// "libx264-fastfirstpass" ends in the control character 1 where the others
// have a line break, as it was shipped; trimming the text removes it.
const TBuiltinPreset BuiltinPresets[] = {
    {"libx264-baseline", "coder=0\nbf=0\nflags2=-wpred-dct8x8\nwpredp=0\n"},
    {"libx264-default",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=hex\nsubq=7\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=3\ndirectpred=1\ntrellis=1\nflags2=+mixed_refs+wpred+dct8x8+fastpskip\n"
     "wpredp=2\n"},
    {"libx264-fast",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=hex\nsubq=6\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=2\ndirectpred=1\ntrellis=1\n"
     "flags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-fast_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=2\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred-dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-faster",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=hex\nsubq=4\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=2\ndirectpred=1\ntrellis=1\n"
     "flags2=+bpyramid-mixed_refs+wpred+dct8x8+fastpskip\nwpredp=1\n"},
    {"libx264-faster_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=2\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred-dct8x8+fastpskip\nwpredp=1\n"},
    {"libx264-fastfirstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8\nme_method=dia\n"
     "subq=2\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=3\ntrellis=0\n"
     "flags2=-bpyramid-wpred-mixed_refs-dct8x8+fastpskip\nwpredp=2\x01"},
    {"libx264-hq",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=umh\nsubq=8\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=4\ndirectpred=3\ntrellis=1\nflags2=+wpred+mixed_refs+dct8x8+fastpskip\n"
     "wpredp=2\n"},
    {"libx264-ipod320", "coder=0\nbf=0\nflags2=-wpred-dct8x8\nlevel=13\nmaxrate=768000\nbufsize=3000000\nwpredp=0\n"},
    {"libx264-ipod640",
     "coder=0\nbf=0\nrefs=1\nflags2=-wpred-dct8x8\nlevel=30\nmaxrate=10000000\nbufsize=10000000\nwpredp=0\n"},
    {"libx264-lossless_fast",
     "coder=0\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8\nme_method=hex\n"
     "subq=3\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\ndirectpred=1\nflags2=+fastpskip\ncqp=0\nwpredp=0\n"},
    {"libx264-lossless_max",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8\nme_method=esa\n"
     "subq=8\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nrefs=16\ndirectpred=1\nflags2=+mixed_refs+dct8x8+fastpskip\ncqp=0\nwpredp=2\n"},
    {"libx264-lossless_medium",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8+parti4x4+partp8x8+partp4x4-partb8x8\nme_method=hex\n"
     "subq=5\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\ndirectpred=1\nflags2=+fastpskip\ncqp=0\nwpredp=2\n"},
    {"libx264-lossless_slow",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8\nme_method=umh\n"
     "subq=6\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nrefs=2\ndirectpred=1\nflags2=+dct8x8+fastpskip\ncqp=0\nwpredp=2\n"},
    {"libx264-lossless_slower",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8\nme_method=umh\n"
     "subq=8\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nrefs=4\ndirectpred=1\nflags2=+mixed_refs+dct8x8+fastpskip\ncqp=0\nwpredp=2\n"},
    {"libx264-lossless_ultrafast",
     "coder=0\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8\nme_method=dia\n"
     "subq=0\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\ndirectpred=1\nflags2=+fastpskip\ncqp=0\n"},
    {"libx264-main", "flags2=-dct8x8\n"},
    {"libx264-max",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\nme_method=tesa\n"
     "subq=10\nme_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=16\ndirectpred=3\ntrellis=2\nflags2=+wpred+mixed_refs+dct8x8-fastpskip\n"
     "wpredp=2\n"},
    {"libx264-medium",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=hex\nsubq=7\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=3\ndirectpred=1\ntrellis=1\n"
     "flags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-medium_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=2\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred-dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-normal",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=hex\nsubq=6\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=2\ndirectpred=3\ntrellis=0\nflags2=+wpred+dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-placebo",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\nme_method=tesa\n"
     "subq=10\nme_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nbf=16\nrefs=16\ndirectpred=3\ntrellis=2\n"
     "flags2=+bpyramid+mixed_refs+wpred+dct8x8-fastpskip\nwpredp=2\n"},
    {"libx264-placebo_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\nme_method=tesa\n"
     "subq=10\nme_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nbf=16\nrefs=16\ndirectpred=3\ntrellis=2\n"
     "flags2=+bpyramid+mixed_refs+wpred+dct8x8-fastpskip\nwpredp=2\n"},
    {"libx264-slow",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=umh\nsubq=8\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=5\ndirectpred=3\ntrellis=1\n"
     "flags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-slow_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=2\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=3\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred-dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-slower",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\nme_method=umh\n"
     "subq=9\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=8\ndirectpred=3\ntrellis=2\n"
     "flags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-slower_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=2\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=3\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred-dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-slowfirstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=hex\nsubq=6\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=3\ntrellis=0\nflags2=+wpred+dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-superfast",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=1\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred+dct8x8+fastpskip-mbtree\nwpredp=0\n"},
    {"libx264-superfast_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=1\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred-dct8x8+fastpskip-mbtree\nwpredp=0\n"},
    {"libx264-ultrafast",
     "coder=0\nflags=-loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=0\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=0\ni_qfactor=0.71\nb_strategy=0\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=0\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=-bpyramid-mixed_refs-wpred-dct8x8+fastpskip-mbtree\nwpredp=0\n"},
    {"libx264-ultrafast_firstpass",
     "coder=0\nflags=-loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=0\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=0\ni_qfactor=0.71\nb_strategy=0\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=0\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=-bpyramid-mixed_refs-wpred-dct8x8+fastpskip-mbtree\nwpredp=0\n"},
    {"libx264-veryfast",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\nme_method=hex\nsubq=2\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred+dct8x8+fastpskip-mbtree\nwpredp=0\n"},
    {"libx264-veryfast_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=2\n"
     "me_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=3\nrefs=1\ndirectpred=1\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred-dct8x8+fastpskip-mbtree\nwpredp=0\n"},
    {"libx264-veryslow",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8\nme_method=umh\n"
     "subq=10\nme_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\n"
     "qmin=10\nqmax=51\nqdiff=4\nbf=8\nrefs=16\ndirectpred=3\ntrellis=2\n"
     "flags2=+bpyramid+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2\n"},
    {"libx264-veryslow_firstpass",
     "coder=1\nflags=+loop\ncmp=+chroma\npartitions=-parti8x8-parti4x4-partp8x8-partb8x8\nme_method=dia\nsubq=2\n"
     "me_range=24\ng=250\nkeyint_min=25\nsc_threshold=40\ni_qfactor=0.71\nb_strategy=2\nqcomp=0.6\nqmin=10\n"
     "qmax=51\nqdiff=4\nbf=8\nrefs=1\ndirectpred=3\ntrellis=0\n"
     "flags2=+bpyramid-mixed_refs+wpred-dct8x8+fastpskip\nwpredp=2\n"},
};

// Preset files are option lists of a few hundred bytes; anything this large
// is not one, and reading it whole would only waste memory.
constexpr std::streamoff MaxPresetFileSize = 1 << 20;

// The whole file as narrow text; false when there is no readable regular file.
bool ReadPresetFile(const std::string &AFileName, std::string &AText) {
  struct stat st {};
  if (stat(AFileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return false;
  if (st.st_size > MaxPresetFileSize)
    throw FFmpegException(Format("Preset \"%s\" is too large", AFileName.c_str()));
  std::ifstream in(AFileName, std::ios::binary);
  if (!in)
    return false;
  AText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Lines of the trimmed text, with CR LF and lone CR taken as line breaks.
std::vector<std::string> PresetLines(const std::string &AText) {
  const std::string text = Trim(AText);
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

} // namespace

const TBuiltinPreset *FindBuiltinPreset(const std::string &AName) {
  const std::string name = LowerCase(AName);
  for (const auto &p : BuiltinPresets)
    if (name == p.Name)
      return &p;
  return nullptr;
}

std::vector<const TBuiltinPreset *> BuiltinPresetList() {
  std::vector<const TBuiltinPreset *> r;
  for (const auto &p : BuiltinPresets)
    r.push_back(&p);
  return r;
}

void TCustomFFmpeg::LoadPreset(const std::string &AOptName, const std::string &AValue) {
  if (AOptName.empty() || AValue.empty())
    return;
  std::string presetName = AValue;
  std::string text;
  const TBuiltinPreset *builtin = nullptr;
  if (AOptName[0] != 'f') {
    builtin = FindBuiltinPreset(AValue);
    if (!builtin) {
      // A short name ("default") is completed with the chosen codec's name.
      const std::string &codec = AOptName[0] == 'v' && !Fvideo_codec_name.empty()   ? Fvideo_codec_name
                                 : AOptName[0] == 'a' && !Faudio_codec_name.empty() ? Faudio_codec_name
                                                                                    : Fsubtitle_codec_name;
      if (!codec.empty())
        builtin = FindBuiltinPreset(codec + "-" + AValue);
    }
  }
  if (builtin) {
    presetName = builtin->Name;
    text = builtin->Text;
  } else if (!ReadPresetFile(AValue, text)) {
    throw FFmpegException(Format("Preset \"%s\" not found", AValue.c_str()));
  }

  for (const std::string &raw : PresetLines(text)) {
    const std::string line = Trim(raw);
    if (line.empty())
      continue;
    const size_t eq = line.find('=');
    const std::string key = eq == std::string::npos ? std::string() : Trim(line.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
    if (key.empty() || value.empty())
      throw FFmpegException(Format("%s: Invalid syntax: \"%s\"", presetName.c_str(), line.c_str()));
    const std::string lowerKey = LowerCase(key);
    if (lowerKey == "vcodec")
      OptCodec(miVideo, value);
    else if (lowerKey == "acodec")
      OptCodec(miAudio, value);
    else if (lowerKey == "scodec")
      OptCodec(miSubtitle, value);
    else if (!ApplyGenericOption(key, value))
      throw FFmpegException(Format("%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                                   presetName.c_str(), line.c_str(), key.c_str(), value.c_str()));
  }
}
