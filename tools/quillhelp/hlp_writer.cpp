#include "tools/quillhelp/hlp_writer.h"

#include <algorithm>
#include <map>

namespace quill::help {
namespace {

constexpr std::uint32_t kFileMagic = 0x00035F3F;
constexpr std::uint16_t kTreeMagic = 0x293B;
constexpr std::uint16_t kSystemMagic = 0x036C;
constexpr std::uint16_t kVersionMinor = 21;  // the 3.1 layout: records in the system file, 4 KB topic blocks
constexpr std::uint32_t kNone = 0xFFFFFFFF;

constexpr std::size_t kTopicBlock = 4096;
constexpr std::size_t kBlockHeader = 12;
constexpr std::size_t kBlockData = kTopicBlock - kBlockHeader;
constexpr std::uint32_t kPosPerBlock = 0x4000;     // topic positions: block * 0x4000 + offset in block
constexpr std::uint32_t kOffsetPerBlock = 0x8000;  // topic offsets: block * 0x8000 + characters shown

constexpr std::uint16_t kDirectoryPage = 1024;
constexpr std::uint16_t kContextPage = 2048;
constexpr std::size_t kPageHeader = 8;

constexpr std::uint8_t kRecordTopicHeader = 0x02;
constexpr std::uint8_t kRecordText = 0x20;
constexpr std::size_t kLinkHeader = 21;

// Paragraph commands.
constexpr std::uint8_t kCmdFont = 0x80;
constexpr std::uint8_t kCmdParagraphEnd = 0x82;
constexpr std::uint8_t kCmdJumpEnd = 0x89;
constexpr std::uint8_t kCmdJump = 0xE3;
constexpr std::uint8_t kCmdEnd = 0xFF;

constexpr std::uint16_t kSpaceBelow = 0x0004;
constexpr std::uint16_t kFontBody = 0;
constexpr std::uint16_t kFontHeading = 1;

class Bytes {
 public:
  void U8(std::uint8_t v) { data_.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void Str(std::string_view s) { data_.insert(data_.end(), s.begin(), s.end()); }
  void StrZ(std::string_view s) {
    Str(s);
    U8(0);
  }
  void Append(const std::vector<std::uint8_t>& more) { data_.insert(data_.end(), more.begin(), more.end()); }
  void Zeros(std::size_t n) { data_.insert(data_.end(), n, 0); }
  void Put32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) data_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }

  // The viewer's packed numbers: the low bit of the first byte says whether
  // the short or the long form follows.
  void PackedSignedShort(int v) {  // one byte for -64..63
    if (v >= -64 && v < 64)
      U8(static_cast<std::uint8_t>(v * 2 + 0x80));
    else
      U16(static_cast<std::uint16_t>(v * 2 + 0x8001));
  }
  void PackedUnsignedShort(unsigned v) {  // one byte below 128
    if (v < 128)
      U8(static_cast<std::uint8_t>(v * 2));
    else
      U16(static_cast<std::uint16_t>(v * 2 + 1));
  }
  void PackedSignedLong(long v) {  // two bytes for -16384..16383
    if (v >= -16384 && v < 16384)
      U16(static_cast<std::uint16_t>(v * 2 + 0x8000));
    else
      U32(static_cast<std::uint32_t>(v * 2 + 0x80000001L));
  }

  std::size_t size() const { return data_.size(); }
  const std::vector<std::uint8_t>& data() const { return data_; }
  std::vector<std::uint8_t>& data() { return data_; }

 private:
  std::vector<std::uint8_t> data_;
};

// One record of the topic stream before positions are known.
struct Record {
  std::uint8_t type = 0;
  std::vector<std::uint8_t> data1;  // after the 21-byte link header
  std::vector<std::uint8_t> data2;  // text
  unsigned shown = 0;               // characters the record puts on screen
  int topic = -1;                   // for a topic header: the topic's index
};

// A text record holds one paragraph. Its strings and its commands pair up:
// each string is followed by exactly one command, so the text is cut
// wherever a command is due.
Record TextRecord(const Paragraph& paragraph, std::uint16_t font, int spaceBelow) {
  Bytes text;
  Bytes commands;
  unsigned shown = 0;
  std::string run;
  auto emit = [&](std::uint8_t command) {
    text.StrZ(run);
    shown += static_cast<unsigned>(run.size());
    run.clear();
    commands.U8(command);
  };
  emit(kCmdFont);
  commands.U16(font);
  for (const Span& span : paragraph) {
    if (span.jumpTo.empty()) {
      run += span.text;
      continue;
    }
    emit(kCmdJump);
    commands.U32(static_cast<std::uint32_t>(ContextHash(span.jumpTo)));
    run = span.text;
    emit(kCmdJumpEnd);
  }
  emit(kCmdParagraphEnd);
  ++shown;  // the paragraph end counts as a character
  emit(kCmdEnd);

  Bytes data1;
  data1.PackedSignedLong(static_cast<long>(text.size()));
  data1.PackedUnsignedShort(shown);
  data1.U8(0);     // unknown, always 0
  data1.U8(0x80);  // unknown, biased zero
  data1.U16(0);    // paragraph id
  data1.U16(kSpaceBelow);
  data1.PackedSignedShort(spaceBelow);
  data1.Append(commands.data());
  Record record;
  record.type = kRecordText;
  record.data1 = std::move(data1.data());
  record.data2 = std::move(text.data());
  record.shown = shown;
  return record;
}
std::size_t RecordSize(const Record& r) {
  return kLinkHeader + r.data1.size() + r.data2.size();
}

// Position of a byte of the topic stream: its block and its place in that
// block, counting the block's header.
std::uint32_t TopicPos(std::size_t streamOffset) {
  return static_cast<std::uint32_t>((streamOffset / kBlockData) * kPosPerBlock + kBlockHeader +
                                    streamOffset % kBlockData);
}

std::uint32_t BlockOf(std::size_t streamOffset) {
  return static_cast<std::uint32_t>(streamOffset / kBlockData);
}

// An internal file: its header (space reserved, space used, flags) and data.
void AppendInternalFile(Bytes& file, const std::vector<std::uint8_t>& data) {
  file.U32(static_cast<std::uint32_t>(data.size() + 9));
  file.U32(static_cast<std::uint32_t>(data.size()));
  file.U8(4);
  file.Append(data);
}

// A one-page tree: the header, then a single leaf holding every entry.
bool OnePageTree(std::uint16_t flags, std::uint16_t pageSize, std::string_view structure,
                 const std::vector<std::vector<std::uint8_t>>& entries, Bytes& out, std::string& error,
                 const char* what) {
  std::size_t used = kPageHeader;
  for (const auto& entry : entries) used += entry.size();
  if (used > pageSize) {
    error = std::string("too many ") + what + " for one tree page";
    return false;
  }
  out.U16(kTreeMagic);
  out.U16(flags);
  out.U16(pageSize);
  std::string shape(structure);
  shape.resize(16, '\0');
  out.Str(shape);
  out.U16(0);       // must be zero
  out.U16(0);       // page splits
  out.U16(0);       // root page
  out.U16(0xFFFF);  // must be -1
  out.U16(1);       // total pages
  out.U16(1);       // levels
  out.U32(static_cast<std::uint32_t>(entries.size()));
  out.U16(static_cast<std::uint16_t>(pageSize - used));  // unused bytes at the page's end
  out.U16(static_cast<std::uint16_t>(entries.size()));
  out.U16(0xFFFF);  // previous leaf
  out.U16(0xFFFF);  // next leaf
  for (const auto& entry : entries) out.Append(entry);
  out.Zeros(pageSize - used);
  return true;
}

}  // namespace

std::int32_t ContextHash(std::string_view name) {
  std::uint32_t hash = 0;
  for (char c : name) {
    std::uint32_t x = 0;
    if (c >= 'A' && c <= 'Z') x = static_cast<std::uint32_t>(c - 'A') + 17;
    if (c >= 'a' && c <= 'z') x = static_cast<std::uint32_t>(c - 'a') + 17;
    if (c >= '1' && c <= '9') x = static_cast<std::uint32_t>(c - '0');
    if (c == '0') x = 10;
    if (c == '.') x = 12;
    if (c == '_') x = 13;
    if (x) hash = hash * 43 + x;
  }
  return static_cast<std::int32_t>(hash);
}

bool WriteHelpFile(const HelpSource& source, std::uint32_t buildTime, std::vector<std::uint8_t>& out,
                   std::string& error) {
  out.clear();
  error.clear();
  const std::size_t topicCount = source.topics.size();
  if (topicCount == 0) {
    error = "no topics";
    return false;
  }

  // The records in reading order: per topic its header, its title as the
  // first paragraph, then its text.
  std::vector<Record> records;
  for (std::size_t t = 0; t < topicCount; ++t) {
    const Topic& topic = source.topics[t];
    Record header;
    header.type = kRecordTopicHeader;
    header.data1.assign(28, 0);
    header.data2.assign(topic.title.begin(), topic.title.end());
    header.topic = static_cast<int>(t);
    records.push_back(std::move(header));
    records.push_back(TextRecord(Paragraph{{topic.title, {}}}, kFontHeading, 16));
    for (const Paragraph& paragraph : topic.paragraphs) {
      records.push_back(TextRecord(paragraph, kFontBody, 12));
      if (records.back().shown >= kOffsetPerBlock) {
        error = "topic '" + topic.name + "' has a paragraph too long to show";
        return false;
      }
    }
  }

  // Where each record lands, and each topic's offset: its block and the
  // characters shown by the text that starts before it in that block.
  const std::size_t n = records.size();
  std::vector<std::size_t> start(n);
  std::vector<std::uint32_t> topicOffset(topicCount), topicPos(topicCount), topicSize(topicCount, 0),
      firstText(topicCount, kNone);
  std::size_t stream = 0;
  std::uint32_t block = 0, shownInBlock = 0;
  for (std::size_t i = 0; i < n; ++i) {
    start[i] = stream;
    if (BlockOf(stream) != block) {
      block = BlockOf(stream);
      shownInBlock = 0;
    }
    if (records[i].type == kRecordTopicHeader) {
      const int t = records[i].topic;
      topicOffset[t] = block * kOffsetPerBlock + shownInBlock;
      topicPos[t] = TopicPos(stream);
    } else {
      shownInBlock += records[i].shown;
    }
    stream += RecordSize(records[i]);
  }
  for (std::size_t i = 0, t = 0; i < n; ++i) {
    if (records[i].type == kRecordTopicHeader) t = static_cast<std::size_t>(records[i].topic);
    topicSize[t] += static_cast<std::uint32_t>(RecordSize(records[i]));
    if (records[i].type == kRecordText && firstText[t] == kNone) firstText[t] = TopicPos(start[i]);
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (records[i].type != kRecordTopicHeader) continue;
    const std::size_t t = static_cast<std::size_t>(records[i].topic);
    Bytes h;
    h.U32(topicSize[t]);
    h.U32(kNone);  // no browse sequence backwards
    h.U32(kNone);  // nor forwards
    h.U32(static_cast<std::uint32_t>(t));
    h.U32(kNone);  // no non-scrolling region
    h.U32(firstText[t]);
    h.U32(t + 1 < topicCount ? topicPos[t + 1] : kNone);
    records[i].data1 = std::move(h.data());
  }

  // The topic stream, cut into blocks that each start with the positions
  // of the last record and last topic before them and of their first record.
  Bytes linked;
  for (std::size_t i = 0; i < n; ++i) {
    const Record& r = records[i];
    linked.U32(static_cast<std::uint32_t>(RecordSize(r)));
    linked.U32(static_cast<std::uint32_t>(r.data2.size()));
    linked.U32(i > 0 ? TopicPos(start[i - 1]) : kNone);
    linked.U32(i + 1 < n ? TopicPos(start[i + 1]) : kNone);
    linked.U32(static_cast<std::uint32_t>(kLinkHeader + r.data1.size()));
    linked.U8(r.type);
    linked.Append(r.data1);
    linked.Append(r.data2);
  }
  const std::size_t blocks = (linked.size() + kBlockData - 1) / kBlockData;
  Bytes topicFile;
  for (std::size_t b = 0; b < blocks; ++b) {
    std::uint32_t lastLink = kNone, firstLink = kNone, lastHeader = kNone;
    for (std::size_t i = 0; i < n; ++i) {
      if (BlockOf(start[i]) < b) {
        lastLink = TopicPos(start[i]);
        if (records[i].type == kRecordTopicHeader) lastHeader = TopicPos(start[i]);
      } else if (BlockOf(start[i]) == b && firstLink == kNone) {
        firstLink = TopicPos(start[i]);
      }
    }
    topicFile.U32(lastLink);
    topicFile.U32(firstLink);
    topicFile.U32(lastHeader);
    const std::size_t from = b * kBlockData;
    const std::size_t count = std::min(kBlockData, linked.size() - from);
    topicFile.data().insert(topicFile.data().end(), linked.data().begin() + static_cast<std::ptrdiff_t>(from),
                            linked.data().begin() + static_cast<std::ptrdiff_t>(from + count));
    // The last block is filled out: readers take topic blocks whole.
    topicFile.Zeros(kBlockData - count);
  }

  // The system file: header, title, contents topic.
  Bytes system;
  system.U16(kSystemMagic);
  system.U16(kVersionMinor);
  system.U16(1);
  system.U32(buildTime);
  system.U16(0);  // plain topic text in 4 KB blocks
  system.U16(1);
  system.U16(static_cast<std::uint16_t>(source.title.size() + 1));
  system.StrZ(source.title);
  system.U16(3);
  system.U16(4);
  system.U32(topicOffset[0]);

  // Context names by hash, ordered as signed numbers.
  std::vector<std::pair<std::int32_t, std::size_t>> hashes;
  for (std::size_t t = 0; t < topicCount; ++t) hashes.push_back({ContextHash(source.topics[t].name), t});
  std::sort(hashes.begin(), hashes.end());
  for (std::size_t i = 0; i < hashes.size(); ++i) {
    if (hashes[i].first == 0) {
      error = "context name '" + source.topics[hashes[i].second].name + "' hashes to zero, which means the contents";
      return false;
    }
    if (i > 0 && hashes[i].first == hashes[i - 1].first) {
      error = "context names '" + source.topics[hashes[i - 1].second].name + "' and '" +
              source.topics[hashes[i].second].name + "' have the same hash";
      return false;
    }
  }
  std::vector<std::vector<std::uint8_t>> contextEntries;
  for (const auto& [hash, t] : hashes) {
    Bytes e;
    e.U32(static_cast<std::uint32_t>(hash));
    e.U32(topicOffset[t]);
    contextEntries.push_back(std::move(e.data()));
  }
  Bytes context;
  if (!OnePageTree(0x0002, kContextPage, "L4", contextEntries, context, error, "context names")) return false;

  // Context numbers, ascending.
  std::vector<std::pair<std::uint32_t, std::size_t>> numbers;
  for (std::size_t t = 0; t < topicCount; ++t) numbers.push_back({source.topics[t].number, t});
  std::sort(numbers.begin(), numbers.end());
  if (numbers.size() > 0xFFFF) {
    error = "too many context numbers";
    return false;
  }
  Bytes map;
  map.U16(static_cast<std::uint16_t>(numbers.size()));
  for (const auto& [number, t] : numbers) {
    map.U32(number);
    map.U32(topicOffset[t]);
  }

  // Fonts: one face, body text and headings.
  constexpr std::uint16_t kFaceLength = 20;
  Bytes fonts;
  fonts.U16(1);
  fonts.U16(2);
  fonts.U16(8);
  fonts.U16(8 + kFaceLength);
  std::string face = "MS Sans Serif";
  face.resize(kFaceLength, '\0');
  fonts.Str(face);
  auto descriptor = [&](std::uint8_t attributes, std::uint8_t halfPoints, std::uint8_t r, std::uint8_t g,
                        std::uint8_t b) {
    fonts.U8(attributes);
    fonts.U8(halfPoints);
    fonts.U8(3);  // swiss
    fonts.U16(0);
    fonts.U8(r);
    fonts.U8(g);
    fonts.U8(b);
    fonts.U8(0xFF);
    fonts.U8(0xFF);
    fonts.U8(0xFF);
  };
  descriptor(0, 20, 0, 0, 0);     // body: 10 pt
  descriptor(1, 26, 0, 0, 0x80);  // headings: 13 pt bold, dark blue

  // The file: header, internal files, directory last.
  const std::pair<const char*, const std::vector<std::uint8_t>*> files[] = {
      {"|CONTEXT", &context.data()}, {"|CTXOMAP", &map.data()},     {"|FONT", &fonts.data()},
      {"|SYSTEM", &system.data()},   {"|TOPIC", &topicFile.data()},
  };
  Bytes file;
  file.U32(kFileMagic);
  file.U32(0);  // directory start, filled in below
  file.U32(kNone);
  file.U32(0);  // file size, filled in below
  std::vector<std::vector<std::uint8_t>> directoryEntries;
  for (const auto& [name, data] : files) {
    Bytes e;
    e.StrZ(name);
    e.U32(static_cast<std::uint32_t>(file.size()));
    directoryEntries.push_back(std::move(e.data()));
    AppendInternalFile(file, *data);
  }
  Bytes directory;
  if (!OnePageTree(0x0402, kDirectoryPage, "z4", directoryEntries, directory, error, "internal files")) return false;
  file.Put32(4, static_cast<std::uint32_t>(file.size()));
  AppendInternalFile(file, directory.data());
  file.Put32(12, static_cast<std::uint32_t>(file.size()));
  out = std::move(file.data());
  return true;
}

}  // namespace quill::help
