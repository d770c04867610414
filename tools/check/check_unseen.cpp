// What a player cannot see; see check_unseen.h.
#include "tools/check/check_unseen.h"

#include <cstdio>
#include <vector>

#include "runtime/text.h"
#include "runtime/utf8.h"
#include "tools/check/check_report.h"

namespace {

// Unicode's format characters (general category Cf), and the other code points that Unicode says
// show as nothing (Default_Ignorable_Code_Point: the Hangul fillers, variation selectors, the
// combining grapheme joiner, ...), as ranges; and the line and paragraph separators.
struct Code_Range {
  uint32_t first, last;
};

constexpr Code_Range UNSEEN_INVISIBLE[] = {
    {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x115F, 0x1160},   {0x17B4, 0x17B5},
    {0x180B, 0x180F},   {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x206F},   {0x3164, 0x3164},
    {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

struct Named_Code_Point {
  uint32_t code_point;
  const char *name;
};

// The combining marks that Latin text takes its accents from: the blocks of combining diacritical
// marks (U+034F COMBINING GRAPHEME JOINER, which shows as nothing, is counted invisible above). A
// mark stands over or under the character before it, so that `i` and U+0307 look like one letter;
// the game reads it as a character of its own.
constexpr Code_Range UNSEEN_COMBINING[] = {
    {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}, {0xFE20, 0xFE2F},
};

// The names of the combining marks that a keyboard layout or an editor's accent key gives.
constexpr Named_Code_Point UNSEEN_COMBINING_NAMES[] = {
    {0x0300, "COMBINING GRAVE ACCENT"},      {0x0301, "COMBINING ACUTE ACCENT"},
    {0x0302, "COMBINING CIRCUMFLEX ACCENT"}, {0x0303, "COMBINING TILDE"},
    {0x0304, "COMBINING MACRON"},            {0x0306, "COMBINING BREVE"},
    {0x0307, "COMBINING DOT ABOVE"},         {0x0308, "COMBINING DIAERESIS"},
    {0x030A, "COMBINING RING ABOVE"},        {0x030B, "COMBINING DOUBLE ACUTE ACCENT"},
    {0x030C, "COMBINING CARON"},             {0x0323, "COMBINING DOT BELOW"},
    {0x0327, "COMBINING CEDILLA"},           {0x0328, "COMBINING OGONEK"},
    {0x0331, "COMBINING MACRON BELOW"},      {0x0332, "COMBINING LOW LINE"},
    {0x0335, "COMBINING SHORT STROKE OVERLAY"}, {0x0336, "COMBINING LONG STROKE OVERLAY"},
    {0x0338, "COMBINING LONG SOLIDUS OVERLAY"},
};

// The names of the invisible characters a player is likely to meet (pasted from a web page, a chat,
// another file, or typed by a keyboard layout).
constexpr Named_Code_Point UNSEEN_NAMES[] = {
    {0x00AD, "SOFT HYPHEN"},
    {0x061C, "ARABIC LETTER MARK"},
    {0x180E, "MONGOLIAN VOWEL SEPARATOR"},
    {0x200B, "ZERO WIDTH SPACE"},
    {0x200C, "ZERO WIDTH NON-JOINER"},
    {0x200D, "ZERO WIDTH JOINER"},
    {0x200E, "LEFT-TO-RIGHT MARK"},
    {0x200F, "RIGHT-TO-LEFT MARK"},
    {0x2028, "LINE SEPARATOR"},
    {0x2029, "PARAGRAPH SEPARATOR"},
    {0x202A, "LEFT-TO-RIGHT EMBEDDING"},
    {0x202B, "RIGHT-TO-LEFT EMBEDDING"},
    {0x202C, "POP DIRECTIONAL FORMATTING"},
    {0x202D, "LEFT-TO-RIGHT OVERRIDE"},
    {0x202E, "RIGHT-TO-LEFT OVERRIDE"},
    {0x2060, "WORD JOINER"},
    {0x2061, "FUNCTION APPLICATION"},
    {0x2062, "INVISIBLE TIMES"},
    {0x2063, "INVISIBLE SEPARATOR"},
    {0x2064, "INVISIBLE PLUS"},
    {0x2066, "LEFT-TO-RIGHT ISOLATE"},
    {0x2067, "RIGHT-TO-LEFT ISOLATE"},
    {0x2068, "FIRST STRONG ISOLATE"},
    {0x2069, "POP DIRECTIONAL ISOLATE"},
    {0x3164, "HANGUL FILLER"},
    {0xFEFF, "BYTE ORDER MARK"},
};

// Letters of other scripts that look like a Latin letter in common fonts, with that letter in the
// same case.
struct Lookalike {
  uint32_t code_point;
  char latin;
  const char *script;
};

constexpr Lookalike UNSEEN_LOOKALIKES[] = {
    {0x0391, 'A', "Greek"},    {0x0392, 'B', "Greek"},    {0x0395, 'E', "Greek"},    {0x0396, 'Z', "Greek"},
    {0x0397, 'H', "Greek"},    {0x0399, 'I', "Greek"},    {0x039A, 'K', "Greek"},    {0x039C, 'M', "Greek"},
    {0x039D, 'N', "Greek"},    {0x039F, 'O', "Greek"},    {0x03A1, 'P', "Greek"},    {0x03A4, 'T', "Greek"},
    {0x03A5, 'Y', "Greek"},    {0x03A7, 'X', "Greek"},    {0x03B1, 'a', "Greek"},    {0x03B9, 'i', "Greek"},
    {0x03BA, 'k', "Greek"},    {0x03BD, 'v', "Greek"},    {0x03BF, 'o', "Greek"},    {0x03C1, 'p', "Greek"},
    {0x03C5, 'u', "Greek"},    {0x03C7, 'x', "Greek"},    {0x0405, 'S', "Cyrillic"}, {0x0406, 'I', "Cyrillic"},
    {0x0408, 'J', "Cyrillic"}, {0x0410, 'A', "Cyrillic"}, {0x0412, 'B', "Cyrillic"}, {0x0415, 'E', "Cyrillic"},
    {0x041A, 'K', "Cyrillic"}, {0x041C, 'M', "Cyrillic"}, {0x041D, 'H', "Cyrillic"}, {0x041E, 'O', "Cyrillic"},
    {0x0420, 'P', "Cyrillic"}, {0x0421, 'C', "Cyrillic"}, {0x0422, 'T', "Cyrillic"}, {0x0425, 'X', "Cyrillic"},
    {0x0430, 'a', "Cyrillic"}, {0x0435, 'e', "Cyrillic"}, {0x043E, 'o', "Cyrillic"}, {0x0440, 'p', "Cyrillic"},
    {0x0441, 'c', "Cyrillic"}, {0x0443, 'y', "Cyrillic"}, {0x0445, 'x', "Cyrillic"}, {0x0455, 's', "Cyrillic"},
    {0x0456, 'i', "Cyrillic"}, {0x0458, 'j', "Cyrillic"}, {0x04AE, 'Y', "Cyrillic"}, {0x04BB, 'h', "Cyrillic"},
    {0x04CF, 'l', "Cyrillic"}, {0x0501, 'd', "Cyrillic"}, {0x051B, 'q', "Cyrillic"}, {0x051D, 'w', "Cyrillic"},
    {0x0570, 'h', "Armenian"}, {0x0578, 'n', "Armenian"}, {0x057D, 'u', "Armenian"}, {0x0585, 'o', "Armenian"},
};

// Punctuation that looks like an ASCII character, with that character; the full-width forms
// (U+FF01..U+FF5E) are ASCII's shifted, and named from ASCII's names.
struct Punctuation_Lookalike {
  uint32_t code_point;
  char ascii;
  const char *name;
};

constexpr Punctuation_Lookalike UNSEEN_PUNCTUATION[] = {
    {0x037E, ';', "GREEK QUESTION MARK"},
    {0x2010, '-', "HYPHEN"},
    {0x2011, '-', "NON-BREAKING HYPHEN"},
    {0x2012, '-', "FIGURE DASH"},
    {0x2013, '-', "EN DASH"},
    {0x2014, '-', "EM DASH"},
    {0x2015, '-', "HORIZONTAL BAR"},
    {0x2018, '\'', "LEFT SINGLE QUOTATION MARK"},
    {0x2019, '\'', "RIGHT SINGLE QUOTATION MARK"},
    {0x201C, '"', "LEFT DOUBLE QUOTATION MARK"},
    {0x201D, '"', "RIGHT DOUBLE QUOTATION MARK"},
    {0x2212, '-', "MINUS SIGN"},
    {0xFE63, '-', "SMALL HYPHEN-MINUS"},
};

constexpr uint32_t UNSEEN_FULLWIDTH_FIRST = 0xFF01, UNSEEN_FULLWIDTH_LAST = 0xFF5E;
constexpr uint32_t UNSEEN_FULLWIDTH_OFFSET = 0xFF01 - 0x21;

// The Unicode names of ASCII's punctuation, "!" to "~".
constexpr Named_Code_Point UNSEEN_ASCII_PUNCTUATION[] = {
    {'!', "EXCLAMATION MARK"},  {'"', "QUOTATION MARK"},     {'#', "NUMBER SIGN"},         {'$', "DOLLAR SIGN"},
    {'%', "PERCENT SIGN"},      {'&', "AMPERSAND"},          {'\'', "APOSTROPHE"},         {'(', "LEFT PARENTHESIS"},
    {')', "RIGHT PARENTHESIS"}, {'*', "ASTERISK"},           {'+', "PLUS SIGN"},           {',', "COMMA"},
    {'-', "HYPHEN-MINUS"},      {'.', "FULL STOP"},          {'/', "SOLIDUS"},             {':', "COLON"},
    {';', "SEMICOLON"},         {'<', "LESS-THAN SIGN"},     {'=', "EQUALS SIGN"},         {'>', "GREATER-THAN SIGN"},
    {'?', "QUESTION MARK"},     {'@', "COMMERCIAL AT"},      {'[', "LEFT SQUARE BRACKET"}, {'\\', "REVERSE SOLIDUS"},
    {']', "RIGHT SQUARE BRACKET"}, {'^', "CIRCUMFLEX ACCENT"}, {'_', "LOW LINE"},          {'`', "GRAVE ACCENT"},
    {'{', "LEFT CURLY BRACKET"}, {'|', "VERTICAL LINE"},     {'}', "RIGHT CURLY BRACKET"}, {'~', "TILDE"},
};

constexpr const char *UNSEEN_DIGIT_NAMES[] = {"ZERO", "ONE", "TWO",   "THREE", "FOUR",
                                             "FIVE", "SIX", "SEVEN", "EIGHT", "NINE"};

// White space that is not ASCII, as the game's trimming knows it (text.h), by name.
constexpr Named_Code_Point UNSEEN_WHITE_SPACE[] = {
    {0x0085, "NEXT LINE"},          {0x00A0, "NO-BREAK SPACE"},     {0x1680, "OGHAM SPACE MARK"},
    {0x2000, "EN QUAD"},            {0x2001, "EM QUAD"},            {0x2002, "EN SPACE"},
    {0x2003, "EM SPACE"},           {0x2004, "THREE-PER-EM SPACE"}, {0x2005, "FOUR-PER-EM SPACE"},
    {0x2006, "SIX-PER-EM SPACE"},   {0x2007, "FIGURE SPACE"},       {0x2008, "PUNCTUATION SPACE"},
    {0x2009, "THIN SPACE"},         {0x200A, "HAIR SPACE"},         {0x2028, "LINE SEPARATOR"},
    {0x2029, "PARAGRAPH SEPARATOR"}, {0x202F, "NARROW NO-BREAK SPACE"}, {0x205F, "MEDIUM MATHEMATICAL SPACE"},
    {0x3000, "IDEOGRAPHIC SPACE"},
};

// A code point that looks like the ASCII character `ascii`, and its Unicode name.
struct Ascii_Lookalike {
  char ascii = 0;
  std::string name;
};

// The ASCII character `code_point` looks like, when it is look-alike punctuation or a full-width
// form; `ascii` 0 otherwise.
Ascii_Lookalike unseen_ascii_lookalike(uint32_t code_point) {
  for (const Punctuation_Lookalike &p : UNSEEN_PUNCTUATION) {
    if (p.code_point == code_point) return {p.ascii, p.name};
  }
  if (code_point < UNSEEN_FULLWIDTH_FIRST || code_point > UNSEEN_FULLWIDTH_LAST) return {};
  auto ascii = static_cast<char>(code_point - UNSEEN_FULLWIDTH_OFFSET);
  std::string name = "FULLWIDTH ";
  if (ascii >= '0' && ascii <= '9') return {ascii, name + "DIGIT " + UNSEEN_DIGIT_NAMES[ascii - '0']};
  if (ascii >= 'A' && ascii <= 'Z') return {ascii, name + "LATIN CAPITAL LETTER " + std::string(1, ascii)};
  if (ascii >= 'a' && ascii <= 'z') {
    return {ascii, name + "LATIN SMALL LETTER " + std::string(1, static_cast<char>(ascii - 'a' + 'A'))};
  }
  for (const Named_Code_Point &n : UNSEEN_ASCII_PUNCTUATION) {
    if (n.code_point == static_cast<uint32_t>(ascii)) return {ascii, name + n.name};
  }
  return {};
}

// How many of a kind the words name one by one; the rest are counted.
constexpr size_t UNSEEN_NAMED_AT_MOST = 3;
// How much of a visible run the words quote.
constexpr size_t UNSEEN_QUOTED_BYTES = 40;

const Lookalike *unseen_lookalike(uint32_t code_point) {
  for (const Lookalike &l : UNSEEN_LOOKALIKES) {
    if (l.code_point == code_point) return &l;
  }
  return nullptr;
}

bool unseen_is_ascii_letter(uint32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool unseen_is_combining(uint32_t code_point) {
  if (check_is_invisible(code_point)) return false;
  for (const Code_Range &r : UNSEEN_COMBINING) {
    if (code_point >= r.first && code_point <= r.last) return true;
  }
  return false;
}

// Whether look-alikes in `text` are to be named: among Latin letters, or where every letter but
// invisible characters looks Latin ("уеs" in Cyrillic reads "yes"). A word of another script that
// holds a few such letters is that script's.
bool unseen_reads_latin(std::string_view text) {
  bool latin = false, other = false;
  const char *at = text.data(), *end = at + text.size();
  while (at < end) {
    Utf8_Decoded d = utf8_decode(at, end);
    at += d.size;
    if (unseen_is_ascii_letter(d.code_point)) latin = true;
    if (d.size > 1 && !check_is_invisible(d.code_point) && !unseen_is_combining(d.code_point) &&
        !unseen_lookalike(d.code_point) && !unseen_ascii_lookalike(d.code_point).ascii && !is_white_space(d.code_point)) {
      other = true;
    }
  }
  return latin || !other;
}

std::string unseen_hex(uint32_t code_point) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code_point));
  return text;
}

std::string unseen_ordinal(size_t n) {
  const char *suffix = "th";
  if (n % 100 < 11 || n % 100 > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}

// "an invisible U+200B ZERO WIDTH SPACE", "3 invisible U+200B ZERO WIDTH SPACE characters"; a line
// or paragraph separator, which some editors show as a line end, is not called invisible.
std::string unseen_invisible_words(uint32_t code_point, size_t count) {
  const char *invisible = check_is_line_separator(code_point) ? "" : "invisible ";
  std::string text = count == 1 ? (*invisible ? "an " : "a ") + std::string(invisible)
                                : std::to_string(count) + " " + invisible;
  text += unseen_hex(code_point);
  for (const Named_Code_Point &n : UNSEEN_NAMES) {
    if (n.code_point == code_point) text.append(" ").append(n.name);
  }
  if (count > 1) text += " characters";
  return text;
}

// "U+0307 COMBINING DOT ABOVE"; "U+0351, a combining mark," for one not named above.
std::string unseen_combining_words(uint32_t code_point) {
  for (const Named_Code_Point &n : UNSEEN_COMBINING_NAMES) {
    if (n.code_point == code_point) return unseen_hex(code_point) + " " + n.name + ",";
  }
  return unseen_hex(code_point) + ", a combining mark,";
}

// A visible run as the words quote it: made visible, and cut when long.
std::string unseen_quoted(std::string_view run) {
  if (run.size() <= UNSEEN_QUOTED_BYTES) return check_visible(run);
  size_t cut = UNSEEN_QUOTED_BYTES;
  while (cut > 0 && (static_cast<unsigned char>(run[cut]) & 0xC0) == 0x80) cut--;  // not inside a sequence
  return check_visible(run.substr(0, cut)) + "...";
}

// One piece of a text as it is written: a run of visible bytes, or a run of one invisible character.
struct Unseen_Piece {
  std::string_view visible;
  uint32_t invisible = 0;
  size_t count = 0;
};

}  // namespace

bool check_is_invisible(uint32_t code_point) noexcept {
  for (const Code_Range &r : UNSEEN_INVISIBLE) {
    if (code_point >= r.first && code_point <= r.last) return true;
  }
  return false;
}

std::string check_invisible_escape(uint32_t code_point) {
  // Appended piece by piece: g++ 12 for mingw-w64 gives a false -Wrestrict for a literal plus a string.
  std::string text = "<";
  text.append(unseen_hex(code_point)).push_back('>');
  return text;
}

std::string check_as_seen(std::string_view text) {
  bool mixed = unseen_reads_latin(text);
  std::string out;
  const char *at = text.data(), *end = at + text.size();
  while (at < end) {
    Utf8_Decoded d = utf8_decode(at, end);
    const Lookalike *l = mixed ? unseen_lookalike(d.code_point) : nullptr;
    char ascii = d.size > 1 ? unseen_ascii_lookalike(d.code_point).ascii : 0;
    if (l) {
      out.push_back(l->latin);
    } else if (ascii) {
      out.push_back(ascii);
    } else if (d.size == 1 || (!check_is_invisible(d.code_point) && !unseen_is_combining(d.code_point))) {
      out.append(at, d.size);
    }
    at += d.size;
  }
  return out;
}

Check_Unseen check_unseen(std::string_view text, std::string_view whose) {
  std::vector<Unseen_Piece> pieces;
  Check_Unseen out;
  size_t position = 0;
  bool mixed = unseen_reads_latin(text), any_invisible = false;
  std::string_view base;  // the last character that is no combining mark
  const char *at = text.data(), *end = at + text.size();
  while (at < end) {
    Utf8_Decoded d = utf8_decode(at, end);
    if (d.size > 1 && check_is_invisible(d.code_point)) {
      any_invisible = true;
      if (!pieces.empty() && pieces.back().invisible == d.code_point) {
        pieces.back().count++;
      } else {
        pieces.push_back({{}, d.code_point, 1});
      }
      at += d.size;
      continue;
    }
    bool combining = unseen_is_combining(d.code_point);
    // A mark is part of the character it stands on, to the eye: it takes no place of its own.
    if (!combining) position++;
    const Lookalike *l = mixed ? unseen_lookalike(d.code_point) : nullptr;
    Ascii_Lookalike ascii = d.size > 1 ? unseen_ascii_lookalike(d.code_point) : Ascii_Lookalike{};
    std::string name;
    if (combining && position == 0) {
      name = std::string(whose) + " text starts with " + unseen_combining_words(d.code_point) +
             " which the game reads as a character of its own";
    } else if (combining) {
      name = std::string(whose) + " " + unseen_ordinal(position) + " character, " + check_visible(base) + ", carries " +
             unseen_combining_words(d.code_point) + " which the game reads as a character of its own";
    } else if (l) {
      name = std::string(whose) + " " + unseen_ordinal(position) + " letter, " + std::string(at, d.size) + ", is " +
             l->script + " " + unseen_hex(d.code_point) + ", not the Latin " + std::string(1, l->latin);
    } else if (ascii.ascii) {
      name = std::string(whose) + " " + unseen_ordinal(position) + " character, " + std::string(at, d.size) + ", is " +
             unseen_hex(d.code_point) + " " + ascii.name + ", not the ASCII " + std::string(1, ascii.ascii);
    }
    if (!name.empty() && out.characters.size() == UNSEEN_NAMED_AT_MOST) {
      out.more++;
    } else if (!name.empty()) {
      out.characters.push_back(std::move(name));
    }
    if (pieces.empty() || pieces.back().invisible != 0) pieces.push_back({{at, 0}, 0, 0});
    pieces.back().visible = {pieces.back().visible.data(), pieces.back().visible.size() + d.size};
    if (!combining) base = std::string_view(at, d.size);
    at += d.size;
  }
  if (!any_invisible) return out;
  size_t shown = 0, invisible_runs = 0;
  for (const Unseen_Piece &p : pieces) {
    if (p.invisible && ++invisible_runs > UNSEEN_NAMED_AT_MOST) {
      out.invisible += ", and more invisible characters";
      break;
    }
    if (shown++) out.invisible += " followed by ";
    out.invisible += p.invisible ? unseen_invisible_words(p.invisible, p.count) : unseen_quoted(p.visible);
  }
  return out;
}

std::string check_unseen_words(std::string_view text) {
  Check_Unseen unseen = check_unseen(text);
  std::string words = unseen.invisible;
  for (const std::string &c : unseen.characters) words += (words.empty() ? "" : "; ") + c;
  if (unseen.more) {
    words += "; and " + std::to_string(unseen.more) + " more look-alike character" + (unseen.more == 1 ? "" : "s");
  }
  return words;
}

std::string check_code_point(uint32_t code_point) { return unseen_hex(code_point); }

std::string check_ordinal(size_t n) { return unseen_ordinal(n); }

std::string check_white_space_name(uint32_t code_point) {
  for (const Named_Code_Point &n : UNSEEN_WHITE_SPACE) {
    if (n.code_point == code_point) return unseen_hex(code_point) + " " + n.name;
  }
  return code_point < 0x80 ? "" : unseen_hex(code_point);
}

bool check_is_line_separator(uint32_t code_point) noexcept {
  return code_point == 0x2028 || code_point == 0x2029 || code_point == 0x0085;
}

std::string check_line_separator_name(uint32_t code_point) { return check_white_space_name(code_point); }
