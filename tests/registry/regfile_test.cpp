#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "registry/RegFile.h"
#include "tests/support/TestSupport.h"

namespace vormlan::registry {
namespace {

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kV4 = "REGEDIT4\r\n\r\n";

// UTF-16LE bytes with BOM for text given as UTF-8, as Windows writes exports.
std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::string Data(const MemoryRegistry& reg, const std::string& path, const std::string& name,
                 std::uint32_t expectedType) {
  const auto value = reg.GetValue(root::LocalMachine, path, name);
  if (!value) {
    ADD_FAILURE() << "no value " << path << " " << name;
    return {};
  }
  EXPECT_EQ(value->type, expectedType) << name;
  return value->data;
}

void Load(MemoryRegistry& reg, const std::string& text) {
  LoadRegText(reg, text, "t.reg");
}

std::string ErrorOf(const std::string& text) {
  MemoryRegistry reg;
  try {
    Load(reg, text);
  } catch (const RegFileError& e) {
    return e.what();
  }
  return "loaded";
}

// --- Keys ---

TEST(RegFileKeys, KeyLinesCreateKeysWithParents) {
  MemoryRegistry reg;
  Load(reg, kV5 +
                "[HKEY_LOCAL_MACHINE\\Software\\A\\B]\r\n"
                "[HKCU\\Software\\U]\r\n"
                "[HKEY_CLASSES_ROOT\\.x]\n"
                "[HKU\\S-1]\n"
                "[HKEY_CURRENT_CONFIG\\System]\n"
                "[HKLM]\n");
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "Software\\A"));
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "software\\a\\b"));
  EXPECT_TRUE(reg.KeyExists(root::CurrentUser, "Software\\U"));
  EXPECT_TRUE(reg.KeyExists(root::ClassesRoot, ".x"));
  EXPECT_TRUE(reg.KeyExists(root::Users, "S-1"));
  EXPECT_TRUE(reg.KeyExists(root::CurrentConfig, "System"));
  EXPECT_FALSE(reg.KeyExists(root::CurrentUser, "Software\\A"));
}

TEST(RegFileKeys, DeletedKeyTakesEverythingBelow) {
  MemoryRegistry reg;
  reg.SetString(root::LocalMachine, "S\\Gone\\Deep", "v", "x");
  reg.SetString(root::LocalMachine, "S\\Kept", "v", "x");
  Load(reg, kV4 + "[-HKEY_LOCAL_MACHINE\\S\\Gone]\n[-HKEY_LOCAL_MACHINE\\S\\NeverThere]\n");
  EXPECT_FALSE(reg.KeyExists(root::LocalMachine, "S\\Gone"));
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "S\\Kept"));
}

// Keys that share a parent are made below the parent kept from the key
// before; a deletion in between, or another spelling of the parent, is seen.
TEST(RegFileKeys, SiblingsSeeTheirParentDeletedOrRespelled) {
  MemoryRegistry reg;
  Load(reg, kV4 +
                "[HKLM\\S\\P\\A]\n\"a\"=\"1\"\n[-HKLM\\S\\P]\n[HKLM\\S\\P\\B]\n[HKLM\\s\\p\\C]\n"
                "[HKLM\\S\\P\\A\\D]\n[HKLM\\T]\n[HKLM\\U]\n\"u\"=\"2\"\n");
  EXPECT_EQ(reg.SubKeyNames(root::LocalMachine, "S\\P"), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_FALSE(reg.GetValue(root::LocalMachine, "S\\P\\A", "a"));
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "S\\P\\A\\D"));
  EXPECT_EQ(reg.SubKeyNames(root::LocalMachine, ""), (std::vector<std::string>{"S", "T", "U"}));
  EXPECT_EQ(Data(reg, "U", "u", value_type::Sz), std::string("2\0", 2));
}

TEST(RegFileKeys, LaterSectionsSeeEarlierChanges) {
  MemoryRegistry reg;
  Load(reg, kV5 + "[HKLM\\S\\K]\n\"a\"=\"1\"\n[-HKLM\\S\\K]\n[HKLM\\S\\K]\n\"b\"=\"2\"\n");
  EXPECT_FALSE(reg.GetValue(root::LocalMachine, "S\\K", "a"));
  EXPECT_TRUE(reg.GetValue(root::LocalMachine, "S\\K", "b"));
}

// --- Values ---

TEST(RegFileValues, StringsWithEscapesAndTheDefaultValue) {
  MemoryRegistry reg;
  Load(reg, kV5 +
                "; a comment\r\n"
                "[HKEY_LOCAL_MACHINE\\S]\r\n"
                "\"Plain\"=\"a.dll\"\r\n"
                "\"Esc\"=\"C:\\\\dir \\\"q\\\"\"\r\n"
                "\"na\\\"me\\\\\"=\"x\"\r\n"
                "@=\"default\"\r\n"
                "  \"Spaced\" = \"y\"  ; trailing comment\r\n"
                "\"Empty\"=\"\"\r\n");
  EXPECT_EQ(Data(reg, "S", "Plain", value_type::Sz), std::string("a.dll\0", 6));
  EXPECT_EQ(Data(reg, "S", "Esc", value_type::Sz), std::string("C:\\dir \"q\"\0", 11));
  EXPECT_EQ(Data(reg, "S", "na\"me\\", value_type::Sz), std::string("x\0", 2));
  EXPECT_EQ(Data(reg, "S", "", value_type::Sz), std::string("default\0", 8));
  EXPECT_EQ(Data(reg, "S", "Spaced", value_type::Sz), std::string("y\0", 2));
  EXPECT_EQ(Data(reg, "S", "Empty", value_type::Sz), std::string(1, '\0'));
}

TEST(RegFileValues, DwordsAndDeletedValues) {
  MemoryRegistry reg;
  reg.SetString(root::LocalMachine, "S", "Old", "x");
  Load(reg, kV4 +
                "[HKEY_LOCAL_MACHINE\\S]\n"
                "\"D\"=dword:0102a0ff\n"
                "\"Short\"=DWORD:1f\n"
                "\"Old\"=-\n"
                "\"NeverThere\"=-\n");
  EXPECT_EQ(Data(reg, "S", "D", value_type::Dword), "\xFF\xA0\x02\x01");
  EXPECT_EQ(Data(reg, "S", "Short", value_type::Dword), std::string("\x1F\0\0\0", 4));
  EXPECT_FALSE(reg.GetValue(root::LocalMachine, "S", "Old"));
}

TEST(RegFileValues, HexDataWithContinuationLines) {
  MemoryRegistry reg;
  Load(reg, kV5 +
                "[HKLM\\S]\n"
                "\"Bin\"=hex:01,02,\\\n"
                "    03,0a,\\\n"
                "\tFF\n"
                "\"None\"=hex:\n"
                "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
                "\"Raw\"=hex(0):aa\n"
                "\"Big\"=hex(4000):1\n"
                "\"After\"=\"still parsed\"\n");
  EXPECT_EQ(Data(reg, "S", "Bin", value_type::Binary), "\x01\x02\x03\x0A\xFF");
  EXPECT_EQ(Data(reg, "S", "None", value_type::Binary), "");
  EXPECT_EQ(Data(reg, "S", "Q", value_type::Qword), std::string("\x01\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(Data(reg, "S", "Raw", value_type::None), "\xAA");
  EXPECT_EQ(Data(reg, "S", "Big", 0x4000), "\x01");
  EXPECT_EQ(Data(reg, "S", "After", value_type::Sz), std::string("still parsed\0", 13));
}

TEST(RegFileValues, Version5StringHexIsUtf16ConvertedToAnsi) {
  MemoryRegistry reg;
  Load(reg, kV5 +
                "[HKLM\\S]\n"
                // "a.dll" "b\u00e9" "" : UTF-16LE
                "\"M\"=hex(7):61,00,2e,00,64,00,6c,00,6c,00,00,00,62,00,e9,00,00,00,00,00\n"
                // "%X%\u20ac" then a character outside Windows-1252 (U+0416)
                "\"E\"=hex(2):25,00,58,00,25,00,ac,20,16,04,00,00\n"
                "\"S\"=hex(1):68,00,69,00,00,00\n");
  EXPECT_EQ(Data(reg, "S", "M", value_type::MultiSz), std::string("a.dll\0b\xE9\0\0", 10));
  EXPECT_EQ(Data(reg, "S", "E", value_type::ExpandSz), std::string("%X%\x80?\0", 6));
  EXPECT_EQ(Data(reg, "S", "S", value_type::Sz), std::string("hi\0", 3));
}

TEST(RegFileValues, Regedit4StringHexIsAnsiAsItStands) {
  MemoryRegistry reg;
  Load(reg, kV4 +
                "[HKLM\\S]\n"
                "\"M\"=hex(7):61,00,e9,00,00\n"
                "\"E\"=hex(2):25,58,25,00\n");
  EXPECT_EQ(Data(reg, "S", "M", value_type::MultiSz), std::string("a\0\xE9\0\0", 5));
  EXPECT_EQ(Data(reg, "S", "E", value_type::ExpandSz), std::string("%X%\0", 4));
}

// --- Encodings ---

TEST(RegFileEncoding, Utf16WithBomAsWindowsWritesIt) {
  MemoryRegistry reg;
  Load(reg, Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                      u"[HKEY_LOCAL_MACHINE\\Software\\Caf\u00e9]\r\n"
                      u"\"Name\"=\"\u20ac \u0416 \U0001F600\"\r\n\r\n"));
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "Software\\Caf\xE9"));
  EXPECT_EQ(Data(reg, "Software\\Caf\xE9", "Name", value_type::Sz), std::string("\x80 ? ?\0", 6));
}

TEST(RegFileEncoding, Utf8WithAndWithoutBom) {
  for (const std::string prefix : {"", "\xEF\xBB\xBF"}) {
    MemoryRegistry reg;
    Load(reg, prefix + kV5 + "[HKLM\\S]\n\"N\"=\"caf\xC3\xA9 \xD0\x96\"\n");
    EXPECT_EQ(Data(reg, "S", "N", value_type::Sz), std::string("caf\xE9 ?\0", 7));
  }
}

TEST(RegFileEncoding, Regedit4AnsiBytesAndValidUtf8) {
  MemoryRegistry reg;
  Load(reg, kV4 + "[HKLM\\S]\n\"N\"=\"caf\xE9 \x80\"\n");
  EXPECT_EQ(Data(reg, "S", "N", value_type::Sz), std::string("caf\xE9 \x80\0", 7));
  MemoryRegistry utf8;
  Load(utf8, kV4 + "[HKLM\\S]\n\"N\"=\"caf\xC3\xA9\"\n");
  EXPECT_EQ(Data(utf8, "S", "N", value_type::Sz), std::string("caf\xE9\0", 5));
}

// Text without a byte-order mark is UTF-8 only when all of it is: one encoded
// surrogate, overlong form or cut sequence anywhere makes the whole file
// Windows-1252, the valid UTF-8 of other lines included. After a UTF-8
// byte-order mark each of them is refused, naming its line.
TEST(RegFileEncoding, MalformedUtf8MakesTheFileWindows1252OrIsRefused) {
  struct Case {
    const char* bytes;
    const char* asAnsi;  // the bytes read as Windows-1252, in UTF-8
  };
  for (const Case& c : {Case{"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // "í\u00A0€"
                        Case{"\xC0\xAF", "\xC3\x80\xC2\xAF"},                  // "À¯"
                        Case{"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
                        Case{"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"}}) {  // "â‚"
    const std::string body = "[HKLM\\S]\n\"ok\"=\"\xC3\xA9\"\n\"bad\"=\"" + std::string(c.bytes) +
                             "\"\n\"after\"=\"\xC3\xA9\"\n";
    MemoryRegistry reg(TextEncoding::Utf8);
    Load(reg, kV5 + body);
    const std::string label = testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(Data(reg, "S", "bad", value_type::Sz), c.asAnsi + std::string(1, '\0')) << label;
    EXPECT_EQ(Data(reg, "S", "ok", value_type::Sz), std::string("\xC3\x83\xC2\xA9\0", 5)) << label;
    EXPECT_EQ(Data(reg, "S", "after", value_type::Sz), std::string("\xC3\x83\xC2\xA9\0", 5))
        << label;
    // Into an ANSI registry the bytes arrive as they are.
    MemoryRegistry ansi;
    Load(ansi, kV5 + body);
    EXPECT_EQ(Data(ansi, "S", "bad", value_type::Sz), c.bytes + std::string(1, '\0')) << label;

    EXPECT_EQ(ErrorOf("\xEF\xBB\xBF" + kV5 + body), "t.reg:5: invalid UTF-8 text") << label;
    // In a key name as well, and at the very end of the file.
    EXPECT_EQ(ErrorOf("\xEF\xBB\xBF" + kV5 + "[HKLM\\S]\n[HKLM\\S\\" + c.bytes + "]\n"),
              "t.reg:4: invalid UTF-8 text")
        << label;
    EXPECT_EQ(ErrorOf("\xEF\xBB\xBF" + kV5 + "[HKLM\\S]\n\"a\"=\"b\"\n;" + c.bytes),
              "t.reg:5: invalid UTF-8 text")
        << label;
  }
}

// Without a byte-order mark, Windows-written UTF-16 is told by its layout.
TEST(RegFileEncoding, Utf16WithoutBomIsRecognised) {
  MemoryRegistry reg(TextEncoding::Utf8);
  const std::string withBom = Utf16File(
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\S]\r\n\"N\"=\"\u30c0\"\r\n");
  Load(reg, withBom.substr(2));
  EXPECT_EQ(Data(reg, "S", "N", value_type::Sz), "\xE3\x83\x80" + std::string(1, '\0'));
}

// In UTF-8 no name is lost, and names match by Unicode's case rules.
TEST(RegFileEncoding, Utf8RegistryKeepsEveryCharacter) {
  MemoryRegistry reg(TextEncoding::Utf8);
  Load(reg, Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                      u"[HKLM\\Printers\\\u30d7\u30ea\u30f3\u30bf]\r\n"
                      u"[HKLM\\Printers\\\u041e\u0442\u0434\u0435\u043b]\r\n"
                      u"\"Multi\"=hex(7):01,04,00,00,e9,00,00,00,00,00\r\n"));
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "Printers\\プリンタ"));
  EXPECT_FALSE(reg.KeyExists(root::LocalMachine, "Printers\\????"));
  EXPECT_TRUE(reg.KeyExists(root::LocalMachine, "printers\\ОТДЕЛ"));
  EXPECT_EQ(Data(reg, "Printers\\Отдел", "Multi", value_type::MultiSz), std::string("Ё\0é\0\0", 7));

  MemoryRegistry ansi(TextEncoding::Utf8);
  Load(ansi, kV4 + "[HKLM\\S]\n\"N\"=\"caf\xE9\"\n\"H\"=hex(1):e9,00\n");
  EXPECT_EQ(Data(ansi, "S", "N", value_type::Sz), std::string("café\0", 6));
  EXPECT_EQ(Data(ansi, "S", "H", value_type::Sz), std::string("é\0", 3));
}

// --- Malformed input ---

struct BadCase {
  const char* label;
  std::string text;
  std::string message;
};

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.label;
}

class RegFileMalformed : public ::testing::TestWithParam<BadCase> {};

TEST_P(RegFileMalformed, NamesFileAndLineAndChangesNothing) {
  const BadCase& c = GetParam();
  MemoryRegistry reg;
  reg.SetString(root::LocalMachine, "S", "Keep", "kept");
  try {
    Load(reg, c.text);
    FAIL() << "loaded: " << c.label;
  } catch (const RegFileError& e) {
    EXPECT_EQ(std::string(e.what()), c.message);
  }
  // All or nothing: the section and value before the fault were not applied.
  EXPECT_FALSE(reg.KeyExists(root::LocalMachine, "S\\New"));
  EXPECT_FALSE(reg.GetValue(root::LocalMachine, "S", "Early"));
  ASSERT_TRUE(reg.KeyExists(root::LocalMachine, "S"));
  EXPECT_EQ(reg.GetValue(root::LocalMachine, "S", "Keep")->data, std::string("kept\0", 5));
}

const std::string kPre = kV5 + "[HKLM\\S\\New]\n[HKLM\\S]\n\"Early\"=\"e\"\n[-HKLM\\S]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileMalformed,
    ::testing::Values(
        BadCase{"Empty", "",
                "t.reg:1: empty file: a registry export starts with REGEDIT4 or \"Windows Registry "
                "Editor Version 5.00\""},
        BadCase{"UnknownHeader", "REGEDIT5\n[HKLM\\S]\n", "t.reg:1: unknown header 'REGEDIT5'"},
        BadCase{"HeaderNotFirst", "\nREGEDIT4\n", "t.reg:1: unknown header ''"},
        BadCase{"NoClosingBracket", kPre + "[HKLM\\S\n", "t.reg:7: key line without closing ']'"},
        BadCase{"EmptyKey", kPre + "[]\n", "t.reg:7: key line without a key name"},
        BadCase{"UnknownRoot", kPre + "[HKEY_NOWHERE\\S]\n",
                "t.reg:7: unknown root key 'HKEY_NOWHERE'"},
        BadCase{"EmptyKeyName", kPre + "[HKLM\\S\\\\T]\n", "t.reg:7: empty key name in 'S\\\\T'"},
        BadCase{"LongKeyName", kPre + "[HKLM\\" + std::string(256, 'k') + "]\n",
                "t.reg:7: key name longer than 255 characters"},
        BadCase{"DeleteRoot", kPre + "[-HKLM]\n", "t.reg:7: a root key cannot be deleted"},
        BadCase{"ValueBeforeKey", kV5 + "\"a\"=\"b\"\n", "t.reg:3: value line before any key"},
        BadCase{"ValueBelowDeletedKey", kPre + "\"a\"=\"b\"\n",
                "t.reg:7: value line below a deleted key"},
        BadCase{"UnterminatedName", kPre + "[HKLM\\S]\n\"abc\n", "t.reg:8: unterminated string"},
        BadCase{"UnterminatedData", kPre + "[HKLM\\S]\n\"a\"=\"b\n",
                "t.reg:8: unterminated string"},
        BadCase{"EscapeAtEnd", kPre + "[HKLM\\S]\n\"a\"=\"b\\\n", "t.reg:8: unterminated string"},
        BadCase{"BadEscape", kPre + "[HKLM\\S]\n\"a\"=\"b\\n\"\n", "t.reg:8: bad escape '\\n'"},
        BadCase{"TextAfterString", kPre + "[HKLM\\S]\n\"a\"=\"b\" c\n",
                "t.reg:8: unexpected text after the string"},
        BadCase{"NoEquals", kPre + "[HKLM\\S]\n\"a\" \"b\"\n",
                "t.reg:8: '=' expected after the name"},
        BadCase{"BadDword", kPre + "[HKLM\\S]\n\"a\"=dword:12345678x\n",
                "t.reg:8: bad dword value '12345678x'"},
        BadCase{"LongDword", kPre + "[HKLM\\S]\n\"a\"=dword:123456789\n",
                "t.reg:8: bad dword value '123456789'"},
        BadCase{"EmptyDword", kPre + "[HKLM\\S]\n\"a\"=dword:\n", "t.reg:8: bad dword value ''"},
        BadCase{"BadHex", kPre + "[HKLM\\S]\n\"a\"=hex:01,zz\n", "t.reg:8: bad hex byte 'zz'"},
        BadCase{"LongHexByte", kPre + "[HKLM\\S]\n\"a\"=hex:123\n", "t.reg:8: bad hex byte '123'"},
        BadCase{"TrailingComma", kPre + "[HKLM\\S]\n\"a\"=hex:01,\n", "t.reg:8: bad hex byte ''"},
        BadCase{"BadContinuation", kPre + "[HKLM\\S]\n\"a\"=hex:01,\\\n  0x\n",
                "t.reg:9: bad hex byte '0x'"},
        BadCase{"ContinuationAtEnd", kPre + "[HKLM\\S]\n\"a\"=hex:01,\\\n",
                "t.reg:8: hex data continues past the end of the file"},
        BadCase{"EmptyContinuation", kPre + "[HKLM\\S]\n\"a\"=hex:01,\\\n\n\"b\"=\"c\"\n",
                "t.reg:9: hex data expected on the continuation line"},
        BadCase{"ContinuationPastEnd", kPre + "[HKLM\\S]\n\"a\"=hex:01,\\",
                "t.reg:8: hex data continues past the end of the file"},
        BadCase{"BadHexType", kPre + "[HKLM\\S]\n\"a\"=hex(x):01\n",
                "t.reg:8: bad value type in 'hex(x):01'"},
        BadCase{"UnknownData", kPre + "[HKLM\\S]\n\"a\"=qword:1\n",
                "t.reg:8: unrecognised value data 'qword:1'"},
        BadCase{"StrayLine", kPre + "[HKLM\\S]\nrubbish\n", "t.reg:8: unrecognised line 'rubbish'"},
        BadCase{"BadUtf8AfterBom", "\xEF\xBB\xBF" + kV5 + "[HKLM\\S]\n\"a\"=\"\xE9\"\n",
                "t.reg:4: invalid UTF-8 text"},
        BadCase{"OddUtf16", Utf16File(u"REGEDIT4\r\n") + "x",
                "t.reg:2: the UTF-16 text ends in the middle of a character"},
        BadCase{"NulInHeader", std::string("REGEDIT4\0\n", 10),
                "t.reg:1: unknown header 'REGEDIT4\\x00' (the text holds NUL bytes: is it an "
                "export file?)"},
        BadCase{"CrOnly", "REGEDIT4\r\r[HKLM\\S]\r",
                "t.reg:1: unknown header 'REGEDIT4\\r\\r[HKLM\\S]' (CR-only line ends: lines must "
                "end in LF or CR LF)"},
        BadCase{"Utf16WithoutBomUnknownHeader", Utf16File(u"REGEDIT9\r\n").substr(2),
                "t.reg:1: unknown header 'REGEDIT9' (UTF-16 without a byte-order mark)"},
        BadCase{"BigEndian", "\xFE\xFF",
                "t.reg: UTF-16 big-endian text is not supported: save "
                "the export as UTF-16LE (as Windows writes it) or UTF-8"},
        BadCase{"Hive", std::string("regf\x01\0\0\0", 8),
                "t.reg: this is a binary hive: use --hive"}),
    [](const ::testing::TestParamInfo<BadCase>& param) { return param.param.label; });

// A value's data holds at most 16 MiB: exactly that loads, a byte more does
// not, whether written as hex or as a string (its NUL included).
TEST(RegFileLimits, ValueDataUpToItsCap) {
  constexpr std::size_t kCap = std::size_t{16} * 1024 * 1024;
  const std::string line = "00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\\\n";
  std::string hex = kV5 + "[HKLM\\S]\n\"a\"=hex:";
  hex.reserve(hex.size() + (kCap / 16 + 1) * line.size());
  for (std::size_t i = 0; i < kCap / 16; ++i) hex += line;
  hex.resize(hex.size() - 3);  // the last line without ",\"
  hex += "\n";
  {
    MemoryRegistry reg;
    Load(reg, hex);
    EXPECT_EQ(Data(reg, "S", "a", value_type::Binary).size(), kCap);
  }
  hex.resize(hex.size() - 1);
  hex += ",\\\n  00\n";
  // Named by the line where the data passes the bound.
  EXPECT_EQ(ErrorOf(hex),
            "t.reg:" + std::to_string(4 + kCap / 16) + ": value data larger than 16777216 bytes");

  const std::string text = kV5 + "[HKLM\\S]\n\"s\"=\"" + std::string(kCap - 1, 'x');
  {
    MemoryRegistry reg;
    Load(reg, text + "\"\n");
    EXPECT_EQ(Data(reg, "S", "s", value_type::Sz).size(), kCap);
  }
  EXPECT_EQ(ErrorOf(text + "x\"\n"), "t.reg:4: value data larger than 16777216 bytes");
}

// Names and nesting at their bounds load; one more is refused. Key names
// count characters, not bytes.
TEST(RegFileLimits, NamesAndNestingUpToTheirCaps) {
  std::string e255;
  for (int i = 0; i < 255; ++i) e255 += "\xC3\xA9";
  for (const std::string& name : {std::string(255, 'k'), e255}) {
    MemoryRegistry reg(TextEncoding::Utf8);
    Load(reg, kV5 + "[HKLM\\" + name + "]\n");
    EXPECT_TRUE(reg.KeyExists(root::LocalMachine, name));
  }
  EXPECT_EQ(ErrorOf(kV5 + "[HKLM\\" + e255 + "\xC3\xA9]\n"),
            "t.reg:3: key name longer than 255 characters");
  {
    MemoryRegistry reg;
    Load(reg, kV5 + "[HKLM\\S]\n\"" + std::string(16383, 'n') + "\"=\"x\"\n");
    EXPECT_TRUE(reg.GetValue(root::LocalMachine, "S", std::string(16383, 'n')));
  }
  std::string deep = "S";
  for (int i = 1; i < 512; ++i) deep += "\\S";
  {
    MemoryRegistry reg;
    Load(reg, kV5 + "[HKLM\\" + deep + "]\n");
    EXPECT_TRUE(reg.KeyExists(root::LocalMachine, deep));
  }
  EXPECT_EQ(ErrorOf(kV5 + "[HKLM\\" + deep + "\\S]\n"), "t.reg:3: key path nested too deeply");
}

// The bound of the file's bytes, smaller here so that a test can reach it:
// exactly that many load, one more is refused, and a stream is not read past
// the byte that tells.
TEST(RegFileLimits, FileBytesUpToTheirCap) {
  constexpr std::size_t kCap = 4096;
  std::string text = kV4 + "[HKLM\\S]\n\"a\"=\"b\"\n";
  text += std::string(kCap - text.size(), '\n');
  ASSERT_EQ(text.size(), kCap);
  {
    MemoryRegistry reg;
    LoadRegText(reg, text, "t.reg", kCap);
    EXPECT_EQ(Data(reg, "S", "a", value_type::Sz), std::string("b\0", 2));
  }
  try {
    MemoryRegistry reg;
    LoadRegText(reg, text + "\n", "t.reg", kCap);
    FAIL() << "loaded one byte over the cap";
  } catch (const RegFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "t.reg: file larger than 4096 bytes, the limit for export files");
  }

  test::TempDir dir;
  const auto path = dir.Path() / "stdin.reg";
  for (const std::size_t extra : {std::size_t{0}, std::size_t{1}, std::size_t{3} * 1024 * 1024}) {
    test::WriteFile(path, text + std::string(extra, '\n'));
    std::FILE* stream = std::fopen(path.string().c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    MemoryRegistry reg;
    std::string error = "loaded";
    try {
      LoadRegStream(reg, stream, "standard input", kCap);
    } catch (const RegFileError& e) {
      error = e.what();
    }
    const long read = std::ftell(stream);
    std::fclose(stream);
    if (extra == 0) {
      EXPECT_EQ(error, "loaded");
      EXPECT_EQ(Data(reg, "S", "a", value_type::Sz), std::string("b\0", 2));
    } else {
      EXPECT_EQ(error, "standard input: larger than 4096 bytes, the limit for export files");
      EXPECT_EQ(read, static_cast<long>(kCap + 1)) << extra;
      EXPECT_TRUE(reg.SubKeyNames(root::LocalMachine, "").empty());
    }
  }
}

// The registry built from an export is bounded, not only the file: key
// lines, value lines and the bytes of the values are counted as they are
// read (here the same key and value again and again, so that the test itself
// stays small), and the file is refused by name, leaving the registry empty.
TEST(RegFileLimits, KeysValuesAndValueBytesAreCapped) {
  const auto refusal = [](const std::string& text) {
    MemoryRegistry reg(TextEncoding::Utf8);
    try {
      LoadRegText(reg, text, "many.reg");
    } catch (const RegFileError& e) {
      EXPECT_TRUE(reg.SubKeyNames(root::LocalMachine, "").empty());
      return std::string(e.what());
    }
    return std::string();
  };
  std::string keys = "REGEDIT4\n";
  for (std::size_t i = 0; i <= kMaxExportKeys; ++i) keys += "[HKEY_LOCAL_MACHINE\\K]\n";
  EXPECT_EQ(refusal(keys), "many.reg:" + std::to_string(kMaxExportKeys + 2) + ": more than " +
                               std::to_string(kMaxExportKeys) +
                               " keys in the file, the limit for export files");
  // Exactly as many as allowed load.
  keys.resize(keys.size() - std::string("[HKEY_LOCAL_MACHINE\\K]\n").size());
  EXPECT_EQ(refusal(keys), "");

  std::string values = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
  for (std::size_t i = 0; i <= kMaxExportValues; ++i) values += "\"a\"=\"\"\n";
  EXPECT_NE(refusal(values).find("more than " + std::to_string(kMaxExportValues) + " values"),
            std::string::npos);
  values.resize(values.size() - std::string("\"a\"=\"\"\n").size());
  EXPECT_EQ(refusal(values), "");

  // 8-bit text grows as UTF-8: the bytes stored count, not those of the file.
  const std::string line = "\"a\"=\"" + std::string(1024 * 1024, '\xE9') + "\"\n";
  std::string bytes = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
  for (std::size_t i = 0; i <= kMaxExportValueBytes / (2 * 1024 * 1024); ++i) bytes += line;
  ASSERT_LT(bytes.size(), kMaxExportBytes);
  EXPECT_NE(refusal(bytes).find("more than " + std::to_string(kMaxExportValueBytes) +
                                " bytes of value names and data"),
            std::string::npos);

  // Exactly the bound: the name "a" and 2 MiB of UTF-8 with its NUL a line,
  // the last line's text shortened to make up the rest.
  const std::size_t perLine = 1 + 2 * 1024 * 1024 + 1;
  const std::size_t lines = kMaxExportValueBytes / perLine;
  const std::size_t rest = kMaxExportValueBytes - lines * perLine;  // even: 2 bytes a character
  ASSERT_EQ(rest % 2, 0u);
  bytes = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
  for (std::size_t i = 0; i < lines; ++i) bytes += line;
  bytes += "\"a\"=\"" + std::string((rest - 2) / 2, '\xE9') + "\"\n";
  EXPECT_EQ(refusal(bytes), "");
  bytes.insert(bytes.size() - 2, "x");
  EXPECT_NE(refusal(bytes).find("more than " + std::to_string(kMaxExportValueBytes) +
                                " bytes of value names and data"),
            std::string::npos);
}

TEST(RegFileLimits, LongValueNameIsRefused) {
  EXPECT_EQ(ErrorOf(kV5 + "[HKLM\\S]\n\"" + std::string(16384, 'n') + "\"=\"x\"\n"),
            "t.reg:4: value name longer than 16383 characters");
}

TEST(RegFileLimits, QuotedInputIsShortenedInMessages) {
  EXPECT_EQ(ErrorOf(kV5 + "[HKLM\\S]\n" + std::string(5000, 'x') + "\n"),
            "t.reg:4: unrecognised line '" + std::string(60, 'x') + "...'");
}

// Damaged copies of a valid file either load or fail cleanly, and a failure
// leaves nothing of the file behind.
TEST(RegFileLimits, DamagedFilesLoadCompletelyOrNotAtAll) {
  const std::string seed = kV5 +
                           "[HKLM\\Software\\Fz\\A]\r\n\"s\"=\"a \\\"b\\\" \\\\c\"\r\n"
                           "@=\"d\"\r\n\"n\"=dword:00000010\r\n"
                           "\"m\"=hex(7):61,00,00,00,\\\r\n  62,00,00,00,00,00\r\n"
                           "[-HKLM\\Software\\Fz\\B]\r\n\"gone\"=-\r\n"
                           "[HKLM\\Software\\Fz\\C]\r\n\"e\"=hex(2):25,00,00,00\r\n";
  const std::string pieces[] = {"\\", "\"", "\n", "[", "]", "-", "=", ",", "hex(", "):", "\xE9"};
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  for (int round = 0; round < 400; ++round) {
    std::string text = seed;
    for (int k = 0; k < 3; ++k) {
      const std::size_t pos = next() % text.size();
      if (next() % 2 == 0) {
        text.erase(pos, 1 + next() % 4);
      } else {
        text.insert(pos, pieces[next() % std::size(pieces)]);
      }
    }
    // A new registry, which is filled as the file is read, is emptied
    // again; one that holds keys already has the changes applied at the end.
    MemoryRegistry reg;
    MemoryRegistry holding;
    holding.SetString(root::CurrentUser, "Kept", "v", "x");
    try {
      LoadRegText(reg, text, "f.reg");
    } catch (const RegFileError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, 6), "f.reg:") << e.what();
      EXPECT_TRUE(reg.SubKeyNames(root::LocalMachine, "").empty()) << text;
      EXPECT_TRUE(reg.SubKeyNames(root::CurrentUser, "").empty()) << text;
      EXPECT_TRUE(reg.Values(root::LocalMachine, "").empty()) << text;
      EXPECT_THROW(LoadRegText(holding, text, "f.reg"), RegFileError);
      EXPECT_TRUE(holding.SubKeyNames(root::LocalMachine, "").empty()) << text;
      EXPECT_EQ(holding.SubKeyNames(root::CurrentUser, ""), std::vector<std::string>{"Kept"});
    }
  }
}

// --- Files on disk ---

TEST(RegFileDisk, LoadsAFileAndNamesAMissingOne) {
  test::TempDir dir;
  const auto path = dir.Path() / "in.reg";
  test::WriteFile(path, kV4 + "[HKLM\\S]\n\"a\"=\"b\"\n");
  MemoryRegistry reg;
  LoadRegFile(reg, path.string());
  EXPECT_EQ(Data(reg, "S", "a", value_type::Sz), std::string("b\0", 2));

  const std::string missing = (dir.Path() / "missing.reg").string();
  try {
    LoadRegFile(reg, missing);
    FAIL() << "loaded a missing file";
  } catch (const RegFileError& e) {
    EXPECT_EQ(std::string(e.what()), missing + ": cannot open the file");
  }
  try {
    LoadRegFile(reg, dir.Path().string());
    FAIL() << "loaded a directory";
  } catch (const RegFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              dir.Path().string() + ": is a directory, not a registry export file");
  }
}

// Streams are read in bounded chunks, and what is plainly no export is
// refused from its first chunk, so a device of endless zeros ends at once.
TEST(RegFileDisk, StreamsAndDevicesAreReadInBoundedChunks) {
  test::TempDir dir;
  const auto path = dir.Path() / "in.reg";
  test::WriteFile(path, kV4 + "[HKLM\\S]\n\"a\"=\"b\"\n");
  std::FILE* stream = std::fopen(path.string().c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  MemoryRegistry reg;
  LoadRegStream(reg, stream, "standard input");
  std::fclose(stream);
  EXPECT_EQ(Data(reg, "S", "a", value_type::Sz), std::string("b\0", 2));

#ifndef _WIN32
  // A named pipe is read like standard input, to its end.
  const auto fifo = dir.Path() / "pipe.reg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&fifo] {
    std::ofstream out(fifo, std::ios::binary);
    out << kV4 << "[HKLM\\P]\n\"c\"=\"d\"\n";
  });
  MemoryRegistry fromPipe;
  LoadRegFile(fromPipe, fifo.string());
  writer.join();
  EXPECT_EQ(Data(fromPipe, "P", "c", value_type::Sz), std::string("d\0", 2));

  try {
    LoadRegFile(reg, "/dev/zero");
    FAIL() << "loaded /dev/zero";
  } catch (const RegFileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("/dev/zero:1: unknown header '\\x00\\x00", 0), 0u)
        << e.what();
  }
#endif
}

// Every key and value of a registry, as text to compare.
void DumpKey(const MemoryRegistry& reg, KeyHandle rootKey, const std::string& path,
             std::string& out) {
  out += "[" + path + "]\n";
  for (const auto& v : reg.Values(rootKey, path)) {
    out += v.name + "=" + std::to_string(v.type) + ":" + v.data + "\n";
  }
  for (const auto& sub : reg.SubKeyNames(rootKey, path)) {
    DumpKey(reg, rootKey, path.empty() ? sub : path + "\\" + sub, out);
  }
}

std::u16string Ascii16(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

// UTF-16 files are parsed as they are read, a chunk at a time: lines, hex
// continuations and characters that straddle the chunks, and a line longer
// than a chunk, load exactly as the same bytes in memory do; so do the
// errors, with their line numbers.
TEST(RegFileDisk, Utf16FilesLoadAsTheSameBytesInMemory) {
  std::u16string text = Ascii16(kV5);
  for (int key = 0; text.size() < 1'600'000; ++key) {
    text += Ascii16("[HKEY_LOCAL_MACHINE\\SYSTEM\\K" + std::to_string(key % 97) + "\\Sub" +
                    std::to_string(key) + "]\r\n");
    text +=
        u"\"N\u00e9\u20ac\U0001F5A8\"=\"" + Ascii16(std::string(key % 300, 'x')) + u"\u00fc\"\r\n";
    text += Ascii16("\"h\"=hex:");
    for (int i = 0; i < key % 70; ++i) text += Ascii16(i % 20 == 19 ? "0a,\\\r\n  " : "0a,");
    text += Ascii16("ff\r\n\"m\"=hex(7):41,00,0a,01,00,00,00,00\r\n\r\n");
  }
  text += Ascii16("[HKEY_LOCAL_MACHINE\\Long]\r\n\"v\"=\"") + Ascii16(std::string(1'500'000, 'y')) +
          Ascii16("\"\r\n");
  test::TempDir dir;
  const auto path = dir.Path() / "big.reg";
  const std::string bytes = Utf16File(text);
  ASSERT_GT(bytes.size(), 3u * 1024 * 1024);
  test::WriteFile(path, bytes);
  for (const auto encoding : {TextEncoding::Ansi, TextEncoding::Utf8}) {
    MemoryRegistry fromFile(encoding);
    MemoryRegistry fromMemory(encoding);
    LoadRegFile(fromFile, path.string());
    LoadRegText(fromMemory, bytes, path.string());
    std::string a;
    std::string b;
    DumpKey(fromFile, root::LocalMachine, "", a);
    DumpKey(fromMemory, root::LocalMachine, "", b);
    EXPECT_GT(a.size(), 2'000'000u);
    EXPECT_TRUE(a == b);
  }

  // An error deep in the file, and a file that ends in half a character.
  for (const std::string& tail : {std::string("\x40\x00\x3d\x00\x2d\x00\x78\x00"),  // @=-x
                                  std::string("\x0d\x00\x0a\x00\x5b")}) {
    test::WriteFile(path, bytes + tail);
    MemoryRegistry fromFile;
    std::string fileError = "loaded";
    try {
      LoadRegFile(fromFile, path.string());
    } catch (const RegFileError& e) {
      fileError = e.what();
    }
    MemoryRegistry fromMemory;
    std::string memoryError = "loaded";
    try {
      LoadRegText(fromMemory, bytes + tail, path.string());
    } catch (const RegFileError& e) {
      memoryError = e.what();
    }
    EXPECT_NE(fileError, "loaded");
    EXPECT_EQ(fileError, memoryError);
    EXPECT_TRUE(fromFile.SubKeyNames(root::LocalMachine, "").empty());
  }
}

TEST(RegFileDisk, FilesOverTheCapAreRefusedUnread) {
  test::TempDir dir;
  const auto path = dir.Path() / "huge.reg";
  test::WriteFile(path, kV4);
  std::filesystem::resize_file(path, kMaxExportBytes + 1);  // sparse: nothing is written
  MemoryRegistry reg;
  try {
    LoadRegFile(reg, path.string());
    FAIL() << "loaded a file over the cap";
  } catch (const RegFileError& e) {
    EXPECT_EQ(std::string(e.what()), path.string() +
                                         ": file larger than 268435456 bytes, the "
                                         "limit for export files");
  }
}

TEST(RegFileDisk, ErrorsNameTheFilePath) {
  test::TempDir dir;
  const auto path = dir.Path() / "bad.reg";
  test::WriteFile(path, kV4 + "[HKLM\\S]\n\"a\"=dword:zz\n");
  MemoryRegistry reg;
  try {
    LoadRegFile(reg, path.string());
    FAIL() << "loaded a bad file";
  } catch (const RegFileError& e) {
    EXPECT_EQ(std::string(e.what()), path.string() + ":4: bad dword value 'zz'");
  }
}

}  // namespace
}  // namespace vormlan::registry
