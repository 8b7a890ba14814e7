// The challenge and response records in their three forms: exact texts and bytes, round trips, and the limits
// of every field.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tokenapi.h"

namespace {

constexpr char kChallenge[] = "00112233445566778899aabbccddeeff";
constexpr char kAnswer[] = "a1b2c3d4e5f60718293a4b5c6d7e8f90";

std::string Xml(PuzzleObject& puzzle) {
  char out[1024];
  int length = sizeof(out);
  EXPECT_TRUE(puzzle.buildXML(out, &length));
  EXPECT_EQ(length, static_cast<int>(std::strlen(out)));
  return out;
}

std::string Xml(ResponseObject& response) {
  char out[1024];
  int length = sizeof(out);
  EXPECT_TRUE(response.getXMLResponse(out, &length));
  return out;
}

std::string Delimited(PuzzleObject& puzzle) {
  char out[1024] = "";
  EXPECT_TRUE(puzzle.getDelimPuzzle(out, sizeof(out)));
  return out;
}

std::string Delimited(ResponseObject& response) {
  char out[1024] = "";
  int length = sizeof(out);
  EXPECT_TRUE(response.getDelimResponse(out, &length));
  EXPECT_EQ(length, static_cast<int>(std::strlen(out)));
  return out;
}

struct PuzzleFields {
  short ka, pssl;
  const char* pss;
  std::vector<std::pair<std::string, std::string>> hash;  // name, value
};

void Fill(PuzzleObject& puzzle, const PuzzleFields& f) {
  ASSERT_TRUE(puzzle.setChallenge(kChallenge));
  puzzle.setAESLocation(f.ka);
  puzzle.setPSSLocation(f.pssl);
  ASSERT_TRUE(puzzle.setPSSValue(f.pss));
  for (const auto& [name, value] : f.hash) {
    ASSERT_TRUE(puzzle.addHashInput(value.c_str(), static_cast<int>(value.size()), name.c_str()));
  }
}

TEST(PuzzleRecord, FormsAreExactAndReadBack) {
  const std::string c = kChallenge;
  const struct {
    PuzzleFields fields;
    std::string xml, delimited;
  } cases[] = {
      {{1, 2, "", {}}, "<C><PUZ>" + c + "</PUZ><KA>1</KA><PSSL>2</PSSL><PSS></PSS></C>", c + ",1,2"},
      {{1, 2, "", {{"U", "bob"}, {"D", "corp"}}},
       "<C><PUZ>" + c + "</PUZ><KA>1</KA><PSSL>2</PSSL><PSS></PSS><H><U>bob</U><D>corp</D></H></C>",
       c + ",1,2,bob,corp,"},
      {{3, -1, "ffeeddccbbaa99887766554433221100", {}},
       "<C><PUZ>" + c + "</PUZ><KA>3</KA><PSSL>-1</PSSL><PSS>ffeeddccbbaa99887766554433221100</PSS></C>", c + ",3"},
      {{-1, -1, "", {{"Name.2", "a&b<c>"}, {"R", "x\ry"}}},
       "<C><PUZ>" + c +
           "</PUZ><KA>-1</KA><PSSL>-1</PSSL><PSS></PSS><H><Name.2>a&amp;b&lt;c&gt;</Name.2><R>x&#13;y</R></H></C>",
       c + ",a&b<c>,x\ry,"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.xml);
    PuzzleObject puzzle;
    Fill(puzzle, row.fields);
    EXPECT_EQ(Xml(puzzle), row.xml);
    EXPECT_EQ(Delimited(puzzle), row.delimited);

    PuzzleObject from_xml;
    EXPECT_TRUE(from_xml.setXMLPuzzle(row.xml.c_str(), static_cast<int>(row.xml.size())));
    EXPECT_EQ(Xml(from_xml), row.xml);
    char joined[512];
    int length = sizeof(joined);
    ASSERT_TRUE(from_xml.getHashInput(joined, &length, 2));
    std::string expected_joined;
    for (const auto& input : row.fields.hash) expected_joined += input.second + ",";
    EXPECT_EQ(std::string(joined), expected_joined);

    PuzzleObject from_delimited;
    EXPECT_TRUE(from_delimited.setDelimPuzzle(row.delimited.c_str(), 0));
    short ka = 0, pssl = 0;
    from_delimited.getAESLocation(&ka);
    from_delimited.getPSSLoc(&pssl);
    if (row.fields.ka != -1) {
      EXPECT_EQ(ka, row.fields.ka);
    }
    if (row.fields.pssl != -1) {
      EXPECT_EQ(pssl, row.fields.pssl);
    }
  }
}

TEST(PuzzleRecord, ByteFormIsChallengeThenPsslThenKa) {
  PuzzleObject puzzle;
  Fill(puzzle, {7, 3, "", {}});
  unsigned char bytes[19];
  std::memset(bytes, 0xEE, sizeof(bytes));
  ASSERT_TRUE(puzzle.getBytePuzzle(bytes, 18));
  const unsigned char expected[18] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                      0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff, 3,    7};
  EXPECT_EQ(std::memcmp(bytes, expected, 18), 0);
  EXPECT_EQ(bytes[18], 0xEE);

  PuzzleObject back;
  ASSERT_TRUE(back.setBytePuzzle(bytes, 18));
  EXPECT_EQ(Xml(back), Xml(puzzle));
  const unsigned char unset[18] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  ASSERT_TRUE(back.setBytePuzzle(unset, 18));
  short ka = 0;
  back.getAESLocation(&ka);
  EXPECT_EQ(ka, -1);
  EXPECT_FALSE(back.setBytePuzzle(unset, 17));
  EXPECT_FALSE(puzzle.getBytePuzzle(bytes, 17));
  EXPECT_FALSE(puzzle.getBytePuzzle(nullptr, 18));
  EXPECT_FALSE(PuzzleObject().getBytePuzzle(bytes, 18));  // no challenge to send
}

TEST(PuzzleRecord, FieldLimits) {
  PuzzleObject puzzle;
  const std::string hex33 = std::string(kChallenge) + "0";
  EXPECT_FALSE(puzzle.setChallenge("0011"));
  EXPECT_FALSE(puzzle.setChallenge(hex33.c_str()));
  EXPECT_FALSE(puzzle.setChallenge("0g112233445566778899aabbccddeeff"));
  EXPECT_TRUE(puzzle.setChallenge("00112233445566778899AABBCCDDEEFF"));
  EXPECT_TRUE(puzzle.setPSSValue(""));
  EXPECT_FALSE(puzzle.setPSSValue("abc"));
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(puzzle.addHashInput("v", 1, "N")) << i;
  EXPECT_FALSE(puzzle.addHashInput("v", 1, "N"));  // an eleventh

  PuzzleObject names;
  const std::string value49(49, 'v'), value50(50, 'v');
  EXPECT_TRUE(names.addHashInput(value49.c_str(), 49, "Fourteen_chars"));
  EXPECT_FALSE(names.addHashInput("v", 1, "Fifteen_chars__"));
  EXPECT_FALSE(names.addHashInput(value50.c_str(), 50, "N"));
  for (const char* bad : {"", "1st", "a:b", "a b", "<x>", "PUZ", "KA", "PSSL", "PSS", "H"}) {
    EXPECT_FALSE(names.addHashInput("v", 1, bad)) << bad;
  }
  EXPECT_FALSE(names.addHashInput("a\0b", 3, "N"));
  EXPECT_FALSE(names.addHashInput("a\x01", 2, "N"));
  EXPECT_FALSE(names.addHashInput("v", -1, "N"));

  char small[10] = "";
  EXPECT_FALSE(puzzle.getDelimPuzzle(small, sizeof(small)));
  EXPECT_FALSE(puzzle.getDelimPuzzle(nullptr, 100));
  char xml[20];
  int length = sizeof(xml);
  EXPECT_FALSE(puzzle.getXMLPuzzle(xml, &length));
  EXPECT_GT(length, 20);  // the size it needs
  EXPECT_FALSE(PuzzleObject().setDelimPuzzle(",,,", 0));
}

TEST(ResponseRecord, FormsAreExactAndReadBack) {
  const std::string a = kAnswer;
  const struct {
    long esn;
    int failed, location;
    std::string xml, delimited;
  } cases[] = {
      {12345678, -1, -1, "<R><E>12345678</E><P>-1</P><A>" + a + "</A></R>", a + ",12345678"},
      {12345678, 0, 5, "<R><E>12345678</E><P>0</P><A>" + a + "</A><L>5</L></R>", a + ",12345678,0,5"},
      {87654321, 3, 0, "<R><E>87654321</E><P>3</P><A>" + a + "</A><L>0</L></R>", a + ",87654321,3"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.xml);
    ResponseObject response;
    ASSERT_TRUE(response.setESN(row.esn));
    ASSERT_TRUE(response.setAnswer(kAnswer, 32));
    response.setFailedAttempts(row.failed);
    response.setPssLoc(row.location);
    EXPECT_EQ(Xml(response), row.xml);
    EXPECT_EQ(Delimited(response), row.delimited);
    int needed = 0;
    EXPECT_TRUE(response.getDelimResponse(nullptr, &needed));
    EXPECT_EQ(needed, static_cast<int>(row.delimited.size() + 1));

    ResponseObject from_xml;
    EXPECT_TRUE(from_xml.setXMLResponse(row.xml.c_str(), static_cast<int>(row.xml.size())));
    EXPECT_EQ(Xml(from_xml), row.xml);

    ResponseObject from_delimited;
    EXPECT_TRUE(from_delimited.setDelimResponse(row.delimited.c_str(), static_cast<int>(row.delimited.size())));
    char answer[33];
    from_delimited.getAnswer(answer);
    EXPECT_EQ(std::string(answer), a);
  }
}

// 18 bytes and not one more: answer, PSS location (left alone when unset), failed attempts.
TEST(ResponseRecord, ByteFormIsEighteenBytes) {
  ResponseObject response;
  ASSERT_TRUE(response.setAnswer(kAnswer, 32));
  response.setFailedAttempts(2);
  response.setPssLoc(4);
  unsigned char bytes[19];
  std::memset(bytes, 0xEE, sizeof(bytes));
  int length = 18;
  ASSERT_TRUE(response.getByteResponse(bytes, &length));
  EXPECT_EQ(length, 18);
  const unsigned char expected[18] = {0xa1, 0xb2, 0xc3, 0xd4, 0xe5, 0xf6, 0x07, 0x18, 0x29,
                                      0x3a, 0x4b, 0x5c, 0x6d, 0x7e, 0x8f, 0x90, 4,    2};
  EXPECT_EQ(std::memcmp(bytes, expected, 18), 0);
  EXPECT_EQ(bytes[18], 0xEE);

  ResponseObject back;
  ASSERT_TRUE(back.setByteResponse(bytes, 18));
  std::memset(bytes, 0xEE, sizeof(bytes));
  length = 18;
  ASSERT_TRUE(back.getByteResponse(bytes, &length));
  EXPECT_EQ(std::memcmp(bytes, expected, 18), 0);

  ResponseObject unset_location;
  unset_location.setAnswer(kAnswer, 32);
  std::memset(bytes, 0xEE, sizeof(bytes));
  length = 18;
  ASSERT_TRUE(unset_location.getByteResponse(bytes, &length));
  EXPECT_EQ(bytes[16], 0xEE);
  EXPECT_EQ(bytes[17], 0xFF);  // failed attempts -1

  length = 17;
  EXPECT_FALSE(response.getByteResponse(bytes, &length));
  EXPECT_EQ(length, 18);
  EXPECT_FALSE(back.setByteResponse(bytes, 17));
}

TEST(ResponseRecord, FieldLimits) {
  ResponseObject response;
  EXPECT_EQ(Xml(response), "<R><E>-9</E><P>-1</P><A></A></R>");
  const struct {
    long esn;
    bool accepted;
  } esns[] = {{9999999, false}, {10000000, true}, {99999999, true}, {100000000, false}, {-12345678, false}};
  for (const auto& e : esns) EXPECT_EQ(response.setESN(e.esn), e.accepted) << e.esn;
  EXPECT_FALSE(response.setEsn("0"));
  EXPECT_EQ(Xml(response), "<R><E>-1</E><P>-1</P><A></A></R>");
  EXPECT_TRUE(response.setEsn("42"));
  const std::string answer33(33, 'a');
  EXPECT_FALSE(response.setAnswer(answer33.c_str(), 33));
  EXPECT_FALSE(response.setAnswer("x\x02y", 3));
  EXPECT_TRUE(response.setAnswer("x<y", 3));
  EXPECT_EQ(Xml(response), "<R><E>42</E><P>-1</P><A>x&lt;y</A></R>");

  // The failed-attempts value is one for the whole process, and every new response resets it.
  response.setFailedAttempts(3);
  ResponseObject other;
  EXPECT_EQ(Xml(response), "<R><E>42</E><P>-1</P><A>x&lt;y</A></R>");
  EXPECT_FALSE(other.setDelimResponse("", 1));
  EXPECT_FALSE(other.setDelimResponse(answer33.c_str(), 33));
}

}  // namespace
