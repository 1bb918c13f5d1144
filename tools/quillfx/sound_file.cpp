#include "tools/quillfx/sound_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/common/wav_file.h"
#include "tools/quillfx/wav_out.h"

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

// The word an encoding stores; bits 0 for companded and coded data, whose
// samples have no fixed word.
SampleWord WordOfEncoding(int subtype) {
  switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_DPCM_8:
      return {false, 8};
    case SF_FORMAT_DWVW_12:
      return {false, 12};
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_DPCM_16:
    case SF_FORMAT_DWVW_16:
    case SF_FORMAT_ALAC_16:
      return {false, 16};
    case SF_FORMAT_ALAC_20:
      return {false, 20};
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_DWVW_24:
    case SF_FORMAT_ALAC_24:
      return {false, 24};
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ALAC_32:
      return {false, 32};
    case SF_FORMAT_FLOAT:
      return {true, 32};
    case SF_FORMAT_DOUBLE:
      return {true, 64};
    default:
      return {false, 0};
  }
}

// The kind to process a file's word as when the user does not say.
SampleKind DefaultKind(SampleWord word) {
  if (word.isFloat) return word.bits == 64 ? SampleKind::Float64 : SampleKind::Float32;
  if (word.bits == 8) return SampleKind::Pcm8;
  if (word.bits == 16) return SampleKind::Pcm16;
  // Wider integer words fit 32 bits exactly, shifted up.
  if (word.bits > 16 && word.bits <= 32) return SampleKind::Pcm32;
  return SampleKind::Float32;
}

// What the processor says and knows of each kind, in the enumeration's order.
constexpr const char* kKindNames[] = {"pcm8", "pcm16", "pcm32", "float", "double"};

AudioFormat FormatOf(SampleKind kind, int channels, int rate) {
  const SampleWord word = WordOf(kind);
  return MakeFormat(word.isFloat ? kFormatFloat : kFormatPcm, static_cast<std::uint16_t>(channels),
                    static_cast<std::uint32_t>(rate), word.bits);
}

// Container names a user may write, beyond the extensions libsndfile lists.
struct ContainerName {
  const char* name;
  int major;
  int encoding;  // 0: the samples' own word
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

// libsndfile's encodings for a PCM word, the preferred first. 8-bit samples
// are signed where the container allows it (AIFF, AU, CAF) and unsigned in
// the RIFF family, which allows nothing else.
std::vector<int> EncodingsOf(SampleWord word) {
  if (word.isFloat) return {word.bits == 64 ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT};
  switch (word.bits) {
    case 8:
      return {SF_FORMAT_PCM_S8, SF_FORMAT_PCM_U8};
    case 16:
      return {SF_FORMAT_PCM_16};
    case 24:
      return {SF_FORMAT_PCM_24};
    default:
      return {SF_FORMAT_PCM_32};
  }
}

// The full format for `word` in `major`, or 0 if the container cannot hold it.
// WAV is written here and holds every PCM word.
int FormatFor(int major, SampleWord word, int channels, int rate) {
  if (!IsPcmWord(word)) return 0;
  if (major == SF_FORMAT_WAV) return SF_FORMAT_WAV | (word.bits == 8 ? SF_FORMAT_PCM_U8 : EncodingsOf(word).front());
  for (int encoding : EncodingsOf(word)) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = major | encoding;
    if (sf_format_check(&info)) return info.format;
  }
  return 0;
}

constexpr SampleWord kPcmWords[] = {{false, 8}, {false, 16}, {false, 24}, {false, 32}, {true, 32}, {true, 64}};

// "8-, 16- and 24-bit integer" for the words of one encoding a container holds.
std::string ListOfWords(int major, bool isFloat, int channels, int rate) {
  std::vector<std::string> bits;
  for (SampleWord w : kPcmWords)
    if (w.isFloat == isFloat && FormatFor(major, w, channels, rate) != 0) bits.push_back(std::to_string(w.bits));
  if (bits.empty()) return {};
  std::string text;
  for (std::size_t i = 0; i < bits.size(); ++i)
    text += (i == 0 ? "" : i + 1 == bits.size() ? " and " : ", ") + bits[i] + (i + 1 == bits.size() ? "" : "-");
  return text + (isFloat ? "-bit float" : "-bit integer");
}

std::string WordsHeld(int major, int channels, int rate) {
  const std::string ints = ListOfWords(major, false, channels, rate);
  const std::string floats = ListOfWords(major, true, channels, rate);
  if (ints.empty() || floats.empty()) return ints + floats;
  return ints + " or " + floats;
}

// The word to write: the one asked for, else the input's when the container
// holds it, else the processing kind's. -e signed alone keeps the width the
// output would have had, or takes the widest integer the container holds.
SampleWord ChooseWord(const OutputRequest& request, SampleWord own, std::optional<SampleWord> input, int major,
                      int channels, int rate) {
  const SampleWord fallback = input && FormatFor(major, *input, channels, rate) != 0 ? *input : own;
  if (request.bits) {
    const auto bits = static_cast<std::uint16_t>(*request.bits);
    return {request.isFloat ? *request.isFloat : bits == 64, bits};
  }
  if (!request.isFloat) return fallback;
  if (*request.isFloat) return {true, 32};
  if (!fallback.isFloat) return fallback;
  for (std::uint16_t bits : {32, 24, 16, 8})
    if (FormatFor(major, {false, bits}, channels, rate) != 0) return {false, bits};
  return {false, 32};
}

// The major formats libsndfile can write to a pipe, found once by trying
// each on one. Asked before a stream is opened: libsndfile writes part of a
// header before it finds that it cannot go on, and what went into a pipe
// cannot be taken back.
const std::vector<int>& StreamableMajors() {
  static const std::vector<int> majors = [] {
    std::vector<int> found;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
      SF_FORMAT_INFO major{};
      major.format = i;
      if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &major, sizeof major) != 0) continue;
      const int type = major.format & SF_FORMAT_TYPEMASK;
      for (int encoding : {SF_FORMAT_PCM_16, SF_FORMAT_VORBIS, SF_FORMAT_MPEG_LAYER_III}) {
        SF_INFO info{};
        info.channels = 1;
        info.samplerate = 44100;
        info.format = type | encoding;
        if (!sf_format_check(&info)) continue;
        int ends[2];
        if (pipe(ends) != 0) return found;
        if (SNDFILE* probe = sf_open_fd(ends[1], SFM_WRITE, &info, SF_FALSE)) {
          sf_close(probe);
          found.push_back(type);
        }
        close(ends[0]);
        close(ends[1]);
        break;
      }
    }
    return found;
  }();
  return majors;
}

bool Streamable(int major) {
  if (major == SF_FORMAT_WAV) return true;  // written here
  const std::vector<int>& majors = StreamableMajors();
  return std::find(majors.begin(), majors.end(), major) != majors.end();
}

// "wav, au, flac, ...": the names a user types for the streamable types.
std::string StreamableNames() {
  std::string list = "wav";
  for (int type : StreamableMajors()) {
    SF_FORMAT_INFO info{};
    info.format = type;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.extension == nullptr) continue;
    const std::string name = type == SF_FORMAT_OGG    ? "ogg, opus"
                             : type == SF_FORMAT_MPEG ? "mp3"
                                                      : Lower(info.extension);
    if (list.find(name) == std::string::npos) list += ", " + name;
  }
  return list;
}

}  // namespace

std::optional<SampleKind> ParseKind(const std::string& text) {
  for (SampleKind k :
       {SampleKind::Pcm8, SampleKind::Pcm16, SampleKind::Pcm32, SampleKind::Float32, SampleKind::Float64})
    if (text == KindName(k)) return k;
  return std::nullopt;
}

const char* KindName(SampleKind kind) {
  return kKindNames[static_cast<int>(kind)];
}

// --- reading ---

SoundReader::~SoundReader() {
  if (file_ != nullptr) sf_close(file_);
}

bool SoundReader::Open(const std::string& path, std::optional<SampleKind> processAs, bool dither, std::string& error) {
  SF_INFO info{};
  path_ = path;
  file_ = sf_open(path.c_str(), SFM_READ, &info);
  // The file library neither opens a file with a rate it cannot hold nor
  // says why; a WAVE header says it here. libsndfile mends a data length
  // that runs past the end of the file without a word; the header tells
  // what was claimed.
  WavHeader header;
  const bool wave = ReadWavHeader(path, header);
  if (file_ == nullptr) {
    if (wave && (header.sampleRate == 0 || header.sampleRate > INT_MAX))
      error = path + " gives a sample rate of " + std::to_string(header.sampleRate) +
              " Hz; a file is read at 1 to 2147483647 Hz";
    else
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
  fileWord_ = WordOfEncoding(subtype);
  kind_ = processAs ? *processAs : DefaultKind(fileWord_);
  const SampleWord word = WordOf(kind_);
  // libsndfile reads integers into a wider integer word exactly (shifted up)
  // and anything into float normalised to full scale; the rest, a shorter
  // integer word, goes through doubles and the quantizer.
  const bool direct = word.isFloat || (!fileWord_.isFloat && fileWord_.bits != 0 && fileWord_.bits <= word.bits);
  const bool dithered = !direct && dither && Shortens(fileWord_, word);
  if (!direct) quantizer_.emplace(word.bits, info.channels, dithered);
  if (!Holds(word, fileWord_))
    note_ = (fileWord_.bits != 0 ? WordText(fileWord_) : FormatName(subtype)) + " converted to " + WordText(word) +
            (dithered ? ", dithered" : "");
  format_ = FormatOf(kind_, info.channels, info.samplerate);
  frames_ = info.frames >= 0 && info.frames < SF_COUNT_MAX ? info.frames : -1;
  // 0 and 0xFFFFFFFF are the lengths of a WAVE written as a stream.
  claimed_ = -1;
  if (wave && header.haveData && header.blockAlign != 0 && header.dataBytes != 0 && header.dataBytes != 0xFFFFFFFFu &&
      header.dataBytes / header.blockAlign > frames_ && frames_ >= 0)
    claimed_ = header.dataBytes / header.blockAlign;
  return true;
}

std::uint64_t SoundReader::Clipped() const {
  return quantizer_ ? quantizer_->Clipped() : 0;
}

std::int64_t SoundReader::Read(std::uint8_t* out, std::uint32_t frames, std::string& error) {
  const std::size_t samples = static_cast<std::size_t>(frames) * format_.channels;
  sf_count_t got = 0;
  if (quantizer_) {
    doubles_.resize(samples);
    ints_.resize(samples);
    got = sf_readf_double(file_, doubles_.data(), frames);
    if (got > 0) {
      quantizer_->Run(doubles_.data(), ints_.data(), static_cast<std::size_t>(got));
      IntsToKind(kind_, ints_.data(), static_cast<std::size_t>(got) * format_.channels, out);
    }
  } else {
    switch (kind_) {
      case SampleKind::Pcm8: {
        // libsndfile hands 8-bit samples over as 16-bit values with the low byte zero.
        shorts_.resize(samples);
        got = sf_readf_short(file_, shorts_.data(), frames);
        const std::size_t n = static_cast<std::size_t>(std::max<sf_count_t>(got, 0)) * format_.channels;
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((shorts_[i] >> 8) ^ 0x80);
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
  }
  if (got < 0 || sf_error(file_) != SF_ERR_NO_ERROR) {
    error = "reading " + path_ + ": " + sf_strerror(file_);
    return -1;
  }
  return got;
}

// --- writing ---

bool CheckWordRequest(std::optional<unsigned> bits, std::optional<bool> isFloat, std::string& error) {
  if (bits && *bits != 8 && *bits != 16 && *bits != 24 && *bits != 32 && *bits != 64) {
    error = "-b takes 8, 16, 24, 32 or 64 bits, not " + std::to_string(*bits);
    return false;
  }
  if (bits && isFloat && *isFloat && *bits < 32) {
    error = "float samples have 32 or 64 bits, not " + std::to_string(*bits);
    return false;
  }
  if (bits && isFloat && !*isFloat && *bits == 64) {
    error = "64-bit samples are float (-e float); signed integers go up to 32 bits";
    return false;
  }
  return true;
}

SoundWriter::SoundWriter() = default;

SoundWriter::~SoundWriter() {
  Abandon();
}

bool SoundWriter::Open(const std::string& path, const OutputRequest& request, const AudioFormat& format,
                       std::optional<SampleWord> inputWord, std::string& error) {
  Abandon();
  name_ = path == "-" ? "standard output" : path;
  format_ = format;
  note_.clear();
  commitNote_.clear();
  quantizer_.reset();
  const auto kind = SampleKindOf(format);
  if (!kind) {
    error = "no sample kind for the output";
    return false;
  }
  kind_ = *kind;
  if (!CheckWordRequest(request.bits, request.isFloat, error)) return false;
  const int channels = format.channels;
  const int rate = static_cast<int>(format.sampleRate);

  // A device or FIFO (/dev/null, a named pipe) takes the samples as a
  // stream: it cannot be replaced by a renamed file.
  struct stat st;
  const bool toStdout = path == "-";
  const bool stream = toStdout || (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode));

  std::string container = request.type;
  if (container.empty()) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (!toStdout && dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
      container = path.substr(dot + 1);
    } else if (stream) {
      container = "wav";
    } else {
      error = "cannot tell the file type of " + path + " without an extension; name it with -t (wav, flac, aiff, ...)";
      return false;
    }
  }
  int major = 0, encoding = 0;
  if (!FindContainer(container, major, encoding)) {
    error = "unknown file type \"" + container + "\" for " + name_;
    return false;
  }

  int sfFormat = 0;
  if (encoding != 0) {
    // Coded containers take full-scale samples and choose their own word.
    if (request.bits || request.isFloat) {
      error = FormatName(major) + " files hold " + FormatName(encoding) +
              " data, which has no sample word; leave out -b and -e";
      return false;
    }
    word_ = {false, 0};
    sfFormat = major | encoding;
    path_ = Path::Doubles;
  } else {
    const SampleWord own = WordOf(kind_);
    word_ = ChooseWord(request, own, inputWord, major, channels, rate);
    sfFormat = FormatFor(major, word_, channels, rate);
    if (sfFormat == 0) {
      const std::string held = WordsHeld(major, channels, rate);
      error = FormatName(major) + " files " +
              (held.empty() ? "cannot hold plain samples" : "hold " + held + " samples") + ", not " + WordText(word_) +
              " (" + std::to_string(channels) + " channel(s), " + std::to_string(rate) +
              " Hz); choose the word with -b and -e or another file type with -t";
      return false;
    }
    bool dithered = false;
    if (word_ == own) {
      path_ = Path::Direct;
    } else if (word_.isFloat) {
      path_ = Path::Doubles;
    } else if (!own.isFloat && own.bits < word_.bits) {
      path_ = Path::Widen;
    } else {
      path_ = Path::Quantize;
      dithered = request.dither && Shortens(own, word_);
      quantizer_.emplace(word_.bits, channels, dithered);
    }
    if (!Holds(word_, own))
      note_ = WordText(own) + " converted to " + WordText(word_) + (dithered ? ", dithered" : "");
  }

  if (toStdout) {
    fd_ = STDOUT_FILENO;
  } else if (stream) {
    ownedFd_ = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (ownedFd_ < 0) {
      error = "cannot write " + path + ": " + std::strerror(errno);
      return false;
    }
    fd_ = ownedFd_;
  } else {
    if (!file_.Create(path, error)) return false;
    fd_ = file_.Fd();
  }

  if (stream && lseek(fd_, 0, SEEK_CUR) < 0 && !Streamable(major)) {
    error = FormatName(major) +
            " files cannot be written to a pipe (their header is finished last); types that can: " + StreamableNames();
    Abandon();
    return false;
  }
  if (major == SF_FORMAT_WAV) {
    wav_ = std::make_unique<WavOut>();
    if (!wav_->Begin(fd_, word_, channels, format.sampleRate, name_, error)) {
      Abandon();
      return false;
    }
    return true;
  }
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = rate;
  info.format = sfFormat;
  sf_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
  if (sf_ == nullptr) {
    error = "cannot write " + name_ + ": " + sf_strerror(nullptr);
    Abandon();
    return false;
  }
  // The peak chunk carries the time of writing: without it the same run
  // gives the same bytes.
  sf_command(sf_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  return true;
}

std::uint64_t SoundWriter::Clipped() const {
  return quantizer_ ? quantizer_->Clipped() : 0;
}

bool SoundWriter::Write(const std::uint8_t* frames, std::uint32_t count, std::string& error) {
  if (fd_ < 0) {
    error = "writing " + name_ + ": the output is not open";
    return false;
  }
  const std::size_t samples = static_cast<std::size_t>(count) * format_.channels;
  switch (path_) {
    case Path::Widen:
      ints_.resize(samples);
      KindToInts(kind_, frames, samples, word_.bits, ints_.data());
      return Emit(ints_.data(), samples, error);
    case Path::Quantize:
      doubles_.resize(samples);
      ints_.resize(samples);
      KindToDoubles(kind_, frames, samples, doubles_.data());
      quantizer_->Run(doubles_.data(), ints_.data(), count);
      return Emit(ints_.data(), samples, error);
    case Path::Doubles:
      doubles_.resize(samples);
      KindToDoubles(kind_, frames, samples, doubles_.data());
      return Emit(doubles_.data(), samples, error);
    case Path::Direct:
      break;
  }
  if (wav_) return wav_->Write(frames, static_cast<std::size_t>(count) * format_.blockAlign, error);
  sf_count_t put = 0;
  switch (kind_) {
    case SampleKind::Pcm8:
      shorts_.resize(samples);
      for (std::size_t i = 0; i < samples; ++i)
        shorts_[i] = static_cast<short>(static_cast<std::int8_t>(frames[i] ^ 0x80) * 256);
      put = sf_writef_short(sf_, shorts_.data(), count);
      break;
    case SampleKind::Pcm16:
      put = sf_writef_short(sf_, reinterpret_cast<const short*>(frames), count);
      break;
    case SampleKind::Pcm32:
      put = sf_writef_int(sf_, reinterpret_cast<const int*>(frames), count);
      break;
    case SampleKind::Float32:
      put = sf_writef_float(sf_, reinterpret_cast<const float*>(frames), count);
      break;
    case SampleKind::Float64:
      put = sf_writef_double(sf_, reinterpret_cast<const double*>(frames), count);
      break;
  }
  if (put != static_cast<sf_count_t>(count)) {
    error = "writing " + name_ + ": " + sf_strerror(sf_);
    return false;
  }
  return true;
}

bool SoundWriter::Emit(const std::int32_t* ints, std::size_t samples, std::string& error) {
  if (wav_) return wav_->WriteInts(ints, samples, error);
  // libsndfile takes integers at the top of 32 bits and shifts them down to
  // the file's width, exactly.
  const int shift = 32 - word_.bits;
  if (shift > 0)
    for (std::size_t i = 0; i < samples; ++i)
      ints_[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(ints[i]) << shift);
  const sf_count_t frames = static_cast<sf_count_t>(samples / format_.channels);
  if (sf_writef_int(sf_, shift > 0 ? ints_.data() : ints, frames) != frames) {
    error = "writing " + name_ + ": " + sf_strerror(sf_);
    return false;
  }
  return true;
}

bool SoundWriter::Emit(const double* samples, std::size_t count, std::string& error) {
  if (wav_) return wav_->WriteDoubles(samples, count, error);
  const sf_count_t frames = static_cast<sf_count_t>(count / format_.channels);
  if (sf_writef_double(sf_, samples, frames) != frames) {
    error = "writing " + name_ + ": " + sf_strerror(sf_);
    return false;
  }
  return true;
}

bool SoundWriter::Commit(std::string& error) {
  if (fd_ < 0) {
    error = "finishing " + name_ + ": the output is not open";
    return false;
  }
  bool ok = true;
  if (wav_) {
    bool rf64 = false;
    ok = wav_->Finish(rf64, error);
    if (ok && rf64) commitNote_ = "over 4 GiB: written as RF64";
    wav_.reset();
  }
  if (sf_ != nullptr) {
    const int rc = sf_close(sf_);
    sf_ = nullptr;
    if (rc != 0) {
      error = "finishing " + name_ + ": " + sf_error_number(rc);
      ok = false;
    }
  }
  if (ok && ownedFd_ >= 0 && close(ownedFd_) != 0) {
    error = "finishing " + name_ + ": " + std::strerror(errno);
    ok = false;
  }
  ownedFd_ = -1;
  if (ok && file_.Fd() >= 0) ok = file_.Commit(error);
  if (!ok) Abandon();
  fd_ = -1;
  return ok;
}

void SoundWriter::Abandon() {
  if (sf_ != nullptr) sf_close(sf_);
  sf_ = nullptr;
  wav_.reset();
  if (ownedFd_ >= 0) close(ownedFd_);
  ownedFd_ = -1;
  file_.Abandon();
  fd_ = -1;
}

}  // namespace quill
