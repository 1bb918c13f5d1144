#include "tools/quillfx/sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/common/wav_file.h"

namespace quill {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// libsndfile's own name for a major format or an encoding.
std::string FormatName(int format) {
  SF_FORMAT_INFO info{};
  info.format = format;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr) {
    char text[32];
    std::snprintf(text, sizeof text, "format 0x%X", static_cast<unsigned>(format));
    return text;
  }
  return info.name;
}

std::optional<SampleKind> KindOfEncoding(int subtype) {
  switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return SampleKind::Pcm8;
    case SF_FORMAT_PCM_16:
      return SampleKind::Pcm16;
    case SF_FORMAT_PCM_32:
      return SampleKind::Pcm32;
    case SF_FORMAT_FLOAT:
      return SampleKind::Float32;
    case SF_FORMAT_DOUBLE:
      return SampleKind::Float64;
    default:
      return std::nullopt;
  }
}

// What the processor says and knows of each kind, in the enumeration's order.
struct KindFacts {
  const char* name;  // on the command line
  const char* text;  // in messages
  std::uint16_t bits;
};
constexpr KindFacts kKindFacts[] = {
    {"pcm8", "8-bit integer", 8},  {"pcm16", "16-bit integer", 16}, {"pcm32", "32-bit integer", 32},
    {"float", "32-bit float", 32}, {"double", "64-bit float", 64},
};

const KindFacts& FactsOf(SampleKind kind) {
  return kKindFacts[static_cast<int>(kind)];
}

const char* KindText(SampleKind kind) {
  return FactsOf(kind).text;
}

AudioFormat FormatOf(SampleKind kind, int channels, int rate) {
  const bool isFloat = kind == SampleKind::Float32 || kind == SampleKind::Float64;
  return MakeFormat(isFloat ? kFormatFloat : kFormatPcm, static_cast<std::uint16_t>(channels),
                    static_cast<std::uint32_t>(rate), FactsOf(kind).bits);
}

// Container names a user may write, beyond the extensions libsndfile lists.
struct ContainerName {
  const char* name;
  int major;
  int encoding;  // 0: the samples' own kind
};
constexpr ContainerName kContainerNames[] = {
    {"aif", SF_FORMAT_AIFF, 0},
    {"aiff", SF_FORMAT_AIFF, 0},
    {"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
    {"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
    {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
    {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III},
};

// The major format and, for compressed containers, the encoding for a name.
bool FindContainer(const std::string& type, int& major, int& encoding) {
  const std::string t = Lower(type);
  for (const ContainerName& c : kContainerNames)
    if (t == c.name) {
      major = c.major;
      encoding = c.encoding;
      return true;
    }
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0) continue;
    if (info.extension != nullptr && t == Lower(info.extension)) {
      major = info.format & SF_FORMAT_TYPEMASK;
      encoding = 0;
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<SampleKind> ParseKind(const std::string& text) {
  for (SampleKind k :
       {SampleKind::Pcm8, SampleKind::Pcm16, SampleKind::Pcm32, SampleKind::Float32, SampleKind::Float64})
    if (text == KindName(k)) return k;
  return std::nullopt;
}

const char* KindName(SampleKind kind) {
  return FactsOf(kind).name;
}

SoundReader::~SoundReader() {
  if (file_ != nullptr) sf_close(file_);
}

bool SoundReader::Open(const std::string& path, std::optional<SampleKind> convertTo, std::string& error) {
  SF_INFO info{};
  path_ = path;
  file_ = sf_open(path.c_str(), SFM_READ, &info);
  if (file_ == nullptr) {
    error = "cannot read " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  description_ = FormatName(info.format & SF_FORMAT_TYPEMASK) + ", " + FormatName(subtype);
  if (info.channels < 1 || info.channels > 2) {
    error = path + " has " + std::to_string(info.channels) +
            " channels; the effects take mono or stereo (split or mix it down first)";
    return false;
  }
  if (info.samplerate <= 0) {
    error = path + " has no usable sample rate";
    return false;
  }
  const auto own = KindOfEncoding(subtype);
  if (!own && !convertTo) {
    error = path + " holds " + description_ +
            " samples, which the effects do not take; choose the kind to process them as with "
            "--kind pcm8|pcm16|pcm32|float|double";
    return false;
  }
  kind_ = convertTo ? *convertTo : *own;
  converted_ = !own || *own != kind_;
  // Converting from float to integer: clip instead of wrapping.
  if (converted_) sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  format_ = FormatOf(kind_, info.channels, info.samplerate);
  frames_ = info.frames >= 0 && info.frames < SF_COUNT_MAX ? info.frames : -1;
  return true;
}

std::int64_t SoundReader::Read(std::uint8_t* out, std::uint32_t frames, std::string& error) {
  sf_count_t got = 0;
  switch (kind_) {
    case SampleKind::Pcm8: {
      // libsndfile hands 8-bit samples over as 16-bit values with the low byte zero.
      std::vector<short> wide(static_cast<std::size_t>(frames) * format_.channels);
      got = sf_readf_short(file_, wide.data(), frames);
      const std::size_t n = static_cast<std::size_t>(std::max<sf_count_t>(got, 0)) * format_.channels;
      for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((wide[i] >> 8) ^ 0x80);
      break;
    }
    case SampleKind::Pcm16:
      got = sf_readf_short(file_, reinterpret_cast<short*>(out), frames);
      break;
    case SampleKind::Pcm32:
      got = sf_readf_int(file_, reinterpret_cast<int*>(out), frames);
      break;
    case SampleKind::Float32:
      got = sf_readf_float(file_, reinterpret_cast<float*>(out), frames);
      break;
    case SampleKind::Float64:
      got = sf_readf_double(file_, reinterpret_cast<double*>(out), frames);
      break;
  }
  if (got < 0 || sf_error(file_) != SF_ERR_NO_ERROR) {
    error = "reading " + path_ + ": " + sf_strerror(file_);
    return -1;
  }
  return got;
}

SoundWriter::~SoundWriter() {
  if (file_ != nullptr) sf_close(file_);
}

bool SoundWriter::Open(const std::string& path, const std::string& type, const AudioFormat& format,
                       std::string& error) {
  path_ = path;
  format_ = format;
  const auto kind = SampleKindOf(format);
  if (!kind) {
    error = "no sample kind for the output";
    return false;
  }
  kind_ = *kind;
  std::string container = type;
  if (container.empty()) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
      error = "cannot tell the file type of " + path + " without an extension; name it with -t (wav, flac, aiff, ...)";
      return false;
    }
    container = path.substr(dot + 1);
  }
  int major = 0, encoding = 0;
  if (!FindContainer(container, major, encoding)) {
    error = "unknown file type \"" + container + "\" for " + path;
    return false;
  }
  SF_INFO info{};
  info.channels = format.channels;
  info.samplerate = static_cast<int>(format.sampleRate);
  int candidates[2] = {0, 0};
  if (encoding != 0) {
    candidates[0] = encoding;
  } else {
    switch (kind_) {
      case SampleKind::Pcm8:
        candidates[0] = SF_FORMAT_PCM_U8;
        candidates[1] = SF_FORMAT_PCM_S8;
        break;
      case SampleKind::Pcm16:
        candidates[0] = SF_FORMAT_PCM_16;
        break;
      case SampleKind::Pcm32:
        candidates[0] = SF_FORMAT_PCM_32;
        break;
      case SampleKind::Float32:
        candidates[0] = SF_FORMAT_FLOAT;
        break;
      case SampleKind::Float64:
        candidates[0] = SF_FORMAT_DOUBLE;
        break;
    }
  }
  bool accepted = false;
  for (int sub : candidates) {
    if (sub == 0) continue;
    info.format = major | sub;
    if (sf_format_check(&info)) {
      accepted = true;
      break;
    }
  }
  if (!accepted) {
    error = FormatName(major) + " files cannot hold " + KindText(kind_) + " samples (" +
            std::to_string(format.channels) + " channel(s), " + std::to_string(format.sampleRate) +
            " Hz); choose another file type with -t or process as another kind with --kind";
    return false;
  }
  file_ = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file_ == nullptr) {
    error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  // The peak chunk carries the time of writing: without it the same run
  // gives the same bytes.
  sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  return true;
}

bool SoundWriter::Write(const std::uint8_t* frames, std::uint32_t count, std::string& error) {
  sf_count_t put = 0;
  switch (kind_) {
    case SampleKind::Pcm8: {
      std::vector<short> wide(static_cast<std::size_t>(count) * format_.channels);
      for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<short>(static_cast<std::int8_t>(frames[i] ^ 0x80) * 256);
      put = sf_writef_short(file_, wide.data(), count);
      break;
    }
    case SampleKind::Pcm16:
      put = sf_writef_short(file_, reinterpret_cast<const short*>(frames), count);
      break;
    case SampleKind::Pcm32:
      put = sf_writef_int(file_, reinterpret_cast<const int*>(frames), count);
      break;
    case SampleKind::Float32:
      put = sf_writef_float(file_, reinterpret_cast<const float*>(frames), count);
      break;
    case SampleKind::Float64:
      put = sf_writef_double(file_, reinterpret_cast<const double*>(frames), count);
      break;
  }
  if (put != static_cast<sf_count_t>(count)) {
    error = "writing " + path_ + ": " + sf_strerror(file_);
    return false;
  }
  return true;
}

bool SoundWriter::Close(std::string& error) {
  if (file_ == nullptr) return true;
  const int rc = sf_close(file_);
  file_ = nullptr;
  if (rc != 0) {
    error = "finishing " + path_ + ": " + sf_error_number(rc);
    return false;
  }
  return true;
}

}  // namespace quill
