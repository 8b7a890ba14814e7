// Reading the records' XML: which element sets which field, whatever their order; narrowing to 8-bit text;
// and hostile or broken documents.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tokenapi.h"
#include "xp/ole32.h"

namespace {

constexpr char kChallenge[] = "00112233445566778899aabbccddeeff";
const std::string kPuz = std::string("<PUZ>") + kChallenge + "</PUZ>";

struct Puzzle {
  std::string challenge;
  short ka, pssl;
  std::string pss;
  std::string hash;  // mode 2: every value followed by ","
};

Puzzle Read(const std::string& xml) {
  PuzzleObject puzzle;
  EXPECT_TRUE(puzzle.setXMLPuzzle(xml.c_str(), static_cast<int>(xml.size())));
  Puzzle p;
  char challenge[33], pss[33], hash[600];
  int length = sizeof(hash);
  puzzle.getChallenge(challenge);
  puzzle.getPSSValue(pss);
  puzzle.getAESLocation(&p.ka);
  puzzle.getPSSLoc(&p.pssl);
  puzzle.getHashInput(hash, &length, 2);
  p.challenge = challenge;
  p.pss = pss;
  p.hash = std::string(hash, static_cast<size_t>(length));
  return p;
}

TEST(PuzzleXml, ElementsSetTheirFieldsInAnyOrder) {
  const std::string c = kChallenge;
  const struct {
    std::string xml;
    Puzzle expected;
  } cases[] = {
      {"<C>" + kPuz + "<KA>1</KA><PSSL>2</PSSL><PSS></PSS></C>", {c, 1, 2, "", ""}},
      {"<C><PSSL>2</PSSL><H><U>bob</U></H><KA>1</KA>" + kPuz + "</C>", {c, 1, 2, "", "bob,"}},
      {"<C>" + kPuz + "</C>", {c, -1, -1, "", ""}},  // missing elements stay unset
      {"<C><KA>4</KA></C>", {"", 4, -1, "", ""}},
      {"<C><PSS>" + c + "</PSS></C>", {"", -1, -1, c, ""}},
      // only elements inside H are hash inputs, and H ends with its closing tag
      {"<C><U>out</U><H><U>in</U><V>2</V></H><W>after</W></C>", {"", -1, -1, "", "in,2,"}},
      // laid out over several lines: the line breaks belong to no hash input
      {"<C>\n <H>\n  <U>bob</U>\n  <D>corp</D>\n </H>\n</C>", {"", -1, -1, "", "bob,corp,"}},
      // the tags are matched by local name
      {"<z:C xmlns:z=\"urn:zerk\"><z:KA>5</z:KA></z:C>", {"", 5, -1, "", ""}},
      // decimal fields take the leading number, as the C library reads it
      {"<C><KA> 12abc</KA><PSSL>-3</PSSL></C>", {"", 12, -3, "", ""}},
      // text after an element's end tag belongs to no field
      {"<C>loose<KA></KA>text<PSSL>1</PSSL></C>", {"", -1, 1, "", ""}},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.xml);
    const Puzzle p = Read(row.xml);
    EXPECT_EQ(p.challenge, row.expected.challenge);
    EXPECT_EQ(p.ka, row.expected.ka);
    EXPECT_EQ(p.pssl, row.expected.pssl);
    EXPECT_EQ(p.pss, row.expected.pss);
    EXPECT_EQ(p.hash, row.expected.hash);
  }
}

// Names and text reach the record as the low byte of each UTF-16 unit: 8-bit input comes back byte for byte,
// and a character beyond 0xFF is cut to its low byte.
TEST(PuzzleXml, TextIsNarrowedToTheLowByteOfEachUnit) {
  EXPECT_EQ(Read("<C><H><U>caf\xE9</U></H></C>").hash, "caf\xE9,");
  EXPECT_EQ(Read("<C><H><U>&#x141;&#x2063;x</U></H></C>").hash, "Acx,");
  EXPECT_EQ(Read("<C><H><U>a&amp;b&#60;</U></H></C>").hash, "a&b<,");
  EXPECT_EQ(Read("<C><H><U>&#x101;</U><V>ok</V></H></C>").hash, "ok,");  // a control byte XML cannot carry
}

TEST(PuzzleXml, OversizedFieldsAreNotTaken) {
  const std::string c = kChallenge;
  const struct {
    const char* what;
    std::string xml;
    Puzzle expected;
  } cases[] = {
      {"challenge of 64 digits", "<C><PUZ>" + c + c + "</PUZ></C>", {"", -1, -1, "", ""}},
      {"challenge of 31 digits", "<C><PUZ>" + c.substr(1) + "</PUZ></C>", {"", -1, -1, "", ""}},
      {"KA beyond 16 bits", "<C><KA>65537</KA><PSSL>99999999999</PSSL></C>", {"", -1, -1, "", ""}},
      {"PSS not hex", "<C><PSS>zz112233445566778899aabbccddeeff</PSS></C>", {"", -1, -1, "", ""}},
      {"hash value of 50", "<C><H><U>" + std::string(50, 'v') + "</U><V>ok</V></H></C>", {"", -1, -1, "", "ok,"}},
      {"hash name of 15", "<C><H><ABCDEFGHIJKLMNO>v</ABCDEFGHIJKLMNO></H></C>", {"", -1, -1, "", ""}},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    const Puzzle p = Read(row.xml);
    EXPECT_EQ(p.challenge, row.expected.challenge);
    EXPECT_EQ(p.ka, row.expected.ka);
    EXPECT_EQ(p.pssl, row.expected.pssl);
    EXPECT_EQ(p.pss, row.expected.pss);
    EXPECT_EQ(p.hash, row.expected.hash);
  }
  std::string many = "<C><H>";
  for (int i = 0; i < 200; ++i) many += "<U>" + std::to_string(i) + "</U>";
  many += "</H></C>";
  EXPECT_EQ(Read(many).hash, "0,1,2,3,4,5,6,7,8,9,");
}

// The reader stops at the first fault; what it read before stands, text cut short does not.
TEST(PuzzleXml, BrokenDocumentsKeepOnlyWhatWasReadBeforeTheFault) {
  const std::string c = kChallenge;
  const struct {
    std::string xml;
    short ka;
    std::string challenge;
  } cases[] = {
      {"<C><KA>3</KA>" + kPuz.substr(0, 20), 3, ""},
      {"<C><KA>3</KA><PSSL>1</KB>" + kPuz + "</C>", 3, ""},
      {"<C><KA>3</KA>" + kPuz + "<H>&unknown;</H></C>", 3, c},
      {"", -1, ""},
      {"not xml at all", -1, ""},
      {"<C><KA>7</KA></C><C><KA>8</KA></C>", 7, ""},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.xml);
    const Puzzle p = Read(row.xml);
    EXPECT_EQ(p.ka, row.ka);
    EXPECT_EQ(p.challenge, row.challenge);
  }
}

TEST(PuzzleXml, TheTextEndsAtItsLengthOrItsFirstNul) {
  EXPECT_EQ(Read(std::string("<C><KA>3</KA></C>\0<junk", 23)).ka, 3);
  PuzzleObject puzzle;
  const std::string xml = "<C><KA>9</KA></C>trailing";
  puzzle.setXMLPuzzle(xml.c_str(), 17);
  short ka = 0;
  puzzle.getAESLocation(&ka);
  EXPECT_EQ(ka, 9);
  EXPECT_TRUE(puzzle.setXMLPuzzle(nullptr, 10));
  EXPECT_TRUE(puzzle.setXMLPuzzle(xml.c_str(), -1));
}

TEST(PuzzleXml, NothingIsReadWhenTheReaderCannotBeHad) {
  xp::ole32::FailCreateInstance(1);
  const Puzzle p = Read("<C><KA>3</KA></C>");
  EXPECT_EQ(p.ka, -1);
  EXPECT_EQ(Read("<C><KA>3</KA></C>").ka, 3);
}

TEST(ResponseXml, ElementsSetTheirFields) {
  const struct {
    std::string xml, rebuilt;
  } cases[] = {
      {"<R><A>ab</A><L>3</L><P>2</P><E>12345678</E></R>", "<R><E>12345678</E><P>2</P><A>ab</A><L>3</L></R>"},
      {"<R><E>0</E><P>70000</P></R>", "<R><E>-1</E><P>4464</P><A></A></R>"},  // P is 16-bit
      {"<R><A>" + std::string(33, 'a') + "</A></R>", "<R><E>-9</E><P>-1</P><A></A></R>"},
      {"<R><E>1234", "<R><E>-9</E><P>-1</P><A></A></R>"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.xml);
    ResponseObject response;
    EXPECT_TRUE(response.setXMLResponse(row.xml.c_str(), static_cast<int>(row.xml.size())));
    char out[256];
    int length = sizeof(out);
    ASSERT_TRUE(response.buildXML(out, &length));
    EXPECT_EQ(std::string(out), row.rebuilt);
  }
}

}  // namespace
