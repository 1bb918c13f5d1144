// The help compiler: its output read back by a reader written here from the
// file format, the product's help file checked against every page's help
// table, and faulty sources refused with their file and line.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "framework/help_table.h"
#include "tests/native/help_titles.h"
#include "tools/quillhelp/help_source.h"
#include "tools/quillhelp/hlp_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t U16(const Bytes& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8;
}
std::uint32_t U32(const Bytes& b, std::size_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}

// The viewer's hash of a context name, from its published definition.
std::int32_t Hash(const std::string& name) {
  std::uint32_t h = 0;
  for (char c : name) {
    int x = 0;
    if (std::isalpha(static_cast<unsigned char>(c))) {
      x = std::toupper(static_cast<unsigned char>(c)) - 'A' + 17;
    } else if (c >= '1' && c <= '9') {
      x = c - '0';
    } else if (c == '0') {
      x = 10;
    } else if (c == '.') {
      x = 12;
    } else if (c == '_') {
      x = 13;
    }
    if (x) h = h * 43 + static_cast<std::uint32_t>(x);
  }
  return static_cast<std::int32_t>(h);
}

struct ReadTopic {
  std::uint32_t offset = 0;  // block * 0x8000 + characters shown before it in its block
  std::string title;
  std::vector<std::string> paragraphs;  // shown text, the heading first
  std::vector<std::int32_t> jumps;
};

// Reads a help file the way a viewer does, failing the test on anything
// malformed.
struct HelpFile {
  std::map<std::string, Bytes> files;
  std::string title;
  std::uint32_t contents = 0xFFFFFFFF;
  std::map<std::int32_t, std::uint32_t> hashes;
  std::map<std::uint32_t, std::uint32_t> numbers;
  std::vector<ReadTopic> topics;
  std::vector<std::string> faces;

  const ReadTopic* At(std::uint32_t offset) const {
    for (const ReadTopic& t : topics)
      if (t.offset == offset) return &t;
    return nullptr;
  }
  const ReadTopic* ByNumber(std::uint32_t number) const {
    auto it = numbers.find(number);
    return it == numbers.end() ? nullptr : At(it->second);
  }
};

// The leaf entries of a one-level tree held in an internal file.
std::vector<std::size_t> TreeEntries(const Bytes& tree, std::size_t (*entrySize)(const Bytes&, std::size_t),
                                     const char* shape) {
  EXPECT_EQ(U16(tree, 0), 0x293Bu);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&tree[6])), shape);
  const std::size_t pageSize = U16(tree, 4);
  EXPECT_EQ(U16(tree, 32), 1u) << "one level";
  const std::size_t page = 38 + U16(tree, 26) * pageSize;
  const std::size_t count = U16(tree, page + 2);
  EXPECT_EQ(U32(tree, 34), count);
  std::vector<std::size_t> at;
  std::size_t p = page + 8;
  for (std::size_t i = 0; i < count; ++i) {
    at.push_back(p);
    p += entrySize(tree, p);
  }
  EXPECT_LE(p, page + pageSize);
  EXPECT_EQ(U16(tree, page), page + pageSize - p) << "unused bytes of the page";
  return at;
}

std::size_t NameEntry(const Bytes& b, std::size_t at) {
  std::size_t n = 0;
  while (b.at(at + n)) ++n;
  return n + 5;
}
std::size_t HashEntry(const Bytes&, std::size_t) {
  return 8;
}

// Packed numbers: the low bit of the first byte selects the long form.
long PackedLong(const Bytes& b, std::size_t& p) {
  if (b.at(p) & 1) {
    long v = (static_cast<long>(U32(b, p)) - 0x80000000L) / 2;
    p += 4;
    return v;
  }
  long v = (static_cast<long>(U16(b, p)) - 0x8000) / 2;
  p += 2;
  return v;
}
unsigned PackedUShort(const Bytes& b, std::size_t& p) {
  if (b.at(p) & 1) {
    unsigned v = U16(b, p) / 2;
    p += 2;
    return v;
  }
  return b.at(p++) / 2u;
}
int PackedShort(const Bytes& b, std::size_t& p) {
  if (b.at(p) & 1) {
    int v = (static_cast<int>(U16(b, p)) - 0x8000) / 2;
    p += 2;
    return v;
  }
  return (b.at(p++) - 0x80) / 2;
}

void ReadTopics(const Bytes& topicFile, HelpFile& out) {
  // The stream without the 12-byte block headers; positions count them.
  constexpr std::size_t kBlock = 4096;
  ASSERT_EQ(topicFile.size() % kBlock, 0u);
  Bytes stream;
  for (std::size_t b = 0; b < topicFile.size(); b += kBlock)
    stream.insert(stream.end(), topicFile.begin() + static_cast<long>(b + 12),
                  topicFile.begin() + static_cast<long>(b + kBlock));
  auto where = [](std::uint32_t pos) { return (pos >> 14) * (kBlock - 12) + (pos & 0x3FFF) - 12; };
  std::uint32_t pos = 12, block = 0, shown = 0, previous = 0xFFFFFFFF;
  for (int guard = 0; pos != 0xFFFFFFFF; ++guard) {
    ASSERT_LT(guard, 100000);
    const std::size_t r = where(pos);
    ASSERT_LT(r + 21, stream.size());
    const std::uint32_t size = U32(stream, r), len2 = U32(stream, r + 4), len1 = U32(stream, r + 16);
    ASSERT_EQ(size, len1 + len2) << "uncompressed text";
    EXPECT_EQ(U32(stream, r + 8), previous) << "each record links back to the one before";
    previous = pos;
    if ((pos >> 14) != block) {
      block = pos >> 14;
      shown = 0;
    }
    const std::uint8_t type = stream[r + 20];
    const Bytes d1(stream.begin() + static_cast<long>(r + 21), stream.begin() + static_cast<long>(r + len1));
    const Bytes d2(stream.begin() + static_cast<long>(r + len1), stream.begin() + static_cast<long>(r + size));
    if (type == 0x02) {
      ReadTopic t;
      t.offset = block * 0x8000 + shown;
      t.title.assign(d2.begin(), d2.end());
      ASSERT_EQ(d1.size(), 28u);
      out.topics.push_back(t);
    } else {
      ASSERT_EQ(type, 0x20);
      ASSERT_FALSE(out.topics.empty()) << "text before the first topic";
      std::size_t p = 0;
      EXPECT_EQ(PackedLong(d1, p), static_cast<long>(d2.size()));
      const unsigned length = PackedUShort(d1, p);
      p += 4;
      const std::uint32_t bits = U16(d1, p);
      p += 2;
      for (std::uint32_t bit : {0x2u, 0x4u, 0x8u, 0x10u, 0x20u, 0x40u})
        if (bits & bit) PackedShort(d1, p);
      ASSERT_EQ(bits & ~0x7Eu, 0u) << "only spacing and indents are written";
      std::string text;
      unsigned counted = 0;
      std::size_t s = 0;
      for (;;) {
        std::string piece(reinterpret_cast<const char*>(&d2.at(s)));
        s += piece.size() + 1;
        text += piece;
        counted += static_cast<unsigned>(piece.size());
        const std::uint8_t cmd = d1.at(p++);
        if (cmd == 0xFF) break;
        if (cmd == 0x80) {
          p += 2;
        } else if (cmd == 0x82) {
          ++counted;
        } else if (cmd == 0xE3) {
          out.topics.back().jumps.push_back(static_cast<std::int32_t>(U32(d1, p)));
          p += 4;
        } else {
          ASSERT_EQ(cmd, 0x89) << "unexpected command";
        }
      }
      EXPECT_EQ(p, d1.size());
      EXPECT_EQ(s, d2.size());
      EXPECT_EQ(length, counted);
      shown += length;
      out.topics.back().paragraphs.push_back(text);
    }
    pos = U32(stream, r + 12);
  }
}

HelpFile Read(const Bytes& file) {
  HelpFile out;
  EXPECT_EQ(U32(file, 0), 0x00035F3Fu);
  EXPECT_EQ(U32(file, 12), file.size());
  const std::size_t dir = U32(file, 4);
  const Bytes tree(file.begin() + static_cast<long>(dir + 9),
                   file.begin() + static_cast<long>(dir + 9 + U32(file, dir + 4)));
  std::string previous;
  for (std::size_t at : TreeEntries(tree, NameEntry, "z4")) {
    std::string name(reinterpret_cast<const char*>(&tree[at]));
    EXPECT_LT(previous, name) << "directory in name order";
    previous = name;
    const std::size_t f = U32(tree, at + name.size() + 1);
    const std::size_t used = U32(file, f + 4);
    EXPECT_GE(U32(file, f), used + 9);
    EXPECT_LE(f + 9 + used, file.size());
    out.files[name] = Bytes(file.begin() + static_cast<long>(f + 9), file.begin() + static_cast<long>(f + 9 + used));
  }
  for (const char* needed : {"|SYSTEM", "|TOPIC", "|CONTEXT", "|CTXOMAP", "|FONT"})
    EXPECT_TRUE(out.files.count(needed)) << needed;
  if (::testing::Test::HasFailure()) return out;

  const Bytes& sys = out.files["|SYSTEM"];
  EXPECT_EQ(U16(sys, 0), 0x036Cu);
  EXPECT_EQ(U16(sys, 4), 1u);
  EXPECT_GT(U16(sys, 2), 16u) << "records follow the header";
  EXPECT_EQ(U16(sys, 10), 0u) << "plain topic text";
  for (std::size_t p = 12; p + 4 <= sys.size(); p += 4 + U16(sys, p + 2)) {
    if (U16(sys, p) == 1) out.title = reinterpret_cast<const char*>(&sys[p + 4]);
    if (U16(sys, p) == 3) out.contents = U32(sys, p + 4);
  }

  const Bytes& ctx = out.files["|CONTEXT"];
  std::optional<std::int32_t> last;
  for (std::size_t at : TreeEntries(ctx, HashEntry, "L4")) {
    const auto hash = static_cast<std::int32_t>(U32(ctx, at));
    if (last) {
      EXPECT_LT(*last, hash) << "hashes in signed order";
    }
    last = hash;
    out.hashes[hash] = U32(ctx, at + 4);
  }
  const Bytes& map = out.files["|CTXOMAP"];
  EXPECT_EQ(map.size(), 2 + 8 * U16(map, 0));
  for (std::size_t i = 0; i < U16(map, 0); ++i) out.numbers[U32(map, 2 + 8 * i)] = U32(map, 6 + 8 * i);

  const Bytes& font = out.files["|FONT"];
  const std::size_t faces = U16(font, 0), descriptors = U16(font, 2), faceAt = U16(font, 4), descAt = U16(font, 6);
  const std::size_t faceLength = (descAt - faceAt) / faces;
  for (std::size_t i = 0; i < faces; ++i)
    out.faces.emplace_back(reinterpret_cast<const char*>(&font[faceAt + i * faceLength]));
  EXPECT_EQ(font.size(), descAt + 11 * descriptors);
  for (std::size_t i = 0; i < descriptors; ++i) EXPECT_LT(U16(font, descAt + 11 * i + 3), faces);

  ReadTopics(out.files["|TOPIC"], out);
  return out;
}

Bytes Compile(const std::string& text) {
  quill::help::HelpSource source;
  std::string error;
  EXPECT_TRUE(quill::help::ParseHelpSource(text, "test.txt", source, error)) << error;
  Bytes out;
  EXPECT_TRUE(quill::help::WriteHelpFile(source, 0, out, error)) << error;
  return out;
}

Bytes Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(HelpFile, EveryContextThePagesOpenShowsItsTopic) {
  const HelpFile help = Read(Load(QUILL_HELP_FILE));
  ASSERT_FALSE(::testing::Test::HasFailure());
  const auto source = quill::test::HelpSourceTopics(QUILL_HELP_SOURCE);
  ASSERT_GT(source.size(), 40u);
  EXPECT_EQ(help.title, "Quillset 1 Help");
  EXPECT_EQ(help.topics.size(), source.size());

  std::vector<std::uint32_t> wanted = {quill::kHelpContents, quill::kHelpPage};
  for (const quill::HelpPair* table : {quill::kSimpleDelayHelp, quill::kMultiTapHelp, quill::kChorusHelp,
                                       quill::kReverbHelp, quill::kTimeHelp, quill::kPitchHelp})
    for (const quill::HelpPair* p = table; p->controlId != 0; ++p) wanted.push_back(p->context);
  EXPECT_GE(wanted.size(), 2u + 5 + 14 + 11 + 5 + 10);
  for (std::uint32_t number : wanted) {
    const ReadTopic* topic = help.ByNumber(number);
    ASSERT_NE(topic, nullptr) << "context " << number;
    ASSERT_TRUE(source.count(number)) << "context " << number;
    EXPECT_EQ(topic->title, source.at(number).second) << "context " << number;
    ASSERT_GE(topic->paragraphs.size(), 2u);
    EXPECT_EQ(topic->paragraphs[0], topic->title) << "the heading is shown";
  }
  EXPECT_EQ(help.contents, help.numbers.at(0)) << "contents is topic 0";
  // Each context name leads to the same topic as its number, and every jump
  // lands on a topic.
  for (const auto& [number, named] : source) {
    ASSERT_TRUE(help.hashes.count(Hash(named.first))) << named.first;
    EXPECT_EQ(help.hashes.at(Hash(named.first)), help.numbers.at(number)) << named.first;
  }
  for (const ReadTopic& topic : help.topics)
    for (std::int32_t jump : topic.jumps) EXPECT_TRUE(help.hashes.count(jump)) << topic.title;
  EXPECT_EQ(help.faces, std::vector<std::string>{"MS Sans Serif"});
}

TEST(HelpCompiler, TextSpanningManyBlocksReadsBackWordForWord) {
  // Enough text that records run across 4 KB block boundaries.
  std::string text = ".title Long\n";
  std::vector<std::string> expected;
  for (int t = 0; t < 40; ++t) {
    text +=
        ".topic " + std::to_string(100 + t) + " t" + std::to_string(t) + " Topic number " + std::to_string(t) + "\n";
    std::string body;
    for (int w = 0; w < 60 + t * 7; ++w) body += "word" + std::to_string(w % 13) + " ";
    body += "end";
    text += body + "\nsecond line {to the next|t" + std::to_string((t + 1) % 40) + "} after.\n\n±3 dB – done\n";
    expected.push_back(body + " second line to the next after.");
  }
  const Bytes file = Compile(text);
  const HelpFile help = Read(file);
  ASSERT_FALSE(::testing::Test::HasFailure());
  ASSERT_GT(file.size(), 4 * 4096u);
  ASSERT_EQ(help.topics.size(), 40u);
  std::uint32_t previous = 0;
  for (int t = 0; t < 40; ++t) {
    const ReadTopic* topic = help.ByNumber(100 + t);
    ASSERT_NE(topic, nullptr);
    if (t > 0) {
      EXPECT_GT(topic->offset, previous) << "offsets increase";
    }
    previous = topic->offset;
    EXPECT_EQ(topic->title, "Topic number " + std::to_string(t));
    ASSERT_EQ(topic->paragraphs.size(), 3u);
    EXPECT_EQ(topic->paragraphs[1], expected[t]);
    EXPECT_EQ(topic->paragraphs[2],
              "\xB1"
              "3 dB \x96 done")
        << "Windows-1252 in the file";
    ASSERT_EQ(topic->jumps.size(), 1u);
    EXPECT_EQ(help.hashes.at(topic->jumps[0]), help.numbers.at(100 + (t + 1) % 40));
  }
  EXPECT_EQ(help.contents, help.numbers.at(100)) << "the first topic is the contents";
}

// The product file's names are checked against the reader's hash too.
TEST(HelpCompiler, HashMatchesTheViewers) {
  // Worked by hand: 'a' = 17, 'b' = 18, '1' = 1, '_' = 13, '.' = 12, '0' = 10.
  EXPECT_EQ(quill::help::ContextHash("Ab"), 17 * 43 + 18);
  EXPECT_EQ(quill::help::ContextHash("a_1.0"), (((17 * 43 + 13) * 43 + 1) * 43 + 12) * 43 + 10);
}

TEST(HelpCompiler, FaultySourcesAreRefusedWithFileAndLine) {
  struct Case {
    const char* source;
    const char* where;
    const char* what;
  };
  const Case cases[] = {
      {"Text first\n", "test.txt:1:", "before the first .topic"},
      {".topic 1 a A\ntext\n", "test.txt:1:", "no .title"},
      {".title T\n", "test.txt:1:", "no .topic"},
      {".title T\n.title U\n", "test.txt:2:", "second .title"},
      {".title T\n.topic x a A\ntext\n", "test.txt:2:", "context number"},
      {".title T\n.topic 1 a\ntext\n", "test.txt:2:", "needs a context name and a title"},
      {".title T\n.topic 1 9a A\ntext\n", "test.txt:2:", "must start with a letter"},
      {".title T\n.topic 1 a A\ntext\n.topic 1 b B\ntext\n", "test.txt:4:", "already used at line 2"},
      {".title T\n.topic 1 a A\ntext\n.topic 2 a B\ntext\n", "test.txt:4:", "already used at line 2"},
      {".title T\n.topic 1 a A\n.topic 2 b B\ntext\n", "test.txt:2:", "has no text"},
      {".title T\n.topic 1 a A\n\nsee {this|nowhere}\n", "test.txt:4:", "which no topic has"},
      {".title T\n.topic 1 a A\nsee {this nowhere}\n", "test.txt:3:", "{label|context_name}"},
      {".title T\n.topic 1 a A\nsee {|a}\n", "test.txt:3:", "without a label"},
      {".title T\n.topic 1 a A\nfirst\nsee | there\n", "test.txt:3:", "outside a jump"},
      {".title T\n.topic 1 a A\ntab\there\n", "test.txt:3:", "a tab"},
      {".title T\n.topic 1 a A\nsnow \xE2\x98\x83\n", "test.txt:3:", "code page"},
      {".title T\n.topic 1 a A\n.image x\n", "test.txt:3:", "unknown directive"},
  };
  for (const Case& c : cases) {
    quill::help::HelpSource source;
    std::string error;
    EXPECT_FALSE(quill::help::ParseHelpSource(c.source, "test.txt", source, error)) << c.source;
    EXPECT_EQ(error.rfind(c.where, 0), 0u) << c.source << " -> " << error;
    EXPECT_NE(error.find(c.what), std::string::npos) << c.source << " -> " << error;
  }
}

TEST(HelpCompiler, ToolFailsTheBuildOnABadSource) {
  const std::string dir = ::testing::TempDir();
  const std::string bad = dir + "/bad_help.txt", out = dir + "/BAD.HLP";
  std::ofstream(bad) << ".title T\n.topic 1 a A\ntext\n.topic 2 b B\nsee {x|missing}\n";
  std::remove(out.c_str());
  const std::string command = std::string(QUILLHELP_PATH) + " " + bad + " -o " + out + " 2>" + dir + "/err.txt";
  EXPECT_NE(std::system(command.c_str()), 0);
  std::ifstream err(dir + "/err.txt");
  std::string message((std::istreambuf_iterator<char>(err)), {});
  EXPECT_NE(message.find(bad + ":5:"), std::string::npos) << message;
  EXPECT_FALSE(std::ifstream(out).good()) << "no file is left behind";
}

TEST(HelpTable, FirstMatchCountsAndUnlistedControlsHaveNone) {
  EXPECT_EQ(quill::HelpContextFor(quill::kSimpleDelayHelp, 3009), 30u);
  EXPECT_EQ(quill::HelpContextFor(quill::kMultiTapHelp, 4038), 47u) << "listed twice; the first counts";
  EXPECT_EQ(quill::HelpContextFor(quill::kSimpleDelayHelp, 4038), 0u);
  EXPECT_EQ(quill::HelpContextFor(quill::kTimeHelp, 0), 0u);
}

}  // namespace
